#include "Model/PermanentQuarantineRule.h"

#include "Model/Identity.h"
#include "Model/ModelHash.h"
#include "Support/JsonWriter.h"
#include "Support/PlainText.h"

namespace quorvane {

QString PermanentQuarantineRule::id() const {
    return manufacturerKey(manufacturer);
}

bool PermanentQuarantineRule::operator==(const PermanentQuarantineRule& other) const {
    return plainEqual(manufacturer, other.manufacturer) && enabledAt == other.enabledAt;
}

size_t qHash(const PermanentQuarantineRule& rule, size_t seed) {
    return modelhash::combine(modelhash::combine(seed, modelhash::of(rule.manufacturer)),
                              modelhash::of(rule.enabledAt.sinceReferenceDate));
}

QJsonObject toJson(const PermanentQuarantineRule& rule) {
    QJsonObject object;
    object.insert(QStringLiteral("manufacturer"), rule.manufacturer);
    object.insert(QStringLiteral("enabledAt"), toJson(rule.enabledAt));
    return object;
}

std::expected<PermanentQuarantineRule, JsonError> permanentQuarantineRuleFromJson(const QJsonObject& object,
                                                                                  const QString& context) {
    JsonReader reader(object, context);
    PermanentQuarantineRule rule;
    rule.manufacturer = reader.string(u"manufacturer");
    rule.enabledAt = reader.timestamp(u"enabledAt");
    if (!reader.ok())
        return std::unexpected(reader.error());
    return rule;
}

} // namespace quorvane
