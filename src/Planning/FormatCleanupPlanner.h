#pragma once

#include "Model/Plugin.h"
#include "Model/PluginList.h"
#include "Planning/FileSystemProbe.h"
#include "Planning/FormatCleanupPlan.h"
#include "Planning/InventoryRevisionToken.h"
#include "Shared/PathPolicy.h"

#include <QString>

#include <optional>
#include <vector>

namespace quorvane {

// Previews a preset over the whole inventory. Never fails: what may not move is an exclusion with
// its reason and detail. It reads the disk only through `pathPolicy` and, when
// `verifyBundlesOnDisk` is set, one existence check per otherwise eligible bundle.
FormatCleanupPlan makeFormatCleanupPlan(FormatCleanupPresetKind preset, const FormatSet& customFormats,
                                        const PluginList& plugins,
                                        const InventoryRevisionToken& currentRevision,
                                        const std::optional<InventoryRevisionToken>& previewedRevision,
                                        bool hasPendingTransaction, const FileSystemProbe& fileSystem,
                                        bool verifyBundlesOnDisk, const PathPolicy& pathPolicy);

// Each format trimmed and uppercased; formats that become equal merge, an empty one stays.
FormatSet normalizedCustomFormats(const FormatSet& customFormats);

// Whether `preset` proposes the normalised format; `custom` consults the normalised custom set.
bool presetProposesFormat(FormatCleanupPresetKind preset, const FormatSet& normalizedCustom,
                          const QString& normalizedFormat);

// False for a format without a known bundle extension; else whether the path's lower-cased
// extension is that format's.
bool formatMatchesBundleExtension(const QString& normalizedFormat, const QString& path);

} // namespace quorvane
