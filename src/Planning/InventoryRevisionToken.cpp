#include "Planning/InventoryRevisionToken.h"

#include "Support/JsonWriter.h"
#include "Support/Uuid.h"

namespace quorvane {

InventoryRevisionToken InventoryRevisionToken::fresh() {
    return InventoryRevisionToken{makeUuid()};
}

QJsonObject toJson(const InventoryRevisionToken& token) {
    QJsonObject object;
    object.insert(QStringLiteral("value"), toJson(token.value));
    return object;
}

std::expected<InventoryRevisionToken, JsonError> inventoryRevisionTokenFromJson(const QJsonObject& object,
                                                                                const QString& context) {
    JsonReader reader(object, context);
    InventoryRevisionToken token{reader.uuid(u"value")};
    if (!reader.ok())
        return std::unexpected(reader.error());
    return token;
}

} // namespace quorvane
