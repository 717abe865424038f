#pragma once

#include "Model/HistoryKind.h"
#include "Support/JsonReader.h"
#include "Support/Timestamp.h"

#include <QJsonObject>
#include <QString>
#include <QUuid>

#include <expected>
#include <optional>

namespace quorvane {

// One history line. Lines are told apart by id; the equality below exists for tests and for
// comparing whole stored documents.
struct HistoryItem {
    QUuid id;
    // The product's name, or a label of the event for lines about the whole inventory.
    QString plugin;
    HistoryKind kind = HistoryKind::scan;
    QString detail;
    // The locale's short time of day, date omitted; only shown and compared for equality.
    QString time;
    std::optional<QString> transactionID;
    std::optional<QString> format;
    std::optional<QUuid> presetRunID;
    // When the line was written; absent in lines written before it was kept.
    std::optional<Timestamp> date;

    bool operator==(const HistoryItem& other) const;
};

QJsonObject toJson(const HistoryItem& item);
[[nodiscard]] std::expected<HistoryItem, JsonError> historyItemFromJson(const QJsonObject& object,
                                                                        const QString& context = {});

} // namespace quorvane
