#include "Views/Screens/TrashRecovery/TrashRecoveryRow.h"

#include "Views/Kit/KitButton.h"
#include "Views/Kit/Palette.h"
#include "Views/Kit/PathBox.h"
#include "Views/Kit/TextStyle.h"
#include "Views/Screens/Shared/ScreenServices.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace quorvane {

namespace T = TrashRecoveryRowTexts;

QColor trashRecoveryStateColor(TrashRecoveryState state) {
    switch (state) {
    case TrashRecoveryState::readyToRestore:
        return Palette::green();
    case TrashRecoveryState::alreadyRestored:
        return Palette::accent();
    case TrashRecoveryState::destinationOccupied:
    case TrashRecoveryState::missingFromTrash:
    case TrashRecoveryState::needsVerification:
        break;
    }
    return Palette::amber();
}

TrashRecoveryRowLook trashRecoveryRowLook(const TrashRecoveryEntry& entry,
                                          const std::optional<QString>& restoreBlockingReason,
                                          qsizetype transactionBundleCount) {
    const bool ready = entry.state == TrashRecoveryState::readyToRestore;
    TrashRecoveryRowLook look;
    look.badge = rawValue(entry.state);
    look.badgeColor = trashRecoveryStateColor(entry.state);
    look.toggleEnabled = ready;
    look.showsActions = ready;
    if (ready && transactionBundleCount >= 2)
        look.transactionButton = T::restoreTransaction(transactionBundleCount);
    look.restoreEnabled = ready && !restoreBlockingReason;
    if (ready)
        look.reasonLine = restoreBlockingReason;
    return look;
}

namespace {

QLabel* makeBadge(const QString& text, const QColor& color, QWidget* parent) {
    QLabel* badge = makeLabel(text, TextStyle::caption, color, parent);
    badge->setObjectName(QStringLiteral("stateBadge"));
    QFont font = badge->font();
    font.setWeight(QFont::DemiBold);
    badge->setFont(font);
    const QColor fill = withOpacity(color, 0.12);
    badge->setStyleSheet(QStringLiteral("QLabel#stateBadge { background: rgba(%1, %2, %3, %4); "
                                        "border-radius: 10px; padding: 5px 9px; }")
                             .arg(fill.red())
                             .arg(fill.green())
                             .arg(fill.blue())
                             .arg(fill.alpha()));
    return badge;
}

} // namespace

TrashRecoveryRow::TrashRecoveryRow(const TrashRecoveryEntry& entry, Binding<bool> isSelected,
                                   std::optional<QString> restoreBlockingReason,
                                   qsizetype transactionBundleCount, Actions actions,
                                   const Formatters& formatters, QWidget* parent)
    : PanelFrame(parent), m_entry(entry) {
    setObjectName(QStringLiteral("trashRecoveryRow"));
    setProperty("recordId", entry.id());
    const TrashRecoveryRowLook look =
        trashRecoveryRowLook(entry, restoreBlockingReason, transactionBundleCount);
    const TrashedBundleRecord& record = entry.record;

    auto* stack = new QVBoxLayout(this);
    stack->setContentsMargins(14, 14, 14, 14);
    stack->setSpacing(12);

    auto* header = new QHBoxLayout;
    header->setSpacing(12);
    auto* toggle = new QCheckBox(this);
    toggle->setObjectName(QStringLiteral("selectToggle"));
    toggle->setChecked(isSelected.get());
    toggle->setEnabled(look.toggleEnabled);
    toggle->setAccessibleName(record.pluginName);
    connect(toggle, &QCheckBox::toggled, this, [set = isSelected.set](bool on) { set(on); });
    header->addWidget(toggle, 0, Qt::AlignTop);
    auto* titles = new QVBoxLayout;
    titles->setSpacing(4);
    QLabel* name = makeLabel(record.pluginName, TextStyle::headline, std::nullopt, this);
    name->setObjectName(QStringLiteral("recordName"));
    QLabel* detail = makeLabel(record.manufacturer + QStringLiteral(" \u2022 ") + record.format,
                               TextStyle::caption, Palette::secondaryText(), this);
    detail->setObjectName(QStringLiteral("recordDetail"));
    titles->addWidget(name);
    titles->addWidget(detail);
    header->addLayout(titles, 1);
    header->addWidget(makeBadge(look.badge, look.badgeColor, this), 0, Qt::AlignTop);
    stack->addLayout(header);

    auto* paths = new QHBoxLayout;
    paths->setSpacing(10);
    auto* trashBox = new PathBox(T::trashPath, record.trashPath, this);
    trashBox->setObjectName(QStringLiteral("trashPathBox"));
    auto* originalBox = new PathBox(T::originalPath, record.originalPath, this);
    originalBox->setObjectName(QStringLiteral("originalPathBox"));
    paths->addWidget(trashBox, 1);
    paths->addWidget(originalBox, 1);
    stack->addLayout(paths);

    auto* footer = new QHBoxLayout;
    QLabel* moved = makeLabel(T::moved + formatters.abbreviatedDateShortTime(record.operationDate),
                              TextStyle::caption2, Palette::secondaryText(), this);
    moved->setObjectName(QStringLiteral("movedDate"));
    footer->addWidget(moved);
    footer->addStretch(1);
    if (look.showsActions) {
        auto* reveal =
            new KitButton(T::reveal, QStringLiteral("magnifyingglass"), ButtonStyle::bordered, this);
        reveal->setObjectName(QStringLiteral("revealButton"));
        connect(reveal, &QPushButton::clicked, this, [action = actions.onReveal] {
            if (action)
                action();
        });
        footer->addWidget(reveal);
        if (look.transactionButton) {
            auto* transaction =
                new KitButton(*look.transactionButton, QStringLiteral("arrow.uturn.backward.circle"),
                              ButtonStyle::bordered, this);
            transaction->setObjectName(QStringLiteral("restoreTransactionButton"));
            transaction->setEnabled(look.restoreEnabled);
            connect(transaction, &QPushButton::clicked, this, [action = actions.onRestoreTransaction] {
                if (action)
                    action();
            });
            footer->addWidget(transaction);
        }
        auto* restore = new KitButton(T::restoreFormat, QStringLiteral("arrow.uturn.backward"),
                                      ButtonStyle::borderedProminent, this);
        restore->setObjectName(QStringLiteral("restoreFormatButton"));
        restore->setEnabled(look.restoreEnabled);
        connect(restore, &QPushButton::clicked, this, [action = actions.onRestore] {
            if (action)
                action();
        });
        footer->addWidget(restore);
    }
    stack->addLayout(footer);

    if (look.reasonLine) {
        QLabel* reason = makeLabel(*look.reasonLine, TextStyle::caption2, Palette::amber(), this);
        reason->setObjectName(QStringLiteral("rowReason"));
        reason->setWordWrap(true);
        reason->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        stack->addWidget(reason);
    }
}

} // namespace quorvane
