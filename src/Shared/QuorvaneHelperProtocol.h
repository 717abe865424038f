#pragma once

#include <QString>

namespace quorvane {

// The contract between the application and the privileged helper, shared by both programs. The five
// calls and how they travel are in FrameCodec.h; the documents they carry are in PrivilegedRequests.h
// and PrivilegedResults.h.

// The service both ends name: the helper listens under it, the application connects to it.
inline QString helperServiceName() {
    return QStringLiteral("com.orsolind.Quorvane.helper");
}

// The helper's answer to the handshake; the application accepts only exactly this pair.
inline QString helperName() {
    return QStringLiteral("QuorvaneHelper");
}
inline QString helperBuild() {
    return QStringLiteral("40");
}

// One transaction moves 1 to 256 format bundles; longer runs are cut into chunks of this size.
inline constexpr int minimumTransactionItemCount = 1;
inline constexpr int maximumTransactionItemCount = 256;

} // namespace quorvane
