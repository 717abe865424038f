#include "Views/Screens/FormatCleanup/FormatCleanupView.h"

#include "HelperClient/PluginManagementService.h"
#include "Store/PluginInventoryStore.h"
#include "Views/Kit/KitButton.h"
#include "Views/Kit/Palette.h"
#include "Views/Kit/RoundedBox.h"
#include "Views/Kit/SymbolIcons.h"
#include "Views/Kit/TextStyle.h"
#include "Views/Screens/FormatCleanup/FormatCleanupReview.h"
#include "Views/Screens/FormatCleanup/FormatCleanupRunController.h"
#include "Views/Screens/Shared/ScreenLayout.h"
#include "Views/Screens/Shared/ScreenServices.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPainterPath>
#include <QScrollArea>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace quorvane {

namespace {

constexpr int cardPadding = 12;
constexpr int cardMinimumTextHeight = 52;

QColor noteColor(FormatCleanupViewModel::Tint tint) {
    return tint == FormatCleanupViewModel::Tint::blue ? Palette::accent() : Palette::amber();
}

// The screen's own information bar: the filled information symbol in `color`, the text in the
// secondary colour, on a bar tinted with `color`.
QWidget* makeCleanupInfoBar(const QString& text, const QColor& color, QWidget* parent) {
    auto* bar = new RoundedBox(withOpacity(color, 0.08), withOpacity(color, 0.35), 8, parent);
    bar->setObjectName(QStringLiteral("cleanupInfoBar"));
    bar->setProperty("noteText", text);
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(12, 12, 12, 12);
    row->setSpacing(10);
    auto* icon = new QLabel(bar);
    icon->setPixmap(symbolPixmap(u"info.circle.fill", color, 14));
    row->addWidget(icon, 0, Qt::AlignTop);
    auto* label = makeLabel(text, TextStyle::caption, Palette::secondaryText(), bar);
    label->setWordWrap(true);
    row->addWidget(label, 1);
    return bar;
}

} // namespace

PresetCard::PresetCard(FormatCleanupPresetKind preset, QWidget* parent)
    : QAbstractButton(parent), m_preset(preset) {
    setObjectName(QStringLiteral("presetCard_") + formatCleanupPresetKindTexts().text(preset));
    setText(title(preset));
    setToolTip(summary(preset));
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void PresetCard::setCurrent(bool current) {
    if (current == m_current)
        return;
    m_current = current;
    update();
}

namespace {

constexpr int descriptionLines = 2;
constexpr int titleGap = 4;

QFont titleFontOfCards() {
    return systemFont(bodyPixelSize, QFont::DemiBold);
}

} // namespace

QSize PresetCard::sizeHint() const {
    // The title over two lines of description, never less than the card's least text height.
    const int text = QFontMetrics(titleFontOfCards()).height() + titleGap +
                     descriptionLines * QFontMetrics(textFont(TextStyle::caption2)).lineSpacing();
    return QSize(160, qMax(cardMinimumTextHeight, text) + 2 * cardPadding);
}

QSize PresetCard::minimumSizeHint() const {
    return QSize(100, sizeHint().height());
}

void PresetCard::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 8, 8);
    painter.fillPath(shape, m_current ? withOpacity(Palette::accent(), 0.16) : Palette::raisedPanel());
    painter.setPen(QPen(m_current ? Palette::accent() : Palette::hairline(), 1));
    painter.drawPath(shape);
    if (hasFocus()) {
        // The keyboard's ring: the accent, lighter on the chosen card that is outlined in it already.
        QPainterPath ring;
        ring.addRoundedRect(QRectF(rect()).adjusted(1.5, 1.5, -1.5, -1.5), 7, 7);
        painter.setPen(QPen(m_current ? Palette::accent().lighter(160) : Palette::accent(), 2));
        painter.drawPath(ring);
    }

    const QRect inner = rect().adjusted(cardPadding, cardPadding, -cardPadding, -cardPadding);
    const QFont titleFont = titleFontOfCards();
    const QFontMetrics titleMetrics(titleFont);
    painter.setFont(titleFont);
    painter.setPen(Qt::white);
    painter.drawText(QRect(inner.left(), inner.top(), inner.width(), titleMetrics.height()),
                     Qt::AlignLeft | Qt::AlignVCenter,
                     titleMetrics.elidedText(text(), Qt::ElideRight, inner.width()));
    // Whole lines only: a description longer than two lines ends its second in "…".
    const QFont descriptionFont = textFont(TextStyle::caption2);
    const int lineHeight = QFontMetrics(descriptionFont).lineSpacing();
    painter.setFont(descriptionFont);
    painter.setPen(Palette::secondaryText());
    int top = inner.top() + titleMetrics.height() + titleGap;
    for (const QString& line : descriptionLinesShown()) {
        painter.drawText(QRect(inner.left(), top, inner.width(), lineHeight),
                         Qt::AlignLeft | Qt::AlignVCenter | Qt::TextDontClip, line);
        top += lineHeight;
    }
}

QStringList PresetCard::descriptionLinesShown() const {
    return wrapText(summary(m_preset), textFont(TextStyle::caption2), width() - 2 * cardPadding,
                    descriptionLines)
        .lines;
}

FormatCleanupView::FormatCleanupView(PluginManagementService& managementService, PluginInventoryStore& store,
                                     FormatCleanupRunController& run, const ScreenServices& services,
                                     QWidget* parent)
    : QWidget(parent),
      m_viewModel(new FormatCleanupViewModel(store, managementService, run, services.formatters, this)) {
    setObjectName(QStringLiteral("formatCleanupView"));
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* scroll = new QScrollArea(this);
    scroll->setObjectName(QStringLiteral("formatCleanupScroll"));
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Its controls take Tab and show it; the area itself would be a stop that shows nothing.
    scroll->setFocusPolicy(Qt::NoFocus);
    outer->addWidget(scroll);
    auto* content = new QWidget(scroll);
    content->setObjectName(QStringLiteral("formatCleanupContent"));
    scroll->setWidget(content);
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(24, 24, 24, 24);
    column->setSpacing(18);

    // Header.
    auto* header = new QHBoxLayout;
    auto* titles = new QVBoxLayout;
    titles->setSpacing(5);
    auto* titleLabel = makeLabel(FormatCleanupTexts::title, TextStyle::body, std::nullopt, content);
    titleLabel->setObjectName(QStringLiteral("pageTitle"));
    titleLabel->setFont(systemFont(28, QFont::Bold));
    titles->addWidget(titleLabel);
    auto* subtitle =
        makeLabel(FormatCleanupTexts::subtitle, TextStyle::body, Palette::secondaryText(), content);
    subtitle->setWordWrap(true);
    titles->addWidget(subtitle);
    header->addLayout(titles, 1);
    m_buildPreview = new KitButton(FormatCleanupTexts::buildPreview, QStringLiteral("eye"),
                                   ButtonStyle::borderedProminent, content);
    m_buildPreview->setObjectName(QStringLiteral("buildPreviewButton"));
    m_buildPreview->setMinimumHeight(32);
    header->addWidget(m_buildPreview, 0, Qt::AlignTop);
    column->addLayout(header);

    // Presets.
    auto* presetPanel = new PanelFrame(content);
    presetPanel->setObjectName(QStringLiteral("presetPanel"));
    auto* presetColumn = new QVBoxLayout(presetPanel);
    presetColumn->setContentsMargins(14, 14, 14, 14);
    presetColumn->setSpacing(12);
    auto* cards = new QHBoxLayout;
    cards->setSpacing(12);
    for (const FormatCleanupPresetKind preset : allFormatCleanupPresetKinds()) {
        auto* card = new PresetCard(preset, presetPanel);
        m_cards[preset] = card;
        cards->addWidget(card);
        connect(card, &QAbstractButton::clicked, m_viewModel,
                [this, preset] { m_viewModel->setPreset(preset); });
    }
    presetColumn->addLayout(cards);
    m_customRow = new QWidget(presetPanel);
    m_customRow->setObjectName(QStringLiteral("customFormatRow"));
    auto* customLayout = new QHBoxLayout(m_customRow);
    customLayout->setContentsMargins(0, 0, 0, 0);
    customLayout->setSpacing(18);
    customLayout->addWidget(makeLabel(FormatCleanupTexts::customRowLabel, TextStyle::caption,
                                      Palette::secondaryText(), m_customRow));
    for (const QString& format : customCleanupFormats()) {
        auto* box = new QCheckBox(format, m_customRow);
        box->setObjectName(QStringLiteral("customFormat_") + format);
        m_customBoxes[format] = box;
        customLayout->addWidget(box);
        connect(box, &QCheckBox::toggled, m_viewModel,
                [this, format](bool on) { m_viewModel->setCustomFormat(format, on); });
    }
    customLayout->addStretch(1);
    presetColumn->addWidget(m_customRow);
    column->addWidget(presetPanel);

    // Review area.
    m_reviewArea = new QStackedWidget(content);
    m_reviewArea->setObjectName(QStringLiteral("reviewArea"));
    m_reviewArea->addWidget(makeEmptyState(QStringLiteral("noPreview"), QStringLiteral("slider.horizontal.3"),
                                           FormatCleanupTexts::noPreviewTitle,
                                           FormatCleanupTexts::noPreviewDescription, m_reviewArea, 220));
    m_review = new FormatCleanupReview(*m_viewModel, m_reviewArea);
    m_reviewArea->addWidget(m_review);
    column->addWidget(m_reviewArea);

    // Recent runs.
    m_recentPanel = new PanelFrame(content);
    m_recentPanel->setObjectName(QStringLiteral("recentRunsPanel"));
    auto* recentLayout = new QVBoxLayout(m_recentPanel);
    recentLayout->setContentsMargins(14, 14, 14, 14);
    auto* recentBody = new QWidget;
    m_recentRows = new QVBoxLayout(recentBody);
    m_recentRows->setContentsMargins(0, 10, 0, 0);
    m_recentRows->setSpacing(8);
    m_recentGroup = new DisclosureGroup(FormatCleanupTexts::recentRuns, recentBody, m_recentPanel);
    m_recentGroup->setObjectName(QStringLiteral("recentRunsGroup"));
    recentLayout->addWidget(m_recentGroup);
    column->addWidget(m_recentPanel);

    // Notes.
    m_notes = new QWidget(content);
    m_notes->setObjectName(QStringLiteral("cleanupNotes"));
    m_noteLayout = new QVBoxLayout(m_notes);
    m_noteLayout->setContentsMargins(0, 0, 0, 0);
    m_noteLayout->setSpacing(18);
    column->addWidget(m_notes);
    column->addStretch(1);

    connect(m_buildPreview, &QPushButton::clicked, m_viewModel, &FormatCleanupViewModel::buildCleanupPreview);
    connect(m_viewModel, &FormatCleanupViewModel::presetChanged, this, &FormatCleanupView::refreshPreset);
    connect(m_viewModel, &FormatCleanupViewModel::customFormatsChanged, this,
            &FormatCleanupView::refreshPreset);
    connect(m_viewModel, &FormatCleanupViewModel::planChanged, this, &FormatCleanupView::refreshPlan);
    connect(m_viewModel, &FormatCleanupViewModel::stateChanged, this, &FormatCleanupView::refreshState);
    connect(m_viewModel, &FormatCleanupViewModel::confirmationChanged, this,
            &FormatCleanupView::refreshConfirmation);
    refreshPreset();
    refreshPlan();
    refreshState();
}

FormatCleanupView::~FormatCleanupView() {
    // An alert still open belongs to the window; it must not outlive the view-model it calls.
    if (m_confirmation)
        delete m_confirmation.data();
}

void FormatCleanupView::refreshPreset() {
    for (auto& [preset, card] : m_cards)
        card->setCurrent(preset == m_viewModel->preset());
    m_customRow->setVisible(m_viewModel->preset() == FormatCleanupPresetKind::custom);
    for (auto& [format, box] : m_customBoxes) {
        const QSignalBlocker blocker(box);
        box->setChecked(m_viewModel->customFormats().contains(format));
    }
    m_buildPreview->setEnabled(m_viewModel->canBuildPreview());
}

void FormatCleanupView::refreshPlan() {
    m_reviewArea->setCurrentIndex(m_viewModel->plan() ? 1 : 0);
}

void FormatCleanupView::refreshState() {
    m_buildPreview->setEnabled(m_viewModel->canBuildPreview());
    std::vector<FormatCleanupViewModel::Note> notes = m_viewModel->notes();
    if (notes != m_shownNotes) {
        clearLayout(m_noteLayout);
        for (const FormatCleanupViewModel::Note& note : notes)
            m_noteLayout->addWidget(makeCleanupInfoBar(note.text, noteColor(note.tint), m_notes));
        m_shownNotes = std::move(notes);
    }
    refreshRecentRuns();
}

void FormatCleanupView::refreshRecentRuns() {
    const std::vector<FormatCleanupViewModel::RecentRun> runs = m_viewModel->recentRuns();
    m_recentPanel->setVisible(!runs.empty());
    const bool enabled = m_viewModel->canRestoreRuns();
    if (runs != m_shownRuns) {
        m_shownRuns = runs;
        clearLayout(m_recentRows);
        QWidget* body = m_recentRows->parentWidget();
        for (const FormatCleanupViewModel::RecentRun& run : runs) {
            auto* row = new QWidget(body);
            row->setObjectName(QStringLiteral("recentRun_") + run.id.toString(QUuid::WithoutBraces));
            auto* line = new QHBoxLayout(row);
            line->setContentsMargins(0, 0, 0, 0);
            auto* texts = new QVBoxLayout;
            texts->setSpacing(3);
            auto* name = makeLabel(title(run.preset), TextStyle::body, std::nullopt, row);
            name->setFont(systemFont(bodyPixelSize, QFont::DemiBold));
            texts->addWidget(name);
            auto* caption = makeLabel(FormatCleanupTexts::remainCaption(run.remaining), TextStyle::caption,
                                      Palette::secondaryText(), row);
            caption->setObjectName(QStringLiteral("recentRunCaption"));
            texts->addWidget(caption);
            line->addLayout(texts);
            line->addStretch(1);
            auto* restore = new KitButton(FormatCleanupTexts::restoreCompletedRun,
                                          QStringLiteral("arrow.uturn.backward"), ButtonStyle::bordered, row);
            restore->setObjectName(QStringLiteral("restoreCompletedRunButton"));
            connect(restore, &QPushButton::clicked, m_viewModel,
                    [this, id = run.id] { m_viewModel->restoreCompletedRun(id); });
            line->addWidget(restore);
            m_recentRows->addWidget(row);
        }
    }
    for (auto* button : m_recentPanel->findChildren<KitButton*>(QStringLiteral("restoreCompletedRunButton")))
        button->setEnabled(enabled);
}

void FormatCleanupView::refreshConfirmation() {
    if (m_viewModel->showConfirmation()) {
        if (!m_confirmation)
            m_confirmation = presentCleanupConfirmation(this, *m_viewModel);
    } else if (m_confirmation) {
        QMessageBox* open = m_confirmation;
        m_confirmation = nullptr;
        open->close();
    }
}

} // namespace quorvane
