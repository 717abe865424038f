#pragma once

#include <QDateTime>

#include <compare>

namespace quorvane {

// Seconds since 2001-01-01T00:00:00Z. Kept as a double so that stored dates survive reading and
// re-writing exactly; QDateTime is for display only.
struct Timestamp {
    double sinceReferenceDate = 0;

    static Timestamp now();
    static Timestamp fromDateTime(const QDateTime& dateTime);
    QDateTime toDateTime() const;

    auto operator<=>(const Timestamp&) const = default;
    bool operator==(const Timestamp&) const = default;
};

} // namespace quorvane
