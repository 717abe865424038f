#pragma once

#include "Views/Kit/Binding.h"
#include "Views/Kit/DetailShell.h"
#include "Views/Kit/TrashConfirmationSheet.h"

#include <QPointer>

#include <functional>
#include <optional>
#include <vector>

namespace quorvane {

// Restore and Trash for one quarantined bundle, each with its own confirmation: an alert for the
// restore, a sheet with an acknowledgement for the Trash.
class BundleQuarantineActions : public QWidget {
    Q_OBJECT
public:
    BundleQuarantineActions(const Plugin& plugin, const PluginBundleRecord& bundle,
                            std::optional<QString> restoreBlockingReason,
                            std::optional<QString> trashBlockingReason, BundleAction onRestore,
                            BundleAction onTrash, QWidget* parent = nullptr);
};

// The Quarantine screen's detail pane: one card per quarantined bundle, then "Restore Plugin…"
// and "Move Plugin to Trash…" for the whole product.
class QuarantineDetailPane : public DetailShell {
    Q_OBJECT
public:
    struct Actions {
        PluginReason restoreReason;
        PluginReason trashReason;
        BundleReason bundleRestoreReason;
        BundleReason bundleTrashReason;
        PluginAction onRestore;
        PluginAction onTrash;
        BundleAction onRestoreBundle;
        BundleAction onTrashBundle;
    };

    explicit QuarantineDetailPane(Actions actions, QWidget* parent = nullptr);

    // Asks the reason closures once; rebuilt only when something shown changed.
    void setPlugin(const std::optional<Plugin>& plugin, const std::vector<PluginBundleRecord>& bundles);
    void refresh();
    // The whole-product confirmations, for the product shown as they open.
    void presentRestoreConfirmation();
    void presentTrashConfirmation();
    // The whole-product Trash sheet while it is shown.
    TrashSheetFrame* trashSheet() const;

private:
    struct Rendering {
        std::optional<Plugin> plugin;
        std::vector<PluginBundleRecord> bundles;
        std::optional<QString> restoreReason;
        std::optional<QString> trashReason;
        std::vector<std::pair<std::optional<QString>, std::optional<QString>>> bundleReasons;
        bool operator==(const Rendering&) const = default;
    };

    QWidget* buildContent(const Rendering& rendering);
    QWidget* buildCard(const Plugin& plugin, const PluginBundleRecord& bundle,
                       const std::pair<std::optional<QString>, std::optional<QString>>& reasons,
                       QWidget* parent);

    Actions m_actions;
    std::optional<Plugin> m_plugin;
    std::vector<PluginBundleRecord> m_bundles;
    std::optional<Rendering> m_shown;
    QPointer<TrashSheetFrame> m_trashSheet;
};

// Shows a Trash sheet window-modal; its closures dismiss it (a confirm after running its action).
void presentTrashSheet(TrashSheetFrame* sheet);

// Builds a Trash sheet through `make`, handing it the closures it calls, names it and shows it:
// "Cancel" dismisses it, the destructive button runs `onConfirm` and then dismisses it.
using TrashSheetMaker =
    std::function<TrashSheetFrame*(std::function<void()> onCancel, std::function<void()> onConfirm)>;
TrashSheetFrame* openTrashSheet(const TrashSheetMaker& make, std::function<void()> onConfirm,
                                const QString& objectName);

} // namespace quorvane
