#include "Persistence/InventoryStateMigration.h"

#include "Model/Identity.h"

#include <algorithm>

namespace quorvane {

QString InventoryStateMigration::MigrationError::description() const {
    switch (error) {
    case Case::unsupportedSchema:
        return QStringLiteral("Inventory schema %1 is newer than this Quorvane build supports.").arg(schema);
    }
    return {};
}

std::expected<InventoryStateMigration::Result, InventoryStateMigration::MigrationError>
InventoryStateMigration::migrate(const PersistedInventory& state) {
    const qint64 version = state.schemaVersion.value_or(1);
    if (version > currentInventorySchemaVersion)
        return std::unexpected(MigrationError{MigrationError::Case::unsupportedSchema, version});
    if (version == currentInventorySchemaVersion)
        return Result{state, false};

    const ProtectedKeySet keys(state.protectedKeys.begin(), state.protectedKeys.end());
    Result result{state, true};
    result.state.schemaVersion = currentInventorySchemaVersion;
    PluginListEdit upgraded(result.state.plugins);
    for (std::size_t index = 0; index < upgraded.size(); ++index)
        upgraded.replace(index, upgradePlugin(upgraded[index], keys));
    result.state.plugins = upgraded.list();
    return result;
}

Plugin InventoryStateMigration::upgradePlugin(const Plugin& plugin, const ProtectedKeySet& protectedKeys) {
    Plugin upgraded = plugin;
    const bool mandatoryShell = plugin.isMandatoryShell();
    const bool shouldProtect =
        mandatoryShell || plugin.isProtected || protectedKeys.contains(productProtectionKey(plugin));

    if (upgraded.bundles) {
        // An empty list stays empty, and the product then counts as unprotected below even
        // when it was protected: kept so that documents of that shape upgrade as they always did.
        for (PluginBundleRecord& record : *upgraded.bundles)
            record.isProtected = shouldProtect;
    } else if (plugin.formats.size() == 1) {
        PluginBundleRecord record = plugin.singleFormatRecord();
        record.isProtected = shouldProtect;
        upgraded.bundles = std::vector<PluginBundleRecord>{std::move(record)};
    }

    if (mandatoryShell) {
        upgraded.isProtected = true;
        return upgraded;
    }
    if (upgraded.bundles)
        upgraded.isProtected = std::ranges::any_of(
            *upgraded.bundles, [](const PluginBundleRecord& record) { return record.isProtected; });
    else
        upgraded.isProtected = shouldProtect;
    if (upgraded.isProtected && upgraded.status != PluginStatus::quarantined &&
        upgraded.status != PluginStatus::partiallyQuarantined)
        upgraded.status = PluginStatus::protected_;
    return upgraded;
}

} // namespace quorvane
