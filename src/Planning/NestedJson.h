#pragma once

#include "Support/JsonReader.h"

#include <QJsonObject>
#include <QStringView>

#include <optional>
#include <utility>

namespace quorvane::detail {

// Decodes the required nested object `key` into `target`. Returns the error to report, keeping
// the nested key path (such as "selection.pluginID"), or none; a failure recorded earlier in
// `reader` is left for the caller's final ok() check.
template <class T, class F>
std::optional<JsonError> readNestedObject(JsonReader& reader, QStringView key, T& target, F decode) {
    const QJsonObject nested = reader.object(key);
    if (!reader.ok())
        return std::nullopt;
    auto decoded = decode(nested, reader.pathOf(key));
    if (!decoded)
        return decoded.error();
    target = std::move(*decoded);
    return std::nullopt;
}

} // namespace quorvane::detail
