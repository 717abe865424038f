#pragma once

#include "Views/Kit/AppSection.h"
#include "Views/Kit/Binding.h"

#include <QString>
#include <QWidget>

#include <optional>
#include <vector>

class QCheckBox;
class QLabel;
class QVBoxLayout;

namespace quorvane {

class PluginInventoryStore;

namespace PermanentQuarantineTexts {
inline const QString title = QStringLiteral("Permanent Quarantine");
inline const QString subtitle =
    QStringLiteral("Keep an installer from bringing back plug-ins you already quarantined.");
inline const QString backToInventory = QStringLiteral("Back to Inventory");
inline const QString ruleHeading = QStringLiteral("Exact-match rule");
inline const QString ruleExplanation = QStringLiteral(
    "When an enabled manufacturer reinstalls a bundle, Quorvane acts only if the manufacturer, product name, "
    "format, and bundle filename exactly match one verified item already in Quorvane quarantine. The older "
    "quarantine copy moves to Finder Trash, then the new copy moves into a fresh reversible quarantine "
    "location.");
inline const QString ruleCaution = QStringLiteral(
    "Protected plug-ins, shared shells\u2014including WaveShell\u2014and ambiguous duplicates are always "
    "skipped. If a move cannot be verified, Quorvane stops and leaves the new copy installed.");
inline const QString emptyTitle = QStringLiteral("Run a Scan First");
inline const QString emptyDetail =
    QStringLiteral("Manufacturer rules are available after Quorvane reads the local plugin inventory.");
inline const QString enabledCaption =
    QStringLiteral("Enabled \u2014 exact reinstalled matches are handled on the next scan");
inline const QString offCaption =
    QStringLiteral("Off \u2014 reinstalled plug-ins remain installed for review");
} // namespace PermanentQuarantineTexts

// What the permanent-quarantine screen shows and does, without widgets: one row per manufacturer
// string of the inventory, each with the switch of the rule its manufacturer key shares.
class PermanentQuarantineViewModel {
public:
    struct Row {
        QString manufacturer;
        bool enabled = false;
        QString caption;
        // Every row but the last has a divider below it.
        bool divider = false;
        bool operator==(const Row&) const = default;
    };

    PermanentQuarantineViewModel(PluginInventoryStore& store, Binding<std::optional<AppSection>> section);

    // Read afresh from the store on every call; empty before the inventory holds any product.
    std::vector<Row> rows() const;
    // Flips the rule of the row's manufacturer; the store reports the outcome.
    void setEnabled(const QString& manufacturer, bool enabled);
    void backToInventory();

private:
    PluginInventoryStore& m_store;
    Binding<std::optional<AppSection>> m_section;
};

class PermanentQuarantineView : public QWidget {
    Q_OBJECT
public:
    PermanentQuarantineView(PluginInventoryStore& store, Binding<std::optional<AppSection>> section,
                            QWidget* parent = nullptr);

    PermanentQuarantineViewModel& model() { return m_model; }
    void refresh();

private:
    // One change of a rule publishes both the rules and the products; the rows are rebuilt once,
    // after the change, and never inside the signal of the switch that asked for it.
    void scheduleRefresh();

    // Sets the switches and captions of the rows shown when the manufacturers are the same ones;
    // false when the rows must be built again.
    bool updateRowsInPlace(const std::vector<PermanentQuarantineViewModel::Row>& rows);

    PermanentQuarantineViewModel m_model;
    QVBoxLayout* m_rules;
    bool m_refreshPending = false;
    // The rows shown, with the widgets a change of a rule updates.
    struct ShownRow {
        PermanentQuarantineViewModel::Row row;
        QCheckBox* toggle = nullptr;
        QLabel* caption = nullptr;
    };
    std::vector<ShownRow> m_shownRows;
};

} // namespace quorvane
