#pragma once

#include <QString>

namespace quorvane {

// The user's Application Support folder: the XDG data home (never the per-application folder,
// which would add organisation and application names). Empty when the platform reports none.
QString applicationSupportFolder();

// Each location exists in two forms: beneath a given Application Support folder (tests pass a
// temporary one) and beneath the user's. With an empty folder there is no location and the
// result is empty. None of them creates, reads or tests anything on disk.

// <Application Support>/Quorvane/inventory-state.json
QString inventoryStateFileURL(const QString& applicationSupport);
QString inventoryStateFileURL();

// <Application Support>/Quorvane/instance.lock: locked by the one running instance.
QString instanceLockFileURL(const QString& applicationSupport);

// <Application Support>/Ostrevel/inventory-state.json, read when the current file is missing.
QString legacyInventoryStateFileURL(const QString& applicationSupport);
QString legacyInventoryStateFileURL();

// <Application Support>/Ostrevel/Quarantine
QString legacyQuarantineFolderURL(const QString& applicationSupport);
QString legacyQuarantineFolderURL();

} // namespace quorvane
