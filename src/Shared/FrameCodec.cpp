#include "Shared/FrameCodec.h"
#include "Support/JsonReader.h"
#include "Support/JsonWriter.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtEndian>

namespace quorvane {

namespace {

constexpr qint64 maxEnvelopeID = qint64(1) << 53;

} // namespace

QString description(FrameError error) {
    switch (error) {
    case FrameError::tooLarge:
        return QStringLiteral("The message is larger than the helper protocol allows.");
    case FrameError::malformed:
        return QStringLiteral("The message does not follow the helper protocol.");
    }
    return {};
}

std::expected<QByteArray, FrameError> encodeFrameBody(const FrameEnvelope& envelope) {
    QJsonObject object;
    object.insert(QStringLiteral("id"), envelope.id);
    object.insert(QStringLiteral("method"), envelope.method);
    object.insert(QStringLiteral("arguments"), QJsonArray::fromStringList(envelope.arguments));
    QByteArray body = compactJson(object);
    if (body.size() > qsizetype(maxFrameBodySize))
        return std::unexpected(FrameError::tooLarge);
    return body;
}

std::expected<QByteArray, FrameError> encodeFrame(const FrameEnvelope& envelope) {
    const auto body = encodeFrameBody(envelope);
    if (!body)
        return std::unexpected(body.error());
    QByteArray frame(frameHeaderSize, Qt::Uninitialized);
    qToBigEndian<quint32>(quint32(body->size()), frame.data());
    frame.append(*body);
    return frame;
}

std::expected<std::uint32_t, FrameError> decodeFrameHeader(const char header[frameHeaderSize]) {
    const quint32 length = qFromBigEndian<quint32>(header);
    if (length > maxFrameBodySize)
        return std::unexpected(FrameError::tooLarge);
    return length;
}

std::expected<FrameEnvelope, FrameError> decodeFrameBody(const QByteArray& body) {
    if (body.size() > qsizetype(maxFrameBodySize))
        return std::unexpected(FrameError::tooLarge);
    const auto parsed = parseJsonObject(body);
    if (!parsed)
        return std::unexpected(FrameError::malformed);
    const QJsonObject& object = *parsed;
    const QJsonValue id = object.value(QStringLiteral("id"));
    const QJsonValue method = object.value(QStringLiteral("method"));
    const QJsonValue arguments = object.value(QStringLiteral("arguments"));
    if (!id.isDouble() || !method.isString() || !arguments.isArray())
        return std::unexpected(FrameError::malformed);
    const double rawID = id.toDouble();
    if (!(rawID >= 0 && rawID <= double(maxEnvelopeID)) || rawID != double(qint64(rawID)))
        return std::unexpected(FrameError::malformed);

    FrameEnvelope envelope;
    envelope.id = qint64(rawID);
    envelope.method = method.toString();
    for (const QJsonValue& argument : arguments.toArray()) {
        if (!argument.isString())
            return std::unexpected(FrameError::malformed);
        envelope.arguments.append(argument.toString());
    }
    return envelope;
}

void FrameDecoder::append(const QByteArray& bytes) {
    if (!m_error)
        m_buffer.append(bytes);
}

std::expected<std::optional<FrameEnvelope>, FrameError> FrameDecoder::next() {
    if (m_error)
        return std::unexpected(*m_error);
    if (m_buffer.size() < frameHeaderSize)
        return std::optional<FrameEnvelope>{};
    const auto length = decodeFrameHeader(m_buffer.constData());
    if (!length) {
        m_error = length.error();
        m_buffer.clear();
        return std::unexpected(*m_error);
    }
    if (m_buffer.size() < frameHeaderSize + qsizetype(*length))
        return std::optional<FrameEnvelope>{};
    auto envelope = decodeFrameBody(m_buffer.mid(frameHeaderSize, qsizetype(*length)));
    m_buffer.remove(0, frameHeaderSize + qsizetype(*length));
    if (!envelope) {
        m_error = envelope.error();
        m_buffer.clear();
        return std::unexpected(*m_error);
    }
    return std::optional<FrameEnvelope>(std::move(*envelope));
}

QString helperSocketPath(const SystemRoots& roots) {
    return roots.path(QStringLiteral("/run/quorvane/com.orsolind.Quorvane.helper.sock"));
}

QString helperTransactionLockPath(const SystemRoots& roots) {
    return roots.path(QStringLiteral("/run/quorvane/transaction.lock"));
}

} // namespace quorvane
