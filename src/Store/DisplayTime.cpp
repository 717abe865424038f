#include "Store/DisplayTime.h"

#include "Support/LocaleText.h"

#include <unicode/datefmt.h>
#include <unicode/locid.h>
#include <unicode/timezone.h>
#include <unicode/unistr.h>

#include <array>
#include <memory>

namespace quorvane {

namespace {

// Seconds between 1970-01-01 and 2001-01-01.
constexpr double referenceDateSinceEpoch = 978307200.0;

enum class Style { shortTime, date, dateShortTime, dateOnly };

// Making a formatter loads the locale's patterns, which costs some twenty times the formatting
// itself. Each thread keeps one per style (ICU formatters are not shared between threads), made
// again when the text locale or the default time zone changes.
icu::DateFormat* formatter(Style style) {
    struct Cache {
        QString locale;
        icu::UnicodeString zone;
        std::array<std::unique_ptr<icu::DateFormat>, 4> formatters;
    };
    thread_local Cache cache;
    const QString locale = textLocale();
    icu::UnicodeString zone;
    std::unique_ptr<icu::TimeZone>(icu::TimeZone::createDefault())->getID(zone);
    if (locale != cache.locale || zone != cache.zone) {
        cache.locale = locale;
        cache.zone = zone;
        for (auto& made : cache.formatters)
            made.reset();
    }
    std::unique_ptr<icu::DateFormat>& made = cache.formatters[static_cast<std::size_t>(style)];
    if (!made) {
        const icu::Locale icuLocale(locale.toUtf8().constData());
        switch (style) {
        case Style::shortTime:
            made.reset(icu::DateFormat::createTimeInstance(icu::DateFormat::kShort, icuLocale));
            break;
        case Style::date:
            made.reset(icu::DateFormat::createDateTimeInstance(icu::DateFormat::kMedium,
                                                               icu::DateFormat::kMedium, icuLocale));
            break;
        case Style::dateShortTime:
            made.reset(icu::DateFormat::createDateTimeInstance(icu::DateFormat::kMedium,
                                                               icu::DateFormat::kShort, icuLocale));
            break;
        case Style::dateOnly:
            made.reset(icu::DateFormat::createDateInstance(icu::DateFormat::kMedium, icuLocale));
            break;
        }
    }
    return made.get();
}

QString format(Style style, Timestamp instant) {
    icu::DateFormat* made = formatter(style);
    if (made == nullptr)
        return {};
    const UDate date = (instant.sinceReferenceDate + referenceDateSinceEpoch) * 1000.0;
    icu::UnicodeString text;
    made->format(date, text);
    return QString(reinterpret_cast<const QChar*>(text.getBuffer()), text.length());
}

} // namespace

QString shortTimeText(Timestamp instant) {
    return format(Style::shortTime, instant);
}

QString abbreviatedDateText(Timestamp instant) {
    return format(Style::dateOnly, instant);
}

QString abbreviatedDateTimeText(Timestamp instant) {
    return format(Style::date, instant);
}

QString abbreviatedDateShortTimeText(Timestamp instant) {
    return format(Style::dateShortTime, instant);
}

} // namespace quorvane
