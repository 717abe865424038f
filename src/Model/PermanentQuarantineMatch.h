#pragma once

#include "Model/PermanentQuarantineRule.h"
#include "Model/Plugin.h"
#include "Model/PluginBundleRecord.h"
#include "Model/PluginBundleSelection.h"
#include "Model/PluginList.h"
#include "Support/PlainText.h"

#include <QString>

#include <cstddef>
#include <optional>
#include <unordered_map>
#include <vector>

namespace quorvane {

// An exact replacement: a reinstalled (active) bundle of a rule's manufacturer and the older copy
// of it that already sits in quarantine. Not stored.
struct PermanentQuarantineMatch {
    PluginBundleSelection active;
    PluginBundleSelection retired;
    QString pluginName;   // the active product's name, as stored
    QString manufacturer; // the active product's manufacturer, as stored
    QString format;       // the active record's format, as stored

    bool operator==(const PermanentQuarantineMatch& other) const;
};

size_t qHash(const PermanentQuarantineMatch& match, size_t seed = 0);

// One bundle record of a product under its match key.
struct PermanentQuarantineEntry {
    PluginBundleSelection selection;
    Plugin product;
    PluginBundleRecord record;
};

using PermanentQuarantineTable =
    std::unordered_map<QString, std::vector<PermanentQuarantineEntry>, PlainHash, PlainEqualTo>;

// manufacturerKey | folded lower-cased trimmed name | upper-cased format (untrimmed) | lower-cased
// last path component of originalPath, else path.
QString permanentQuarantineMatchKey(const Plugin& product, const PluginBundleRecord& record);

// A match only when each table holds exactly one entry under `key`: an ambiguous key gives none.
std::optional<PermanentQuarantineMatch> permanentQuarantineMatch(const QString& key,
                                                                 const PermanentQuarantineTable& active,
                                                                 const PermanentQuarantineTable& retired);

// By manufacturer, then by plug-in name, both in plain text order of the stored texts.
bool permanentQuarantineMatchOrder(const PermanentQuarantineMatch& a, const PermanentQuarantineMatch& b);

// Every exact replacement among the stored records of unprotected, non-shell products of the
// rules' manufacturers, sorted by permanentQuarantineMatchOrder.
std::vector<PermanentQuarantineMatch>
permanentQuarantineMatches(const PluginList& products, const std::vector<PermanentQuarantineRule>& rules);

} // namespace quorvane
