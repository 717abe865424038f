#include "Views/Screens/SafetyGuide/SafetyRuleCard.h"

#include "Views/Kit/Palette.h"
#include "Views/Kit/SymbolIcons.h"
#include "Views/Kit/TextStyle.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace quorvane {

SafetyRuleCard::SafetyRuleCard(const QString& icon, const QString& title, const QString& detail,
                               const QColor& color, QWidget* parent)
    : PanelFrame(parent), m_icon(icon), m_title(title), m_detail(detail), m_color(color) {
    setObjectName(QStringLiteral("safetyRuleCard"));
    setMinimumHeight(154);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(16, 16, 16, 16);
    column->setSpacing(12);
    auto* symbol = new QLabel(this);
    symbol->setObjectName(QStringLiteral("safetyRuleIcon"));
    symbol->setPixmap(symbolPixmap(icon, color, 26));
    auto* titleLabel = makeLabel(title, TextStyle::headline, std::nullopt, this);
    titleLabel->setObjectName(QStringLiteral("safetyRuleTitle"));
    auto* detailLabel = makeLabel(detail, TextStyle::caption, Palette::secondaryText(), this);
    detailLabel->setObjectName(QStringLiteral("safetyRuleDetail"));
    detailLabel->setWordWrap(true);
    column->addWidget(symbol, 0, Qt::AlignLeft);
    column->addWidget(titleLabel);
    column->addWidget(detailLabel);
    column->addStretch(1);
}

SafetyBoundary::SafetyBoundary(const QString& text, QWidget* parent) : QWidget(parent), m_text(text) {
    setObjectName(QStringLiteral("safetyBoundary"));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(10);
    auto* check = new QLabel(this);
    check->setObjectName(QStringLiteral("safetyBoundaryIcon"));
    check->setPixmap(symbolPixmap(QStringLiteral("checkmark.circle.fill"), Palette::green(), 16));
    auto* label = makeLabel(text, TextStyle::body, Palette::secondaryText(), this);
    label->setObjectName(QStringLiteral("safetyBoundaryText"));
    label->setWordWrap(true);
    row->addWidget(check, 0, Qt::AlignTop);
    row->addWidget(label, 1, Qt::AlignTop);
}

} // namespace quorvane
