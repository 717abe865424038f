#include "Views/Kit/InfoBar.h"

#include "Views/Kit/SymbolLabel.h"

#include <QHBoxLayout>

namespace quorvane {

InfoBar::InfoBar(const QString& text, const QColor& color, QWidget* parent)
    : TintedBar(color, parent), m_text(text), m_color(color) {
    setObjectName(QStringLiteral("infoBar"));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(12, 12, 12, 12);
    auto* label = new SymbolLabel(QStringLiteral("info.circle"), text, TextStyle::caption, color, this);
    label->setWordWrap(true);
    layout->addWidget(label);
}

} // namespace quorvane
