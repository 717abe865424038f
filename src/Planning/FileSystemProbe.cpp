#include "Planning/FileSystemProbe.h"

#include <QFile>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

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
    long suggested = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(suggested > 0 ? static_cast<size_t>(suggested) : 16384);
    for (int attempt = 0; attempt < 6; ++attempt) {
        struct passwd entry {};
        struct passwd* found = nullptr;
        const int error = ::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found);
        if (error == ERANGE) {
            buffer.resize(buffer.size() * 2);
            continue;
        }
        if (error != 0 || found == nullptr || found->pw_dir == nullptr)
            return {};
        return QFile::decodeName(found->pw_dir);
    }
    return {};
}

} // namespace quorvane
