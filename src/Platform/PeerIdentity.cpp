#include "Platform/PeerIdentity.h"

#include "Support/Paths.h"

#include <QStringList>

#include <cerrno>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#ifndef SO_PEERPIDFD
#define SO_PEERPIDFD 77
#endif

namespace quorvane {

namespace {

bool isSafelyOwned(const struct stat& status, uid_t owner) {
    return status.st_uid == owner && (status.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

// A pidfd for the peer, taken from the socket where the kernel offers it (so it names exactly the
// process that connected) and otherwise opened by pid straight away.
int peerPidfd(int socketFd, pid_t pid) {
    int pidfd = -1;
    socklen_t length = sizeof(pidfd);
    if (::getsockopt(socketFd, SOL_SOCKET, SO_PEERPIDFD, &pidfd, &length) == 0 && pidfd >= 0)
        return pidfd;
    return int(::syscall(SYS_pidfd_open, pid, 0));
}

bool pidfdProcessAlive(int pidfd) {
    pollfd entry{pidfd, POLLIN, 0};
    // A pidfd becomes readable when its process exits.
    return ::poll(&entry, 1, 0) == 0;
}

} // namespace

QString description(PeerIdentityError error) {
    switch (error) {
    case PeerIdentityError::credentialsUnavailable:
        return QStringLiteral("The peer’s credentials could not be read.");
    case PeerIdentityError::uidNotAllowed:
        return QStringLiteral("The peer runs as a user that may not use the helper.");
    case PeerIdentityError::executableUnavailable:
        return QStringLiteral("The peer’s program could not be identified.");
    case PeerIdentityError::executableMismatch:
        return QStringLiteral("The peer is not the installed Quorvane application.");
    case PeerIdentityError::expectedExecutableUnsafe:
        return QStringLiteral(
            "The installed Quorvane application is missing or could be changed by other users.");
    case PeerIdentityError::peerExited:
        return QStringLiteral("The peer ended while it was being checked.");
    case PeerIdentityError::socketPathUnsafe:
        return QStringLiteral("The helper’s socket is not in a protected system location.");
    case PeerIdentityError::helperNotRoot:
        return QStringLiteral("The process behind the helper’s socket is not the system helper.");
    }
    return {};
}

std::expected<PeerCredentials, SyscallError> peerCredentials(int socketFd) {
    ucred credentials{};
    socklen_t length = sizeof(credentials);
    if (::getsockopt(socketFd, SOL_SOCKET, SO_PEERCRED, &credentials, &length) != 0)
        return std::unexpected(SyscallError::fromErrno());
    return PeerCredentials{credentials.pid, credentials.uid, credentials.gid};
}

std::expected<PeerCredentials, PeerIdentityError> verifyClientPeer(int socketFd,
                                                                   const ClientRequirement& requirement) {
    const auto credentials = peerCredentials(socketFd);
    if (!credentials || credentials->pid <= 0)
        return std::unexpected(PeerIdentityError::credentialsUnavailable);

    if (credentials->uid != 0) {
        const std::optional<uid_t> console = requirement.consoleUid ? requirement.consoleUid() : std::nullopt;
        if (!console || *console != credentials->uid)
            return std::unexpected(PeerIdentityError::uidNotAllowed);
    }

    const QByteArray expected = requirement.applicationExecutable.toUtf8();
    struct stat expectedStatus {};
    struct stat folderStatus {};
    const QByteArray folder = deletingLastPathComponent(requirement.applicationExecutable).toUtf8();
    if (expected.isEmpty() || ::stat(expected.constData(), &expectedStatus) != 0 ||
        !S_ISREG(expectedStatus.st_mode) || !isSafelyOwned(expectedStatus, requirement.executableOwner) ||
        ::stat(folder.constData(), &folderStatus) != 0 || !S_ISDIR(folderStatus.st_mode) ||
        !isSafelyOwned(folderStatus, requirement.executableOwner))
        return std::unexpected(PeerIdentityError::expectedExecutableUnsafe);

    const int pidfd = peerPidfd(socketFd, credentials->pid);
    if (pidfd < 0)
        return std::unexpected(PeerIdentityError::peerExited);
    const QByteArray exeLink = QByteArray("/proc/") + QByteArray::number(credentials->pid) + "/exe";
    struct stat peerStatus {};
    const bool readable = ::stat(exeLink.constData(), &peerStatus) == 0;
    // The /proc read is only about the right process if that process is still the one pinned.
    const bool alive = pidfdProcessAlive(pidfd);
    ::close(pidfd);
    if (!alive)
        return std::unexpected(PeerIdentityError::peerExited);
    if (!readable)
        return std::unexpected(PeerIdentityError::executableUnavailable);
    if (peerStatus.st_dev != expectedStatus.st_dev || peerStatus.st_ino != expectedStatus.st_ino)
        return std::unexpected(PeerIdentityError::executableMismatch);
    return *credentials;
}

std::expected<void, PeerIdentityError> verifyHelperSocketPath(const QString& socketPath, uid_t ownerUid) {
    if (!socketPath.startsWith(QLatin1Char('/')) || standardizedPath(socketPath) != socketPath)
        return std::unexpected(PeerIdentityError::socketPathUnsafe);
    QString walked;
    const QStringList components = socketPath.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (qsizetype index = 0; index < components.size(); ++index) {
        walked += QLatin1Char('/') + components.at(index);
        struct stat status {};
        if (::lstat(walked.toUtf8().constData(), &status) != 0 || S_ISLNK(status.st_mode))
            return std::unexpected(PeerIdentityError::socketPathUnsafe);
        const bool isFolder = index == components.size() - 2;
        const bool isSocket = index == components.size() - 1;
        if (isFolder && (!S_ISDIR(status.st_mode) || status.st_uid != ownerUid ||
                         (status.st_mode & (S_IWGRP | S_IWOTH)) != 0))
            return std::unexpected(PeerIdentityError::socketPathUnsafe);
        if (isSocket && (!S_ISSOCK(status.st_mode) || status.st_uid != ownerUid))
            return std::unexpected(PeerIdentityError::socketPathUnsafe);
    }
    if (components.size() < 2)
        return std::unexpected(PeerIdentityError::socketPathUnsafe);
    return {};
}

std::expected<void, PeerIdentityError> verifyHelperPeer(int socketFd, uid_t ownerUid) {
    const auto credentials = peerCredentials(socketFd);
    if (!credentials)
        return std::unexpected(PeerIdentityError::credentialsUnavailable);
    if (credentials->uid != ownerUid)
        return std::unexpected(PeerIdentityError::helperNotRoot);
    return {};
}

} // namespace quorvane
