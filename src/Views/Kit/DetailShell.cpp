#include "Views/Kit/DetailShell.h"

#include "Views/Kit/Palette.h"
#include "Views/Kit/SymbolIcons.h"
#include "Views/Kit/TextStyle.h"

#include <QCoreApplication>
#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

namespace quorvane {

namespace text {
const char* const emptyTitle = QT_TRANSLATE_NOOP("DetailShell", "Select a Plugin");
const char* const emptyDescription =
    QT_TRANSLATE_NOOP("DetailShell", "Choose a row to inspect its metadata.");
} // namespace text

EmptyState::EmptyState(const QString& symbol, const QString& title, const QString& description,
                       QWidget* parent)
    : QWidget(parent) {
    setObjectName(QStringLiteral("emptyState"));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 40, 0, 40);
    column->setSpacing(8);
    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("emptyStateSymbol"));
    icon->setPixmap(symbolPixmap(symbol, Palette::secondaryText(), 44));
    icon->setAlignment(Qt::AlignCenter);
    auto* titleLabel = makeLabel(title, TextStyle::title2, std::nullopt, this);
    titleLabel->setObjectName(QStringLiteral("emptyStateTitle"));
    titleLabel->setFont(systemFont(17, QFont::Bold));
    titleLabel->setAlignment(Qt::AlignCenter);
    auto* descriptionLabel = makeLabel(description, TextStyle::body, Palette::secondaryText(), this);
    descriptionLabel->setObjectName(QStringLiteral("emptyStateDescription"));
    descriptionLabel->setAlignment(Qt::AlignCenter);
    descriptionLabel->setWordWrap(true);
    column->addWidget(icon);
    column->addWidget(titleLabel);
    column->addWidget(descriptionLabel);
}

DetailShell::DetailShell(QWidget* parent)
    : PanelFrame(parent), m_scroll(new QScrollArea(this)),
      m_focus(m_scroll, [this] { return parentWidget(); }) {
    setObjectName(QStringLiteral("inspectorShell"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(1, 1, 1, 1);
    m_scroll->setObjectName(QStringLiteral("inspectorScroll"));
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setWidgetResizable(true);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    // Its controls take Tab and show it; the area itself would be a stop that shows nothing.
    m_scroll->setFocusPolicy(Qt::NoFocus);
    // Transparent through its palette rather than a style sheet: a style sheet would restyle every
    // widget of each new page as it moves in. Only the viewport's: the scroll bar keeps its colours.
    clearBackground(m_scroll->viewport());
    m_scroll->viewport()->setAutoFillBackground(false);
    layout->addWidget(m_scroll);
    setPlugin(std::nullopt, nullptr);
}

void DetailShell::setPlugin(const std::optional<Plugin>& plugin, QWidget* content) {
    const FocusKeeper::Rebuild keepFocus = m_focus.rebuild();
    // A rebuild keeps the reader where they were.
    const int scrolled = m_scroll->verticalScrollBar()->value();

    // Made inside the viewport so that it takes the viewport's style as it is built.
    auto* page = new QWidget(m_scroll->viewport());
    page->setObjectName(QStringLiteral("inspectorPage"));
    auto* stack = new QVBoxLayout(page);
    stack->setContentsMargins(18, 18, 18, 18);
    stack->setSpacing(16);
    if (plugin) {
        auto* name = makeLabel(plugin->name, TextStyle::title3, std::nullopt, page);
        name->setObjectName(QStringLiteral("inspectorName"));
        name->setFont(systemFont(15, QFont::Bold));
        name->setWordWrap(true);
        auto* manufacturer = makeLabel(plugin->manufacturer, TextStyle::body, Palette::secondaryText(), page);
        manufacturer->setObjectName(QStringLiteral("inspectorManufacturer"));
        stack->addWidget(name);
        stack->addWidget(manufacturer);
        stack->addWidget(makeDivider(page));
        if (content) {
            content->setParent(page);
            stack->addWidget(content);
        }
        m_content = content;
    } else {
        delete content;
        m_content = nullptr;
        stack->addWidget(new EmptyState(QStringLiteral("puzzlepiece.extension"),
                                        QCoreApplication::translate("DetailShell", text::emptyTitle),
                                        QCoreApplication::translate("DetailShell", text::emptyDescription),
                                        page));
    }
    stack->addStretch(1);

    QWidget* old = m_scroll->takeWidget();
    if (old)
        old->hide();
    m_scroll->setWidget(page);
    // setWidget makes the page fill itself with the window colour, which would hide the panel's
    // fill and its rounded corners.
    page->setAutoFillBackground(false);
    if (old)
        old->deleteLater();
    m_scroll->verticalScrollBar()->setValue(scrolled);
}

QWidget* DetailShell::newContent() const {
    return new QWidget(m_scroll->viewport());
}

QVBoxLayout* makeDetailColumn(QWidget* content) {
    content->setObjectName(QStringLiteral("inspectorContent"));
    auto* stack = new QVBoxLayout(content);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(16);
    return stack;
}

} // namespace quorvane
