#include "Views/Kit/ProtectionControl.h"

#include "Views/Kit/ConfirmAlert.h"
#include "Views/Kit/InfoBar.h"
#include "Views/Kit/KitButton.h"
#include "Views/Kit/Palette.h"
#include "Views/Kit/SymbolLabel.h"

#include <QCoreApplication>
#include <QVBoxLayout>

namespace quorvane {

namespace {

QString translated(const char* source) {
    return QCoreApplication::translate("ProtectionControl", source);
}

namespace text {
const char* const someProtected = QT_TRANSLATE_NOOP(
    "ProtectionControl",
    "Some formats are protected. Use each format card for precision, or change every format together.");
const char* const allProtected =
    QT_TRANSLATE_NOOP("ProtectionControl", "All detected formats are protected.");
const char* const hostedMandatory =
    QT_TRANSLATE_NOOP("ProtectionControl", "Hosted by WaveShell: mandatory protection cannot be removed.");
const char* const sharedMandatory =
    QT_TRANSLATE_NOOP("ProtectionControl", "Shared shell: mandatory protection cannot be removed.");
const char* const protectAll = QT_TRANSLATE_NOOP("ProtectionControl", "Protect All Formats");
const char* const removeAll = QT_TRANSLATE_NOOP("ProtectionControl", "Remove All Protection\u2026");
const char* const removeAllTitle = QT_TRANSLATE_NOOP("ProtectionControl", "Remove All Protection?");
const char* const removeAllAction = QT_TRANSLATE_NOOP("ProtectionControl", "Remove All Protection");
const char* const removeAllMessageSome = QT_TRANSLATE_NOOP(
    "ProtectionControl", "Protection will be removed from every %1 format. No files will be moved now.");
const char* const removeAllMessageAll = QT_TRANSLATE_NOOP(
    "ProtectionControl",
    "Every %1 format will become eligible for future file actions. No files will be moved now.");
const char* const mandatory = QT_TRANSLATE_NOOP("ProtectionControl", "Mandatory protection");
const char* const removeFormat = QT_TRANSLATE_NOOP("ProtectionControl", "Remove %1 Protection\u2026");
const char* const removeFormatTitle = QT_TRANSLATE_NOOP("ProtectionControl", "Remove %1 Protection?");
const char* const removeFormatAction = QT_TRANSLATE_NOOP("ProtectionControl", "Remove Protection");
const char* const removeFormatMessage = QT_TRANSLATE_NOOP(
    "ProtectionControl",
    "Only the %1 format will become eligible for future file actions. No files will be moved now.");
const char* const protectFormat = QT_TRANSLATE_NOOP("ProtectionControl", "Protect %1 Format");
} // namespace text

QVBoxLayout* stackLayout(QWidget* widget) {
    auto* layout = new QVBoxLayout(widget);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(16);
    return layout;
}

} // namespace

ProtectionControl::ProtectionControl(const Plugin& plugin, SetProtection onSetProtection, QWidget* parent)
    : QWidget(parent), m_plugin(plugin), m_onSetProtection(std::move(onSetProtection)) {
    setObjectName(QStringLiteral("protectionControl"));
    auto* layout = stackLayout(this);
    const int level = plugin.protectionLevel();

    auto addProtectAll = [&] {
        auto* button = new KitButton(translated(text::protectAll), QStringLiteral("shield.checkered"),
                                     ButtonStyle::borderedProminent, this);
        button->setObjectName(QStringLiteral("protectAllButton"));
        button->setFullWidth();
        connect(button, &QPushButton::clicked, this, [this] {
            if (m_onSetProtection)
                m_onSetProtection(m_plugin, true);
        });
        layout->addWidget(button);
    };
    auto addRemoveAll = [&](const char* message) {
        auto* button = new KitButton(translated(text::removeAll), QString(), ButtonStyle::bordered, this);
        button->setObjectName(QStringLiteral("removeAllProtectionButton"));
        button->setFullWidth();
        const QString shown = translated(message).arg(m_plugin.name);
        connect(button, &QPushButton::clicked, this, [this, shown] { confirmRemoval(shown); });
        layout->addWidget(button);
    };

    switch (level) {
    case 0:
        addProtectAll();
        break;
    case 1:
        layout->addWidget(new InfoBar(translated(text::someProtected), Palette::amber(), this));
        addProtectAll();
        addRemoveAll(text::removeAllMessageSome);
        break;
    case 2:
        layout->addWidget(new InfoBar(translated(text::allProtected), Palette::amber(), this));
        addRemoveAll(text::removeAllMessageAll);
        break;
    default:
        layout->addWidget(
            new InfoBar(translated(plugin.status == PluginStatus::hostedByShell ? text::hostedMandatory
                                                                                : text::sharedMandatory),
                        Palette::accent(), this));
        break;
    }
}

void ProtectionControl::confirmRemoval(const QString& message) {
    // The alert outlives a rebuild of this control, so it keeps its own copies.
    const Plugin plugin = m_plugin;
    const SetProtection action = m_onSetProtection;
    presentConfirmation(window(), translated(text::removeAllTitle), message,
                        translated(text::removeAllAction), [plugin, action] {
                            if (action)
                                action(plugin, false);
                        });
}

BundleProtectionControl::BundleProtectionControl(const Plugin& plugin, const PluginBundleRecord& bundle,
                                                 SetBundleProtection onSetProtection, QWidget* parent)
    : QWidget(parent) {
    setObjectName(QStringLiteral("bundleProtectionControl"));
    auto* layout = stackLayout(this);
    if (plugin.isMandatoryShell()) {
        auto* label = new SymbolLabel(QStringLiteral("lock.shield.fill"), translated(text::mandatory),
                                      TextStyle::caption, Palette::accent(), this);
        label->setObjectName(QStringLiteral("mandatoryProtectionLabel"));
        layout->addWidget(label);
        return;
    }
    if (bundle.isProtected) {
        auto* button = new KitButton(translated(text::removeFormat).arg(bundle.format),
                                     QStringLiteral("shield.slash"), ButtonStyle::bordered, this);
        button->setObjectName(QStringLiteral("removeFormatProtectionButton"));
        button->setFullWidth();
        confirmBeforeRunning(
            button,
            {translated(text::removeFormatTitle).arg(bundle.format),
             translated(text::removeFormatMessage).arg(bundle.format), translated(text::removeFormatAction)},
            plugin, bundle,
            [action = std::move(onSetProtection)](const Plugin& owner, const PluginBundleRecord& record) {
                if (action)
                    action(owner, record, false);
            });
        layout->addWidget(button);
        return;
    }
    auto* button = new KitButton(translated(text::protectFormat).arg(bundle.format),
                                 QStringLiteral("shield.checkered"), ButtonStyle::bordered, this);
    button->setObjectName(QStringLiteral("protectFormatButton"));
    button->setFullWidth();
    connect(button, &QPushButton::clicked, this, [plugin, bundle, action = std::move(onSetProtection)] {
        if (action)
            action(plugin, bundle, true);
    });
    layout->addWidget(button);
}

} // namespace quorvane
