#include "Model/PluginBundleSelection.h"

#include "Model/ModelHash.h"
#include "Support/JsonWriter.h"
#include "Support/PlainText.h"

namespace quorvane {

bool PluginBundleSelection::operator==(const PluginBundleSelection& other) const {
    return pluginID == other.pluginID && plainEqual(bundleID, other.bundleID);
}

size_t qHash(const PluginBundleSelection& selection, size_t seed) {
    return modelhash::combine(modelhash::combine(seed, modelhash::of(selection.pluginID)),
                              modelhash::of(selection.bundleID));
}

QJsonObject toJson(const PluginBundleSelection& selection) {
    QJsonObject object;
    object.insert(QStringLiteral("pluginID"), toJson(selection.pluginID));
    object.insert(QStringLiteral("bundleID"), selection.bundleID);
    return object;
}

std::expected<PluginBundleSelection, JsonError> pluginBundleSelectionFromJson(const QJsonObject& object,
                                                                              const QString& context) {
    JsonReader reader(object, context);
    PluginBundleSelection selection;
    selection.pluginID = reader.uuid(u"pluginID");
    selection.bundleID = reader.string(u"bundleID");
    if (!reader.ok())
        return std::unexpected(reader.error());
    return selection;
}

} // namespace quorvane
