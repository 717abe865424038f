#include "Views/Kit/TrashConfirmationSheet.h"

#include "Views/Kit/InfoBar.h"
#include "Views/Kit/KitButton.h"
#include "Views/Kit/Palette.h"
#include "Views/Kit/PathBox.h"
#include "Views/Kit/TextStyle.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace quorvane {

namespace {

QString translated(const char* source) {
    return QCoreApplication::translate("TrashConfirmationSheet", source);
}

namespace text {
const char* const cancel = QT_TRANSLATE_NOOP("TrashConfirmationSheet", "Cancel");
const char* const singleTitle = QT_TRANSLATE_NOOP("TrashConfirmationSheet", "Move to macOS Trash?");
const char* const singleSubtitle = QT_TRANSLATE_NOOP("TrashConfirmationSheet", "%1 \u2014 %2");
const char* const unnamedPlugin = QT_TRANSLATE_NOOP("TrashConfirmationSheet", "Plugin");
const char* const singleNote =
    QT_TRANSLATE_NOOP("TrashConfirmationSheet",
                      "This bundle will leave Quorvane quarantine. It will not be permanently deleted and "
                      "will remain tracked in Trash Recovery.");
const char* const currentLocation =
    QT_TRANSLATE_NOOP("TrashConfirmationSheet", "Current Quarantine Location");
const char* const unavailable = QT_TRANSLATE_NOOP("TrashConfirmationSheet", "Unavailable");
const char* const originalLocation =
    QT_TRANSLATE_NOOP("TrashConfirmationSheet", "Recorded Original Location");
const char* const singleAcknowledgement =
    QT_TRANSLATE_NOOP("TrashConfirmationSheet",
                      "I understand restoration depends on this exact bundle remaining in Finder Trash.");
const char* const singleConfirm = QT_TRANSLATE_NOOP("TrashConfirmationSheet", "Move to Trash");
const char* const batchTitle =
    QT_TRANSLATE_NOOP("TrashConfirmationSheet", "Move Selected Plugins to macOS Trash?");
const char* const batchSubtitle =
    QT_TRANSLATE_NOOP("TrashConfirmationSheet", "%1 plugins \u2014 %2 format bundles");
const char* const batchNote =
    QT_TRANSLATE_NOOP("TrashConfirmationSheet",
                      "These bundles will leave Quorvane quarantine. They will not be permanently deleted "
                      "and will remain tracked in Trash Recovery.");
const char* const batchAcknowledgement =
    QT_TRANSLATE_NOOP("TrashConfirmationSheet",
                      "I understand restoration depends on these exact bundles remaining in Finder Trash.");
const char* const batchConfirm = QT_TRANSLATE_NOOP("TrashConfirmationSheet", "Move %1 Bundles to Trash");
} // namespace text

} // namespace

TrashSheetFrame::TrashSheetFrame(const QString& title, const QString& subtitle,
                                 const QString& acknowledgementText, const QString& confirmText,
                                 std::function<void()> onCancel, std::function<void()> onConfirm,
                                 const ImageLoader& images, QWidget* parent)
    : QDialog(parent), m_onCancel(std::move(onCancel)), m_onConfirm(std::move(onConfirm)) {
    setObjectName(QStringLiteral("trashConfirmationSheet"));
    setWindowModality(Qt::WindowModal);
    setWindowTitle(title);
    setFixedWidth(620);
    setAutoFillBackground(true);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, Palette::background());
    setPalette(colours);

    auto* stack = new QVBoxLayout(this);
    stack->setContentsMargins(24, 24, 24, 24);
    stack->setSpacing(18);

    auto* header = new QHBoxLayout;
    header->setSpacing(12);
    // The mark only when the program ships it: an empty square would push the title aside.
    const QPixmap image = images ? images(QStringLiteral("quorvane-app-mark")) : QPixmap();
    if (!image.isNull()) {
        auto* mark = new QLabel(this);
        mark->setObjectName(QStringLiteral("appMark"));
        mark->setFixedSize(52, 52);
        mark->setAlignment(Qt::AlignCenter);
        mark->setPixmap(image.scaled(52, 52, Qt::KeepAspectRatio, Qt::SmoothTransformation));
        header->addWidget(mark, 0, Qt::AlignVCenter);
    }
    auto* titles = new QVBoxLayout;
    titles->setSpacing(3);
    auto* titleLabel = makeLabel(title, TextStyle::title2, std::nullopt, this);
    titleLabel->setObjectName(QStringLiteral("sheetTitle"));
    titleLabel->setFont(systemFont(17, QFont::Bold));
    auto* subtitleLabel = makeLabel(subtitle, TextStyle::body, Palette::secondaryText(), this);
    subtitleLabel->setObjectName(QStringLiteral("sheetSubtitle"));
    subtitleLabel->setWordWrap(true);
    titles->addWidget(titleLabel);
    titles->addWidget(subtitleLabel);
    header->addLayout(titles, 1);
    stack->addLayout(header);
    m_rowsAt = stack->count();

    m_acknowledgement = new QCheckBox(acknowledgementText, this);
    m_acknowledgement->setObjectName(QStringLiteral("acknowledgementToggle"));
    m_acknowledgement->setChecked(false);
    QPalette toggleColours = m_acknowledgement->palette();
    toggleColours.setColor(QPalette::Base, Palette::raisedPanel().lighter(160));
    m_acknowledgement->setPalette(toggleColours);
    stack->addWidget(m_acknowledgement);

    // The two buttons stand in the order the running desktop gives a dialog's buttons, as in every
    // alert.
    auto* buttons = new QDialogButtonBox(this);
    buttons->setObjectName(QStringLiteral("sheetButtons"));
    m_cancel = new KitButton(translated(text::cancel), QString(), ButtonStyle::bordered, this);
    m_cancel->setObjectName(QStringLiteral("cancelButton"));
    m_cancel->setAutoDefault(false);
    auto* confirm = new KitButton(confirmText, QString(), ButtonStyle::borderedProminent, this);
    confirm->setTint(Palette::red());
    confirm->setObjectName(QStringLiteral("confirmButton"));
    confirm->setProperty("buttonRole", QStringLiteral("destructive"));
    m_confirm = confirm;
    m_confirm->setAutoDefault(false);
    m_confirm->setDefault(true);
    m_confirm->setEnabled(false);
    buttons->addButton(m_cancel, QDialogButtonBox::RejectRole);
    buttons->addButton(m_confirm, QDialogButtonBox::AcceptRole);
    m_cancel->setAutoDefault(false);
    m_confirm->setAutoDefault(false);
    m_confirm->setDefault(true);
    stack->addWidget(buttons);

    connect(m_acknowledgement, &QCheckBox::toggled, m_confirm, &QPushButton::setEnabled);
    connect(m_cancel, &QPushButton::clicked, this, [this] {
        if (m_onCancel)
            m_onCancel();
    });
    connect(m_confirm, &QPushButton::clicked, this, [this] {
        if (m_acknowledgement->isChecked() && m_onConfirm)
            m_onConfirm();
    });
}

bool TrashSheetFrame::isAcknowledged() const {
    return m_acknowledgement->isChecked();
}

void TrashSheetFrame::dismiss() {
    if (m_dismissed)
        return;
    m_dismissed = true;
    hide();
    deleteLater();
}

void TrashSheetFrame::reject() {
    if (!m_dismissed && m_onCancel)
        m_onCancel();
}

void TrashSheetFrame::closeEvent(QCloseEvent* event) {
    if (m_dismissed) {
        event->accept();
        return;
    }
    event->ignore();
    reject();
}

void TrashSheetFrame::addRow(QWidget* row) {
    auto* stack = static_cast<QVBoxLayout*>(layout());
    row->setParent(this);
    stack->insertWidget(m_rowsAt++, row);
}

TrashConfirmationSheet::TrashConfirmationSheet(const std::optional<Plugin>& plugin,
                                               const PluginBundleRecord& bundle,
                                               std::function<void()> onCancel,
                                               std::function<void()> onConfirm, QWidget* parent,
                                               const ImageLoader& images)
    : TrashSheetFrame(translated(text::singleTitle),
                      translated(text::singleSubtitle)
                          .arg(plugin ? plugin->name : translated(text::unnamedPlugin), bundle.format),
                      translated(text::singleAcknowledgement), translated(text::singleConfirm),
                      std::move(onCancel), std::move(onConfirm), images, parent) {
    addRow(new InfoBar(translated(text::singleNote), Palette::red()));
    auto* current = new PathBox(translated(text::currentLocation),
                                bundle.quarantinePath.value_or(translated(text::unavailable)));
    current->setObjectName(QStringLiteral("currentQuarantineLocation"));
    addRow(current);
    auto* original =
        new PathBox(translated(text::originalLocation), bundle.originalPath.value_or(bundle.path));
    original->setObjectName(QStringLiteral("recordedOriginalLocation"));
    addRow(original);
}

BatchTrashConfirmationSheet::BatchTrashConfirmationSheet(qint64 pluginCount, qint64 bundleCount,
                                                         std::function<void()> onCancel,
                                                         std::function<void()> onConfirm, QWidget* parent,
                                                         const ImageLoader& images)
    : TrashSheetFrame(
          translated(text::batchTitle),
          translated(text::batchSubtitle).arg(QString::number(pluginCount), QString::number(bundleCount)),
          translated(text::batchAcknowledgement),
          translated(text::batchConfirm).arg(QString::number(bundleCount)), std::move(onCancel),
          std::move(onConfirm), images, parent) {
    addRow(new InfoBar(translated(text::batchNote), Palette::red()));
}

} // namespace quorvane
