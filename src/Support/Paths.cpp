#include "Support/Paths.h"

#include <QDir>
#include <QFile>
#include <QStringList>

#include <algorithm>
#include <deque>
#include <fcntl.h>
#include <linux/openat2.h>
#include <optional>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace quorvane {

namespace {

constexpr int maximumLinkCount = 40;

QString joinedAbsolute(const QStringList& components) {
    return components.isEmpty() ? QStringLiteral("/") : QLatin1Char('/') + components.join(QLatin1Char('/'));
}

// Appends `component` to `stack` lexically; ".." never climbs above the root.
void push(QStringList& stack, const QString& component) {
    if (component.isEmpty() || component == QLatin1String("."))
        return;
    if (component == QLatin1String("..")) {
        if (!stack.isEmpty())
            stack.removeLast();
        return;
    }
    stack.append(component);
}

QString withoutTrailingSeparators(const QString& path) {
    qsizetype end = path.size();
    while (end > 1 && path.at(end - 1) == QLatin1Char('/'))
        --end;
    return path.left(end);
}

// Owns a descriptor opened with O_PATH: it names a place for *at() calls and reads nothing.
class PathDescriptor {
public:
    explicit PathDescriptor(int descriptor = -1) : m_descriptor(descriptor) {}
    PathDescriptor(PathDescriptor&& other) noexcept : m_descriptor(std::exchange(other.m_descriptor, -1)) {}
    PathDescriptor& operator=(PathDescriptor&& other) noexcept {
        if (this != &other) {
            reset();
            m_descriptor = std::exchange(other.m_descriptor, -1);
        }
        return *this;
    }
    PathDescriptor(const PathDescriptor&) = delete;
    PathDescriptor& operator=(const PathDescriptor&) = delete;
    ~PathDescriptor() { reset(); }

    int get() const { return m_descriptor; }
    bool isValid() const { return m_descriptor >= 0; }

private:
    void reset() {
        if (m_descriptor >= 0)
            ::close(m_descriptor);
        m_descriptor = -1;
    }

    int m_descriptor;
};

PathDescriptor openRoot() {
    return PathDescriptor(::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC));
}

// The folder at `path` if it exists and none of its components is a link; invalid otherwise, and
// where the kernel has no openat2.
PathDescriptor openLinkFreeFolder(const QByteArray& path) {
    open_how how{};
    how.flags = O_PATH | O_DIRECTORY | O_CLOEXEC;
    how.resolve = RESOLVE_NO_SYMLINKS;
    return PathDescriptor(
        static_cast<int>(::syscall(SYS_openat2, AT_FDCWD, path.constData(), &how, sizeof how)));
}

PathDescriptor openDirectory(int parent, const char* name) {
    return PathDescriptor(::openat(parent, name, O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
}

std::optional<QString> readLink(int parent, const char* name, off_t sizeHint) {
    std::vector<char> buffer(std::max<size_t>(256, static_cast<size_t>(std::max<off_t>(sizeHint, 0)) + 1));
    for (;;) {
        const ssize_t length = ::readlinkat(parent, name, buffer.data(), buffer.size());
        if (length < 0)
            return std::nullopt;
        if (static_cast<size_t>(length) < buffer.size())
            return QFile::decodeName(QByteArray(buffer.data(), length));
        if (buffer.size() >= 1 << 20)
            return std::nullopt;
        buffer.resize(buffer.size() * 2);
    }
}

// The start index of the extension's "." in the last component, or -1. A leading "." names a
// hidden file, not an extension.
qsizetype extensionDot(const QString& trimmed) {
    const qsizetype slash = trimmed.lastIndexOf(QLatin1Char('/'));
    const qsizetype dot = trimmed.lastIndexOf(QLatin1Char('.'));
    if (dot <= slash + 1)
        return -1;
    return dot;
}

// True when standardizing would give `path` back: absolute, and no component empty, "." or "..".
// Most paths are, and checking them costs no allocation where standardizing costs a list.
bool isStandardized(QStringView path) {
    if (!path.startsWith(u'/'))
        return false;
    if (path.size() == 1)
        return true;
    for (qsizetype start = 1; start <= path.size();) {
        qsizetype end = path.indexOf(u'/', start);
        if (end < 0)
            end = path.size();
        const QStringView component = path.mid(start, end - start);
        if (component.isEmpty() || component == u"." || component == u"..")
            return false;
        start = end + 1;
    }
    return true;
}

} // namespace

QString standardizedPath(const QString& path) {
    if (path.isEmpty())
        return {};
    if (isStandardized(path))
        return path;
    const QString absolute =
        path.startsWith(QLatin1Char('/')) ? path : QDir::currentPath() + QLatin1Char('/') + path;
    QStringList stack;
    for (const QString& component : absolute.split(QLatin1Char('/'), Qt::SkipEmptyParts))
        push(stack, component);
    return joinedAbsolute(stack);
}

SymlinkResolution resolveSymlinksInPath(const QString& path) {
    const QString standardized = standardizedPath(path);
    if (standardized.isEmpty())
        return {standardized, true};
    const SymlinkResolution gaveUp{standardized, false};
    QStringList resolved = standardized.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    std::deque<QString> pending;
    // Usually no link lies above the last component, and one lookup vouches for the whole parent.
    // Otherwise each component is looked up relative to the folder before it, so the kernel walks
    // every component once however deep the path.
    PathDescriptor folder;
    if (resolved.size() > 1 && !standardized.contains(QChar(u'\0')))
        folder = openLinkFreeFolder(QFile::encodeName(deletingLastPathComponent(standardized)));
    if (folder.isValid()) {
        pending.push_back(resolved.takeLast());
    } else {
        pending.assign(resolved.cbegin(), resolved.cend());
        resolved.clear();
        folder = openRoot();
        if (!folder.isValid())
            return gaveUp;
    }
    // False when the last resolved component is not a folder that `folder` now names (a file, or a
    // folder that could not be opened); `folder` then still names its parent.
    bool folderIsLast = true;
    int linkCount = 0;
    const auto keepMissingTail = [&](const QString& first) {
        resolved.append(first);
        bool linkFree = true;
        for (const QString& rest : pending) {
            // ".." from a link target may climb back and name an existing item nobody looked at.
            if (rest == QLatin1String(".."))
                linkFree = false;
            push(resolved, rest);
        }
        return SymlinkResolution{joinedAbsolute(resolved), linkFree};
    };

    while (!pending.empty()) {
        const QString component = pending.front();
        pending.pop_front();
        if (component == QLatin1String("."))
            continue;
        if (component == QLatin1String("..")) {
            // Every resolved component is a real folder, so its ".." is its lexical parent.
            if (resolved.isEmpty())
                continue;
            resolved.removeLast();
            if (!folderIsLast) {
                folderIsLast = true;
                continue;
            }
            folder = openDirectory(folder.get(), "..");
            if (!folder.isValid())
                folder = PathDescriptor(::open(QFile::encodeName(joinedAbsolute(resolved)).constData(),
                                               O_PATH | O_DIRECTORY | O_CLOEXEC));
            if (!folder.isValid())
                return gaveUp;
            continue;
        }
        const QByteArray name = QFile::encodeName(component);
        struct stat status {};
        // A name with a NUL cannot exist; the kernel would see a shorter one.
        if (!folderIsLast || name.contains('\0') ||
            ::fstatat(folder.get(), name.constData(), &status, AT_SYMLINK_NOFOLLOW) != 0)
            return keepMissingTail(component);
        if (S_ISLNK(status.st_mode)) {
            if (++linkCount > maximumLinkCount)
                return gaveUp;
            const std::optional<QString> target = readLink(folder.get(), name.constData(), status.st_size);
            if (!target || target->isEmpty())
                return gaveUp;
            if (target->startsWith(QLatin1Char('/'))) {
                resolved.clear();
                folder = openRoot();
                if (!folder.isValid())
                    return gaveUp;
            }
            const QStringList targetComponents = target->split(QLatin1Char('/'), Qt::SkipEmptyParts);
            for (auto it = targetComponents.crbegin(); it != targetComponents.crend(); ++it)
                pending.push_front(*it);
            continue;
        }
        resolved.append(component);
        if (!S_ISDIR(status.st_mode)) {
            folderIsLast = false;
            continue;
        }
        if (pending.empty())
            break;
        PathDescriptor next = openDirectory(folder.get(), name.constData());
        if (next.isValid())
            folder = std::move(next);
        else
            folderIsLast = false;
    }
    return {joinedAbsolute(resolved), true};
}

QString resolvingSymlinksInPath(const QString& path) {
    return resolveSymlinksInPath(path).path;
}

QString lastPathComponent(const QString& path) {
    const QString trimmed = withoutTrailingSeparators(path);
    if (trimmed == QLatin1String("/"))
        return trimmed;
    return trimmed.mid(trimmed.lastIndexOf(QLatin1Char('/')) + 1);
}

QString pathExtension(const QString& path) {
    const QString trimmed = withoutTrailingSeparators(path);
    const qsizetype dot = extensionDot(trimmed);
    return dot < 0 ? QString() : trimmed.mid(dot + 1);
}

QString deletingLastPathComponent(const QString& path) {
    const QString trimmed = withoutTrailingSeparators(path);
    if (trimmed == QLatin1String("/"))
        return trimmed;
    const qsizetype slash = trimmed.lastIndexOf(QLatin1Char('/'));
    if (slash < 0)
        return {};
    return withoutTrailingSeparators(trimmed.left(slash == 0 ? 1 : slash));
}

QString deletingPathExtension(const QString& path) {
    const QString trimmed = withoutTrailingSeparators(path);
    const qsizetype dot = extensionDot(trimmed);
    return dot < 0 ? trimmed : trimmed.left(dot);
}

QString appendingPathComponent(const QString& base, const QString& component) {
    qsizetype start = 0;
    while (start < component.size() && component.at(start) == QLatin1Char('/'))
        ++start;
    const QString tail = withoutTrailingSeparators(component.mid(start));
    if (base.isEmpty())
        return tail;
    const QString head = withoutTrailingSeparators(base);
    if (tail.isEmpty())
        return head;
    return head == QLatin1String("/") ? head + tail : head + QLatin1Char('/') + tail;
}

} // namespace quorvane
