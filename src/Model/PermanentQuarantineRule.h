#pragma once

#include "Support/JsonReader.h"
#include "Support/Timestamp.h"

#include <QJsonObject>
#include <QString>

#include <cstddef>
#include <expected>

namespace quorvane {

// A manufacturer whose reinstalled format bundles return to quarantine.
struct PermanentQuarantineRule {
    QString manufacturer;
    Timestamp enabledAt;

    // manufacturerKey of the manufacturer: names that fold alike name the same rule.
    QString id() const;

    // Both fields: the same id with another date is another value.
    bool operator==(const PermanentQuarantineRule& other) const;
};

size_t qHash(const PermanentQuarantineRule& rule, size_t seed = 0);

// {"enabledAt": <seconds>, "manufacturer": …}; both keys required.
QJsonObject toJson(const PermanentQuarantineRule& rule);
[[nodiscard]] std::expected<PermanentQuarantineRule, JsonError>
permanentQuarantineRuleFromJson(const QJsonObject& object, const QString& context = {});

} // namespace quorvane
