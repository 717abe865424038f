#include "Support/ByteCount.h"

#include <QStringList>

#include <array>
#include <charconv>
#include <limits>
#include <string_view>

namespace quorvane {

namespace {

struct Unit {
    const char* name;
    qint64 size;
    int decimals;
};

constexpr std::array<Unit, 6> units{{
    {"KB", 1'000LL, 0},
    {"MB", 1'000'000LL, 1},
    {"GB", 1'000'000'000LL, 2},
    {"TB", 1'000'000'000'000LL, 2},
    {"PB", 1'000'000'000'000'000LL, 2},
    {"EB", 1'000'000'000'000'000'000LL, 2},
}};

constexpr qint64 powerOfTen(int exponent) {
    qint64 result = 1;
    for (int i = 0; i < exponent; ++i)
        result *= 10;
    return result;
}

// `magnitude` in steps of unit.size / 10^decimals, rounded half up without overflowing.
qint64 roundedSteps(quint64 magnitude, const Unit& unit) {
    const quint64 step = static_cast<quint64>(unit.size / powerOfTen(unit.decimals));
    const quint64 steps = magnitude / step;
    return static_cast<qint64>(steps + (magnitude % step >= (step + 1) / 2 ? 1 : 0));
}

std::optional<quint64> digitsValue(std::string_view digits) {
    quint64 value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (error != std::errc() || end != digits.data() + digits.size())
        return std::nullopt;
    return value;
}

bool allDigits(std::string_view text) {
    if (text.empty())
        return false;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return false;
    }
    return true;
}

} // namespace

QString formatByteCount(qint64 bytes) {
    if (bytes == 0)
        return QStringLiteral("Zero KB");
    const QString sign = bytes < 0 ? QStringLiteral("-") : QString();
    const quint64 magnitude = bytes < 0 ? 0 - static_cast<quint64>(bytes) : static_cast<quint64>(bytes);
    if (magnitude == 1)
        return sign + QStringLiteral("1 byte");
    if (magnitude < 1000)
        return sign + QString::number(magnitude) + QStringLiteral(" bytes");
    std::size_t index = 0;
    while (index + 1 < units.size() && magnitude >= static_cast<quint64>(units[index + 1].size))
        ++index;
    qint64 steps = roundedSteps(magnitude, units[index]);
    // Rounding up to a thousand of one unit is written in the next one ("1 MB", not "1000 KB").
    while (index + 1 < units.size() && steps >= 1000 * powerOfTen(units[index].decimals)) {
        ++index;
        steps = roundedSteps(magnitude, units[index]);
    }
    const Unit& unit = units[index];
    const qint64 scale = powerOfTen(unit.decimals);
    QString text = QString::number(steps / scale);
    if (unit.decimals > 0) {
        QString fraction = QString::number(steps % scale).rightJustified(unit.decimals, QLatin1Char('0'));
        while (fraction.endsWith(QLatin1Char('0')))
            fraction.chop(1);
        if (!fraction.isEmpty())
            text += QLatin1Char('.') + fraction;
    }
    return sign + text + QLatin1Char(' ') + QLatin1String(unit.name);
}

std::optional<qint64> parseByteCount(const QString& text) {
    if (text == QLatin1String("Zero KB"))
        return 0;
    const QStringList parts = text.split(QLatin1Char(' '));
    if (parts.size() != 2)
        return std::nullopt;
    const QByteArray numberText = parts.at(0).toLatin1();
    const QString& unitText = parts.at(1);
    std::string_view number(numberText.constData(), static_cast<std::size_t>(numberText.size()));
    const bool negative = number.starts_with('-');
    if (negative)
        number.remove_prefix(1);

    qint64 multiplier = 0;
    if (unitText == QLatin1String("byte") || unitText == QLatin1String("bytes")) {
        multiplier = 1;
    } else {
        for (const Unit& unit : units) {
            if (unitText == QLatin1String(unit.name))
                multiplier = unit.size;
        }
    }
    if (multiplier == 0)
        return std::nullopt;

    const std::size_t dot = number.find('.');
    const std::string_view whole = number.substr(0, dot);
    const std::string_view fraction =
        dot == std::string_view::npos ? std::string_view() : number.substr(dot + 1);
    if (!allDigits(whole) || (dot != std::string_view::npos && !allDigits(fraction)))
        return std::nullopt;
    if (multiplier == 1 && dot != std::string_view::npos)
        return std::nullopt;
    const std::optional<quint64> wholeValue = digitsValue(whole);
    if (!wholeValue)
        return std::nullopt;

    // Exact integer arithmetic, truncated toward zero; fraction digits beyond the unit's
    // resolution in bytes cannot add a whole byte and are dropped.
    unsigned __int128 total = static_cast<unsigned __int128>(*wholeValue) * static_cast<quint64>(multiplier);
    quint64 place = static_cast<quint64>(multiplier);
    for (const char digit : fraction) {
        place /= 10;
        if (place == 0)
            break;
        total += static_cast<unsigned __int128>(digit - '0') * place;
    }
    const auto limit = static_cast<unsigned __int128>(std::numeric_limits<qint64>::max());
    if (total > limit + (negative ? 1 : 0))
        return std::nullopt;
    if (negative)
        return total == limit + 1 ? std::numeric_limits<qint64>::min() : -static_cast<qint64>(total);
    return static_cast<qint64>(total);
}

} // namespace quorvane
