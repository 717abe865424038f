#include "Support/LocaleText.h"
#include "Support/Fixtures/FixtureTextLocale.h"
#include "Support/PlainText.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>

namespace quorvane {
namespace {

// Every test starts in en_US; whatever a test sets is undone after it.
class LocaleTextTest : public ::testing::Test {
private:
    testing::PinnedTextLocale m_locale{QStringLiteral("en_US")};
};

QString u(const char* utf8) {
    return QString::fromUtf8(utf8);
}

TEST_F(LocaleTextTest, FoldsTurkishDottedAndDotlessIByLocale) {
    struct Row {
        const char* locale;
        const char* text;
        const char* folded;
    };
    const Row rows[] = {
        {"en_US", "I", "i"},           {"en_US", "\u0130", "i"},
        {"en_US", "\u0131", "\u0131"}, {"en_US", "DIYARBAKIR", "diyarbakir"},
        {"tr_TR", "I", "\u0131"},      {"tr_TR", "\u0130", "i"},
        {"tr_TR", "i", "i"},           {"tr_TR", "D\u0130YARBAKIR", "diyarbak\u0131r"},
        {"az_AZ", "I", "\u0131"},
    };
    for (const Row& row : rows) {
        setTextLocale(QString::fromLatin1(row.locale));
        EXPECT_EQ(foldCaseAndDiacritics(u(row.text)), u(row.folded)) << row.locale << " " << row.text;
    }
}

TEST_F(LocaleTextTest, FoldsCaseAndDiacritics) {
    EXPECT_EQ(foldCaseAndDiacritics(u("\u00C9clat")), QStringLiteral("eclat"));
    EXPECT_EQ(foldCaseAndDiacritics(u("\u00C9clat")), foldCaseAndDiacritics(QStringLiteral("ECLAT")));
    EXPECT_EQ(foldCaseAndDiacritics(u("E\u0301clat")), QStringLiteral("eclat"));
    EXPECT_EQ(foldCaseAndDiacritics(u("Stra\u00DFe")), QStringLiteral("strasse"));
    EXPECT_EQ(foldCaseAndDiacritics(u("Fabfilter Pro-Q 3")), QStringLiteral("fabfilter pro-q 3"));
    EXPECT_NE(foldCaseAndDiacritics(QStringLiteral("Eclat")),
              foldCaseAndDiacritics(QStringLiteral("Eclats")));
}

TEST_F(LocaleTextTest, CaseMappingIgnoresTheLocale) {
    setTextLocale(QStringLiteral("tr_TR"));
    EXPECT_EQ(uppercasedLocaleIndependent(QStringLiteral("vst3 plugin i")), QStringLiteral("VST3 PLUGIN I"));
    EXPECT_EQ(lowercasedLocaleIndependent(QStringLiteral("AU IS")), QStringLiteral("au is"));
}

TEST_F(LocaleTextTest, CaseMappingEqualsQtsFullMapping) {
    // ASCII edges ('@' and '[' around A–Z, '`' and '{' around a–z), the one change at the end, and
    // text beyond ASCII whose mapping changes its length (ß → SS, İ → i̇) or leaves ASCII in it.
    const QStringList texts = {QString(),
                               QStringLiteral(""),
                               QStringLiteral("@AZ[`az{ 09|/"),
                               QStringLiteral("/library/audio/plug-ins/Vst3"),
                               QStringLiteral("zzz Z"),
                               QStringLiteral("AAA a"),
                               QStringLiteral("Maker 7|Plugin 000012"),
                               u("Stra\u00DFe AU"),
                               u("\u0130stanbul VST"),
                               u("Caf\u00E9 \U0001F3B5 Clap")};
    for (const QString& text : texts) {
        EXPECT_EQ(lowercasedLocaleIndependent(text), text.toLower()) << text.toStdString();
        EXPECT_EQ(uppercasedLocaleIndependent(text), text.toUpper()) << text.toStdString();
    }
    // The source is never changed in place, even when it shares its data with the result.
    const QString source = QStringLiteral("MiXeD");
    const QString copy = source;
    EXPECT_EQ(lowercasedLocaleIndependent(copy), QStringLiteral("mixed"));
    EXPECT_EQ(copy, QStringLiteral("MiXeD"));
}

TEST_F(LocaleTextTest, StandardCompareIsNumericAndCaseInsensitive) {
    EXPECT_LT(localizedStandardCompare(QStringLiteral("Plugin 9"), QStringLiteral("Plugin 10")), 0);
    EXPECT_GT(localizedStandardCompare(QStringLiteral("Plugin 10"), QStringLiteral("Plugin 9")), 0);
    EXPECT_EQ(localizedStandardCompare(QStringLiteral("plugin 2"), QStringLiteral("PLUGIN 2")), 0);
    EXPECT_LT(localizedStandardCompare(QStringLiteral("apple"), QStringLiteral("Banana")), 0);
    EXPECT_LT(localizedStandardCompare(QStringLiteral("v2.9"), QStringLiteral("v2.10")), 0);
}

TEST_F(LocaleTextTest, CaseInsensitiveCompareKeepsDiacritics) {
    EXPECT_EQ(localizedCaseInsensitiveCompare(QStringLiteral("ABC"), QStringLiteral("abc")), 0);
    EXPECT_LT(localizedCaseInsensitiveCompare(QStringLiteral("apple"), QStringLiteral("Banana")), 0);
    EXPECT_NE(localizedCaseInsensitiveCompare(QStringLiteral("eclat"), u("\u00E9clat")), 0);
    // Not numeric: "10" sorts before "9" character by character.
    EXPECT_LT(localizedCaseInsensitiveCompare(QStringLiteral("Plugin 10"), QStringLiteral("Plugin 9")), 0);
}

TEST_F(LocaleTextTest, LocalizedCompareIsCaseSensitiveButNotCodeUnitOrder) {
    EXPECT_LT(localizedCompare(QStringLiteral("a"), QStringLiteral("B")), 0);
    EXPECT_NE(localizedCompare(QStringLiteral("a"), QStringLiteral("A")), 0);
    EXPECT_EQ(localizedCompare(u("\u00E9"), u("e\u0301")), 0);
}

TEST_F(LocaleTextTest, CaseInsensitiveContains) {
    EXPECT_TRUE(
        localizedCaseInsensitiveContains(QStringLiteral("WaveShell1-VST3 14.12"), QStringLiteral("shell")));
    EXPECT_TRUE(localizedCaseInsensitiveContains(QStringLiteral("SHELL"), QStringLiteral("shell")));
    EXPECT_TRUE(localizedCaseInsensitiveContains(u("Caf\u00C9 Reverb"), u("cafe\u0301")));
    EXPECT_FALSE(localizedCaseInsensitiveContains(QStringLiteral("Cafe Reverb"), u("caf\u00E9")));
    EXPECT_FALSE(localizedCaseInsensitiveContains(QStringLiteral("Shel"), QStringLiteral("shell")));
    EXPECT_FALSE(localizedCaseInsensitiveContains(QStringLiteral("anything"), QString()));

    EXPECT_TRUE(localizedCaseInsensitiveContains(QStringLiteral("KIRMIZI"), QStringLiteral("kirmizi")));
    setTextLocale(QStringLiteral("tr_TR"));
    EXPECT_TRUE(localizedCaseInsensitiveContains(QStringLiteral("KIRMIZI"), u("k\u0131rm\u0131z\u0131")));
    EXPECT_FALSE(localizedCaseInsensitiveContains(QStringLiteral("KIRMIZI"), QStringLiteral("kirmizi")));
}

TEST_F(LocaleTextTest, PosixLocaleStillCollates) {
    for (const char* id : {"C", "POSIX", "C.UTF-8"}) {
        setTextLocale(QString::fromLatin1(id));
        EXPECT_EQ(textLocale(), QStringLiteral("en_US_POSIX")) << id;
        EXPECT_LT(localizedStandardCompare(QStringLiteral("Plugin 9"), QStringLiteral("Plugin 10")), 0) << id;
        EXPECT_LT(localizedCaseInsensitiveCompare(QStringLiteral("a"), QStringLiteral("B")), 0) << id;
        EXPECT_EQ(localizedCaseInsensitiveCompare(QStringLiteral("abc"), QStringLiteral("ABC")), 0) << id;
    }
}

TEST_F(LocaleTextTest, LocaleIdsFromTheEnvironmentAreCanonicalised) {
    setTextLocale(QStringLiteral("tr_TR.UTF-8"));
    EXPECT_EQ(textLocale(), QStringLiteral("tr_TR"));

    const QByteArray savedAll = qgetenv("LC_ALL");
    const bool hadAll = qEnvironmentVariableIsSet("LC_ALL");
    qputenv("LC_ALL", "de_DE.UTF-8");
    setTextLocale(QString());
    EXPECT_EQ(textLocale(), QStringLiteral("de_DE"));
    qputenv("LC_ALL", "C.UTF-8");
    setTextLocale(QString());
    EXPECT_EQ(textLocale(), QStringLiteral("en_US_POSIX"));
    if (hadAll)
        qputenv("LC_ALL", savedAll);
    else
        qunsetenv("LC_ALL");
}

TEST_F(LocaleTextTest, CollatesOnSeveralThreadsAtOnce) {
    std::atomic<int> wrong{0};
    auto work = [&wrong] {
        for (int i = 0; i < 2000; ++i) {
            if (localizedStandardCompare(QStringLiteral("Plugin 9"), QStringLiteral("Plugin 10")) >= 0)
                ++wrong;
            if (foldCaseAndDiacritics(QStringLiteral("\u00C9clat")) != QStringLiteral("eclat"))
                ++wrong;
        }
    };
    std::thread other(work);
    work();
    other.join();
    EXPECT_EQ(wrong.load(), 0);
}

// A literal's text is shared, read-only and may be read by other threads at the same moment: the
// comparisons read it in place and never give it a buffer of its own.
TEST_F(LocaleTextTest, LiteralTextsAreReadInPlace) {
    const std::function<void(const QString&)> reads[] = {
        [](const QString& text) { (void)nfc(text); },
        [](const QString& text) { (void)plainCompare(text, QStringLiteral("Caf\u00E9 XT")); },
        [](const QString& text) { (void)foldCaseAndDiacritics(text); },
        [](const QString& text) { (void)localizedCaseInsensitiveCompare(text, QStringLiteral("Caf\u00E9")); },
        [](const QString& text) { (void)localizedStandardCompare(QStringLiteral("Caf\u00E9"), text); },
    };
    for (const auto& read : reads) {
        const QString literal = QStringLiteral("Caf\u00E9 Surge");
        const QChar* const data = literal.constData();
        read(literal);
        EXPECT_EQ(literal.constData(), data);
    }
}

} // namespace
} // namespace quorvane
