#pragma once

#include "Views/Kit/Binding.h"
#include "Views/Kit/DetailShell.h"

#include <optional>
#include <vector>

namespace quorvane {

// The detail pane of the protected-plugins screen: where each format bundle lies, whether it is
// protected, a reveal button per bundle, the per-format and the product-level protection controls.
class ProtectedDetailPane : public DetailShell {
    Q_OBJECT
public:
    ProtectedDetailPane(SetProtection onSetProtection, SetBundleProtection onSetBundleProtection,
                        QWidget* parent = nullptr);

    // Rebuilt only when something shown changed.
    void setPlugin(const std::optional<Plugin>& plugin, const std::vector<PluginBundleRecord>& bundles);

private:
    QWidget* buildContent(const Plugin& plugin, const std::vector<PluginBundleRecord>& bundles);
    QWidget* buildCard(const Plugin& plugin, const PluginBundleRecord& bundle, QWidget* parent);

    SetProtection m_onSetProtection;
    SetBundleProtection m_onSetBundleProtection;
    std::optional<std::pair<std::optional<Plugin>, std::vector<PluginBundleRecord>>> m_shown;
};

} // namespace quorvane
