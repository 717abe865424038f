#pragma once

#include "Platform/SyscallError.h"

#include <QString>

#include <sys/types.h>

#include <expected>
#include <functional>
#include <optional>

namespace quorvane {

// Kernel-attested credentials of the other end of a Unix socket, as of its connect().
struct PeerCredentials {
    pid_t pid = 0;
    uid_t uid = 0;
    gid_t gid = 0;

    bool operator==(const PeerCredentials&) const = default;
};

[[nodiscard]] std::expected<PeerCredentials, SyscallError> peerCredentials(int socketFd);

enum class PeerIdentityError {
    credentialsUnavailable,
    uidNotAllowed,
    executableUnavailable,
    executableMismatch,
    expectedExecutableUnsafe,
    peerExited,
    socketPathUnsafe,
    helperNotRoot,
};

QString description(PeerIdentityError error);

// What the helper demands of a client before it reads a single request byte: the peer runs the
// installed application binary (same device and inode; that binary root-owned, not writable by group
// or others, in a root-owned folder that group and others cannot write) and its uid is the console
// user's or 0. Linux has no code signature, so this stops impostor binaries and other users, not a
// same-user process that takes over the real application; the path policy is the real boundary.
struct ClientRequirement {
    // The installed application binary.
    QString applicationExecutable;
    // Asked at each connection, so a user switch is seen; nothing means only root may connect.
    std::function<std::optional<uid_t>()> consoleUid;
    // Who must own the binary and its folder: root for an installation; the developer for the
    // testbed, whose application is a build the developer owns.
    uid_t executableOwner = 0;
};

[[nodiscard]] std::expected<PeerCredentials, PeerIdentityError>
verifyClientPeer(int socketFd, const ClientRequirement& requirement);

// What the application demands of the helper's socket before it connects: no symbolic link on the
// way, the socket's folder owned by `ownerUid` and not writable by group or others, the socket
// itself a socket owned by `ownerUid` (others must be able to write it to connect at all).
[[nodiscard]] std::expected<void, PeerIdentityError> verifyHelperSocketPath(const QString& socketPath,
                                                                            uid_t ownerUid = 0);
// After connecting: the listening end belongs to `ownerUid`.
[[nodiscard]] std::expected<void, PeerIdentityError> verifyHelperPeer(int socketFd, uid_t ownerUid = 0);

} // namespace quorvane
