#include "Support/Timestamp.h"

#include <QTimeZone>

#include <chrono>
#include <cmath>

namespace quorvane {

namespace {

constexpr qint64 referenceDateSince1970 = 978307200;

} // namespace

Timestamp Timestamp::now() {
    const auto sinceEpoch = std::chrono::system_clock::now().time_since_epoch();
    const qint64 nanoseconds = std::chrono::duration_cast<std::chrono::nanoseconds>(sinceEpoch).count();
    // Subtracting in integers first keeps sub-microsecond precision in the double.
    return Timestamp{static_cast<double>(nanoseconds - referenceDateSince1970 * 1'000'000'000) / 1e9};
}

Timestamp Timestamp::fromDateTime(const QDateTime& dateTime) {
    if (!dateTime.isValid())
        return Timestamp{};
    return Timestamp{static_cast<double>(dateTime.toMSecsSinceEpoch() - referenceDateSince1970 * 1000) /
                     1000.0};
}

QDateTime Timestamp::toDateTime() const {
    const double milliseconds = std::round(sinceReferenceDate * 1000.0);
    // Far beyond any date QDateTime can hold; also keeps the conversion below defined.
    if (!std::isfinite(milliseconds) || std::abs(milliseconds) > 1e17)
        return {};
    return QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(milliseconds) + referenceDateSince1970 * 1000,
                                          QTimeZone::utc());
}

} // namespace quorvane
