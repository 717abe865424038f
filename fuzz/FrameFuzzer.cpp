// The client's side of the helper connection: what comes back on the socket is split into frames
// and each reply's document is decoded as the result of each kind of call. After every input the
// stream splits the same whether it arrives whole or in pieces, every frame and every result
// decoded encodes and decodes again to itself, and every refusal has its sentence. Every body the
// one-pass plain reader takes, the JSON reader takes too and reads the same, and what the plain
// writer writes both readers read back as the envelope written.
//
// Input: one byte giving the size of the pieces, then the bytes the helper sent; the same bytes,
// cut at each control character, also make an envelope to write.

#include "FuzzCheck.h"
#include "Shared/FrameCodec.h"
#include "Shared/PrivilegedResults.h"

#include <QRegularExpression>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace {

using namespace quorvane;
using fuzz::require;

struct Split {
    std::vector<FrameEnvelope> envelopes;
    std::optional<FrameError> error;

    bool operator==(const Split&) const = default;
};

// Asks for frames after every piece, as the reader does after every read.
Split split(const QByteArray& stream, qsizetype pieceSize) {
    Split result;
    FrameDecoder decoder;
    for (qsizetype at = 0; at < stream.size() && !result.error; at += pieceSize) {
        decoder.append(stream.mid(at, pieceSize));
        for (;;) {
            auto next = decoder.next();
            if (!next) {
                result.error = next.error();
                const auto repeated = decoder.next();
                require(!repeated && repeated.error() == next.error(), "a stream error is sticky");
                break;
            }
            if (!*next)
                break;
            result.envelopes.push_back(std::move(**next));
        }
    }
    return result;
}

// Qt's parser drops a byte order mark opening a text without escapes, as QString::fromUtf8 does;
// the readers are compared on what is left.
QStringList withoutOpeningMarks(QStringList texts) {
    for (QString& text : texts) {
        while (text.startsWith(QChar::ByteOrderMark))
            text.remove(0, 1);
    }
    return texts;
}

bool sameUpToOpeningMarks(const FrameEnvelope& read, const FrameEnvelope& written) {
    return read.id == written.id &&
           withoutOpeningMarks({read.method}) == withoutOpeningMarks({written.method}) &&
           withoutOpeningMarks(read.arguments) == withoutOpeningMarks(written.arguments);
}

// The fast path is only an optimisation: wherever it answers, the JSON reader answers the same.
void checkReadersAgree(const QByteArray& body) {
    const auto plain = detail::readPlainEnvelope(body);
    if (!plain)
        return;
    const auto json = detail::readJsonEnvelope(body);
    require(json.has_value(), "the JSON reader takes every body the plain reader takes");
    require(*json == *plain, "the plain reader reads a body as the JSON reader does");
}

// The bodies a stream's headers announce, as the decoder cuts them.
std::vector<QByteArray> framedBodies(const QByteArray& stream) {
    std::vector<QByteArray> bodies;
    for (qsizetype at = 0; stream.size() - at >= frameHeaderSize;) {
        const auto length = decodeFrameHeader(stream.constData() + at);
        if (!length || stream.size() - at - frameHeaderSize < qsizetype(*length))
            break;
        bodies.push_back(stream.mid(at + frameHeaderSize, qsizetype(*length)));
        at += frameHeaderSize + qsizetype(*length);
    }
    return bodies;
}

void checkPlainRoundTrip(const FrameEnvelope& envelope) {
    const auto body = detail::encodePlainEnvelope(envelope);
    if (!body)
        return;
    checkReadersAgree(*body);
    const auto json = detail::readJsonEnvelope(*body);
    require(json && sameUpToOpeningMarks(*json, envelope),
            "the JSON reader reads what the plain writer wrote");
    const bool marked = envelope.method.contains(QChar::ByteOrderMark) ||
                        std::ranges::any_of(envelope.arguments, [](const QString& argument) {
                            return argument.contains(QChar::ByteOrderMark);
                        });
    // The plain reader may leave a text with a byte order mark to the parser.
    if (!marked)
        require(detail::readPlainEnvelope(*body) == envelope,
                "the plain reader reads what the plain writer wrote");
}

template <class Result>
void checkResult(std::expected<Result, JsonError> (*decode)(const QByteArray&), const QByteArray& document) {
    const auto result = decode(document);
    if (!result) {
        require(!result.error().description().isEmpty(), "a refused result has its sentence");
        return;
    }
    const auto again = decode(encode(*result));
    require(again && *again == *result, "a decoded result encodes and decodes to itself");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1)
        return 0;
    const qsizetype pieceSize = data[0] % 16 + 1;
    const QByteArray stream(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    const Split whole = split(stream, std::max<qsizetype>(stream.size(), 1));
    require(split(stream, pieceSize) == whole, "pieces split as the whole stream");
    if (whole.error)
        require(!description(*whole.error).isEmpty(), "a stream error has its sentence");

    checkReadersAgree(stream);
    for (const QByteArray& body : framedBodies(stream))
        checkReadersAgree(body);
    static const QRegularExpression controlCharacter(QStringLiteral("[\\x00-\\x1f]"));
    QStringList texts = QString::fromUtf8(stream).split(controlCharacter);
    const QString method = texts.takeFirst();
    checkPlainRoundTrip(FrameEnvelope{(qint64(data[0]) << 45) + stream.size(), method, texts});

    // The reader takes each body whole from the channel and decodes it as it is.
    std::vector<FrameEnvelope> envelopes = whole.envelopes;
    if (const auto body = decodeFrameBody(stream))
        envelopes.push_back(*body);
    else
        require(!description(body.error()).isEmpty(), "a refused body has its sentence");

    for (const FrameEnvelope& envelope : envelopes) {
        const auto frame = encodeFrame(envelope);
        require(frame.has_value(), "a decoded frame encodes again");
        const auto header = decodeFrameHeader(frame->constData());
        require(header && qsizetype(*header) == frame->size() - frameHeaderSize, "the header gives the body");
        const auto again = decodeFrameBody(frame->mid(frameHeaderSize));
        require(again && sameUpToOpeningMarks(*again, envelope),
                "a decoded frame encodes and decodes to itself");
        checkPlainRoundTrip(envelope);
        if (envelope.arguments.size() != 1)
            continue;
        const QByteArray document = envelope.arguments.front().toUtf8();
        checkResult(&decodePrivilegedQuarantineResult, document);
        checkResult(&decodePrivilegedRestoreResult, document);
        checkResult(&decodePrivilegedTrashResult, document);
        checkResult(&decodePrivilegedTrashRestoreResult, document);
    }
    return 0;
}
