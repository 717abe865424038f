#include "Views/Kit/FilterMenu.h"

#include "Views/Kit/PaintBands.h"
#include "Views/Kit/Palette.h"
#include "Views/Kit/SymbolIcons.h"
#include "Views/Kit/TextStyle.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QStyleOptionToolButton>
#include <QStylePainter>
#include <QToolButton>

namespace quorvane {

namespace {

const QString allOption = QStringLiteral("All");

// As QToolButton paints itself, in bands (see PaintBands.h): the rounded outline of the style sheet
// gives each row several spans, which the raster engine would share out over Qt's pool.
class FilterButton : public QToolButton {
public:
    using QToolButton::QToolButton;

protected:
    void paintEvent(QPaintEvent*) override {
        QStylePainter painter(this);
        QStyleOptionToolButton option;
        initStyleOption(&option);
        paintInBands(painter, rect(), styledButtonBandRows,
                     [&] { painter.drawComplexControl(QStyle::CC_ToolButton, option); });
    }
};

} // namespace

FilterMenu::FilterMenu(const QString& title, Binding<QString> selection, const QStringList& options,
                       QWidget* parent)
    : QWidget(parent), m_title(title), m_selection(std::move(selection)), m_options(options) {
    setObjectName(QStringLiteral("filterMenu"));
    setMaximumWidth(title == QStringLiteral("Manufacturer") ? 190 : 145);

    auto* outer = new QHBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    m_button = new FilterButton(this);
    m_button->setObjectName(QStringLiteral("filterMenuButton"));
    m_button->setPopupMode(QToolButton::InstantPopup);
    m_button->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    m_button->setFocusPolicy(Qt::StrongFocus);
    m_button->setStyleSheet(
        QStringLiteral("QToolButton { background: rgba(255,255,255,0.1); border: 1px solid "
                       "rgba(255,255,255,0.08); border-radius: 6px; padding: 4px 8px; }"
                       "QToolButton:focus { border: 1px solid %1; }"
                       "QToolButton::menu-indicator { image: none; width: 0px; }")
            .arg(Palette::accent().name()));
    outer->addWidget(m_button);

    auto* inner = new QHBoxLayout(m_button);
    inner->setContentsMargins(9, 4, 9, 4);
    inner->setSpacing(6);
    m_label = makeLabel(QString(), TextStyle::body, std::nullopt, m_button);
    m_label->setObjectName(QStringLiteral("filterMenuLabel"));
    m_label->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    auto* chevron = new QLabel(m_button);
    chevron->setObjectName(QStringLiteral("filterMenuChevron"));
    chevron->setPixmap(symbolPixmap(u"chevron.down", palette().color(QPalette::WindowText), 12));
    chevron->setAttribute(Qt::WA_TransparentForMouseEvents);
    inner->addWidget(m_label, 1);
    inner->addWidget(chevron, 0);

    m_menu = new QMenu(this);
    m_menu->setObjectName(QStringLiteral("filterMenuItems"));
    m_button->setMenu(m_menu);
    for (const QString& option : m_options) {
        // A menu reads "&" as a mnemonic; option texts are data and shown as they are.
        QAction* action = m_menu->addAction(QString(option).replace(u'&', QStringLiteral("&&")));
        action->setData(option);
        connect(action, &QAction::triggered, this, [this, option] {
            if (m_selection.set)
                m_selection.set(option);
            refresh();
        });
    }
    refresh();
}

void FilterMenu::refresh() {
    const QString current = m_selection.get ? m_selection.get() : QString();
    const QString shown = current == allOption ? m_title : current;
    const QFontMetrics metrics(m_label->font());
    m_label->setText(shown);
    m_label->setToolTip(shown);
    m_button->setFixedHeight(qMax(metrics.height() + 12, 26));
    const int wanted = metrics.horizontalAdvance(shown) + 12 + 6 + 18;
    m_button->setMinimumWidth(qMin(wanted, maximumWidth()));

    // A long menu costs an icon per option; the marks move only with the choice or the ink.
    const QColor ink = palette().color(QPalette::WindowText);
    if (m_markedOption == current && m_markInk == ink)
        return;
    m_markedOption = current;
    m_markInk = ink;
    const QIcon check = symbolIcon(u"checkmark", ink, 14);
    for (QAction* action : m_menu->actions())
        action->setIcon(action->data().toString() == current ? check : QIcon());
}

QString FilterMenu::labelText() const {
    return m_label->text();
}

} // namespace quorvane
