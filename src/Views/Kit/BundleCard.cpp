#include "Views/Kit/BundleCard.h"

#include "Views/Kit/KitButton.h"
#include "Views/Kit/RevealInFinder.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace quorvane {

namespace {

const char* const revealFormat = QT_TRANSLATE_NOOP("BundleCard", "Reveal %1 in Finder");

} // namespace

BundleCard::BundleCard(const PluginBundleRecord& bundle, int spacing, QWidget* parent)
    : RoundedBox(wellFill(), std::nullopt, wellRadius, parent), m_column(new QVBoxLayout(this)) {
    setObjectName(QStringLiteral("bundleCard"));
    setProperty("bundleId", bundle.id());
    m_column->setContentsMargins(12, 12, 12, 12);
    m_column->setSpacing(spacing);
}

void BundleCard::addHeader(QLabel* title, QWidget* badge) {
    title->setObjectName(QStringLiteral("bundleFormat"));
    auto* header = new QHBoxLayout;
    header->addWidget(title);
    header->addStretch(1);
    header->addWidget(badge);
    m_column->addLayout(header);
}

void BundleCard::addRow(QWidget* row) {
    m_column->addWidget(row);
}

void BundleCard::addRow(QLayout* row) {
    m_column->addLayout(row);
}

KitButton* makeRevealButton(const QString& text, const QString& path, QWidget* parent) {
    auto* button = new KitButton(text, QStringLiteral("folder"), ButtonStyle::bordered, parent);
    button->setFullWidth();
    QObject::connect(button, &QPushButton::clicked, button, [path] { revealInFinder(path); });
    return button;
}

KitButton* makeRevealFormatButton(const QString& format, const QString& path, QWidget* parent) {
    KitButton* button =
        makeRevealButton(QCoreApplication::translate("BundleCard", revealFormat).arg(format), path, parent);
    button->setObjectName(QStringLiteral("revealFormatButton"));
    return button;
}

QString currentBundleLocation(const PluginBundleRecord& bundle) {
    return bundle.quarantinePath.value_or(bundle.path);
}

} // namespace quorvane
