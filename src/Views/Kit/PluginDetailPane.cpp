#include "Views/Kit/PluginDetailPane.h"

#include "Views/Kit/BundleCard.h"
#include "Views/Kit/ConfirmAlert.h"
#include "Views/Kit/DetailRow.h"
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
    return QCoreApplication::translate("PluginDetailPane", source);
}

namespace text {
const char* const version = QT_TRANSLATE_NOOP("PluginDetailPane", "Version");
const char* const formats = QT_TRANSLATE_NOOP("PluginDetailPane", "Formats");
const char* const architecture = QT_TRANSLATE_NOOP("PluginDetailPane", "Architecture");
const char* const size = QT_TRANSLATE_NOOP("PluginDetailPane", "Size");
const char* const hostingHeading = QT_TRANSLATE_NOOP("PluginDetailPane", "WaveShell Hosting");
const char* const hostingNote = QT_TRANSLATE_NOOP(
    "PluginDetailPane",
    "This registered Waves Audio Unit is hosted by a shared WaveShell. Quorvane lists it by "
    "product name but never treats it as an independently movable bundle.");
const char* const discoverySource = QT_TRANSLATE_NOOP("PluginDetailPane", "Discovery Source");
const char* const bundlesHeading = QT_TRANSLATE_NOOP("PluginDetailPane", "Format Bundles");
const char* const rescanHint = QT_TRANSLATE_NOOP(
    "PluginDetailPane", "Run a new scan to create per-format path records for this plugin.");
const char* const quarantinePlugin = QT_TRANSLATE_NOOP("PluginDetailPane", "Quarantine Plugin\u2026");
const char* const quarantineTitle = QT_TRANSLATE_NOOP("PluginDetailPane", "Move Plugin to Quarantine?");
const char* const quarantineAction = QT_TRANSLATE_NOOP("PluginDetailPane", "Move All Formats");
const char* const quarantinedState = QT_TRANSLATE_NOOP("PluginDetailPane", "Quarantined");
const char* const protectedState = QT_TRANSLATE_NOOP("PluginDetailPane", "Protected");
const char* const managedElsewhere =
    QT_TRANSLATE_NOOP("PluginDetailPane", "Managed from the Quarantine screen");
const char* const quarantineFormat = QT_TRANSLATE_NOOP("PluginDetailPane", "Quarantine %1 Format\u2026");
const char* const quarantineFormatTitle = QT_TRANSLATE_NOOP("PluginDetailPane", "Quarantine %1 Format?");
const char* const quarantineFormatAction = QT_TRANSLATE_NOOP("PluginDetailPane", "Move %1 to Quarantine");
} // namespace text

// The two alert messages are composed as plain text, not looked up.
QString quarantineMessage(const std::optional<Plugin>& plugin) {
    return QStringLiteral("Quorvane will move every active detected format for ") +
           (plugin ? plugin->name : QStringLiteral("this plugin")) + QStringLiteral(" as one transaction. ") +
           QStringLiteral("If any format fails, completed moves will be rolled back.");
}

QString bundleQuarantineMessage(const Plugin& plugin, const PluginBundleRecord& bundle) {
    return QStringLiteral("Only the selected ") + bundle.format + QStringLiteral(" bundle will move. ") +
           QStringLiteral("Every other installed format for ") + plugin.name +
           QStringLiteral(" will remain in place.");
}

QLabel* makeHeading(const QString& text, QWidget* parent) {
    auto* label = makeLabel(text, TextStyle::headline, std::nullopt, parent);
    label->setObjectName(QStringLiteral("sectionHeading"));
    return label;
}

} // namespace

BundleQuarantineControl::BundleQuarantineControl(const Plugin& plugin, const PluginBundleRecord& bundle,
                                                 std::optional<QString> blockingReason,
                                                 BundleAction onQuarantine, QWidget* parent)
    : QWidget(parent) {
    setObjectName(QStringLiteral("bundleQuarantineControl"));
    auto* stack = new QVBoxLayout(this);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(6);
    if (blockingReason)
        stack->addWidget(makeBlockingReasonLabel(*blockingReason, this));
    auto* button =
        makeActionButton(translated(text::quarantineFormat).arg(bundle.format), QStringLiteral("shippingbox"),
                         ButtonStyle::borderedProminent, blockingReason, this);
    button->setObjectName(QStringLiteral("quarantineFormatButton"));
    confirmBeforeRunning(button,
                         {translated(text::quarantineFormatTitle).arg(bundle.format),
                          bundleQuarantineMessage(plugin, bundle),
                          translated(text::quarantineFormatAction).arg(bundle.format)},
                         plugin, bundle, std::move(onQuarantine));
    stack->addWidget(button);
}

PluginDetailPane::PluginDetailPane(Actions actions, QWidget* parent)
    : DetailShell(parent), m_actions(std::move(actions)) {
    setObjectName(QStringLiteral("pluginInspector"));
}

void PluginDetailPane::setPlugin(const std::optional<Plugin>& plugin,
                                 const std::vector<PluginBundleRecord>& bundles) {
    m_plugin = plugin;
    m_bundles = bundles;
    refresh();
}

void PluginDetailPane::refresh() {
    Rendering rendering{m_plugin, m_bundles, std::nullopt, {}};
    if (m_plugin && m_plugin->status != PluginStatus::hostedByShell && !m_bundles.empty()) {
        if (m_actions.quarantineReason)
            rendering.quarantineReason = m_actions.quarantineReason(*m_plugin);
        for (const PluginBundleRecord& bundle : m_bundles) {
            const bool asked = !bundle.isQuarantined() && m_actions.bundleQuarantineReason;
            rendering.bundleReasons.push_back(asked ? m_actions.bundleQuarantineReason(*m_plugin, bundle)
                                                    : std::nullopt);
        }
    }
    if (m_shown && *m_shown == rendering)
        return;
    QWidget* content = m_plugin ? buildContent(rendering) : nullptr;
    m_shown = std::move(rendering);
    DetailShell::setPlugin(m_plugin, content);
}

void PluginDetailPane::presentQuarantineConfirmation() {
    // The alert acts on the product it names, whatever the pane shows by the time it is confirmed.
    presentConfirmation(this, translated(text::quarantineTitle), quarantineMessage(m_plugin),
                        translated(text::quarantineAction), [this, named = m_plugin] {
                            if (named && m_actions.onQuarantine)
                                m_actions.onQuarantine(*named);
                        });
}

QWidget* PluginDetailPane::buildContent(const Rendering& rendering) {
    const Plugin& plugin = *rendering.plugin;
    auto* content = newContent();
    auto* stack = makeDetailColumn(content);

    auto* rows = new QVBoxLayout;
    rows->setSpacing(8);
    rows->addWidget(new DetailRow(translated(text::version), plugin.version, content));
    rows->addWidget(
        new DetailRow(translated(text::formats), plugin.formats.join(QStringLiteral(", ")), content));
    rows->addWidget(new DetailRow(translated(text::architecture), plugin.architecture, content));
    rows->addWidget(new DetailRow(translated(text::size), plugin.size, content));
    stack->addLayout(rows);
    stack->addWidget(new ProtectionControl(plugin, m_actions.onSetProtection, content));
    stack->addWidget(makeDivider(content));

    if (plugin.status == PluginStatus::hostedByShell) {
        stack->addWidget(makeHeading(translated(text::hostingHeading), content));
        stack->addWidget(new InfoBar(translated(text::hostingNote), Palette::accent(), content));
        stack->addWidget(new PathBox(translated(text::discoverySource), plugin.path, content));
        return content;
    }
    stack->addWidget(makeHeading(translated(text::bundlesHeading), content));
    if (rendering.bundles.empty()) {
        stack->addWidget(new InfoBar(translated(text::rescanHint), Palette::accent(), content));
        return content;
    }
    for (size_t index = 0; index < rendering.bundles.size(); ++index)
        stack->addWidget(
            buildCard(plugin, rendering.bundles[index], rendering.bundleReasons[index], content));

    auto* action = new QVBoxLayout;
    action->setSpacing(6);
    if (rendering.quarantineReason)
        action->addWidget(makeBlockingReasonLabel(*rendering.quarantineReason, content));
    auto* button = makeActionButton(translated(text::quarantinePlugin), QStringLiteral("shippingbox"),
                                    ButtonStyle::borderedProminent, rendering.quarantineReason, content);
    button->setObjectName(QStringLiteral("quarantinePluginButton"));
    connect(button, &QPushButton::clicked, this, &PluginDetailPane::presentQuarantineConfirmation);
    action->addWidget(button);
    stack->addLayout(action);
    return content;
}

QWidget* PluginDetailPane::buildCard(const Plugin& plugin, const PluginBundleRecord& bundle,
                                     const std::optional<QString>& reason, QWidget* parent) {
    auto* card = new BundleCard(bundle, 9, parent);
    auto* format = makeLabel(bundle.format, TextStyle::body, std::nullopt, card);
    format->setFont(systemFont(bodyPixelSize, QFont::Bold));
    const bool quarantined = bundle.isQuarantined();
    const QString state = quarantined          ? translated(text::quarantinedState)
                          : bundle.isProtected ? translated(text::protectedState)
                                               : bundle.architecture;
    auto* stateLabel =
        makeLabel(state, TextStyle::caption,
                  quarantined || bundle.isProtected ? Palette::amber() : Palette::secondaryText(), card);
    stateLabel->setObjectName(QStringLiteral("bundleState"));
    card->addHeader(format, stateLabel);

    auto* size = makeLabel(bundle.size, TextStyle::caption, Palette::secondaryText(), card);
    size->setObjectName(QStringLiteral("bundleSize"));
    card->addRow(size);
    const QString location = currentBundleLocation(bundle);
    auto* path = new WrappingText(location, monospacedFont(10), 100, card);
    path->setObjectName(QStringLiteral("bundleLocation"));
    setForeground(path, Palette::secondaryText());
    card->addRow(path);
    card->addRow(makeRevealFormatButton(bundle.format, location, card));

    if (quarantined) {
        auto* managed = new SymbolLabel(QStringLiteral("shippingbox"), translated(text::managedElsewhere),
                                        TextStyle::caption, Palette::amber(), card);
        managed->setObjectName(QStringLiteral("managedFromQuarantineLabel"));
        card->addRow(managed);
    } else {
        card->addRow(new BundleProtectionControl(plugin, bundle, m_actions.onSetBundleProtection, card));
        card->addRow(new BundleQuarantineControl(plugin, bundle, reason, m_actions.onQuarantineBundle, card));
    }
    return card;
}

} // namespace quorvane
