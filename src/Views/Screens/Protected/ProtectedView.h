#pragma once

#include "Model/Plugin.h"
#include "Views/Kit/Binding.h"

#include <QString>
#include <QWidget>

#include <optional>
#include <vector>

class QHBoxLayout;

namespace quorvane {

class PluginInventoryStore;
class PluginTable;
class ProtectedDetailPane;

namespace ProtectedTexts {
inline const QString title = QStringLiteral("Protected Plugins");
inline const QString subtitle =
    QStringLiteral("Protect one format or every detected format without moving files.");
inline const QString footnote =
    QStringLiteral("An all-formats action is blocked when any included format is protected. Unprotected "
                   "formats can now be quarantined individually from Inventory.");
} // namespace ProtectedTexts

// What the protected screen shows and does, without widgets: every product with a protected
// format, the three counts, and the protection changes with the re-selection that follows them.
class ProtectedViewModel {
public:
    struct Counts {
        qsizetype products = 0;
        qsizetype formats = 0;
        qsizetype manufacturers = 0;
        bool operator==(const Counts&) const = default;
    };

    ProtectedViewModel(PluginInventoryStore& store, Binding<std::optional<Plugin>> selectedPlugin);

    // Every product of the inventory (quarantined ones too) with any protection, in store order.
    std::vector<Plugin> protectedPlugins() const;
    static Counts counts(const std::vector<Plugin>& protectedPlugins);
    std::optional<Plugin> selectedPlugin() const { return m_selectedPlugin.get(); }
    void select(std::optional<Plugin> plugin) { m_selectedPlugin.set(std::move(plugin)); }
    // The inspected product's records; none while nothing is inspected.
    std::vector<PluginBundleRecord> inspectorBundles() const;

    // Each showing starts at the first protected product, whatever another screen had selected.
    void appear();
    void setProtection(const Plugin& plugin, bool protect);
    void setBundleProtection(const Plugin& plugin, const PluginBundleRecord& bundle, bool protect);
    // After a change of the store's products, wherever it came from: the inspected product is
    // re-selected as after this screen's own changes.
    void followStore();

private:
    // The fresh record of that product while it is still protected, else the first protected one.
    void reselect(const QUuid& id);

    PluginInventoryStore& m_store;
    Binding<std::optional<Plugin>> m_selectedPlugin;
};

class ProtectedView : public QWidget {
    Q_OBJECT
public:
    ProtectedView(PluginInventoryStore& store, Binding<std::optional<Plugin>> selectedPlugin,
                  QWidget* parent = nullptr);

    ProtectedViewModel& model() { return m_model; }
    void refresh();

private:
    void refreshInspector();

    ProtectedViewModel m_model;
    QHBoxLayout* m_metrics;
    PluginTable* m_table;
    ProtectedDetailPane* m_inspector;
};

} // namespace quorvane
