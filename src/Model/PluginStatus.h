#pragma once

#include "Support/EnumText.h"

#include <QString>

#include <optional>

namespace quorvane {

// Stored and shown by its raw text. `protected_` carries an underscore only because `protected`
// is a C++ keyword.
enum class PluginStatus {
    ok,
    legacy,
    protected_,
    partiallyProtected,
    quarantined,
    partiallyQuarantined,
    sharedShell,
    hostedByShell,
};

// The eight cases in order with their raw texts ("OK" … "Hosted by WaveShell").
const EnumTextTable<PluginStatus>& pluginStatusTable();
// The raw value, which is also the display text.
QString rawValue(PluginStatus status);
// Exact match of one raw value only.
std::optional<PluginStatus> pluginStatusFromRawValue(const QString& text);

} // namespace quorvane
