#pragma once

#include "Views/Kit/Binding.h"
#include "Views/Kit/DetailShell.h"

#include <optional>
#include <vector>

namespace quorvane {

// "Quarantine <format> Format…" for one bundle, with the reason that blocks it shown above it,
// and its own confirmation.
class BundleQuarantineControl : public QWidget {
    Q_OBJECT
public:
    BundleQuarantineControl(const Plugin& plugin, const PluginBundleRecord& bundle,
                            std::optional<QString> blockingReason, BundleAction onQuarantine,
                            QWidget* parent = nullptr);
};

// The Inventory screen's detail pane: metadata rows, protection, and one card per format bundle
// with its per-format protection and quarantine; below the cards "Quarantine Plugin…".
class PluginDetailPane : public DetailShell {
    Q_OBJECT
public:
    struct Actions {
        PluginReason quarantineReason;
        BundleReason bundleQuarantineReason;
        SetProtection onSetProtection;
        SetBundleProtection onSetBundleProtection;
        PluginAction onQuarantine;
        BundleAction onQuarantineBundle;
    };

    explicit PluginDetailPane(Actions actions, QWidget* parent = nullptr);

    // Asks the reason closures once; rebuilt only when something shown changed.
    void setPlugin(const std::optional<Plugin>& plugin, const std::vector<PluginBundleRecord>& bundles);
    // Asks the reason closures again for the same product.
    void refresh();
    // Shows the whole-product confirmation ("Move Plugin to Quarantine?") for the product shown as it opens.
    void presentQuarantineConfirmation();

private:
    struct Rendering {
        std::optional<Plugin> plugin;
        std::vector<PluginBundleRecord> bundles;
        std::optional<QString> quarantineReason;
        std::vector<std::optional<QString>> bundleReasons;
        bool operator==(const Rendering&) const = default;
    };

    QWidget* buildContent(const Rendering& rendering);
    QWidget* buildCard(const Plugin& plugin, const PluginBundleRecord& bundle,
                       const std::optional<QString>& reason, QWidget* parent);

    Actions m_actions;
    std::optional<Plugin> m_plugin;
    std::vector<PluginBundleRecord> m_bundles;
    std::optional<Rendering> m_shown;
};

} // namespace quorvane
