#pragma once

#include "Support/JsonReader.h"

#include <QJsonObject>
#include <QString>

#include <expected>

namespace quorvane {

// The outcome of reconciling a rescan with the stored inventory.
struct ScanReconciliationSummary {
    qint64 addedBundles = 0;
    qint64 missingBundles = 0;
    qint64 manuallyRestoredBundles = 0;
    bool missingCheckWasLimited = false; // some scanned folders were unreadable

    // "Rescan: 3 added, 0 missing, 1 manually restored." or, when limited, the deferred form.
    QString summaryText() const;

    bool operator==(const ScanReconciliationSummary&) const = default;
};

// All four keys required.
QJsonObject toJson(const ScanReconciliationSummary& summary);
[[nodiscard]] std::expected<ScanReconciliationSummary, JsonError>
scanReconciliationSummaryFromJson(const QJsonObject& object, const QString& context = {});

} // namespace quorvane
