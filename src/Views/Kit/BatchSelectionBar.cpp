#include "Views/Kit/BatchSelectionBar.h"

#include "Views/Kit/Palette.h"
#include "Views/Kit/SymbolLabel.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>

namespace quorvane {

QString BatchSelectionBar::labelText(int count, const QString& noun) {
    return QCoreApplication::translate("BatchSelectionBar", "%1 %2%3 selected")
        .arg(QString::number(count), noun, count == 1 ? QString() : QStringLiteral("s"));
}

BatchSelectionBar::BatchSelectionBar(int count, const QString& noun, QWidget* actions, QWidget* parent)
    : TintedBar(Palette::accent(), parent), m_text(labelText(count, noun)), m_noun(noun), m_actions(actions) {
    setObjectName(QStringLiteral("batchSelectionBar"));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(12, 12, 12, 12);
    row->setSpacing(12);
    m_label = new SymbolLabel(QStringLiteral("checkmark.circle.fill"), m_text, TextStyle::headline,
                              Palette::accent(), this);
    m_label->setObjectName(QStringLiteral("batchSelectionLabel"));
    row->addWidget(m_label, 0, Qt::AlignVCenter);
    row->addStretch(1);
    if (actions) {
        actions->setParent(this);
        row->addWidget(actions, 0, Qt::AlignVCenter);
    }
}

void BatchSelectionBar::setCount(int count) {
    m_text = labelText(count, m_noun);
    m_label->textLabel()->setText(m_text);
}

} // namespace quorvane
