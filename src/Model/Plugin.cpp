#include "Model/Plugin.h"

#include "Model/Identity.h"
#include "Model/ModelHash.h"
#include "Model/PluginList.h"
#include "Model/SortedKeyWriter.h"
#include "Support/JsonWriter.h"
#include "Support/LocaleText.h"
#include "Support/StableSort.h"

#include <QJsonArray>

#include <algorithm>

namespace quorvane {

namespace {

bool hasStoredRecords(const Plugin& plugin) {
    return plugin.bundles && !plugin.bundles->empty();
}

bool isWavesShellByName(const Plugin& plugin) {
    return plainEqual(plugin.manufacturer, QStringLiteral("Waves")) &&
           localizedCaseInsensitiveContains(plugin.name, QStringLiteral("shell"));
}

template <class Keep>
std::vector<PluginBundleSelection> bundleSelections(const std::vector<Plugin>& plugins, Keep keep) {
    std::vector<PluginBundleSelection> selections;
    for (const Plugin& plugin : plugins) {
        for (const PluginBundleRecord& record : plugin.bundleRecords()) {
            if (keep(record))
                selections.push_back(PluginBundleSelection{plugin.id, record.id()});
        }
    }
    return selections;
}

} // namespace

namespace {

bool isQuarantinedStatus(PluginStatus status) {
    return status == PluginStatus::quarantined || status == PluginStatus::partiallyQuarantined;
}

} // namespace

bool isActiveProduct(const Plugin& plugin) {
    return plugin.bundles && !plugin.bundles->empty()
               ? std::any_of(plugin.bundles->begin(), plugin.bundles->end(),
                             [](const PluginBundleRecord& record) { return record.isActive(); })
               : !isQuarantinedStatus(plugin.status);
}

bool isQuarantinedProduct(const Plugin& plugin) {
    return isQuarantinedStatus(plugin.status) ||
           (plugin.bundles &&
            std::any_of(plugin.bundles->begin(), plugin.bundles->end(),
                        [](const PluginBundleRecord& record) { return record.isQuarantined(); }));
}

bool Plugin::isSharedShell() const {
    return status == PluginStatus::sharedShell || isWavesShellByName(*this);
}

bool Plugin::isMandatoryShell() const {
    return isSharedShell() || status == PluginStatus::hostedByShell;
}

int Plugin::protectionLevel() const {
    if (isMandatoryShell())
        return 3;
    if (!hasStoredRecords(*this))
        return isProtected ? 2 : 0;
    const auto protectedCount =
        std::count_if(bundles->begin(), bundles->end(),
                      [](const PluginBundleRecord& record) { return record.isProtected; });
    if (protectedCount == 0)
        return 0;
    return protectedCount == static_cast<std::ptrdiff_t>(bundles->size()) ? 2 : 1;
}

bool bundleRecordDisplayOrder(const PluginBundleRecord& a, const PluginBundleRecord& b) {
    const int byFormat = plainCompare(a.format, b.format);
    if (byFormat != 0)
        return byFormat < 0;
    return plainLess(a.path, b.path);
}

std::vector<PluginBundleRecord> Plugin::bundleRecords() const {
    std::vector<PluginBundleRecord> records;
    if (hasStoredRecords(*this))
        records.reserve(bundles->size());
    forEachBundleRecord([&](const PluginBundleRecord& record) { records.push_back(record); });
    stableMergeSort(records, bundleRecordDisplayOrder);
    return records;
}

bool Plugin::materializeBundleRecords() {
    if (bundles)
        return false;
    std::vector<PluginBundleRecord> records = bundleRecords();
    if (records.empty())
        return false;
    bundles = std::move(records);
    return true;
}

qsizetype Plugin::quarantinedRecordCount() const {
    if (status == PluginStatus::hostedByShell)
        return 0;
    if (bundles && !bundles->empty())
        return std::ranges::count_if(*bundles, &PluginBundleRecord::isQuarantined);
    return formats.size() == 1 && singleFormatRecordIsQuarantined() ? 1 : 0;
}

PluginBundleRecord Plugin::singleFormatRecord() const {
    PluginBundleRecord record;
    record.format = formats.front();
    record.architecture = architecture;
    record.size = size;
    record.path = path;
    record.originalPath = originalPath;
    record.quarantinePath = quarantinePath;
    record.quarantineOperationID = quarantineOperationID;
    record.isProtected = isProtected;
    return record;
}

PluginStatus Plugin::baseStatus() const {
    if (status == PluginStatus::hostedByShell)
        return PluginStatus::hostedByShell;
    if (isSharedShell())
        return PluginStatus::sharedShell;
    if (plainEqual(architecture, QStringLiteral("Intel")))
        return PluginStatus::legacy;
    return PluginStatus::ok;
}

PluginStatus Plugin::derivedStatus() const {
    std::ptrdiff_t recordCount = 0;
    std::ptrdiff_t quarantinedCount = 0;
    forEachBundleRecord([&](const PluginBundleRecord& record) {
        ++recordCount;
        quarantinedCount += record.isQuarantined() ? 1 : 0;
    });
    if (recordCount != 0 && quarantinedCount == recordCount)
        return PluginStatus::quarantined;
    if (quarantinedCount > 0)
        return PluginStatus::partiallyQuarantined;
    if (status == PluginStatus::hostedByShell)
        return PluginStatus::hostedByShell;
    if (isSharedShell())
        return PluginStatus::sharedShell;
    switch (protectionLevel()) {
    case 2:
    case 3:
        return PluginStatus::protected_;
    case 1:
        return PluginStatus::partiallyProtected;
    default:
        return baseStatus();
    }
}

FormatProtectionOutcome Plugin::applyFormatProtection(const PluginBundleSelection& selection, bool protect) {
    if (selection.pluginID != id)
        return FormatProtectionOutcome::recordNotFound();
    if (isMandatoryShell())
        return FormatProtectionOutcome::mandatoryShell();
    if (!hasStoredRecords(*this))
        return FormatProtectionOutcome::recordNotFound();
    // Stored order, not display order: with two records of one key only the first is changed.
    const auto match = std::find_if(bundles->begin(), bundles->end(), [&](const PluginBundleRecord& record) {
        return plainEqual(record.id(), selection.bundleID);
    });
    if (match == bundles->end())
        return FormatProtectionOutcome::recordNotFound();
    if (match->isProtected == protect)
        return FormatProtectionOutcome::unchanged(match->format);
    match->isProtected = protect;
    isProtected = std::any_of(bundles->begin(), bundles->end(),
                              [](const PluginBundleRecord& record) { return record.isProtected; });
    return FormatProtectionOutcome::changed(match->format);
}

bool Plugin::operator==(const Plugin& other) const {
    return id == other.id && plainEqual(name, other.name) && plainEqual(manufacturer, other.manufacturer) &&
           plainEqual(version, other.version) && modelhash::equal(formats, other.formats) &&
           plainEqual(architecture, other.architecture) && plainEqual(size, other.size) &&
           plainEqual(path, other.path) && status == other.status && isProtected == other.isProtected &&
           modelhash::equal(originalPath, other.originalPath) &&
           modelhash::equal(quarantinePath, other.quarantinePath) &&
           modelhash::equal(quarantineOperationID, other.quarantineOperationID) && bundles == other.bundles;
}

size_t qHash(const Plugin& plugin, size_t seed) {
    using namespace modelhash;
    for (const size_t part :
         {of(plugin.id), of(plugin.name), of(plugin.manufacturer), of(plugin.version), of(plugin.formats),
          of(plugin.architecture), of(plugin.size), of(plugin.path), plainHash(rawValue(plugin.status)),
          of(plugin.isProtected), of(plugin.originalPath), of(plugin.quarantinePath),
          of(plugin.quarantineOperationID)})
        seed = combine(seed, part);
    if (!plugin.bundles)
        return combine(seed, 0x17);
    seed = combine(seed, plugin.bundles->size());
    for (const PluginBundleRecord& record : *plugin.bundles)
        seed = combine(seed, qHash(record));
    return seed;
}

PlainTextSet activeBundlePaths(const PluginList& plugins) {
    std::vector<QString> paths;
    paths.reserve(plugins.size());
    for (const Plugin& plugin : plugins) {
        plugin.forEachBundleRecord([&](const PluginBundleRecord& record) {
            if (record.isActive())
                paths.push_back(pathKey(record.path));
        });
    }
    return PlainTextSet(std::move(paths));
}

std::vector<PluginBundleSelection> activeBundleSelections(const std::vector<Plugin>& plugins) {
    return bundleSelections(plugins, [](const PluginBundleRecord& record) { return record.isActive(); });
}

std::vector<PluginBundleSelection> quarantinedBundleSelections(const std::vector<Plugin>& plugins) {
    return bundleSelections(plugins, [](const PluginBundleRecord& record) { return record.isQuarantined(); });
}

QJsonObject toJson(const Plugin& plugin) {
    static const QJsonObject keys =
        alwaysWrittenKeys({u"architecture", u"formats", u"id", u"isProtected", u"manufacturer", u"name",
                           u"path", u"size", u"status", u"version"});
    QJsonObject object = keys;
    SortedKeyWriter writer(object);
    writer.set(u"architecture", plugin.architecture);
    writer.set(u"formats", QJsonArray::fromStringList(plugin.formats));
    writer.set(u"id", toJson(plugin.id));
    writer.set(u"isProtected", plugin.isProtected);
    writer.set(u"manufacturer", plugin.manufacturer);
    writer.set(u"name", plugin.name);
    writer.set(u"path", plugin.path);
    writer.set(u"size", plugin.size);
    writer.set(u"status", rawValue(plugin.status));
    writer.set(u"version", plugin.version);
    setOptional(object, QStringLiteral("originalPath"), plugin.originalPath);
    setOptional(object, QStringLiteral("quarantinePath"), plugin.quarantinePath);
    setOptional(object, QStringLiteral("quarantineOperationID"), plugin.quarantineOperationID);
    if (plugin.bundles) {
        QJsonArray bundles;
        for (const PluginBundleRecord& record : *plugin.bundles)
            bundles.append(toJson(record));
        object.insert(QStringLiteral("bundles"), bundles);
    }
    return object;
}

std::expected<Plugin, JsonError> pluginFromJson(const QJsonObject& object, const QString& context) {
    JsonReader reader(object, context);
    Plugin plugin;
    plugin.id = reader.uuid(u"id");
    plugin.name = reader.string(u"name");
    plugin.manufacturer = reader.string(u"manufacturer");
    plugin.version = reader.string(u"version");
    plugin.formats = reader.stringArray(u"formats");
    plugin.architecture = reader.string(u"architecture");
    plugin.size = reader.string(u"size");
    plugin.path = reader.string(u"path");
    plugin.status = reader.enumeration(u"status", pluginStatusTable());
    plugin.isProtected = reader.boolean(u"isProtected");
    plugin.originalPath = reader.optionalString(u"originalPath");
    plugin.quarantinePath = reader.optionalString(u"quarantinePath");
    plugin.quarantineOperationID = reader.optionalString(u"quarantineOperationID");
    plugin.bundles = reader.optionalObjectArray<PluginBundleRecord>(u"bundles", pluginBundleRecordFromJson);
    if (!reader.ok())
        return std::unexpected(reader.error());
    return plugin;
}

} // namespace quorvane
