#include "Views/Kit/ProtectedDetailPane.h"

#include "Views/Kit/BundleCard.h"
#include "Views/Kit/InfoBar.h"
#include "Views/Kit/KitButton.h"
#include "Views/Kit/Palette.h"
#include "Views/Kit/PathBox.h"
#include "Views/Kit/ProtectionControl.h"
#include "Views/Kit/SymbolLabel.h"

#include <QCoreApplication>
#include <QLabel>
#include <QVBoxLayout>

namespace quorvane {

namespace {

QString translated(const char* source) {
    return QCoreApplication::translate("ProtectedDetailPane", source);
}

namespace text {
const char* const hostedNote = QT_TRANSLATE_NOOP(
    "ProtectedDetailPane", "Hosted product: automatically protected with its shared WaveShell. "
                           "There is no independent plugin bundle to reveal or move.");
const char* const discoverySource = QT_TRANSLATE_NOOP("ProtectedDetailPane", "Discovery Source");
const char* const protectedBundle = QT_TRANSLATE_NOOP("ProtectedDetailPane", "Protected Bundle");
const char* const revealInFinder = QT_TRANSLATE_NOOP("ProtectedDetailPane", "Reveal in Finder");
const char* const formatTitle = QT_TRANSLATE_NOOP("ProtectedDetailPane", "%1 Format");
const char* const bundleLocation = QT_TRANSLATE_NOOP("ProtectedDetailPane", "Bundle Location");
const char* const protectedBadge = QT_TRANSLATE_NOOP("ProtectedDetailPane", "Protected");
const char* const notProtectedBadge = QT_TRANSLATE_NOOP("ProtectedDetailPane", "Not Protected");
} // namespace text

} // namespace

ProtectedDetailPane::ProtectedDetailPane(SetProtection onSetProtection,
                                         SetBundleProtection onSetBundleProtection, QWidget* parent)
    : DetailShell(parent), m_onSetProtection(std::move(onSetProtection)),
      m_onSetBundleProtection(std::move(onSetBundleProtection)) {
    setObjectName(QStringLiteral("protectedInspector"));
}

void ProtectedDetailPane::setPlugin(const std::optional<Plugin>& plugin,
                                    const std::vector<PluginBundleRecord>& bundles) {
    auto shown = std::make_pair(plugin, bundles);
    if (m_shown && *m_shown == shown)
        return;
    m_shown = std::move(shown);
    DetailShell::setPlugin(plugin, plugin ? buildContent(*plugin, bundles) : nullptr);
}

QWidget* ProtectedDetailPane::buildContent(const Plugin& plugin,
                                           const std::vector<PluginBundleRecord>& bundles) {
    auto* content = newContent();
    auto* stack = makeDetailColumn(content);

    if (plugin.status == PluginStatus::hostedByShell) {
        stack->addWidget(new InfoBar(translated(text::hostedNote), Palette::accent(), content));
        stack->addWidget(new PathBox(translated(text::discoverySource), plugin.path, content));
    } else if (bundles.empty()) {
        stack->addWidget(new PathBox(translated(text::protectedBundle), plugin.path, content));
        KitButton* reveal = makeRevealButton(translated(text::revealInFinder), plugin.path, content);
        reveal->setObjectName(QStringLiteral("revealInFinderButton"));
        stack->addWidget(reveal);
    } else {
        for (const PluginBundleRecord& bundle : bundles)
            stack->addWidget(buildCard(plugin, bundle, content));
    }
    stack->addWidget(new ProtectionControl(plugin, m_onSetProtection, content));
    return content;
}

QWidget* ProtectedDetailPane::buildCard(const Plugin& plugin, const PluginBundleRecord& bundle,
                                        QWidget* parent) {
    auto* card = new BundleCard(bundle, 9, parent);
    auto* title =
        makeLabel(translated(text::formatTitle).arg(bundle.format), TextStyle::body, std::nullopt, card);
    title->setFont(systemFont(bodyPixelSize, QFont::DemiBold));
    auto* badge = bundle.isProtected
                      ? new SymbolLabel(QStringLiteral("shield.checkered"), translated(text::protectedBadge),
                                        TextStyle::caption, Palette::amber(), card)
                      : new SymbolLabel(QStringLiteral("shield.slash"), translated(text::notProtectedBadge),
                                        TextStyle::caption, Palette::secondaryText(), card);
    badge->setObjectName(QStringLiteral("protectionBadge"));
    card->addHeader(title, badge);

    const QString location = currentBundleLocation(bundle);
    card->addRow(new PathBox(translated(text::bundleLocation), location, card));
    card->addRow(makeRevealFormatButton(bundle.format, location, card));
    if (!bundle.isQuarantined())
        card->addRow(new BundleProtectionControl(plugin, bundle, m_onSetBundleProtection, card));
    return card;
}

} // namespace quorvane
