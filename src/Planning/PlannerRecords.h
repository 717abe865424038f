#pragma once

#include "Model/Plugin.h"
#include "Model/PluginBundleRecord.h"
#include "Support/PlainText.h"

#include <QString>
#include <QUuid>

#include <unordered_set>
#include <vector>

namespace quorvane {

// The records in which both planners look up a product's bundles: its stored bundles in stored
// order whatever its status; else, for a single-format product that is not hostedByShell, one
// record made from the product's own fields; else none. Unlike Plugin::bundleRecords() it neither
// sorts nor drops the stored bundles of a hostedByShell product.
std::vector<PluginBundleRecord> plannerRecords(const Plugin& plugin);

struct PlannerUuidHash {
    size_t operator()(const QUuid& uuid) const noexcept { return qHash(uuid); }
};

using BundleIDSet = std::unordered_set<QString, PlainHash, PlainEqualTo>;

// The product has an active record and every active one is among `bundleIDs`.
bool removesEveryActiveFormat(const Plugin& plugin, const BundleIDSet& bundleIDs);

// "<name> — <format>: <sentence>", the form of every per-bundle refusal.
QString bundleSentence(const QString& pluginName, const QString& format, const QString& sentence);

} // namespace quorvane
