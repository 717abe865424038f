#include "Shared/PrivilegedResults.h"

namespace quorvane {

// Written out by hand, in the documented key order: this is what goes out when encoding itself has
// failed, so it must not depend on the encoder.
QByteArray detail::fallbackReply(const char* pathsKey) {
    return QByteArray(R"({"transactionID":"invalid","succeeded":false,"rollbackComplete":false,")") +
           pathsKey + QByteArray(R"(":[],"message":")") + fallbackReplyMessage().toUtf8() +
           QByteArray(R"("})");
}

QString invalidTransactionID() {
    return QStringLiteral("invalid");
}

QString fallbackReplyMessage() {
    return QStringLiteral("The helper could not encode its response.");
}

} // namespace quorvane
