#include "Views/Kit/MetricCard.h"

#include "Views/Kit/Palette.h"
#include "Views/Kit/SymbolIcons.h"
#include "Views/Kit/TextStyle.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace quorvane {

MetricCard::MetricCard(const QString& icon, const QString& title, const QString& value, const QString& detail,
                       const QColor& color, QWidget* parent)
    : PanelFrame(parent), m_icon(icon), m_color(color) {
    setObjectName(QStringLiteral("metricCard"));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(16, 16, 16, 16);
    row->setSpacing(14);

    auto* symbol = new QLabel(this);
    symbol->setObjectName(QStringLiteral("metricIcon"));
    symbol->setPixmap(symbolPixmap(icon, color, 27));
    symbol->setFixedWidth(38);
    symbol->setAlignment(Qt::AlignCenter);
    row->addWidget(symbol, 0, Qt::AlignVCenter);

    auto* texts = new QVBoxLayout;
    texts->setSpacing(3);
    auto* titleLabel = makeLabel(title, TextStyle::caption, Palette::secondaryText(), this);
    titleLabel->setObjectName(QStringLiteral("metricTitle"));
    m_value = makeLabel(value, TextStyle::body, std::nullopt, this);
    m_value->setObjectName(QStringLiteral("metricValue"));
    m_value->setFont(systemFont(26, QFont::DemiBold));
    auto* detailLabel = makeLabel(detail, TextStyle::caption2, Palette::secondaryText(), this);
    detailLabel->setObjectName(QStringLiteral("metricDetail"));
    texts->addWidget(titleLabel);
    texts->addWidget(m_value);
    texts->addWidget(detailLabel);
    row->addLayout(texts);
    row->addStretch(1);
}

QString MetricCard::value() const {
    return m_value->text();
}

void MetricCard::setValue(const QString& value) {
    m_value->setText(value);
}

} // namespace quorvane
