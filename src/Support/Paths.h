#pragma once

#include <QString>

namespace quorvane {

// Absolute against the current folder, without "." and ".." components or repeated separators,
// never above "/", without a trailing "/". Purely textual: never follows links.
QString standardizedPath(const QString& path);
// Standardises, then resolves every symbolic link along the part of the path that exists; the
// missing tail is kept unchanged.
QString resolvingSymlinksInPath(const QString& path);

QString lastPathComponent(const QString& path);
// As on disk, after the last "." of the last component; empty if there is none.
QString pathExtension(const QString& path);
QString deletingLastPathComponent(const QString& path);
QString deletingPathExtension(const QString& path);
QString appendingPathComponent(const QString& base, const QString& component);

} // namespace quorvane
