#pragma once

#include "Model/ModelHash.h"
#include "Support/JsonReader.h"

#include <QJsonObject>
#include <QString>
#include <QUuid>

#include <cstddef>
#include <expected>

namespace quorvane {

// The inventory revision a plan or preview was built against. Lives in memory only.
struct InventoryRevisionToken {
    QUuid value;

    // A token holding a fresh random UUID.
    static InventoryRevisionToken fresh();

    bool operator==(const InventoryRevisionToken&) const = default;
};

inline size_t qHash(const InventoryRevisionToken& token, size_t seed = 0) noexcept {
    return qHash(token.value, seed);
}

// {"value": "<UUID>"}, an object rather than a bare string.
QJsonObject toJson(const InventoryRevisionToken& token);
[[nodiscard]] std::expected<InventoryRevisionToken, JsonError>
inventoryRevisionTokenFromJson(const QJsonObject& object, const QString& context = {});

} // namespace quorvane

template <>
struct std::hash<quorvane::InventoryRevisionToken>
    : quorvane::HashThroughQHash<quorvane::InventoryRevisionToken> {};
