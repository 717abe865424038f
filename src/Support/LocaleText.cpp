#include "Support/LocaleText.h"

#include "Support/PlainText.h"

#include <QByteArray>
#include <QRegularExpression>
#include <QtGlobal>

#include <unicode/coll.h>
#include <unicode/locid.h>
#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

#include <atomic>
#include <memory>
#include <mutex>

namespace quorvane {

namespace {

// "tr_TR.UTF-8" or "de_DE@euro" as the environment writes them; the C/POSIX locale has no
// collation of its own, so it gets the POSIX variant of English, which is a real one.
QString canonicalLocaleId(const QString& id) {
    QString result = id.trimmed();
    const qsizetype cut = result.indexOf(QRegularExpression(QStringLiteral("[.@]")));
    if (cut >= 0)
        result.truncate(cut);
    if (result.isEmpty() || result == QLatin1String("C") || result == QLatin1String("POSIX"))
        return QStringLiteral("en_US_POSIX");
    return result;
}

QString environmentLocaleId() {
    for (const char* name : {"LC_ALL", "LC_COLLATE", "LANG"}) {
        const QString value = qEnvironmentVariable(name);
        if (!value.isEmpty())
            return canonicalLocaleId(value);
    }
    return canonicalLocaleId(QString());
}

struct LocaleState {
    std::mutex mutex;
    QString id;
    std::atomic<quint64> generation{1};
};

LocaleState& localeState() {
    static LocaleState state;
    return state;
}

QString currentLocaleId() {
    LocaleState& state = localeState();
    const std::lock_guard lock(state.mutex);
    if (state.id.isEmpty())
        state.id = environmentLocaleId();
    return state.id;
}

// ICU collators are not safe to share between threads, so each thread keeps its own, rebuilt
// when the text locale changes.
struct ThreadCollation {
    quint64 generation = 0;
    icu::Locale locale;
    bool turkic = false;
    std::unique_ptr<icu::Collator> caseInsensitive;
    std::unique_ptr<icu::Collator> standard;
    std::unique_ptr<icu::Collator> plain;
};

std::unique_ptr<icu::Collator> makeCollator(const icu::Locale& locale, UColAttributeValue strength,
                                            bool numeric) {
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::Collator> collator(icu::Collator::createInstance(locale, status));
    if (U_FAILURE(status) || !collator) {
        status = U_ZERO_ERROR;
        collator.reset(icu::Collator::createInstance(icu::Locale::getRoot(), status));
        if (U_FAILURE(status) || !collator)
            return nullptr;
    }
    collator->setAttribute(UCOL_STRENGTH, strength, status);
    collator->setAttribute(UCOL_NUMERIC_COLLATION, numeric ? UCOL_ON : UCOL_OFF, status);
    collator->setAttribute(UCOL_NORMALIZATION_MODE, UCOL_ON, status);
    return U_SUCCESS(status) ? std::move(collator) : nullptr;
}

ThreadCollation& threadCollation() {
    thread_local ThreadCollation collation;
    const quint64 generation = localeState().generation.load();
    if (collation.generation != generation) {
        const QByteArray id = currentLocaleId().toUtf8();
        collation.locale = icu::Locale(id.constData());
        const QByteArray language(collation.locale.getLanguage());
        collation.turkic = language == "tr" || language == "az";
        // The POSIX tailoring makes case a primary difference, so no comparison in it could be
        // case-insensitive; the root collation orders text for people.
        const bool posix = qstrcmp(collation.locale.getVariant(), "POSIX") == 0;
        const icu::Locale& collationLocale = posix ? icu::Locale::getRoot() : collation.locale;
        collation.caseInsensitive = makeCollator(collationLocale, UCOL_SECONDARY, false);
        collation.standard = makeCollator(collationLocale, UCOL_SECONDARY, true);
        collation.plain = makeCollator(collationLocale, UCOL_TERTIARY, false);
        collation.generation = generation;
    }
    return collation;
}

// Read in place: utf16() would give a literal a buffer of its own, writing to a string that other
// threads may be reading.
icu::UnicodeString aliasOf(const QString& text) {
    return icu::UnicodeString(false, reinterpret_cast<const UChar*>(text.constData()),
                              static_cast<int32_t>(text.size()));
}

QString toQString(const icu::UnicodeString& text) {
    return QString(reinterpret_cast<const QChar*>(text.getBuffer()), text.length());
}

int compareWith(icu::Collator* collator, const QString& a, const QString& b) {
    if (!collator)
        return plainCompare(a, b);
    UErrorCode status = U_ZERO_ERROR;
    const UCollationResult result = collator->compare(aliasOf(a), aliasOf(b), status);
    if (U_FAILURE(status))
        return plainCompare(a, b);
    return result == UCOL_LESS ? -1 : (result == UCOL_GREATER ? 1 : 0);
}

icu::UnicodeString caseFolded(const QString& text, const ThreadCollation& collation) {
    icu::UnicodeString folded(aliasOf(text));
    folded.toLower(collation.locale);
    folded.foldCase(collation.turkic ? U_FOLD_CASE_EXCLUDE_SPECIAL_I : U_FOLD_CASE_DEFAULT);
    return folded;
}

} // namespace

void setTextLocale(const QString& icuLocaleId) {
    LocaleState& state = localeState();
    {
        const std::lock_guard lock(state.mutex);
        state.id = icuLocaleId.trimmed().isEmpty() ? environmentLocaleId() : canonicalLocaleId(icuLocaleId);
    }
    ++state.generation;
}

QString textLocale() {
    return currentLocaleId();
}

QString foldCaseAndDiacritics(const QString& text) {
    const ThreadCollation& collation = threadCollation();
    const icu::UnicodeString folded = caseFolded(text, collation);
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* nfd = icu::Normalizer2::getNFDInstance(status);
    const icu::Normalizer2* nfcNormalizer = icu::Normalizer2::getNFCInstance(status);
    if (U_FAILURE(status))
        return toQString(folded);
    const icu::UnicodeString decomposed = nfd->normalize(folded, status);
    if (U_FAILURE(status))
        return toQString(folded);
    icu::UnicodeString stripped;
    for (int32_t index = 0; index < decomposed.length();) {
        const UChar32 c = decomposed.char32At(index);
        if (u_charType(c) != U_NON_SPACING_MARK)
            stripped.append(c);
        index += U16_LENGTH(c);
    }
    const icu::UnicodeString composed = nfcNormalizer->normalize(stripped, status);
    return toQString(U_SUCCESS(status) ? composed : stripped);
}

namespace {

// ASCII text, by far the most common in names and paths, changes case in the letters `from`–`to`
// alone, by flipping bit 0x20; Qt's full case mapping walks its Unicode tables for every character
// and is several times slower. Other text goes to `fullMapping`. Text with nothing to change is
// returned shared.
template <class FullMapping>
QString asciiCaseMapped(const QString& text, char16_t from, char16_t to, FullMapping fullMapping) {
    qsizetype firstChange = -1;
    for (qsizetype index = 0; index < text.size(); ++index) {
        const char16_t c = text[index].unicode();
        if (c >= 0x80)
            return fullMapping(text);
        if (firstChange < 0 && c >= from && c <= to)
            firstChange = index;
    }
    if (firstChange < 0)
        return text;
    QString mapped = text;
    char16_t* data = reinterpret_cast<char16_t*>(mapped.data());
    for (qsizetype index = firstChange; index < mapped.size(); ++index) {
        if (data[index] >= from && data[index] <= to)
            data[index] ^= 0x20;
    }
    return mapped;
}

} // namespace

QString lowercasedLocaleIndependent(const QString& text) {
    return asciiCaseMapped(text, u'A', u'Z', [](const QString& full) { return full.toLower(); });
}

QString uppercasedLocaleIndependent(const QString& text) {
    return asciiCaseMapped(text, u'a', u'z', [](const QString& full) { return full.toUpper(); });
}

int localizedCaseInsensitiveCompare(const QString& a, const QString& b) {
    return compareWith(threadCollation().caseInsensitive.get(), a, b);
}

bool localizedCaseInsensitiveContains(const QString& haystack, const QString& needle) {
    // An empty needle is contained nowhere, as with a search that finds no range.
    if (needle.isEmpty())
        return false;
    return caseInsensitiveSearchKey(haystack).contains(caseInsensitiveSearchKey(needle));
}

QString caseInsensitiveSearchKey(const QString& text) {
    return nfc(toQString(caseFolded(text, threadCollation())));
}

int localizedStandardCompare(const QString& a, const QString& b) {
    return compareWith(threadCollation().standard.get(), a, b);
}

int localizedCompare(const QString& a, const QString& b) {
    return compareWith(threadCollation().plain.get(), a, b);
}

} // namespace quorvane
