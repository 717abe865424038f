#include "Views/Screens/PermanentQuarantine/PermanentQuarantineView.h"

#include "Store/PluginInventoryStore.h"
#include "Views/Kit/KitButton.h"
#include "Views/Kit/PageHeader.h"
#include "Views/Kit/Palette.h"
#include "Views/Kit/RoundedBox.h"
#include "Views/Kit/SymbolIcons.h"
#include "Views/Kit/SymbolLabel.h"
#include "Views/Kit/TextStyle.h"
#include "Views/Screens/Shared/ScreenLayout.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace quorvane {

namespace T = PermanentQuarantineTexts;

PermanentQuarantineViewModel::PermanentQuarantineViewModel(PluginInventoryStore& store,
                                                           Binding<std::optional<AppSection>> section)
    : m_store(store), m_section(std::move(section)) {}

std::vector<PermanentQuarantineViewModel::Row> PermanentQuarantineViewModel::rows() const {
    const QStringList manufacturers = m_store.permanentQuarantineManufacturers();
    std::vector<Row> rows;
    for (const QString& manufacturer : manufacturers) {
        const bool enabled = m_store.isPermanentQuarantineEnabled(manufacturer);
        // The last row is the one equal to the list's last element, as the list was read now.
        rows.push_back({manufacturer, enabled, enabled ? T::enabledCaption : T::offCaption,
                        manufacturer != manufacturers.back()});
    }
    return rows;
}

void PermanentQuarantineViewModel::setEnabled(const QString& manufacturer, bool enabled) {
    m_store.setPermanentQuarantine(manufacturer, enabled);
}

void PermanentQuarantineViewModel::backToInventory() {
    m_section.set(AppSection::inventory);
}

namespace {

// The rule's switch: a capsule track, blue while on, with the knob at the end it is switched to.
class RuleSwitch : public QCheckBox {
public:
    using QCheckBox::QCheckBox;
    QSize sizeHint() const override { return {38, 22}; }
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    bool hitButton(const QPoint& position) const override { return rect().contains(position); }
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF track = QRectF(rect()).adjusted(1, 1, -1, -1);
        const qreal radius = track.height() / 2;
        QColor fill = isChecked() ? Palette::accent() : withOpacity(Qt::white, 0.2);
        if (!isEnabled())
            fill = withOpacity(fill, 0.5);
        painter.setPen(Qt::NoPen);
        painter.setBrush(fill);
        painter.drawRoundedRect(track, radius, radius);
        if (hasFocus()) {
            // The keyboard's ring in the accent, lighter on a track filled with it.
            painter.setPen(QPen(isChecked() ? Palette::accent().lighter(170) : Palette::accent(), 2));
            painter.setBrush(Qt::NoBrush);
            painter.drawRoundedRect(track.adjusted(0.5, 0.5, -0.5, -0.5), radius - 0.5, radius - 0.5);
        }
        const qreal knob = track.height() - 4;
        const qreal left = isChecked() ? track.right() - 2 - knob : track.left() + 2;
        painter.setPen(Qt::NoPen);
        painter.setBrush(isEnabled() ? QColor(Qt::white) : withOpacity(Qt::white, 0.45));
        painter.drawEllipse(QRectF(left, track.top() + 2, knob, knob));
    }
};

QWidget* makeRulePanel(QWidget* parent) {
    auto* box = new PanelFrame(parent);
    box->setObjectName(QStringLiteral("ruleExplanation"));
    auto* stack = new QVBoxLayout(box);
    stack->setContentsMargins(16, 16, 16, 16);
    stack->setSpacing(10);
    stack->addWidget(new SymbolLabel(QStringLiteral("checkmark.shield.fill"), T::ruleHeading,
                                     TextStyle::headline, Palette::accent(), box));
    QLabel* explanation = makeLabel(T::ruleExplanation, TextStyle::body, Palette::secondaryText(), box);
    explanation->setWordWrap(true);
    stack->addWidget(explanation);
    QLabel* caution = makeLabel(T::ruleCaution, TextStyle::caption, Palette::amber(), box);
    caution->setWordWrap(true);
    stack->addWidget(caution);
    return box;
}

QWidget* makeEmptyPanel(QWidget* parent) {
    auto* box = new PanelFrame(parent);
    box->setObjectName(QStringLiteral("runScanFirst"));
    auto* stack = new QVBoxLayout(box);
    stack->setContentsMargins(36, 36, 36, 36);
    stack->setSpacing(10);
    auto* symbol = new QLabel(box);
    symbol->setPixmap(symbolPixmap(u"arrow.clockwise", Palette::accent(), 28));
    stack->addWidget(symbol, 0, Qt::AlignHCenter);
    stack->addWidget(makeLabel(T::emptyTitle, TextStyle::headline, std::nullopt, box), 0, Qt::AlignHCenter);
    QLabel* detail = makeLabel(T::emptyDetail, TextStyle::body, Palette::secondaryText(), box);
    detail->setAlignment(Qt::AlignHCenter);
    detail->setWordWrap(true);
    stack->addWidget(detail);
    return box;
}

} // namespace

PermanentQuarantineView::PermanentQuarantineView(PluginInventoryStore& store,
                                                 Binding<std::optional<AppSection>> section, QWidget* parent)
    : QWidget(parent), m_model(store, std::move(section)) {
    setObjectName(QStringLiteral("permanentQuarantineView"));
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* scroll = new QScrollArea(this);
    scroll->setObjectName(QStringLiteral("permanentQuarantineScroll"));
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    // Its controls take Tab and show it; the area itself would be a stop that shows nothing.
    scroll->setFocusPolicy(Qt::NoFocus);
    outer->addWidget(scroll);
    auto* content = new QWidget(scroll);
    content->setAutoFillBackground(false);
    scroll->setWidget(content);
    scroll->viewport()->setAutoFillBackground(false);

    auto* column = makeScreenColumn(content, 20);
    auto* back =
        new KitButton(T::backToInventory, QStringLiteral("arrow.left"), ButtonStyle::bordered, content);
    back->setObjectName(QStringLiteral("backToInventoryButton"));
    connect(back, &QPushButton::clicked, this, [this] { m_model.backToInventory(); });
    column->addWidget(new PageHeader(T::title, T::subtitle, back, content));
    column->addWidget(makeRulePanel(content));
    m_rules = new QVBoxLayout;
    m_rules->setSpacing(0);
    column->addLayout(m_rules);
    column->addStretch(1);

    connect(&store, &PluginInventoryStore::pluginsChanged, this, &PermanentQuarantineView::scheduleRefresh);
    connect(&store, &PluginInventoryStore::permanentQuarantineRulesChanged, this,
            &PermanentQuarantineView::scheduleRefresh);
    refresh();
}

void PermanentQuarantineView::scheduleRefresh() {
    if (m_refreshPending)
        return;
    m_refreshPending = true;
    QMetaObject::invokeMethod(this, &PermanentQuarantineView::refresh, Qt::QueuedConnection);
}

bool PermanentQuarantineView::updateRowsInPlace(const std::vector<PermanentQuarantineViewModel::Row>& rows) {
    if (rows.empty() || rows.size() != m_shownRows.size())
        return false;
    for (std::size_t index = 0; index < rows.size(); ++index) {
        const auto& shown = m_shownRows[index].row;
        if (rows[index].manufacturer != shown.manufacturer || rows[index].divider != shown.divider)
            return false;
    }
    // Every switch is set, not only the rows that changed: a switch the user flipped shows its new
    // position before the store has taken it, and a refused change must put it back.
    for (std::size_t index = 0; index < rows.size(); ++index) {
        ShownRow& shown = m_shownRows[index];
        const QSignalBlocker quiet(shown.toggle);
        shown.toggle->setChecked(rows[index].enabled);
        shown.caption->setText(rows[index].caption);
        shown.row = rows[index];
    }
    return true;
}

void PermanentQuarantineView::refresh() {
    m_refreshPending = false;
    const auto rows = m_model.rows();
    // Rebuilding hundreds of rows for one switch would hold the window for a tenth of a second.
    if (updateRowsInPlace(rows))
        return;
    clearLayout(m_rules);
    m_shownRows.clear();
    QWidget* parent = m_rules->parentWidget();
    if (rows.empty()) {
        m_rules->addWidget(makeEmptyPanel(parent));
        return;
    }
    auto* list = new PanelFrame(parent);
    list->setObjectName(QStringLiteral("ruleList"));
    auto* stack = new QVBoxLayout(list);
    stack->setContentsMargins(16, 0, 16, 0);
    stack->setSpacing(0);
    for (const auto& row : rows) {
        auto* line = new QWidget(list);
        line->setObjectName(QStringLiteral("ruleRow"));
        line->setProperty("manufacturer", row.manufacturer);
        auto* layout = new QHBoxLayout(line);
        layout->setContentsMargins(0, 12, 0, 12);
        auto* texts = new QVBoxLayout;
        texts->setSpacing(3);
        QLabel* name = makeLabel(row.manufacturer, TextStyle::body, std::nullopt, line);
        name->setObjectName(QStringLiteral("ruleManufacturer"));
        QFont font = name->font();
        font.setWeight(QFont::DemiBold);
        name->setFont(font);
        QLabel* caption = makeLabel(row.caption, TextStyle::caption, Palette::secondaryText(), line);
        caption->setObjectName(QStringLiteral("ruleCaption"));
        texts->addWidget(name);
        texts->addWidget(caption);
        layout->addLayout(texts, 1);
        auto* toggle = new RuleSwitch(line);
        toggle->setObjectName(QStringLiteral("ruleSwitch"));
        toggle->setChecked(row.enabled);
        toggle->setAccessibleName(row.manufacturer);
        connect(toggle, &QCheckBox::toggled, this, [this, manufacturer = row.manufacturer](bool on) {
            m_model.setEnabled(manufacturer, on);
            // A refused change leaves the rules as they were and signals nothing; the switch reads
            // the store again either way.
            scheduleRefresh();
        });
        layout->addWidget(toggle, 0, Qt::AlignVCenter);
        m_shownRows.push_back({row, toggle, caption});
        stack->addWidget(line);
        if (row.divider)
            stack->addWidget(makeDivider(list));
    }
    m_rules->addWidget(list);
}

} // namespace quorvane
