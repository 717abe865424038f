#pragma once

#include <QString>

namespace quorvane {

// Absolute against the current folder, without "." and ".." components or repeated separators,
// never above "/", without a trailing "/". Purely textual: never follows links.
QString standardizedPath(const QString& path);
// Standardises, then resolves every symbolic link along the part of the path that exists; the
// missing tail is kept unchanged.
QString resolvingSymlinksInPath(const QString& path);

// What resolvingSymlinksInPath found, for callers that must not trust a path still holding a link.
struct SymlinkResolution {
    QString path;
    // Every existing component of `path` was seen not to be a link. False when resolution gave up
    // (a loop, an unreadable link: `path` is then the standardised input) or when ".." from a link
    // target was applied to the missing tail.
    bool linkFree = false;

    bool operator==(const SymlinkResolution&) const = default;
};
SymlinkResolution resolveSymlinksInPath(const QString& path);

QString lastPathComponent(const QString& path);
// As on disk, after the last "." of the last component; empty if there is none.
QString pathExtension(const QString& path);
QString deletingLastPathComponent(const QString& path);
QString deletingPathExtension(const QString& path);
QString appendingPathComponent(const QString& base, const QString& component);

} // namespace quorvane
