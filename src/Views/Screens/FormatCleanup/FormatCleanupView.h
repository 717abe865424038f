#pragma once

#include "Planning/FormatCleanupPlan.h"
#include "Views/Screens/FormatCleanup/FormatCleanupViewModel.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QPointer>
#include <QWidget>

#include <map>
#include <vector>

class QCheckBox;
class QStackedWidget;
class QVBoxLayout;

namespace quorvane {

class DisclosureGroup;
class FormatCleanupReview;
class FormatCleanupRunController;
class KitButton;
class PluginInventoryStore;
class PluginManagementService;
struct ScreenServices;

// One preset's card: its title over its description, highlighted while it is the chosen preset.
class PresetCard : public QAbstractButton {
    Q_OBJECT
public:
    PresetCard(FormatCleanupPresetKind preset, QWidget* parent = nullptr);

    FormatCleanupPresetKind preset() const { return m_preset; }
    bool isCurrent() const { return m_current; }
    void setCurrent(bool current);
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    // The description as drawn at the card's width: at most two lines, the last cut with "…".
    QStringList descriptionLinesShown() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    FormatCleanupPresetKind m_preset;
    bool m_current = false;
};

// The Format Cleanup section: pick a preset, build a preview, review it, confirm, and the run
// controller quarantines the confirmed bundles in chunks. The screen is made afresh each time the
// section is shown; the run it starts belongs to the controller and goes on without it.
class FormatCleanupView : public QWidget {
    Q_OBJECT
public:
    FormatCleanupView(PluginManagementService& managementService, PluginInventoryStore& store,
                      FormatCleanupRunController& run, const ScreenServices& services,
                      QWidget* parent = nullptr);
    ~FormatCleanupView() override;

    FormatCleanupViewModel& viewModel() const { return *m_viewModel; }
    FormatCleanupReview* review() const { return m_review; }
    QMessageBox* confirmation() const { return m_confirmation; }

private:
    void refreshPreset();
    void refreshPlan();
    void refreshState();
    void refreshRecentRuns();
    void refreshConfirmation();

    FormatCleanupViewModel* m_viewModel;
    KitButton* m_buildPreview;
    std::map<FormatCleanupPresetKind, PresetCard*> m_cards;
    QWidget* m_customRow;
    std::map<QString, QCheckBox*> m_customBoxes;
    QStackedWidget* m_reviewArea;
    FormatCleanupReview* m_review;
    QWidget* m_recentPanel;
    DisclosureGroup* m_recentGroup;
    QVBoxLayout* m_recentRows;
    std::vector<FormatCleanupViewModel::RecentRun> m_shownRuns;
    std::vector<FormatCleanupViewModel::Note> m_shownNotes;
    QWidget* m_notes;
    QVBoxLayout* m_noteLayout;
    QPointer<QMessageBox> m_confirmation;
};

} // namespace quorvane
