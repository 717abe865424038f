#pragma once

#include "Support/JsonReader.h"

#include <QJsonObject>
#include <QString>
#include <QUuid>

#include <cstddef>
#include <expected>
#include <functional>

namespace quorvane {

// One format bundle of one product: the unit of every selection.
struct PluginBundleSelection {
    QUuid pluginID;
    // The bundle key of the record (`PluginBundleRecord::id()`), already normalised when made.
    QString bundleID;

    // Plain text equality of the bundle id: no case folding.
    bool operator==(const PluginBundleSelection& other) const;
};

size_t qHash(const PluginBundleSelection& selection, size_t seed = 0);

// {"bundleID": …, "pluginID": …}; both keys required.
QJsonObject toJson(const PluginBundleSelection& selection);
[[nodiscard]] std::expected<PluginBundleSelection, JsonError>
pluginBundleSelectionFromJson(const QJsonObject& object, const QString& context = {});

} // namespace quorvane

template <>
struct std::hash<quorvane::PluginBundleSelection> {
    size_t operator()(const quorvane::PluginBundleSelection& selection) const {
        return quorvane::qHash(selection);
    }
};
