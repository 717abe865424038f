#pragma once

#include "Shared/PrivilegedKinds.h"
#include "Shared/SystemRoots.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <expected>
#include <optional>

namespace quorvane {

// The helper's wire format on its Unix stream socket.
//
// A frame is a 4-byte big-endian body length followed by the body: one compact UTF-8 JSON object,
// the envelope
//
//     {"id": <integer 0 … 2^53>, "method": <string>, "arguments": [<string>, …]}
//
// A call carries the method name and its string arguments; its reply carries the call's id, the
// method "reply" and the reply's arguments. Like the protocol it stands in for, only strings travel:
//
//     method              arguments of the call        arguments of the reply
//     "handshake"         [client version]             [helper name, helper build]
//     "quarantine"        [request JSON]               [result JSON]
//     "restore"           [request JSON]               [result JSON]
//     "moveToTrash"       [request JSON]               [result JSON]
//     "restoreFromTrash"  [request JSON]               [result JSON]
//
// A request or result document travels as the text of its JSON, unchanged, so that a request that
// does not decode can still be answered. A body over maxFrameBodySize or an envelope that is not of
// this shape is a protocol violation: the receiver closes the connection without answering.
struct FrameEnvelope {
    qint64 id = 0;
    QString method;
    QStringList arguments;

    bool operator==(const FrameEnvelope&) const = default;
};

// The transaction calls are named in their kinds' descriptions.
namespace FrameMethod {
inline constexpr auto handshake = "handshake";
inline constexpr auto quarantine = PrivilegedKindDescription<PrivilegedKind::quarantine>::method;
inline constexpr auto restore = PrivilegedKindDescription<PrivilegedKind::restore>::method;
inline constexpr auto moveToTrash = PrivilegedKindDescription<PrivilegedKind::trash>::method;
inline constexpr auto restoreFromTrash = PrivilegedKindDescription<PrivilegedKind::trashRecovery>::method;
inline constexpr auto reply = "reply";
} // namespace FrameMethod

inline constexpr std::uint32_t maxFrameBodySize = 4u * 1024u * 1024u;
inline constexpr int frameHeaderSize = 4;

enum class FrameError {
    tooLarge,
    malformed,
};

QString description(FrameError error);

// The body alone, for channels that write the header themselves; tooLarge past the cap.
[[nodiscard]] std::expected<QByteArray, FrameError> encodeFrameBody(const FrameEnvelope& envelope);
// Header followed by body. Fails with tooLarge when the body would exceed the cap.
[[nodiscard]] std::expected<QByteArray, FrameError> encodeFrame(const FrameEnvelope& envelope);
// The body length announced by a 4-byte header; tooLarge past the cap, checked before anything is
// allocated for the body.
[[nodiscard]] std::expected<std::uint32_t, FrameError> decodeFrameHeader(const char header[frameHeaderSize]);
[[nodiscard]] std::expected<FrameEnvelope, FrameError> decodeFrameBody(const QByteArray& body);

// Splits a byte stream into envelopes, for readers that receive bytes in arbitrary pieces.
class FrameDecoder {
public:
    void append(const QByteArray& bytes);
    // The next complete envelope, nothing while more bytes are needed, or the error that ends the
    // stream (sticky: every later call returns it again).
    [[nodiscard]] std::expected<std::optional<FrameEnvelope>, FrameError> next();
    qsizetype bufferedSize() const { return m_buffer.size(); }

private:
    QByteArray m_buffer;
    std::optional<FrameError> m_error;
};

namespace detail {
// decodeFrameBody's two readers and encodeFrameBody's one-pass writer apart, for checks that hold
// them against each other. The plain reader takes only the form the plain writer writes and gives
// nothing otherwise; the JSON reader takes any JSON spelling of an envelope. Neither checks the cap.
[[nodiscard]] std::optional<FrameEnvelope> readPlainEnvelope(const QByteArray& body);
[[nodiscard]] std::expected<FrameEnvelope, FrameError> readJsonEnvelope(const QByteArray& body);
// Nothing for an envelope with a text Qt's writer escapes otherwise, which is left to Qt.
[[nodiscard]] std::optional<QByteArray> encodePlainEnvelope(const FrameEnvelope& envelope);
} // namespace detail

// The fixed endpoints of the helper, under the given roots (production: the literal paths).
// The socket systemd creates for the helper.
QString helperSocketPath(const SystemRoots& roots);
// The file the helper holds an exclusive flock on while a transaction runs; the application probes
// it before it decides that an unanswered transaction has ended.
QString helperTransactionLockPath(const SystemRoots& roots);

} // namespace quorvane
