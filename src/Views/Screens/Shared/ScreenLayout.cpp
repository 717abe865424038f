#include "Views/Screens/Shared/ScreenLayout.h"

#include "Views/Kit/BatchSelectionBar.h"
#include "Views/Kit/DetailShell.h"
#include "Views/Kit/InfoBar.h"
#include "Views/Kit/KitButton.h"
#include "Views/Kit/MetricCard.h"
#include "Views/Kit/PageHeader.h"
#include "Views/Kit/Palette.h"
#include "Views/Kit/RoundedBox.h"
#include "Views/Kit/SymbolLabel.h"
#include "Views/Kit/TextStyle.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLayoutItem>
#include <QSplitter>
#include <QVBoxLayout>

#include <algorithm>
#include <memory>

namespace quorvane {

namespace {

constexpr int batchAreaSpacing = 6;

// Sizes the inspector of a split whenever the split's width changes: its ideal width, or a fifth
// of a wide split, until the user drags the divider.
class InspectorShare : public QObject {
public:
    InspectorShare(QSplitter* split, QWidget* inspector)
        : QObject(split), m_split(split), m_inspector(inspector) {
        split->installEventFilter(this);
        connect(split, &QSplitter::splitterMoved, this, [this] { m_userSized = true; });
    }

    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Resize && !m_userSized) {
            const int index = m_split->indexOf(m_inspector);
            if (index >= 0 && m_split->count() == 2) {
                const int room = m_split->width() - m_split->handleWidth();
                const int width = std::max(idealInspectorWidth, room / 5);
                QList<int> sizes{room - width, room - width};
                sizes[index] = width;
                m_split->setSizes(sizes);
            }
        }
        return false;
    }

private:
    static constexpr int idealInspectorWidth = 330;
    QSplitter* m_split;
    QWidget* m_inspector;
    bool m_userSized = false;
};

} // namespace

QVBoxLayout* makeScreenColumn(QWidget* screen, int spacing) {
    auto* column = new QVBoxLayout(screen);
    column->setContentsMargins(24, 24, 24, 24);
    column->setSpacing(spacing);
    return column;
}

QHBoxLayout* makeMetricRow(QVBoxLayout* column) {
    auto* row = new QHBoxLayout;
    row->setSpacing(14);
    column->addLayout(row);
    return row;
}

void replaceMetrics(QHBoxLayout* row, const std::vector<MetricSpec>& cards) {
    clearLayout(row);
    QWidget* parent = row->parentWidget();
    for (const MetricSpec& card : cards)
        row->addWidget(new MetricCard(card.icon, card.title, card.value, card.detail, card.color, parent), 1);
}

void clearLayout(QLayout* layout) {
    while (QLayoutItem* item = layout->takeAt(0)) {
        if (QWidget* widget = item->widget()) {
            // Out of the screen at once, deleted once the event that may be running inside it (the
            // click of the very button being replaced) has returned.
            widget->hide();
            widget->setParent(nullptr);
            widget->deleteLater();
        } else if (QLayout* nested = item->layout()) {
            clearLayout(nested);
        }
        delete item;
    }
}

QWidget* makeEmptyState(const QString& objectName, const QString& symbol, const QString& title,
                        const QString& description, QWidget* parent, int minimumHeight) {
    auto* frame = new PanelFrame(parent);
    frame->setObjectName(objectName);
    frame->setMinimumHeight(minimumHeight);
    auto* column = new QVBoxLayout(frame);
    column->addStretch(1);
    column->addWidget(new EmptyState(symbol, title, description, frame));
    column->addStretch(1);
    return frame;
}

QVBoxLayout* addSplitPane(QSplitter* split, const QString& objectName, int spacing) {
    auto* frame = new PanelFrame(split);
    frame->setObjectName(objectName);
    auto* column = new QVBoxLayout(frame);
    column->setContentsMargins(18, 18, 18, 18);
    column->setSpacing(spacing);
    split->addWidget(frame);
    return column;
}

void sizeInspector(QWidget* inspector) {
    inspector->setMinimumWidth(300);
    inspector->resize(330, inspector->height());
    if (auto* split = qobject_cast<QSplitter*>(inspector->parentWidget()))
        new InspectorShare(split, inspector);
}

QVBoxLayout* addBatchArea(QVBoxLayout* column, QWidget* screen) {
    auto* area = new QWidget(screen);
    area->setObjectName(QStringLiteral("batchArea"));
    area->setMinimumHeight(reservedBatchHeight());
    auto* layout = new QVBoxLayout(area);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(batchAreaSpacing);
    layout->setAlignment(Qt::AlignTop);
    column->addWidget(area);
    return layout;
}

int reservedBatchHeight() {
    auto* actions = new QWidget;
    auto* row = new QHBoxLayout(actions);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(
        new KitButton(clearSelectionText, QStringLiteral("trash"), ButtonStyle::bordered, actions));
    const BatchSelectionBar sample(2, QStringLiteral("plugin"), actions);
    const std::unique_ptr<QWidget> line(makeBatchReasonLine(QStringLiteral("Batch"), nullptr));
    return sample.sizeHint().height() + batchAreaSpacing + line->sizeHint().height();
}

QWidget* makeStatusChip(bool ready, const QString& readyText, QWidget* parent) {
    auto* chip = ready ? new SymbolLabel(QStringLiteral("checkmark.shield.fill"), readyText,
                                         TextStyle::caption, Palette::green(), parent)
                       : new SymbolLabel(QStringLiteral("lock.shield"), pluginManagementRequiredText,
                                         TextStyle::caption, Palette::amber(), parent);
    chip->setObjectName(QStringLiteral("statusChip"));
    return chip;
}

QWidget* makeBatchReasonLine(const QString& text, QWidget* parent) {
    QLabel* label = makeLabel(text, TextStyle::caption2, Palette::amber(), parent);
    label->setObjectName(QStringLiteral("batchReason"));
    label->setWordWrap(true);
    // Kept wrapping by height for width: a bare policy would drop that, and the line would take
    // the height of its narrow size hint.
    QSizePolicy policy(QSizePolicy::Expanding, QSizePolicy::Preferred, QSizePolicy::Label);
    policy.setHeightForWidth(true);
    label->setSizePolicy(policy);
    return label;
}

void addBatchBar(QVBoxLayout* batch, int count, const QString& noun, const std::vector<QWidget*>& buttons,
                 std::function<void()> onClear, const std::optional<QString>& reasonLine, QWidget* screen) {
    auto* actions = new QWidget;
    auto* row = new QHBoxLayout(actions);
    row->setContentsMargins(0, 0, 0, 0);
    for (QWidget* button : buttons) {
        button->setParent(actions);
        row->addWidget(button);
    }
    auto* clear = new KitButton(clearSelectionText, QString(), ButtonStyle::plain, actions);
    clear->setObjectName(QStringLiteral("clearSelectionButton"));
    QObject::connect(clear, &QPushButton::clicked, screen, std::move(onClear));
    row->addWidget(clear);
    batch->addWidget(new BatchSelectionBar(count, noun, actions, screen));
    if (reasonLine)
        batch->addWidget(makeBatchReasonLine(*reasonLine, screen));
}

void replaceStatusHeader(QVBoxLayout* slot, const QString& title, const QString& subtitle, bool ready,
                         const QString& readyText, QWidget* screen) {
    clearLayout(slot);
    slot->addWidget(new PageHeader(title, subtitle, makeStatusChip(ready, readyText, nullptr), screen));
}

void addAmberBar(QVBoxLayout* bars, const std::optional<QString>& text, const QString& objectName,
                 QWidget* parent) {
    if (!text)
        return;
    auto* bar = new InfoBar(*text, Palette::amber(), parent);
    bar->setObjectName(objectName);
    bars->addWidget(bar);
}

} // namespace quorvane
