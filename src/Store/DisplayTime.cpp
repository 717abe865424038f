#include "Store/DisplayTime.h"

#include "Support/LocaleText.h"

#include <unicode/datefmt.h>
#include <unicode/locid.h>
#include <unicode/unistr.h>

#include <memory>

namespace quorvane {

namespace {

// Seconds between 1970-01-01 and 2001-01-01.
constexpr double referenceDateSinceEpoch = 978307200.0;

QString format(icu::DateFormat* formatter, Timestamp instant) {
    if (formatter == nullptr)
        return {};
    const std::unique_ptr<icu::DateFormat> owned(formatter);
    const UDate date = (instant.sinceReferenceDate + referenceDateSinceEpoch) * 1000.0;
    icu::UnicodeString text;
    owned->format(date, text);
    return QString(reinterpret_cast<const QChar*>(text.getBuffer()), text.length());
}

icu::Locale textIcuLocale() {
    return icu::Locale(textLocale().toUtf8().constData());
}

} // namespace

QString shortTimeText(Timestamp instant) {
    return format(icu::DateFormat::createTimeInstance(icu::DateFormat::kShort, textIcuLocale()), instant);
}

QString abbreviatedDateTimeText(Timestamp instant) {
    return format(icu::DateFormat::createDateTimeInstance(icu::DateFormat::kMedium, icu::DateFormat::kMedium,
                                                          textIcuLocale()),
                  instant);
}

QString abbreviatedDateShortTimeText(Timestamp instant) {
    return format(icu::DateFormat::createDateTimeInstance(icu::DateFormat::kMedium, icu::DateFormat::kShort,
                                                          textIcuLocale()),
                  instant);
}

} // namespace quorvane
