#include "Views/Kit/QuarantineDetailPane.h"

#include "Views/Kit/BundleCard.h"
#include "Views/Kit/ConfirmAlert.h"
#include "Views/Kit/KitButton.h"
#include "Views/Kit/Palette.h"
#include "Views/Kit/PathBox.h"
#include "Views/Kit/RevealInFinder.h"
#include "Views/Kit/SymbolLabel.h"
#include "Views/Kit/TrashConfirmationSheet.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include <memory>

namespace quorvane {

namespace {

QString translated(const char* source) {
    return QCoreApplication::translate("QuarantineDetailPane", source);
}

namespace text {
const char* const verified = QT_TRANSLATE_NOOP("QuarantineDetailPane", "Verified");
const char* const originalLocation = QT_TRANSLATE_NOOP("QuarantineDetailPane", "Original Location");
const char* const currentLocation = QT_TRANSLATE_NOOP("QuarantineDetailPane", "Current Quarantine Location");
const char* const operationID = QT_TRANSLATE_NOOP("QuarantineDetailPane", "Operation ID");
const char* const unavailable = QT_TRANSLATE_NOOP("QuarantineDetailPane", "Unavailable");
const char* const reveal = QT_TRANSLATE_NOOP("QuarantineDetailPane", "Reveal");
const char* const originalFolder = QT_TRANSLATE_NOOP("QuarantineDetailPane", "Original Folder");
const char* const restorePlugin = QT_TRANSLATE_NOOP("QuarantineDetailPane", "Restore Plugin\u2026");
const char* const trashPlugin = QT_TRANSLATE_NOOP("QuarantineDetailPane", "Move Plugin to Trash\u2026");
const char* const restoreTitle = QT_TRANSLATE_NOOP("QuarantineDetailPane", "Restore Plugin?");
const char* const restoreAction = QT_TRANSLATE_NOOP("QuarantineDetailPane", "Restore All Formats");
const char* const restoreFormat = QT_TRANSLATE_NOOP("QuarantineDetailPane", "Restore %1 Format\u2026");
const char* const restoreFormatTitle = QT_TRANSLATE_NOOP("QuarantineDetailPane", "Restore %1 Format?");
const char* const restoreFormatAction = QT_TRANSLATE_NOOP("QuarantineDetailPane", "Restore %1");
const char* const trashFormat = QT_TRANSLATE_NOOP("QuarantineDetailPane", "Move %1 Format to Trash\u2026");
} // namespace text

// The alert messages are composed as plain text, not looked up.
QString restoreMessage(const std::optional<Plugin>& plugin) {
    return QStringLiteral("Quorvane will return every quarantined format for ") +
           (plugin ? plugin->name : QStringLiteral("this plugin")) + QStringLiteral(" as one transaction. ") +
           QStringLiteral("Existing files will never be overwritten.");
}

QString bundleRestoreMessage(const PluginBundleRecord& bundle) {
    return QStringLiteral("Only the selected ") + bundle.format + QStringLiteral(" bundle will return to ") +
           QStringLiteral("its recorded original location. Existing files will never be overwritten.");
}

// The first reason that applies: the restore reason, else the Trash reason.
void addReasonLine(QVBoxLayout* stack, const std::optional<QString>& restore,
                   const std::optional<QString>& trash, QWidget* parent) {
    if (restore)
        stack->addWidget(makeBlockingReasonLabel(*restore, parent));
    else if (trash)
        stack->addWidget(makeBlockingReasonLabel(*trash, parent));
}

KitButton* makeTrashButton(const QString& text, const std::optional<QString>& blockingReason,
                           QWidget* parent) {
    auto* button =
        makeActionButton(text, QStringLiteral("trash"), ButtonStyle::bordered, blockingReason, parent);
    button->setTint(Palette::red());
    return button;
}

} // namespace

void presentTrashSheet(TrashSheetFrame* sheet) {
    sheet->open();
}

TrashSheetFrame* openTrashSheet(const TrashSheetMaker& make, std::function<void()> onConfirm,
                                const QString& objectName) {
    // The closures exist before the sheet; they find it through the holder, which forgets it once gone.
    auto holder = std::make_shared<QPointer<TrashSheetFrame>>();
    TrashSheetFrame* sheet = make(
        [holder] {
            if (*holder)
                (*holder)->dismiss();
        },
        [holder, action = std::move(onConfirm)] {
            if (action)
                action();
            if (*holder)
                (*holder)->dismiss();
        });
    *holder = sheet;
    sheet->setObjectName(objectName);
    presentTrashSheet(sheet);
    return sheet;
}

BundleQuarantineActions::BundleQuarantineActions(const Plugin& plugin, const PluginBundleRecord& bundle,
                                                 std::optional<QString> restoreBlockingReason,
                                                 std::optional<QString> trashBlockingReason,
                                                 BundleAction onRestore, BundleAction onTrash,
                                                 QWidget* parent)
    : QWidget(parent) {
    setObjectName(QStringLiteral("bundleQuarantineActions"));
    auto* stack = new QVBoxLayout(this);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(8);
    addReasonLine(stack, restoreBlockingReason, trashBlockingReason, this);

    auto* restore = makeActionButton(translated(text::restoreFormat).arg(bundle.format),
                                     QStringLiteral("arrow.uturn.backward"), ButtonStyle::borderedProminent,
                                     restoreBlockingReason, this);
    restore->setObjectName(QStringLiteral("restoreFormatButton"));
    confirmBeforeRunning(restore,
                         {translated(text::restoreFormatTitle).arg(bundle.format),
                          bundleRestoreMessage(bundle),
                          translated(text::restoreFormatAction).arg(bundle.format)},
                         plugin, bundle, std::move(onRestore));
    stack->addWidget(restore);

    auto* trash =
        makeTrashButton(translated(text::trashFormat).arg(bundle.format), trashBlockingReason, this);
    trash->setObjectName(QStringLiteral("trashFormatButton"));
    connect(trash, &QPushButton::clicked, this,
            [this, owner = plugin, record = bundle, action = std::move(onTrash)] {
                openTrashSheet(
                    [&](std::function<void()> onCancel, std::function<void()> onConfirm) {
                        return new TrashConfirmationSheet(owner, record, std::move(onCancel),
                                                          std::move(onConfirm), window());
                    },
                    [owner, record, action] {
                        if (action)
                            action(owner, record);
                    },
                    QStringLiteral("bundleTrashSheet"));
            });
    stack->addWidget(trash);
}

QuarantineDetailPane::QuarantineDetailPane(Actions actions, QWidget* parent)
    : DetailShell(parent), m_actions(std::move(actions)) {
    setObjectName(QStringLiteral("quarantineInspector"));
}

void QuarantineDetailPane::setPlugin(const std::optional<Plugin>& plugin,
                                     const std::vector<PluginBundleRecord>& bundles) {
    m_plugin = plugin;
    m_bundles = bundles;
    refresh();
}

void QuarantineDetailPane::refresh() {
    Rendering rendering{m_plugin, m_bundles, std::nullopt, std::nullopt, {}};
    if (m_plugin) {
        if (m_actions.restoreReason)
            rendering.restoreReason = m_actions.restoreReason(*m_plugin);
        if (m_actions.trashReason)
            rendering.trashReason = m_actions.trashReason(*m_plugin);
        for (const PluginBundleRecord& bundle : m_bundles) {
            rendering.bundleReasons.emplace_back(
                m_actions.bundleRestoreReason ? m_actions.bundleRestoreReason(*m_plugin, bundle)
                                              : std::nullopt,
                m_actions.bundleTrashReason ? m_actions.bundleTrashReason(*m_plugin, bundle) : std::nullopt);
        }
    }
    if (m_shown && *m_shown == rendering)
        return;
    QWidget* content = m_plugin ? buildContent(rendering) : nullptr;
    m_shown = std::move(rendering);
    DetailShell::setPlugin(m_plugin, content);
}

// Both whole-product confirmations act on the product they name, whatever the pane shows by the
// time they are confirmed.
void QuarantineDetailPane::presentRestoreConfirmation() {
    presentConfirmation(this, translated(text::restoreTitle), restoreMessage(m_plugin),
                        translated(text::restoreAction), [this, named = m_plugin] {
                            if (named && m_actions.onRestore)
                                m_actions.onRestore(*named);
                        });
}

void QuarantineDetailPane::presentTrashConfirmation() {
    if (m_trashSheet)
        return;
    m_trashSheet = openTrashSheet(
        [this](std::function<void()> onCancel, std::function<void()> onConfirm) {
            return new BatchTrashConfirmationSheet(1, static_cast<qint64>(m_bundles.size()),
                                                   std::move(onCancel), std::move(onConfirm), this);
        },
        [self = QPointer<QuarantineDetailPane>(this), named = m_plugin] {
            if (self && named && self->m_actions.onTrash)
                self->m_actions.onTrash(*named);
        },
        QStringLiteral("pluginTrashSheet"));
}

TrashSheetFrame* QuarantineDetailPane::trashSheet() const {
    return m_trashSheet;
}

QWidget* QuarantineDetailPane::buildContent(const Rendering& rendering) {
    const Plugin& plugin = *rendering.plugin;
    auto* content = newContent();
    auto* stack = makeDetailColumn(content);
    for (size_t index = 0; index < rendering.bundles.size(); ++index)
        stack->addWidget(
            buildCard(plugin, rendering.bundles[index], rendering.bundleReasons[index], content));

    auto* actions = new QVBoxLayout;
    actions->setSpacing(8);
    addReasonLine(actions, rendering.restoreReason, rendering.trashReason, content);
    auto* restore = makeActionButton(translated(text::restorePlugin), QStringLiteral("arrow.uturn.backward"),
                                     ButtonStyle::borderedProminent, rendering.restoreReason, content);
    restore->setObjectName(QStringLiteral("restorePluginButton"));
    connect(restore, &QPushButton::clicked, this, &QuarantineDetailPane::presentRestoreConfirmation);
    actions->addWidget(restore);
    auto* trash = makeTrashButton(translated(text::trashPlugin), rendering.trashReason, content);
    trash->setObjectName(QStringLiteral("trashPluginButton"));
    connect(trash, &QPushButton::clicked, this, &QuarantineDetailPane::presentTrashConfirmation);
    actions->addWidget(trash);
    stack->addLayout(actions);
    return content;
}

QWidget*
QuarantineDetailPane::buildCard(const Plugin& plugin, const PluginBundleRecord& bundle,
                                const std::pair<std::optional<QString>, std::optional<QString>>& reasons,
                                QWidget* parent) {
    auto* card = new BundleCard(bundle, 12, parent);
    auto* format = makeLabel(bundle.format, TextStyle::headline, std::nullopt, card);
    auto* badge = new SymbolLabel(QStringLiteral("checkmark.circle"), translated(text::verified),
                                  TextStyle::caption, Palette::green(), card);
    badge->setObjectName(QStringLiteral("verifiedBadge"));
    card->addHeader(format, badge);

    const QString original = bundle.originalPath.value_or(bundle.path);
    auto* originalBox = new PathBox(translated(text::originalLocation), original, card);
    originalBox->setObjectName(QStringLiteral("originalLocation"));
    card->addRow(originalBox);
    auto* currentBox = new PathBox(translated(text::currentLocation),
                                   bundle.quarantinePath.value_or(translated(text::unavailable)), card);
    currentBox->setObjectName(QStringLiteral("currentQuarantineLocation"));
    card->addRow(currentBox);
    auto* operationBox =
        new PathBox(translated(text::operationID),
                    bundle.quarantineOperationID.value_or(translated(text::unavailable)), card);
    operationBox->setObjectName(QStringLiteral("operationID"));
    card->addRow(operationBox);

    auto* buttons = new QHBoxLayout;
    auto* reveal =
        new KitButton(translated(text::reveal), QStringLiteral("folder"), ButtonStyle::bordered, card);
    reveal->setObjectName(QStringLiteral("revealButton"));
    const QString current = currentBundleLocation(bundle);
    connect(reveal, &QPushButton::clicked, reveal, [current] { revealInFinder(current); });
    auto* folder = new KitButton(translated(text::originalFolder), QStringLiteral("folder"),
                                 ButtonStyle::bordered, card);
    folder->setObjectName(QStringLiteral("originalFolderButton"));
    connect(folder, &QPushButton::clicked, folder, [original] { openParentFolder(original); });
    buttons->addWidget(reveal);
    buttons->addWidget(folder);
    buttons->addStretch(1);
    card->addRow(buttons);

    card->addRow(new BundleQuarantineActions(plugin, bundle, reasons.first, reasons.second,
                                             m_actions.onRestoreBundle, m_actions.onTrashBundle, card));
    return card;
}

} // namespace quorvane
