#include "Support/Paths.h"

#include <QDir>
#include <QFile>
#include <QStringList>

#include <cerrno>
#include <deque>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
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

std::optional<QString> readLink(const QString& path) {
    const QByteArray encoded = QFile::encodeName(path);
    std::vector<char> buffer(256);
    for (;;) {
        const ssize_t length = ::readlink(encoded.constData(), buffer.data(), buffer.size());
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

} // namespace

QString standardizedPath(const QString& path) {
    if (path.isEmpty())
        return {};
    const QString absolute =
        path.startsWith(QLatin1Char('/')) ? path : QDir::currentPath() + QLatin1Char('/') + path;
    QStringList stack;
    for (const QString& component : absolute.split(QLatin1Char('/'), Qt::SkipEmptyParts))
        push(stack, component);
    return joinedAbsolute(stack);
}

QString resolvingSymlinksInPath(const QString& path) {
    const QString standardized = standardizedPath(path);
    if (standardized.isEmpty())
        return standardized;
    std::deque<QString> pending;
    for (const QString& component : standardized.split(QLatin1Char('/'), Qt::SkipEmptyParts))
        pending.push_back(component);
    QStringList resolved;
    int linkCount = 0;
    while (!pending.empty()) {
        const QString component = pending.front();
        pending.pop_front();
        if (component == QLatin1String(".") || component == QLatin1String("..")) {
            push(resolved, component);
            continue;
        }
        QStringList candidate = resolved;
        candidate.append(component);
        const QString candidatePath = joinedAbsolute(candidate);
        struct stat status {};
        if (::lstat(QFile::encodeName(candidatePath).constData(), &status) != 0) {
            // The rest does not exist (or cannot be read): keep it as written.
            resolved = candidate;
            for (const QString& rest : pending)
                push(resolved, rest);
            break;
        }
        if (!S_ISLNK(status.st_mode)) {
            resolved = candidate;
            continue;
        }
        if (++linkCount > maximumLinkCount)
            return standardized;
        const std::optional<QString> target = readLink(candidatePath);
        if (!target || target->isEmpty())
            return standardized;
        if (target->startsWith(QLatin1Char('/')))
            resolved.clear();
        const QStringList targetComponents = target->split(QLatin1Char('/'), Qt::SkipEmptyParts);
        for (auto it = targetComponents.crbegin(); it != targetComponents.crend(); ++it)
            pending.push_front(*it);
    }
    return joinedAbsolute(resolved);
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
