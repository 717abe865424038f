#include "Shared/FrameCodec.h"
#include "Support/JsonReader.h"
#include "Support/JsonWriter.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtEndian>

#include <cstring>
#include <string_view>

namespace quorvane {

namespace {

constexpr qint64 maxEnvelopeID = qint64(1) << 53;

// As Qt's compact writer puts it: UTF-8, with only the quote and the backslash escaped. Text with a
// control character or a lone surrogate, which Qt escapes otherwise, is left to Qt.
bool appendPlainString(QByteArray& out, QStringView text) {
    if (!text.isValidUtf16())
        return false;
    const QByteArray utf8 = text.toUtf8();
    out.append('"');
    const char* run = utf8.constData();
    const char* const end = run + utf8.size();
    for (const char* position = run; position != end; ++position) {
        const auto byte = static_cast<unsigned char>(*position);
        if (byte < 0x20)
            return false;
        if (byte == '"' || byte == '\\') {
            out.append(run, position - run);
            out.append('\\');
            run = position;
        }
    }
    out.append(run, end - run);
    out.append('"');
    return true;
}

// Reads a body in exactly the form encodePlainEnvelope writes, in one pass and without parsing the
// request or result inside it as JSON a first time; nothing for a body in any other form (spacing,
// key order, \u escapes, invalid UTF-8…), which the JSON parser then judges.
class PlainEnvelopeReader {
public:
    explicit PlainEnvelopeReader(const QByteArray& body)
        : m_position(body.constData()), m_end(body.constData() + body.size()) {}

    std::optional<FrameEnvelope> read() {
        FrameEnvelope envelope;
        if (!take(R"({"arguments":[)"))
            return std::nullopt;
        if (!take("]")) {
            do {
                QString argument;
                if (!readString(argument))
                    return std::nullopt;
                envelope.arguments.append(std::move(argument));
            } while (take(","));
            if (!take("]"))
                return std::nullopt;
        }
        if (!take(R"(,"id":)") || !readID(envelope.id) || !take(R"(,"method":)") ||
            !readString(envelope.method) || !take("}") || m_position != m_end)
            return std::nullopt;
        return envelope;
    }

private:
    bool take(std::string_view literal) {
        if (std::size_t(m_end - m_position) < literal.size() ||
            std::memcmp(m_position, literal.data(), literal.size()) != 0)
            return false;
        m_position += literal.size();
        return true;
    }

    bool readID(qint64& id) {
        const char* start = m_position;
        qint64 value = 0;
        while (m_position != m_end && *m_position >= '0' && *m_position <= '9' && m_position - start < 16)
            value = value * 10 + (*m_position++ - '0');
        const qsizetype digits = m_position - start;
        if (digits == 0 || (digits > 1 && *start == '0') || value > maxEnvelopeID ||
            (m_position != m_end && *m_position >= '0' && *m_position <= '9'))
            return false;
        id = value;
        return true;
    }

    bool readString(QString& text) {
        if (!take("\""))
            return false;
        text.clear();
        const char* run = m_position;
        bool wide = false;
        // A run holds no escape, and no UTF-8 sequence spans a quote or a backslash. Qt's parser
        // accepts exactly the valid UTF-8 and reads it as fromUtf8 does.
        const auto flush = [&] {
            const qsizetype length = m_position - run;
            if (!wide) {
                text.append(QLatin1StringView(run, length));
                return true;
            }
            // fromUtf8 drops a byte order mark opening the run; left to the parser to judge.
            if (!QUtf8StringView(run, length).isValidUtf8() ||
                (length >= 3 && std::memcmp(run, "\xef\xbb\xbf", 3) == 0))
                return false;
            text.append(QString::fromUtf8(run, length));
            wide = false;
            return true;
        };
        while (m_position != m_end) {
            const auto byte = static_cast<unsigned char>(*m_position);
            if (byte == '"') {
                if (!flush())
                    return false;
                ++m_position;
                return true;
            }
            if (byte < 0x20)
                return false;
            if (byte != '\\') {
                wide |= byte >= 0x80;
                ++m_position;
                continue;
            }
            if (!flush())
                return false;
            if (++m_position == m_end)
                return false;
            switch (*m_position) {
            case '"':
                text.append(u'"');
                break;
            case '\\':
                text.append(u'\\');
                break;
            case '/':
                text.append(u'/');
                break;
            case 'b':
                text.append(u'\b');
                break;
            case 'f':
                text.append(u'\f');
                break;
            case 'n':
                text.append(u'\n');
                break;
            case 'r':
                text.append(u'\r');
                break;
            case 't':
                text.append(u'\t');
                break;
            default:
                return false;
            }
            run = ++m_position;
        }
        return false;
    }

    const char* m_position;
    const char* m_end;
};

} // namespace

// The bytes Qt's compact writer gives for the envelope, written without building a document first
// (a request or result runs to tens of kilobytes); nothing for an envelope with a text Qt escapes
// otherwise, which then goes through Qt.
std::optional<QByteArray> detail::encodePlainEnvelope(const FrameEnvelope& envelope) {
    if (envelope.id < 0 || envelope.id > maxEnvelopeID)
        return std::nullopt;
    qsizetype size = 48 + envelope.method.size();
    for (const QString& argument : envelope.arguments)
        size += argument.size() + argument.size() / 4 + 3;
    QByteArray out;
    out.reserve(size);
    out.append(R"({"arguments":[)");
    for (qsizetype index = 0; index < envelope.arguments.size(); ++index) {
        if (index > 0)
            out.append(',');
        if (!appendPlainString(out, envelope.arguments[index]))
            return std::nullopt;
    }
    out.append(R"(],"id":)");
    out.append(QByteArray::number(envelope.id));
    out.append(R"(,"method":)");
    if (!appendPlainString(out, envelope.method))
        return std::nullopt;
    out.append('}');
    return out;
}

std::optional<FrameEnvelope> detail::readPlainEnvelope(const QByteArray& body) {
    return PlainEnvelopeReader(body).read();
}

std::expected<FrameEnvelope, FrameError> detail::readJsonEnvelope(const QByteArray& body) {
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
    if (auto plain = detail::encodePlainEnvelope(envelope)) {
        if (plain->size() > qsizetype(maxFrameBodySize))
            return std::unexpected(FrameError::tooLarge);
        return std::move(*plain);
    }
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
    if (auto plain = detail::readPlainEnvelope(body))
        return std::move(*plain);
    return detail::readJsonEnvelope(body);
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
