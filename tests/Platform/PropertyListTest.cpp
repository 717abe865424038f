#include "Platform/PropertyList.h"

#include "Support/Fixtures/FixturePluginBundles.h"
#include "Support/Fixtures/FixtureQtPrinters.h"
#include "Support/Fixtures/TemporaryTree.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QStringEncoder>

#include <plist/plist.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <sys/stat.h>

namespace quorvane {
namespace {

const char* sampleXml = R"(<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">
<plist version="1.0">
<dict>
  <key>CFBundleName</key><string>Crème &amp; Reverb</string>
  <key>Count</key><integer>-3</integer>
  <key>Ratio</key><real>0.5</real>
  <key>Enabled</key><true/>
  <key>Blob</key><data>AAEC</data>
  <key>When</key><date>2001-01-01T00:01:00Z</date>
  <key>AudioComponents</key>
  <array><dict><key>name</key><string>Acme: Verb</string><key>version</key><integer>65536</integer></dict></array>
</dict>
</plist>
)";

void expectSample(const QVariantMap& map) {
    EXPECT_EQ(map.value("CFBundleName").toString(), QStringLiteral("Crème & Reverb"));
    EXPECT_EQ(map.value("Count").typeId(), QMetaType::LongLong);
    EXPECT_EQ(map.value("Count").toLongLong(), -3);
    EXPECT_DOUBLE_EQ(map.value("Ratio").toDouble(), 0.5);
    EXPECT_EQ(map.value("Enabled").typeId(), QMetaType::Bool);
    EXPECT_TRUE(map.value("Enabled").toBool());
    EXPECT_EQ(map.value("Blob").toByteArray(), QByteArray("\x00\x01\x02", 3));
    EXPECT_EQ(map.value("When").toDateTime(), QDateTime::fromString("2001-01-01T00:01:00Z", Qt::ISODate));
    const QVariantList components = map.value("AudioComponents").toList();
    ASSERT_EQ(components.size(), 1);
    EXPECT_EQ(components.first().toMap().value("name").toString(), "Acme: Verb");
}

QByteArray toBinary(const QByteArray& xml) {
    plist_t root = nullptr;
    plist_from_xml(xml.constData(), static_cast<uint32_t>(xml.size()), &root);
    char* bytes = nullptr;
    uint32_t length = 0;
    plist_to_bin(root, &bytes, &length);
    plist_free(root);
    QByteArray result(bytes, static_cast<qsizetype>(length));
    std::free(bytes);
    return result;
}

void appendBigEndian(QByteArray& out, quint64 value, int width) {
    for (int i = width - 1; i >= 0; --i)
        out.append(static_cast<char>((value >> (8 * i)) & 0xFF));
}

// A binary list of `count` arrays where array i holds `refsPerLevel` references to array i + 1.
QByteArray chainedBinaryList(int count, int refsPerLevel, bool lastPointsToFirst = false) {
    QByteArray bytes("bplist00");
    QList<quint64> offsets;
    for (int i = 0; i < count; ++i) {
        offsets.append(bytes.size());
        if (i + 1 < count || lastPointsToFirst) {
            bytes.append(static_cast<char>(0xA0 | refsPerLevel));
            for (int r = 0; r < refsPerLevel; ++r)
                appendBigEndian(bytes, i + 1 < count ? i + 1 : 0, 4);
        } else {
            bytes.append(static_cast<char>(0xA0));
        }
    }
    const quint64 table = bytes.size();
    for (quint64 offset : offsets)
        appendBigEndian(bytes, offset, 4);
    bytes.append(QByteArray(6, '\0'));
    bytes.append(char(4));
    bytes.append(char(4));
    appendBigEndian(bytes, count, 8);
    appendBigEndian(bytes, 0, 8);
    appendBigEndian(bytes, table, 8);
    return bytes;
}

TEST(PropertyList, ReadsXmlAndBinaryAlike) {
    auto xml = parsePropertyList(QByteArray(sampleXml));
    ASSERT_TRUE(xml) << description(xml.error()).toStdString();
    expectSample(xml->toMap());

    const QByteArray binary = toBinary(QByteArray(sampleXml));
    ASSERT_TRUE(binary.startsWith("bplist00"));
    auto parsed = parsePropertyList(binary);
    ASSERT_TRUE(parsed) << description(parsed.error()).toStdString();
    expectSample(parsed->toMap());
}

// The sample in another text encoding, with its byte order mark.
QByteArray encoded(QStringConverter::Encoding encoding, const QByteArray& utf8 = sampleXml) {
    QStringEncoder encoder(encoding, QStringEncoder::Flag::WriteBom);
    return encoder.encode(QString::fromUtf8(utf8).replace("UTF-8", "UTF-16"));
}

TEST(PropertyList, TextListsWithAByteOrderMarkOrInUtf16) {
    const QByteArray utf8Mark = QByteArray("\xEF\xBB\xBF") + sampleXml;
    const QByteArray little = encoded(QStringConverter::Utf16LE);
    const QByteArray big = encoded(QStringConverter::Utf16BE);
    ASSERT_TRUE(little.startsWith("\xFF\xFE<\0") && big.startsWith("\xFE\xFF\0<"));
    for (const QByteArray& bytes : {utf8Mark, little, big}) {
        auto parsed = parsePropertyList(bytes);
        ASSERT_TRUE(parsed) << description(parsed.error()).toStdString() << " "
                            << bytes.left(4).toHex().toStdString();
        expectSample(parsed->toMap());
    }

    QByteArray loneSurrogate = little;
    loneSurrogate.insert(2, QByteArray("\x00\xD8", 2));
    QByteArray deep("<?xml version=\"1.0\"?><plist version=\"1.0\">");
    deep.append(QByteArray("<array>").repeated(propertyListDepthLimit + 2));
    deep.append(QByteArray("</array>").repeated(propertyListDepthLimit + 2));
    deep.append("</plist>");
    const struct {
        const char* name;
        QByteArray bytes;
        PropertyListError expected;
    } refused[] = {
        {"only a mark", QByteArray("\xEF\xBB\xBF"), PropertyListError::malformed},
        {"only a UTF-16 mark", QByteArray("\xFE\xFF"), PropertyListError::malformed},
        {"odd UTF-16 length", little.chopped(1), PropertyListError::malformed},
        {"lone surrogate", loneSurrogate, PropertyListError::malformed},
        {"UTF-32", encoded(QStringConverter::Utf32LE), PropertyListError::malformed},
        // A marked list is text: a binary list behind a mark is neither parsed nor let past its guard.
        {"binary behind a mark", QByteArray("\xEF\xBB\xBF") + chainedBinaryList(40, 2),
         PropertyListError::malformed},
        {"deep nesting in UTF-16", encoded(QStringConverter::Utf16BE, deep), PropertyListError::tooComplex},
        {"deep nesting behind a mark", QByteArray("\xEF\xBB\xBF") + deep, PropertyListError::tooComplex},
    };
    for (const auto& row : refused) {
        auto parsed = parsePropertyList(row.bytes);
        ASSERT_FALSE(parsed) << row.name;
        EXPECT_EQ(parsed.error(), row.expected) << row.name;
    }
}

TEST(PropertyList, FilesMustHoldADictionaryWithinTheSizeLimit) {
    testing::TemporaryTree tree;
    auto read = [&](const QString& name, const QByteArray& contents) {
        return readPropertyListDictionary(tree.writeFile(name, contents));
    };
    EXPECT_TRUE(read("Info.plist", QByteArray(sampleXml)));
    EXPECT_TRUE(read("Binary.plist", toBinary(QByteArray(sampleXml))));
    EXPECT_EQ(read("Array.plist", testing::xmlPropertyList(QVariantList{1, 2})).error(),
              PropertyListError::notDictionary);
    EXPECT_EQ(read("Empty.plist", {}).error(), PropertyListError::malformed);
    EXPECT_EQ(read("Garbage.plist", "not a property list at all").error(), PropertyListError::malformed);

    // Padding keeps the list valid, so only its size can refuse it.
    QByteArray large(sampleXml);
    large.append(QByteArray(propertyListSizeLimit - large.size(), ' '));
    EXPECT_TRUE(read("AtLimit.plist", large));
    large.append(' ');
    EXPECT_EQ(read("Large.plist", large).error(), PropertyListError::tooLarge);
    EXPECT_EQ(parsePropertyList(large).error(), PropertyListError::tooLarge);

    EXPECT_EQ(readPropertyListDictionary(tree.path("Missing.plist")).error(), PropertyListError::unreadable);
    EXPECT_EQ(readPropertyListDictionary(tree.makeDirectory("Folder.plist")).error(),
              PropertyListError::unreadable);
    ASSERT_EQ(::mkfifo(tree.path("Pipe.plist").toUtf8().constData(), 0644), 0);
    EXPECT_EQ(readPropertyListDictionary(tree.path("Pipe.plist")).error(), PropertyListError::unreadable);
}

TEST(PropertyList, TruncatedBinaryListsAreRefusedAtEveryLength) {
    const QByteArray binary = toBinary(QByteArray(sampleXml));
    for (qsizetype length = 0; length < binary.size(); ++length) {
        auto parsed = parsePropertyList(QByteArrayView(binary).first(length));
        EXPECT_FALSE(parsed && parsed->typeId() == QMetaType::QVariantMap &&
                     parsed->toMap().value("CFBundleName").toString() == QStringLiteral("Crème & Reverb"))
            << length;
    }
}

TEST(PropertyList, BinaryDictionaryKeysMustBeStringsWithoutANul) {
    // The parser aborts the whole program on a key holding a NUL.
    const QByteArray binary =
        toBinary(QByteArray(sampleXml).replace("<key>When</key>", "<key>Wh\u00E9n</key>"));
    ASSERT_TRUE(parsePropertyList(binary));
    const QByteArray asciiKey("\x55Ratio", 6);
    const QByteArray utf16Key("\x64\x00W\x00h\x00\xE9\x00n", 9);
    ASSERT_TRUE(binary.contains(asciiKey) && binary.contains(utf16Key));
    const QList<std::pair<QByteArray, QByteArray>> patches{
        {asciiKey, QByteArray("\x55Ra\0io", 6)},
        {asciiKey, QByteArray("\x55\0\0\0\0\0", 6)},
        {utf16Key, QByteArray("\x64\x00W\x00\x00\x00\xE9\x00n", 9)},
        {asciiKey, QByteArray("\x10Ratio", 6)}, // an integer as a key
        {asciiKey, QByteArray("\x4FRatio", 6)}, // data as a key, its length cut short
    };
    for (const auto& [from, to] : patches) {
        auto parsed = parsePropertyList(QByteArray(binary).replace(from, to));
        ASSERT_FALSE(parsed) << to.toHex().toStdString();
        EXPECT_EQ(parsed.error(), PropertyListError::malformed) << to.toHex().toStdString();
    }
}

TEST(PropertyList, HostileStructuresNeverReachTheParser) {
    // 40 levels of two references each expand to 2^40 nodes.
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(parsePropertyList(chainedBinaryList(40, 2)).error(), PropertyListError::tooComplex);
    EXPECT_LT(timer.elapsed(), 5000);
    EXPECT_EQ(parsePropertyList(chainedBinaryList(100000, 1)).error(), PropertyListError::tooComplex);
    EXPECT_EQ(parsePropertyList(chainedBinaryList(3, 1, true)).error(), PropertyListError::malformed);
    EXPECT_TRUE(parsePropertyList(chainedBinaryList(10, 2)));
    EXPECT_TRUE(parsePropertyList(chainedBinaryList(propertyListDepthLimit, 1)));
    EXPECT_EQ(parsePropertyList(chainedBinaryList(propertyListDepthLimit + 1, 1)).error(),
              PropertyListError::tooComplex);

    QByteArray deepXml("<?xml version=\"1.0\"?><plist version=\"1.0\">");
    deepXml.append(QByteArray("<array>").repeated(20000));
    deepXml.append(QByteArray("</array>").repeated(20000));
    deepXml.append("</plist>");
    EXPECT_EQ(parsePropertyList(deepXml).error(), PropertyListError::tooComplex);

    QByteArray nested("<?xml version=\"1.0\"?><plist version=\"1.0\">");
    nested.append(QByteArray("<array>").repeated(propertyListDepthLimit + 2));
    nested.append(QByteArray("</array>").repeated(propertyListDepthLimit + 2));
    nested.append("</plist>");
    EXPECT_EQ(parsePropertyList(nested).error(), PropertyListError::tooComplex);
}

} // namespace
} // namespace quorvane
