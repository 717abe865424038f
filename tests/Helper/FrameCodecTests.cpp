#include "Shared/FrameCodec.h"
#include "Shared/PrivilegedRequests.h"
#include "Support/JsonReader.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtEndian>

#include <gtest/gtest.h>

namespace quorvane::testing {
namespace {

TEST(FrameCodecTest, EncodesTheEnvelopeCompactlyBehindABigEndianLength) {
    const auto frame = encodeFrame(FrameEnvelope{42, FrameMethod::handshake, {"Quorvane 1.0.1 (Build 40)"}});
    ASSERT_TRUE(frame.has_value());
    const QByteArray body =
        R"json({"arguments":["Quorvane 1.0.1 (Build 40)"],"id":42,"method":"handshake"})json";
    EXPECT_EQ(frame->left(4), QByteArray::fromHex("00000048"));
    EXPECT_EQ(frame->mid(4), body);
    EXPECT_EQ(decodeFrameBody(body), (FrameEnvelope{42, "handshake", {"Quorvane 1.0.1 (Build 40)"}}));
}

TEST(FrameCodecTest, RefusesEveryOtherShape) {
    for (const char* body :
         {"", "[]", "{", R"({"id":1,"method":"m"})", R"({"id":"1","method":"m","arguments":[]})",
          R"({"id":1.5,"method":"m","arguments":[]})", R"({"id":-1,"method":"m","arguments":[]})",
          R"({"id":1e300,"method":"m","arguments":[]})", R"({"id":1,"method":2,"arguments":[]})",
          R"({"id":1,"method":"m","arguments":[1]})", R"({"id":1,"method":"m","arguments":{}})",
          R"({"id":1,"method":"m","arguments":[],"id":2})",
          "{\"id\":1,\"method\":\"m\",\"arguments\":[\"\x01\"]}"})
        EXPECT_EQ(decodeFrameBody(body).error(), FrameError::malformed) << body;
    EXPECT_EQ(decodeFrameBody(R"({"id":9007199254740992,"method":"m","arguments":[],"extra":1})")->id,
              9007199254740992);
}

TEST(FrameCodecTest, AKeyGivenTwiceAnywhereIsRefused) {
    const std::vector<std::pair<QByteArray, bool>> rows{
        {R"({"a":1,"b":2})", false},
        {R"({"a":1,"a":1})", true},
        {R"({"a":1,"\u0061":2})", true},
        {R"({"o":{"x":1,"x":2}})", true},
        {R"({"l":[{"x":1},{"x":1,"y":{"x":3}}]})", false},
        {R"({"l":[{},{"x":1,"x":{"y":1}}]})", true},
        {R"({"a":{"b":1},"a":{"c":1}})", true},
        {R"({"k:\":\"":"v:","m":"\\"})", false},
        {R"({"a" : "x" , "b":[":",":"]})", false},
    };
    for (const auto& [text, repeated] : rows) {
        // Qt alone keeps the last of two values.
        ASSERT_FALSE(QJsonDocument::fromJson(text).isNull()) << text.constData();
        EXPECT_EQ(parseJsonObject(text).has_value(), !repeated) << text.constData();
    }

    // Every request kind refuses a repeated key before anything is looked at.
    const QByteArray repeated = R"({"transactionID":"A","transactionID":"B","items":[],"items":[]})";
    const QString refusal = "The data is not valid JSON (an object repeats a key).";
    EXPECT_EQ(decodePrivilegedQuarantineRequest(repeated).error().description(), refusal);
    EXPECT_EQ(decodePrivilegedRestoreRequest(repeated).error().description(), refusal);
    EXPECT_EQ(decodePrivilegedTrashRequest(repeated).error().description(), refusal);
    EXPECT_EQ(decodePrivilegedTrashRestoreRequest(repeated).error().description(), refusal);
}

// Whatever text an envelope carries, its body is the bytes Qt's compact writer gives, and every JSON
// spelling of it decodes to what Qt's parser reads.
TEST(FrameCodecTest, EveryTextTravelsAsQtWritesIt) {
    const QString request = R"({"items":[{"sourcePath":"/Library/A \"b\".vst3"}],"transactionID":"T"})";
    const std::vector<FrameEnvelope> envelopes{
        {0, "quarantine", {request}},
        {9007199254740992, "reply", {}},
        {7, "m", {"", "/a/b", "tab\there", "new\nline", "quote\" back\\slash", "~\x7f", "\x01\x1f"}},
        {8, "m\u00e9thod", {"Caf\u00e9 \u2014 \U0001F3B5", "\ufeffa\"\ufeff\ufffe\u2028"}},
        {10, "m", {"x\ufeffy"}},
        {11, "m", {"\\\ufeff"}},
        {9, "m", {"\u00e9", QString(QChar(0xd800))}},
    };
    for (const FrameEnvelope& envelope : envelopes) {
        QJsonObject object;
        object.insert("id", envelope.id);
        object.insert("method", envelope.method);
        object.insert("arguments", QJsonArray::fromStringList(envelope.arguments));
        const QByteArray written = QJsonDocument(object).toJson(QJsonDocument::Compact);
        SCOPED_TRACE(written.constData());
        EXPECT_EQ(encodeFrameBody(envelope), written);
        // Read back as Qt's parser reads it (which drops a byte order mark opening a text).
        const QJsonObject read = QJsonDocument::fromJson(written).object();
        const FrameEnvelope expected{envelope.id, read.value("method").toString(),
                                     read.value("arguments").toVariant().toStringList()};
        EXPECT_EQ(decodeFrameBody(written), expected);
    }

    const FrameEnvelope expected{12, "m", {"a/\"\\\b\f\n\r\t\u00e9", "x"}};
    for (const char* body : {
             R"({"arguments":["a\/\"\\\b\f\n\r\t\u00e9","x"],"id":12,"method":"m"})",
             R"({"arguments":["a/\"\\\b\f\n\r\t\u00e9","x"],"id":12,"method":"m"})",
             "{\"arguments\":[\"a/\\\"\\\\\\b\\f\\n\\r\\t\xc3\xa9\",\"x\"],\"id\":12,\"method\":\"m\"}",
             R"({"method":"m","id":12,"arguments":["a/\"\\\b\f\n\r\t\u00e9","x"]})",
             R"( { "arguments" : [ "a/\"\\\b\f\n\r\t\u00e9" , "x" ] , "id" : 12.0 , "method" : "\u006d" } )",
         })
        EXPECT_EQ(decodeFrameBody(body), expected) << body;
    for (const char* body : {
             R"({"arguments":["x"],"id":012,"method":"m"})",
             R"({"arguments":["x"],"id":90071992547409920,"method":"m"})",
             R"({"arguments":["x\q"],"id":1,"method":"m"})",
             R"({"arguments":["x],"id":1,"method":"m"})",
             R"({"arguments":["x"],"id":1,"method":"m"}x)",
             R"({"arguments":["x",],"id":1,"method":"m"})",
             "{\"arguments\":[\"\xff\"],\"id\":1,\"method\":\"m\"}",
         })
        EXPECT_EQ(decodeFrameBody(body).error(), FrameError::malformed) << body;
}

TEST(FrameCodecTest, CapsTheBodyAtFourMebibytes) {
    char header[4];
    qToBigEndian<quint32>(maxFrameBodySize, header);
    EXPECT_EQ(*decodeFrameHeader(header), maxFrameBodySize);
    qToBigEndian<quint32>(maxFrameBodySize + 1, header);
    EXPECT_EQ(decodeFrameHeader(header).error(), FrameError::tooLarge);
    EXPECT_EQ(encodeFrame(FrameEnvelope{1, "m", {QString(int(maxFrameBodySize), 'x')}}).error(),
              FrameError::tooLarge);
}

TEST(FrameCodecTest, DecoderSplitsAStreamGivenInPieces) {
    const QByteArray stream =
        *encodeFrame(FrameEnvelope{1, "a", {}}) + *encodeFrame(FrameEnvelope{2, "b", {"x"}});
    FrameDecoder decoder;
    std::vector<FrameEnvelope> seen;
    for (char byte : stream) {
        decoder.append(QByteArray(1, byte));
        auto next = decoder.next();
        ASSERT_TRUE(next.has_value());
        if (*next)
            seen.push_back(**next);
    }
    EXPECT_EQ(seen, (std::vector<FrameEnvelope>{{1, "a", {}}, {2, "b", {"x"}}}));
    EXPECT_EQ(decoder.bufferedSize(), 0);

    decoder.append(QByteArray::fromHex("7fffffff"));
    EXPECT_EQ(decoder.next().error(), FrameError::tooLarge);
    decoder.append(*encodeFrame(FrameEnvelope{3, "c", {}}));
    EXPECT_EQ(decoder.next().error(), FrameError::tooLarge);
}

TEST(FrameCodecTest, NamesTheFixedEndpoints) {
    EXPECT_EQ(helperSocketPath(SystemRoots::production()), "/run/quorvane/com.orsolind.Quorvane.helper.sock");
    EXPECT_EQ(helperTransactionLockPath(SystemRoots{"/tmp/t"}), "/tmp/t/run/quorvane/transaction.lock");
}

} // namespace
} // namespace quorvane::testing
