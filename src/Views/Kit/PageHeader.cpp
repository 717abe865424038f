#include "Views/Kit/PageHeader.h"

#include "Views/Kit/Palette.h"
#include "Views/Kit/TextStyle.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace quorvane {

PageHeader::PageHeader(const QString& title, const QString& subtitle, QWidget* actions, QWidget* parent)
    : QWidget(parent), m_actions(actions) {
    setObjectName(QStringLiteral("pageHeader"));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(5);
    auto* titleLabel = makeLabel(title, TextStyle::body, std::nullopt, this);
    titleLabel->setObjectName(QStringLiteral("pageTitle"));
    titleLabel->setFont(systemFont(30, QFont::Bold));
    auto* subtitleLabel = makeLabel(subtitle, TextStyle::body, Palette::secondaryText(), this);
    subtitleLabel->setObjectName(QStringLiteral("pageSubtitle"));
    subtitleLabel->setWordWrap(true);
    texts->addWidget(titleLabel);
    texts->addWidget(subtitleLabel);
    // The title block takes the free width itself, so a long subtitle wraps at the actions.
    row->addLayout(texts, 1);
    row->setAlignment(texts, Qt::AlignTop);
    if (actions) {
        actions->setParent(this);
        row->addWidget(actions, 0, Qt::AlignTop);
    }
}

} // namespace quorvane
