#include "Views/Kit/DetailRow.h"

#include "Views/Kit/Palette.h"
#include "Views/Kit/TextStyle.h"

#include <QHBoxLayout>
#include <QLabel>

namespace quorvane {

DetailRow::DetailRow(const QString& label, const QString& value, QWidget* parent)
    : QWidget(parent), m_label(label), m_value(value) {
    setObjectName(QStringLiteral("detailRow"));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    auto* labelText = makeLabel(label, TextStyle::body, Palette::secondaryText(), this);
    labelText->setObjectName(QStringLiteral("detailLabel"));
    auto* valueText = makeLabel(value, TextStyle::body, std::nullopt, this);
    valueText->setObjectName(QStringLiteral("detailValue"));
    valueText->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    row->addWidget(labelText);
    row->addStretch(1);
    row->addWidget(valueText);
}

} // namespace quorvane
