#pragma once

#include "Views/Kit/Binding.h"

#include <QWidget>

namespace quorvane {

// Product-level protection: what it offers follows the product's protection level; removing asks
// first, protecting never does. Mandatory shells get a note instead of buttons. Its elements join
// the detail pane's stack (no margins of its own).
class ProtectionControl : public QWidget {
    Q_OBJECT
public:
    ProtectionControl(const Plugin& plugin, SetProtection onSetProtection, QWidget* parent = nullptr);

private:
    void confirmRemoval(const QString& message);

    Plugin m_plugin;
    SetProtection m_onSetProtection;
};

// Protection of one format bundle.
class BundleProtectionControl : public QWidget {
    Q_OBJECT
public:
    BundleProtectionControl(const Plugin& plugin, const PluginBundleRecord& bundle,
                            SetBundleProtection onSetProtection, QWidget* parent = nullptr);
};

} // namespace quorvane
