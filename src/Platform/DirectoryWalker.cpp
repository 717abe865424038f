#include "Platform/DirectoryWalker.h"

#include "Support/Paths.h"

#include <QByteArrayView>

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvane {

namespace {

QByteArray joinNative(const QByteArray& folder, const QByteArray& name) {
    QByteArray result = folder;
    if (!result.endsWith('/'))
        result.append('/');
    result.append(name);
    return result;
}

QString joinPath(const QString& folder, const QString& name) {
    if (folder.endsWith(QLatin1Char('/')))
        return folder + name;
    return folder + QLatin1Char('/') + name;
}

// Deeper levels are opened by their whole path, so a deep tree cannot use up the descriptors.
constexpr int openLevelLimit = 32;

} // namespace

void DirectoryWalker::CloseDirectory::operator()(DIR* dir) const {
    ::closedir(dir);
}

std::expected<DirectoryWalker, SyscallError> DirectoryWalker::open(const QString& root, Options options) {
    DirectoryWalker walker(std::move(options));
    if (root.isEmpty() || root.contains(QChar(0)))
        return std::unexpected(SyscallError{EINVAL});
    auto listed = walker.list(-1, {}, root.toUtf8(), root, 0);
    if (!listed)
        return std::unexpected(listed.error());
    return walker;
}

int DirectoryWalker::openFolder(int parentFd, const QByteArray& name, const QByteArray& path,
                                int flags) const {
    if (m_options.openDirectory)
        return m_options.openDirectory(path, flags);
    if (parentFd >= 0)
        return ::openat(parentFd, name.constData(), flags);
    return ::open(path.constData(), flags);
}

bool DirectoryWalker::report(const QString& path, int code) {
    if (m_options.errorHandler && !m_options.errorHandler(path, SyscallError{code})) {
        m_stopped = true;
        return false;
    }
    return true;
}

std::expected<void, SyscallError> DirectoryWalker::list(int parentFd, const QByteArray& name,
                                                        const QByteArray& nativePath, const QString& path,
                                                        int depth) {
    // Folders below the root are opened without following a link: one planted after the listing
    // must not lead the walk elsewhere.
    const int flags = O_RDONLY | O_DIRECTORY | O_NONBLOCK | O_CLOEXEC | (depth == 0 ? 0 : O_NOFOLLOW);
    const int fd = openFolder(parentFd, name, nativePath, flags);
    if (fd < 0)
        return std::unexpected(SyscallError::fromErrno());
    struct stat folderStatus {};
    if (::fstat(fd, &folderStatus) != 0) {
        const SyscallError error = SyscallError::fromErrno();
        ::close(fd);
        return std::unexpected(error);
    }
    std::unique_ptr<DIR, CloseDirectory> owner(::fdopendir(fd));
    if (!owner) {
        const SyscallError error = SyscallError::fromErrno();
        ::close(fd);
        return std::unexpected(error);
    }
    DIR* dir = owner.get();

    Level level;
    level.nativePath = nativePath;
    level.path = path;
    level.depth = depth;
    level.device = folderStatus.st_dev;
    level.inode = folderStatus.st_ino;

    std::vector<QByteArray> names;
    for (;;) {
        errno = 0;
        const dirent* item = ::readdir(dir);
        if (!item) {
            if (errno != 0 && !report(path, errno))
                return {};
            break;
        }
        if (item->d_name[0] == '.')
            continue; // hidden, and "." and ".."
        names.emplace_back(item->d_name);
    }
    std::sort(names.begin(), names.end());

    level.children.reserve(names.size());
    for (QByteArray& childNative : names) {
        if (!QByteArrayView(childNative).isValidUtf8()) {
            // Such a name cannot be carried as text without naming another file.
            if (!report(joinPath(path, QString::fromUtf8(childNative)), EILSEQ))
                break;
            continue;
        }
        const QString childName = QString::fromUtf8(childNative);
        const QString childPath = joinPath(path, childName);
        struct stat status {};
        if (::fstatat(::dirfd(dir), childNative.constData(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
            if (!report(childPath, errno))
                break;
            continue;
        }
        Child child;
        child.entry.path = childPath;
        child.entry.name = childName;
        child.entry.isDirectory = S_ISDIR(status.st_mode);
        child.entry.isRegularFile = S_ISREG(status.st_mode);
        child.entry.isSymbolicLink = S_ISLNK(status.st_mode);
        child.entry.isPackage = child.entry.isDirectory &&
                                m_options.packageExtensions.contains(pathExtension(childName).toLower());
        if (!child.entry.isDirectory)
            child.entry.fileSize = static_cast<qint64>(status.st_size);
        child.entry.depth = depth + 1;
        child.device = status.st_dev;
        child.inode = status.st_ino;
        child.name = std::move(childNative);
        level.children.push_back(std::move(child));
    }
    if (depth < openLevelLimit)
        level.dir = std::move(owner);
    m_levels.push_back(std::move(level));
    return {};
}

std::optional<DirectoryEntry> DirectoryWalker::next() {
    if (m_stopped)
        return std::nullopt;
    if (m_enterPending) {
        m_enterPending = false;
        const bool isAncestor = std::any_of(m_levels.begin(), m_levels.end(), [&](const Level& level) {
            return level.device == m_lastDevice && level.inode == m_lastInode;
        });
        if (isAncestor) {
            if (!report(m_lastPath, ELOOP))
                return std::nullopt;
        } else {
            DIR* parent = m_levels.empty() ? nullptr : m_levels.back().dir.get();
            const int parentFd = parent ? ::dirfd(parent) : -1;
            auto listed = list(parentFd, m_lastName, m_lastNativePath, m_lastPath, m_lastDepth);
            if (!listed && !report(m_lastPath, listed.error().code))
                return std::nullopt;
            if (m_stopped)
                return std::nullopt;
        }
    }
    while (!m_levels.empty()) {
        Level& level = m_levels.back();
        if (level.index == level.children.size()) {
            m_levels.pop_back();
            continue;
        }
        Child& child = level.children[level.index++];
        m_enterPending = child.entry.isDirectory;
        if (m_enterPending) {
            m_lastName = child.name;
            m_lastNativePath = joinNative(level.nativePath, child.name);
            m_lastPath = child.entry.path;
            m_lastDepth = child.entry.depth;
            m_lastDevice = child.device;
            m_lastInode = child.inode;
        }
        return std::move(child.entry);
    }
    return std::nullopt;
}

} // namespace quorvane
