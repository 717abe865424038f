#include "Planning/FileSystemProbe.h"

#include "Shared/PasswordDatabase.h"

#include <QFile>

#include <sys/stat.h>
#include <unistd.h>

namespace quorvane {

namespace {

// A path with a NUL would reach the kernel shorter than the one checked.
bool encodable(const QString& path) {
    return !path.isEmpty() && !path.contains(QChar(u'\0'));
}

} // namespace

bool SystemFileSystemProbe::fileExists(const QString& path) const {
    if (!encodable(path))
        return false;
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0;
}

std::optional<FileSystemProbe::LinkFlags> SystemFileSystemProbe::linkFlags(const QString& path) const {
    if (!encodable(path))
        return std::nullopt;
    struct stat info {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return std::nullopt;
    return LinkFlags{S_ISDIR(info.st_mode), S_ISLNK(info.st_mode)};
}

QString SystemFileSystemProbe::homeDirectory() const {
    return m_home ? *m_home : passwordDatabaseHome();
}

QString SystemFileSystemProbe::passwordDatabaseHome() {
    const auto entry = passwordEntryOf(::getuid());
    return entry ? entry->home : QString();
}

} // namespace quorvane
