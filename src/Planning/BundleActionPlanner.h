#pragma once

#include "Model/Plugin.h"
#include "Model/PluginBundleSelection.h"
#include "Model/PluginList.h"
#include "Planning/BundleActionPlan.h"
#include "Planning/FileSystemProbe.h"
#include "Planning/InventoryRevisionToken.h"
#include "Shared/PathPolicy.h"

#include <QString>
#include <QUuid>

#include <optional>
#include <vector>

namespace quorvane {

// Turns a selection into a reviewed plan against `plugins`. Never fails: every refusal is a
// blocked selection with its reason and message, so each selection ends as exactly one item or one
// blocked selection. It only reads the disk: through `pathPolicy`, through `fileSystem` existence
// checks when `verifyBundlesOnDisk` is set, and through the Trash naming, which always looks.
// `trashDirectory` none means the current user's home trash, taken as given otherwise.
BundleActionPlan
makeBundleActionPlan(BundleActionKind operation, const std::vector<PluginBundleSelection>& selections,
                     const PluginList& plugins, const InventoryRevisionToken& currentRevision,
                     const std::optional<InventoryRevisionToken>& previewedRevision,
                     const std::optional<QUuid>& presetRunID, bool hasPendingTransaction,
                     const FileSystemProbe& fileSystem, const std::optional<QString>& trashDirectory,
                     bool verifyBundlesOnDisk, const PathPolicy& pathPolicy);

// Why an action on one of two bundles whose record keys are one (they differ only in case or Unicode
// form) is refused: "Quorvane cannot tell this bundle apart from another one it records: <path> and
// <other>. …".
QString indistinctBundlesMessage(const QString& path, const QString& other);

// A record's size text such as "12.5 MB" in bytes: a number, a space and KB, MB or GB (any case),
// truncated toward zero. None for any other text, and for a size outside the 64-bit range.
std::optional<qint64> bundleSizeInBytes(const QString& sizeText);

} // namespace quorvane
