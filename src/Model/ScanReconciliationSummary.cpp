#include "Model/ScanReconciliationSummary.h"

namespace quorvane {

QString ScanReconciliationSummary::summaryText() const {
    if (missingCheckWasLimited) {
        return QStringLiteral(
                   "Rescan: %1 added, missing-bundle check deferred because some folders were unreadable, "
                   "%2 manually restored.")
            .arg(addedBundles)
            .arg(manuallyRestoredBundles);
    }
    return QStringLiteral("Rescan: %1 added, %2 missing, %3 manually restored.")
        .arg(addedBundles)
        .arg(missingBundles)
        .arg(manuallyRestoredBundles);
}

QJsonObject toJson(const ScanReconciliationSummary& summary) {
    QJsonObject object;
    object.insert(QStringLiteral("addedBundles"), summary.addedBundles);
    object.insert(QStringLiteral("missingBundles"), summary.missingBundles);
    object.insert(QStringLiteral("manuallyRestoredBundles"), summary.manuallyRestoredBundles);
    object.insert(QStringLiteral("missingCheckWasLimited"), summary.missingCheckWasLimited);
    return object;
}

std::expected<ScanReconciliationSummary, JsonError>
scanReconciliationSummaryFromJson(const QJsonObject& object, const QString& context) {
    JsonReader reader(object, context);
    ScanReconciliationSummary summary;
    summary.addedBundles = reader.integer(u"addedBundles");
    summary.missingBundles = reader.integer(u"missingBundles");
    summary.manuallyRestoredBundles = reader.integer(u"manuallyRestoredBundles");
    summary.missingCheckWasLimited = reader.boolean(u"missingCheckWasLimited");
    if (!reader.ok())
        return std::unexpected(reader.error());
    return summary;
}

} // namespace quorvane
