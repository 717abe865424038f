#include "App/SectionPlaceholder.h"

#include "Views/Kit/PageHeader.h"

#include <QVBoxLayout>

namespace quorvane {

SectionPlaceholder::SectionPlaceholder(AppSection section, QWidget* parent)
    : QWidget(parent), m_section(section) {
    setObjectName(QStringLiteral("sectionPlaceholder"));
    setProperty("section", rawValue(section));
    auto* stack = new QVBoxLayout(this);
    stack->setContentsMargins(28, 28, 28, 28);
    stack->addWidget(new PageHeader(rawValue(section), QString(), nullptr, this));
    stack->addStretch(1);
}

} // namespace quorvane
