#pragma once

#include <QWidget>

class QHBoxLayout;
class QLabel;
class QListView;
class QMessageBox;
class QStackedWidget;
class QToolButton;

namespace quorvane {

class FormatCleanupCandidateModel;
class FormatCleanupNoteModel;
class FormatCleanupViewModel;
class KitButton;

// A titled group that starts closed and shows its content only while open.
class DisclosureGroup : public QWidget {
    Q_OBJECT
public:
    DisclosureGroup(const QString& title, QWidget* content, QWidget* parent = nullptr);

    void setTitle(const QString& title);
    bool isOpen() const;
    void setOpen(bool open);
    QToolButton* toggle() const { return m_toggle; }

private:
    QToolButton* m_toggle;
    QWidget* m_content;
};

// The review of a cleanup preview: the four counts, the candidate list with its checkboxes (or
// "No Eligible Formats"), and the warnings and exclusions. Shown only while there is a preview.
class FormatCleanupReview : public QWidget {
    Q_OBJECT
public:
    explicit FormatCleanupReview(FormatCleanupViewModel& viewModel, QWidget* parent = nullptr);

    QListView* candidateList() const { return m_candidates; }
    QListView* noteList() const { return m_notes; }
    FormatCleanupCandidateModel* candidateModel() const { return m_candidateModel; }

private:
    void refreshPlan();
    void refreshMetrics();
    void refreshButtons();

    FormatCleanupViewModel& m_viewModel;
    FormatCleanupCandidateModel* m_candidateModel;
    FormatCleanupNoteModel* m_noteModel;
    QHBoxLayout* m_metricRow;
    QWidget* m_metrics;
    QStackedWidget* m_listArea;
    QLabel* m_noEligibleDescription;
    QListView* m_candidates;
    KitButton* m_quarantineSelected;
    DisclosureGroup* m_noteGroup;
    QListView* m_notes;
};

// The alert that asks before a run: "Quarantine Reviewed Formats?" with the view-model's message,
// "Cancel" and "Start Cleanup Preset". Opened window-modal without blocking; it deletes itself.
QMessageBox* presentCleanupConfirmation(QWidget* parent, FormatCleanupViewModel& viewModel);

} // namespace quorvane
