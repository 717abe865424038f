#include "Views/Screens/FormatCleanup/FormatCleanupReview.h"

#include "Views/Kit/ConfirmAlert.h"
#include "Views/Kit/DetailShell.h"
#include "Views/Kit/KitButton.h"
#include "Views/Kit/MetricCard.h"
#include "Views/Kit/Palette.h"
#include "Views/Kit/RoundedBox.h"
#include "Views/Kit/SymbolIcons.h"
#include "Views/Kit/TextStyle.h"
#include "Views/Screens/FormatCleanup/FormatCleanupCandidateModel.h"
#include "Views/Screens/FormatCleanup/FormatCleanupViewModel.h"
#include "Views/Screens/Shared/ScreenLayout.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListView>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QStackedWidget>
#include <QStyledItemDelegate>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace quorvane {

namespace {

QColor tintColor(FormatCleanupViewModel::Tint tint) {
    switch (tint) {
    case FormatCleanupViewModel::Tint::blue:
        return Palette::accent();
    case FormatCleanupViewModel::Tint::green:
        return Palette::green();
    case FormatCleanupViewModel::Tint::amber:
        return Palette::amber();
    }
    return Palette::accent();
}

QListView* makeList(const QString& objectName, QWidget* parent) {
    auto* list = new QListView(parent);
    list->setObjectName(objectName);
    list->setFrameShape(QFrame::NoFrame);
    list->setUniformItemSizes(true);
    list->setSelectionMode(QAbstractItemView::NoSelection);
    list->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    list->setAutoFillBackground(false);
    list->viewport()->setAutoFillBackground(false);
    list->setStyleSheet(QStringLiteral("QListView { background: transparent; }"));
    return list;
}

// Rows as tall as their wrapped text at the list's width: a warning or an exclusion never shows
// cut through a line.
class WrappedRowDelegate : public QStyledItemDelegate {
public:
    explicit WrappedRowDelegate(QListView* list) : QStyledItemDelegate(list), m_list(list) {}

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QStyleOptionViewItem sized = option;
        sized.rect = QRect(0, 0, qMax(1, m_list->viewport()->width() - 2 * m_list->spacing()), 1);
        return QStyledItemDelegate::sizeHint(sized, index);
    }

private:
    QListView* m_list;
};

} // namespace

DisclosureGroup::DisclosureGroup(const QString& title, QWidget* content, QWidget* parent)
    : QWidget(parent), m_toggle(new QToolButton(this)), m_content(content) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_toggle->setObjectName(QStringLiteral("disclosureToggle"));
    m_toggle->setCheckable(true);
    m_toggle->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_toggle->setArrowType(Qt::RightArrow);
    m_toggle->setAutoRaise(true);
    // A title with its arrow, never a pressed button while the group is open; keyboard focus shows
    // in the title's colour.
    m_toggle->setStyleSheet(
        QStringLiteral(
            "QToolButton { border: none; background: transparent; } QToolButton:focus { color: %1; }")
            .arg(Palette::accent().name()));
    m_toggle->setFont(textFont(TextStyle::body));
    m_toggle->setText(title);
    layout->addWidget(m_toggle);
    content->setParent(this);
    layout->addWidget(content);
    content->setVisible(false);
    connect(m_toggle, &QToolButton::toggled, this, [this](bool open) {
        m_toggle->setArrowType(open ? Qt::DownArrow : Qt::RightArrow);
        m_content->setVisible(open);
    });
}

void DisclosureGroup::setTitle(const QString& title) {
    m_toggle->setText(title);
}

bool DisclosureGroup::isOpen() const {
    return m_toggle->isChecked();
}

void DisclosureGroup::setOpen(bool open) {
    m_toggle->setChecked(open);
}

FormatCleanupReview::FormatCleanupReview(FormatCleanupViewModel& viewModel, QWidget* parent)
    : QWidget(parent), m_viewModel(viewModel),
      m_candidateModel(new FormatCleanupCandidateModel(viewModel, this)),
      m_noteModel(new FormatCleanupNoteModel(viewModel, this)) {
    setObjectName(QStringLiteral("cleanupReview"));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(18);

    m_metrics = new QWidget(this);
    m_metrics->setObjectName(QStringLiteral("cleanupMetrics"));
    m_metrics->setFixedHeight(96);
    m_metricRow = new QHBoxLayout(m_metrics);
    m_metricRow->setContentsMargins(0, 0, 0, 0);
    m_metricRow->setSpacing(14);
    column->addWidget(m_metrics);

    m_listArea = new QStackedWidget(this);
    auto* noEligible = makeEmptyState(QStringLiteral("noEligibleFormats"), QStringLiteral("checkmark.shield"),
                                      FormatCleanupTexts::noEligibleTitle, {}, m_listArea, 220);
    m_noEligibleDescription = noEligible->findChild<QLabel*>(QStringLiteral("emptyStateDescription"));
    m_listArea->addWidget(noEligible);

    auto* candidatePanel = new PanelFrame(m_listArea);
    candidatePanel->setObjectName(QStringLiteral("candidatePanel"));
    auto* panelColumn = new QVBoxLayout(candidatePanel);
    panelColumn->setContentsMargins(0, 0, 0, 0);
    panelColumn->setSpacing(0);
    auto* header = new QHBoxLayout;
    header->setContentsMargins(14, 14, 14, 14);
    // The two plain buttons are bare text: without room between them they read as one label.
    header->setSpacing(14);
    header->addWidget(
        makeLabel(FormatCleanupTexts::reviewedCandidates, TextStyle::headline, std::nullopt, candidatePanel));
    header->addStretch(1);
    auto* defaults =
        new KitButton(FormatCleanupTexts::selectSafeDefaults, {}, ButtonStyle::plain, candidatePanel);
    defaults->setObjectName(QStringLiteral("selectSafeDefaultsButton"));
    auto* clear = new KitButton(FormatCleanupTexts::clear, {}, ButtonStyle::plain, candidatePanel);
    clear->setObjectName(QStringLiteral("clearSelectionButton"));
    m_quarantineSelected = new KitButton(FormatCleanupTexts::quarantineSelected, {},
                                         ButtonStyle::borderedProminent, candidatePanel);
    m_quarantineSelected->setObjectName(QStringLiteral("quarantineSelectedButton"));
    header->addWidget(defaults);
    header->addWidget(clear);
    header->addWidget(m_quarantineSelected);
    panelColumn->addLayout(header);
    panelColumn->addWidget(makeDivider(candidatePanel));
    m_candidates = makeList(QStringLiteral("candidateList"), candidatePanel);
    m_candidates->setModel(m_candidateModel);
    m_candidates->setItemDelegate(new FormatCleanupCandidateDelegate(m_candidates));
    m_candidates->setMouseTracking(true);
    m_candidates->setFixedHeight(180);
    panelColumn->addWidget(m_candidates);
    m_listArea->addWidget(candidatePanel);
    column->addWidget(m_listArea);

    m_notes = makeList(QStringLiteral("noteList"), nullptr);
    m_notes->setModel(m_noteModel);
    m_notes->setSpacing(4);
    m_notes->setWordWrap(true);
    m_notes->setUniformItemSizes(false);
    m_notes->setResizeMode(QListView::Adjust);
    m_notes->setItemDelegate(new WrappedRowDelegate(m_notes));
    m_notes->setMinimumHeight(96);
    m_notes->setMaximumHeight(280);
    auto* noteBody = new QWidget;
    auto* noteLayout = new QVBoxLayout(noteBody);
    noteLayout->setContentsMargins(0, 10, 0, 0);
    noteLayout->addWidget(m_notes);
    m_noteGroup = new DisclosureGroup({}, noteBody, nullptr);
    m_noteGroup->setObjectName(QStringLiteral("warningsAndExclusions"));
    auto* notePanel = new PanelFrame(this);
    notePanel->setObjectName(QStringLiteral("warningsPanel"));
    auto* notePanelLayout = new QVBoxLayout(notePanel);
    notePanelLayout->setContentsMargins(14, 14, 14, 14);
    notePanelLayout->addWidget(m_noteGroup);
    column->addWidget(notePanel);

    connect(defaults, &QPushButton::clicked, &m_viewModel, &FormatCleanupViewModel::selectSafeDefaults);
    connect(clear, &QPushButton::clicked, &m_viewModel, &FormatCleanupViewModel::clearSelection);
    connect(m_quarantineSelected, &QPushButton::clicked, &m_viewModel,
            &FormatCleanupViewModel::requestConfirmation);
    connect(&m_viewModel, &FormatCleanupViewModel::planChanged, this, &FormatCleanupReview::refreshPlan);
    connect(&m_viewModel, &FormatCleanupViewModel::selectionChanged, this, [this] {
        refreshMetrics();
        refreshButtons();
    });
    connect(&m_viewModel, &FormatCleanupViewModel::stateChanged, this, &FormatCleanupReview::refreshButtons);
    refreshPlan();
}

void FormatCleanupReview::refreshPlan() {
    const auto& plan = m_viewModel.plan();
    const bool hasCandidates = plan && !plan->candidates.empty();
    m_listArea->setCurrentIndex(hasCandidates ? 1 : 0);
    // As tall as its rows, between 180 and 340 pixels; longer lists scroll.
    if (hasCandidates)
        m_candidates->setFixedHeight(std::clamp(
            int(plan->candidates.size()) * std::max(1, m_candidates->sizeHintForRow(0)), 180, 340));
    m_noEligibleDescription->setText(m_viewModel.noEligibleDescription());
    const qsizetype notes = plan ? qsizetype(plan->warnings.size() + plan->exclusions.size()) : 0;
    m_noteGroup->setTitle(FormatCleanupTexts::reviewGroupTitle(notes));
    m_noteGroup->setOpen(false);
    m_noteGroup->parentWidget()->setVisible(notes > 0);
    refreshMetrics();
    refreshButtons();
}

void FormatCleanupReview::refreshMetrics() {
    const std::vector<FormatCleanupViewModel::Metric> metrics = m_viewModel.metrics();
    // The cards stay; only their texts change, so a tick in a long list repaints little.
    if (m_metricRow->count() != int(metrics.size())) {
        clearLayout(m_metricRow);
        for (const FormatCleanupViewModel::Metric& metric : metrics)
            m_metricRow->addWidget(new MetricCard(metric.icon, metric.title, metric.value, metric.detail,
                                                  tintColor(metric.tint), m_metrics));
        return;
    }
    for (int index = 0; index < m_metricRow->count(); ++index) {
        auto* card = static_cast<MetricCard*>(m_metricRow->itemAt(index)->widget());
        // Through the card, so that its value label fits the new text and keeps it on a resize.
        card->setValue(metrics[std::size_t(index)].value);
        card->findChild<QLabel*>(QStringLiteral("metricDetail"))->setText(metrics[std::size_t(index)].detail);
    }
}

void FormatCleanupReview::refreshButtons() {
    m_quarantineSelected->setEnabled(m_viewModel.canQuarantineSelected());
}

QMessageBox* presentCleanupConfirmation(QWidget* parent, FormatCleanupViewModel& viewModel) {
    QMessageBox* box = presentConfirmation(
        parent, FormatCleanupTexts::confirmationTitle, viewModel.confirmationMessage(),
        FormatCleanupTexts::startCleanupPreset, [model = QPointer<FormatCleanupViewModel>(&viewModel)] {
            if (model)
                model->startCleanupPresetRun();
        });
    box->setObjectName(QStringLiteral("cleanupConfirmation"));
    // Any other way the alert closes is a "Cancel".
    QObject::connect(box, &QMessageBox::finished, &viewModel, &FormatCleanupViewModel::cancelConfirmation);
    return box;
}

} // namespace quorvane
