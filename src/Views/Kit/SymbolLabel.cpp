#include "Views/Kit/SymbolLabel.h"

#include "Views/Kit/SymbolIcons.h"

#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>

namespace quorvane {

SymbolLabel::SymbolLabel(const QString& symbol, const QString& text, TextStyle style, const QColor& color,
                         QWidget* parent)
    : QWidget(parent), m_symbol(symbol), m_color(color) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    const QFont font = textFont(style);
    const int iconSize = QFontMetrics(font).height();
    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("symbol"));
    icon->setPixmap(symbolPixmap(symbol, color, iconSize));
    icon->setFixedSize(iconSize, iconSize);
    icon->setAlignment(Qt::AlignCenter);
    m_text = makeLabel(text, style, color, this);
    m_text->setObjectName(QStringLiteral("text"));
    layout->addWidget(icon, 0, Qt::AlignTop);
    layout->addWidget(m_text, 1);
    setForeground(this, color);
}

QString SymbolLabel::text() const {
    return m_text->text();
}

void SymbolLabel::setWordWrap(bool wrap) {
    m_text->setWordWrap(wrap);
}

} // namespace quorvane
