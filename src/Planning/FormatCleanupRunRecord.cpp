#include "Planning/FormatCleanupRunRecord.h"

#include "Support/JsonWriter.h"
#include "Support/Uuid.h"

#include <QJsonArray>

namespace quorvane {

const EnumTextTable<FormatCleanupRunStatus>& formatCleanupRunStatusTexts() {
    using S = FormatCleanupRunStatus;
    static const EnumTextTable<FormatCleanupRunStatus> table{
        {S::pending, QStringLiteral("pending")},
        {S::completed, QStringLiteral("completed")},
        {S::partiallyCompleted, QStringLiteral("partiallyCompleted")},
        {S::canceled, QStringLiteral("canceled")},
    };
    return table;
}

size_t qHash(const FormatCleanupRunRecord& record, size_t seed) {
    return modelhash::ofAll(seed, record.id, record.planID, record.preset, record.createdAt, record.status,
                            record.selections, record.childTransactionIDs);
}

QJsonObject toJson(const FormatCleanupRunRecord& record) {
    QJsonObject object;
    object.insert(QStringLiteral("id"), toJson(record.id));
    object.insert(QStringLiteral("planID"), toJson(record.planID));
    object.insert(QStringLiteral("preset"), formatCleanupPresetKindTexts().text(record.preset));
    object.insert(QStringLiteral("createdAt"), toJson(record.createdAt));
    object.insert(QStringLiteral("status"), formatCleanupRunStatusTexts().text(record.status));
    QJsonArray selections;
    for (const auto& selection : record.selections)
        selections.append(toJson(selection));
    object.insert(QStringLiteral("selections"), selections);
    QJsonArray children;
    for (const auto& child : record.childTransactionIDs)
        children.append(toJson(child));
    object.insert(QStringLiteral("childTransactionIDs"), children);
    return object;
}

std::expected<FormatCleanupRunRecord, JsonError> formatCleanupRunRecordFromJson(const QJsonObject& object,
                                                                                const QString& context) {
    JsonReader reader(object, context);
    FormatCleanupRunRecord record;
    record.id = reader.uuid(u"id");
    record.planID = reader.uuid(u"planID");
    record.preset = reader.enumeration(u"preset", formatCleanupPresetKindTexts());
    record.createdAt = reader.timestamp(u"createdAt");
    record.status = reader.enumeration(u"status", formatCleanupRunStatusTexts());
    record.selections =
        reader.objectArray<PluginBundleSelection>(u"selections", pluginBundleSelectionFromJson);
    const QStringList children = reader.stringArray(u"childTransactionIDs");
    for (qsizetype index = 0; reader.ok() && index < children.size(); ++index) {
        if (const auto uuid = parseUuid(children.at(index)))
            record.childTransactionIDs.push_back(*uuid);
        else
            reader.fail(u"childTransactionIDs", QStringLiteral("must hold UUID texts"));
    }
    if (!reader.ok())
        return std::unexpected(reader.error());
    return record;
}

} // namespace quorvane
