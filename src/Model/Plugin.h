#pragma once

#include "Model/FormatProtectionOutcome.h"
#include "Model/PluginBundleRecord.h"
#include "Model/PluginBundleSelection.h"
#include "Model/PluginStatus.h"
#include "Support/JsonReader.h"
#include "Support/PlainText.h"

#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <QUuid>

#include <cstddef>
#include <expected>
#include <optional>
#include <unordered_set>
#include <vector>

namespace quorvane {

// One installed product. Without a `bundles` list (or with an empty one) and with exactly one
// format, the product's own architecture, size, paths and protection describe its one bundle.
struct Plugin {
    QUuid id;
    QString name;
    QString manufacturer;
    QString version;
    QStringList formats;
    QString architecture; // the exact text "Intel" marks a legacy product
    QString size;
    QString path;
    PluginStatus status = PluginStatus::ok;
    bool isProtected = false;
    std::optional<QString> originalPath;
    std::optional<QString> quarantinePath;
    std::optional<QString> quarantineOperationID;
    std::optional<std::vector<PluginBundleRecord>> bundles;

    // Shell rules.

    // Stored status sharedShell, or manufacturer exactly "Waves" with "shell" in the name
    // (case-insensitive, text locale). A stored hostedByShell alone is not a shared shell.
    bool isSharedShell() const;
    // A shared shell or a stored hostedByShell status: never moved, always protected.
    bool isMandatoryShell() const;
    // 0 none, 1 partly, 2 fully, 3 mandatory shell. With stored records only the records count.
    int protectionLevel() const;

    // Bundle records and status.

    // The one view of a product's format bundles: none for hostedByShell; the stored records in
    // bundleRecordDisplayOrder; else one record synthesised from a single-format product.
    std::vector<PluginBundleRecord> bundleRecords() const;
    // The record of a single-format product, made of the product's own fields; `formats` must
    // hold exactly one format.
    PluginBundleRecord singleFormatRecord() const;
    // Whether singleFormatRecord() would be quarantined, without making it.
    bool singleFormatRecordIsQuarantined() const { return quarantinePath && quarantineOperationID; }
    // How many records of forEachBundleRecord are quarantined, without making the synthesised one.
    qsizetype quarantinedRecordCount() const;
    // Calls visit(record) for each record of bundleRecords(), in stored rather than display order
    // and without copying the stored ones: for counts and sets, where order does not matter.
    template <class Visit>
    void forEachBundleRecord(Visit&& visit) const {
        if (status == PluginStatus::hostedByShell)
            return;
        if (bundles && !bundles->empty()) {
            for (const PluginBundleRecord& record : *bundles)
                visit(record);
        } else if (formats.size() == 1) {
            visit(singleFormatRecord());
        }
    }
    // Gives a single-format product without stored records its one synthesised record, so that a
    // per-record flag has a record to live in. True when it changed the product.
    bool materializeBundleRecords();
    // The status from the product's own fields alone.
    PluginStatus baseStatus() const;
    // The status written back into the product after every change of its records.
    PluginStatus derivedStatus() const;
    // Changes one stored record's protection and the product flag with it; never the status.
    FormatProtectionOutcome applyFormatProtection(const PluginBundleSelection& selection, bool protect);

    // Memberwise over every field (plain text equality), not by identity.
    bool operator==(const Plugin& other) const;
};

size_t qHash(const Plugin& plugin, size_t seed = 0);

// These read the stored records, not Plugin::bundleRecords(), so that a shell-hosted product is
// judged by its records when it has any.
// An active record, or, without records, a status other than quarantined.
bool isActiveProduct(const Plugin& plugin);
// Quarantined by status or by a stored record.
bool isQuarantinedProduct(const Plugin& plugin);

// By format, then by path: plain text order of the stored values.
bool bundleRecordDisplayOrder(const PluginBundleRecord& a, const PluginBundleRecord& b);

// A selection per active (or quarantined) record, in product order then record order; duplicates kept.
std::vector<PluginBundleSelection> activeBundleSelections(const std::vector<Plugin>& plugins);
std::vector<PluginBundleSelection> quarantinedBundleSelections(const std::vector<Plugin>& plugins);

// Fields 1-10 always, the optional ones only when present; an empty bundles list is written as [].
QJsonObject toJson(const Plugin& plugin);
// Requires id … isProtected; status must be exactly one raw value.
[[nodiscard]] std::expected<Plugin, JsonError> pluginFromJson(const QJsonObject& object,
                                                              const QString& context = {});

} // namespace quorvane
