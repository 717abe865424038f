#include "KitTestSupport.h"

#include "Views/Kit/KitButton.h"
#include "Views/Kit/Palette.h"
#include "Views/Kit/PathBox.h"
#include "Views/Kit/QuarantineDetailPane.h"
#include "Views/Kit/SymbolLabel.h"
#include "Views/Kit/TrashConfirmationSheet.h"

#include <QCheckBox>

#include <gtest/gtest.h>

namespace quorvane {
namespace {

using namespace quorvane::testing;

struct QuarantineCalls {
    std::optional<QString> restoreReason;
    std::optional<QString> trashReason;
    std::optional<QString> bundleRestoreReason;
    std::optional<QString> bundleTrashReason;
    std::vector<QString> calls;

    QuarantineDetailPane::Actions actions() {
        QuarantineDetailPane::Actions result;
        result.restoreReason = [this](const Plugin&) { return restoreReason; };
        result.trashReason = [this](const Plugin&) { return trashReason; };
        result.bundleRestoreReason = [this](const Plugin&, const PluginBundleRecord&) {
            return bundleRestoreReason;
        };
        result.bundleTrashReason = [this](const Plugin&, const PluginBundleRecord&) {
            return bundleTrashReason;
        };
        result.onRestore = [this](const Plugin& p) { calls.push_back(QStringLiteral("restore ") + p.name); };
        result.onTrash = [this](const Plugin& p) { calls.push_back(QStringLiteral("trash ") + p.name); };
        result.onRestoreBundle = [this](const Plugin& p, const PluginBundleRecord& b) {
            calls.push_back(QStringLiteral("restore ") + p.name + QStringLiteral("/") + b.format);
        };
        result.onTrashBundle = [this](const Plugin& p, const PluginBundleRecord& b) {
            calls.push_back(QStringLiteral("trash ") + p.name + QStringLiteral("/") + b.format);
        };
        return result;
    }
};

// The reason line directly inside the detail pane's content, not inside a card.
QString productReasonLine(const QWidget* inspector) {
    auto* button = child<QPushButton>(inspector, QStringLiteral("restorePluginButton"));
    for (QLabel* label : button->parentWidget()->findChildren<QLabel*>(QStringLiteral("blockingReason"),
                                                                       Qt::FindDirectChildrenOnly))
        return label->text();
    return {};
}

Plugin quarantinedProduct(std::vector<PluginBundleRecord> records) {
    return plugin(QStringLiteral("Quillon"), std::move(records), PluginStatus::quarantined);
}

TEST(QuarantineDetailPane, ReasonLinePrefersRestoreAndEachButtonFollowsItsOwnReason) {
    struct Row {
        std::optional<QString> restore, trash;
        QString line;
        bool restoreEnabled, trashEnabled;
    };
    const std::vector<Row> rows = {
        {QStringLiteral("Restore blocked."), std::nullopt, QStringLiteral("Restore blocked."), false, true},
        {QStringLiteral("Restore blocked."), QStringLiteral("Trash blocked."),
         QStringLiteral("Restore blocked."), false, false},
        {std::nullopt, QStringLiteral("Trash blocked."), QStringLiteral("Trash blocked."), true, false},
        {std::nullopt, std::nullopt, QString(), true, true},
    };
    const Plugin product =
        quarantinedProduct({quarantinedBundle(QStringLiteral("AU"), QStringLiteral("/p/Q.component"))});
    for (const Row& row : rows) {
        QuarantineCalls calls;
        calls.restoreReason = row.restore;
        calls.trashReason = row.trash;
        QuarantineDetailPane inspector(calls.actions());
        inspector.setPlugin(product, product.bundleRecords());
        EXPECT_EQ(productReasonLine(&inspector), row.line);
        EXPECT_EQ(child<QPushButton>(&inspector, QStringLiteral("restorePluginButton"))->isEnabled(),
                  row.restoreEnabled);
        EXPECT_EQ(child<QPushButton>(&inspector, QStringLiteral("trashPluginButton"))->isEnabled(),
                  row.trashEnabled);
    }
}

TEST(QuarantineDetailPane, CardShowsPathsWithFallbacksAndRevealsTheRightFolders) {
    testing::FileManagerRecorder recorder;
    QuarantineCalls calls;
    QuarantineDetailPane inspector(calls.actions());
    PluginBundleRecord bare =
        bundle(QStringLiteral("VST3"), QStringLiteral("/Library/Audio/Plug-Ins/VST3/Gone/Q.vst3"));
    const PluginBundleRecord full = quarantinedBundle(QStringLiteral("AU"), QStringLiteral("/p/Q.component"));
    const Plugin product = quarantinedProduct({full, bare});
    inspector.setPlugin(product, {bare, full});

    const auto cards = inspector.findChildren<QWidget*>(QStringLiteral("bundleCard"));
    ASSERT_EQ(cards.size(), 2);
    EXPECT_EQ(child<QLabel>(cards[0], QStringLiteral("bundleFormat"))->text(), QStringLiteral("VST3"));
    for (QWidget* card : cards) {
        auto* badge = card->findChild<SymbolLabel*>(QStringLiteral("verifiedBadge"));
        EXPECT_EQ(badge->text(), QStringLiteral("Verified"));
        EXPECT_EQ(badge->color(), Palette::green());
    }
    EXPECT_EQ(child<PathBox>(cards[0], QStringLiteral("originalLocation"))->path(), bare.path);
    EXPECT_EQ(child<PathBox>(cards[0], QStringLiteral("originalLocation"))->title(),
              QStringLiteral("Original Location"));
    EXPECT_EQ(child<PathBox>(cards[0], QStringLiteral("currentQuarantineLocation"))->path(),
              QStringLiteral("Unavailable"));
    EXPECT_EQ(child<PathBox>(cards[0], QStringLiteral("operationID"))->path(), QStringLiteral("Unavailable"));
    EXPECT_EQ(child<PathBox>(cards[1], QStringLiteral("currentQuarantineLocation"))->path(),
              *full.quarantinePath);
    EXPECT_EQ(child<PathBox>(cards[1], QStringLiteral("operationID"))->path(), QStringLiteral("OP-1"));

    child<QPushButton>(cards[0], QStringLiteral("revealButton"))->click();
    child<QPushButton>(cards[0], QStringLiteral("originalFolderButton"))->click();
    child<QPushButton>(cards[1], QStringLiteral("originalFolderButton"))->click();
    const std::vector<testing::FileManagerCall> expected = {
        {QStringLiteral("open"), QStringLiteral("/Library/Audio/Plug-Ins/VST3/Gone")},
        {QStringLiteral("open"), QStringLiteral("/Library/Audio/Plug-Ins/VST3/Gone")},
        {QStringLiteral("open"), QStringLiteral("/p")},
    };
    EXPECT_EQ(recorder.calls, expected);
}

TEST(QuarantineDetailPane, NoRecordsStillShowsTheReasonAndBothButtons) {
    QuarantineCalls calls;
    calls.trashReason = QStringLiteral("Trash blocked.");
    QuarantineDetailPane inspector(calls.actions());
    inspector.setPlugin(quarantinedProduct({}), {});
    EXPECT_TRUE(inspector.findChildren<QWidget*>(QStringLiteral("bundleCard")).isEmpty());
    EXPECT_EQ(productReasonLine(&inspector), QStringLiteral("Trash blocked."));
    auto* trash = child<KitButton>(&inspector, QStringLiteral("trashPluginButton"));
    EXPECT_EQ(trash->text(), QStringLiteral("Move Plugin to Trash\u2026"));
    EXPECT_EQ(trash->tint(), Palette::red());
    EXPECT_EQ(trash->buttonStyle(), ButtonStyle::bordered);
    EXPECT_EQ(child<KitButton>(&inspector, QStringLiteral("restorePluginButton"))->buttonStyle(),
              ButtonStyle::borderedProminent);
}

TEST(QuarantineDetailPane, WholeProductRestoreIsConfirmedByAnAlert) {
    QuarantineCalls calls;
    QuarantineDetailPane inspector(calls.actions());
    inspector.show();
    const Plugin product =
        quarantinedProduct({quarantinedBundle(QStringLiteral("AU"), QStringLiteral("/p/Q.component"))});
    inspector.setPlugin(product, product.bundleRecords());
    child<QPushButton>(&inspector, QStringLiteral("restorePluginButton"))->click();
    QMessageBox* alert = openAlert(&inspector);
    ASSERT_NO_FATAL_FAILURE(
        expectAlert(alert, QStringLiteral("Restore Plugin?"),
                    QStringLiteral("Quorvane will return every quarantined format for Quillon as one "
                                   "transaction. Existing files will never be overwritten."),
                    QStringLiteral("Restore All Formats")));
    press(alert, QStringLiteral("cancelButton"));
    EXPECT_TRUE(calls.calls.empty());
    child<QPushButton>(&inspector, QStringLiteral("restorePluginButton"))->click();
    press(openAlert(&inspector), QStringLiteral("actionButton"));
    EXPECT_EQ(calls.calls, std::vector<QString>{QStringLiteral("restore Quillon")});

    inspector.setPlugin(std::nullopt, {});
    inspector.presentRestoreConfirmation();
    EXPECT_TRUE(openAlert(&inspector)->informativeText().contains(QStringLiteral("for this plugin as one")));
    press(openAlert(&inspector), QStringLiteral("actionButton"));
    EXPECT_EQ(calls.calls.size(), 1u);
}

TEST(QuarantineDetailPane, WholeProductTrashUsesTheBatchSheetAndActsBeforeClosing) {
    QuarantineCalls calls;
    QuarantineDetailPane::Actions actions = calls.actions();
    QuarantineDetailPane* shown = nullptr;
    bool sheetUpDuringAction = false;
    actions.onTrash = [&](const Plugin& p) {
        sheetUpDuringAction = shown->trashSheet() && shown->trashSheet()->isVisible();
        calls.calls.push_back(QStringLiteral("trash ") + p.name);
    };
    QuarantineDetailPane inspector(actions);
    shown = &inspector;
    inspector.show();
    const Plugin product = quarantinedProduct({});
    inspector.setPlugin(product, {});
    child<QPushButton>(&inspector, QStringLiteral("trashPluginButton"))->click();
    TrashSheetFrame* sheet = inspector.trashSheet();
    ASSERT_NE(sheet, nullptr);
    EXPECT_EQ(child<QLabel>(sheet, QStringLiteral("sheetTitle"))->text(),
              QStringLiteral("Move Selected Plugins to macOS Trash?"));
    EXPECT_EQ(child<QLabel>(sheet, QStringLiteral("sheetSubtitle"))->text(),
              QStringLiteral("1 plugins \u2014 0 format bundles"));

    sheet->cancelButton()->click();
    testing::settle();
    EXPECT_EQ(inspector.trashSheet(), nullptr);
    EXPECT_TRUE(calls.calls.empty());

    child<QPushButton>(&inspector, QStringLiteral("trashPluginButton"))->click();
    sheet = inspector.trashSheet();
    ASSERT_NE(sheet, nullptr);
    QPointer<TrashSheetFrame> watched(sheet);
    sheet->acknowledgement()->setChecked(true);
    sheet->confirmButton()->click();
    testing::settle();
    EXPECT_TRUE(sheetUpDuringAction);
    EXPECT_EQ(calls.calls, std::vector<QString>{QStringLiteral("trash Quillon")});
    EXPECT_TRUE(watched.isNull());
}

TEST(BundleQuarantineActions, ReasonsConfirmationsAndTheSingleSheet) {
    QuarantineCalls calls;
    calls.bundleTrashReason = QStringLiteral("Trash blocked.");
    QuarantineDetailPane inspector(calls.actions());
    inspector.show();
    const PluginBundleRecord record =
        quarantinedBundle(QStringLiteral("AU"), QStringLiteral("/p/Q.component"));
    const Plugin product = quarantinedProduct({record});
    inspector.setPlugin(product, {record});
    auto* actions = child<QWidget>(&inspector, QStringLiteral("bundleQuarantineActions"));
    ASSERT_NE(actions, nullptr);
    EXPECT_EQ(child<QLabel>(actions, QStringLiteral("blockingReason"))->text(),
              QStringLiteral("Trash blocked."));
    auto* trash = child<KitButton>(actions, QStringLiteral("trashFormatButton"));
    EXPECT_EQ(trash->text(), QStringLiteral("Move AU Format to Trash\u2026"));
    EXPECT_FALSE(trash->isEnabled());
    auto* restore = child<KitButton>(actions, QStringLiteral("restoreFormatButton"));
    EXPECT_EQ(restore->text(), QStringLiteral("Restore AU Format\u2026"));
    EXPECT_TRUE(restore->isEnabled());

    restore->click();
    QMessageBox* alert = openAlert(&inspector);
    ASSERT_NO_FATAL_FAILURE(
        expectAlert(alert, QStringLiteral("Restore AU Format?"),
                    QStringLiteral("Only the selected AU bundle will return to its recorded original "
                                   "location. Existing files will never be overwritten."),
                    QStringLiteral("Restore AU")));
    press(alert, QStringLiteral("actionButton"));
    EXPECT_EQ(calls.calls, std::vector<QString>{QStringLiteral("restore Quillon/AU")});

    calls.bundleTrashReason.reset();
    calls.bundleRestoreReason = QStringLiteral("Restore blocked.");
    inspector.refresh();
    actions = child<QWidget>(&inspector, QStringLiteral("bundleQuarantineActions"));
    EXPECT_EQ(child<QLabel>(actions, QStringLiteral("blockingReason"))->text(),
              QStringLiteral("Restore blocked."));
    EXPECT_FALSE(child<QPushButton>(actions, QStringLiteral("restoreFormatButton"))->isEnabled());
    child<QPushButton>(actions, QStringLiteral("trashFormatButton"))->click();
    auto* sheet = inspector.findChild<TrashConfirmationSheet*>(QStringLiteral("bundleTrashSheet"));
    ASSERT_NE(sheet, nullptr);
    EXPECT_EQ(child<QLabel>(sheet, QStringLiteral("sheetTitle"))->text(),
              QStringLiteral("Move to macOS Trash?"));
    sheet->reject();
    testing::settle();
    EXPECT_EQ(inspector.findChild<TrashConfirmationSheet*>(QStringLiteral("bundleTrashSheet")), nullptr);
    EXPECT_EQ(calls.calls.size(), 1u);

    child<QPushButton>(child<QWidget>(&inspector, QStringLiteral("bundleQuarantineActions")),
                       QStringLiteral("trashFormatButton"))
        ->click();
    sheet = inspector.findChild<TrashConfirmationSheet*>(QStringLiteral("bundleTrashSheet"));
    ASSERT_NE(sheet, nullptr);
    sheet->acknowledgement()->setChecked(true);
    sheet->confirmButton()->click();
    testing::settle();
    EXPECT_EQ(calls.calls.back(), QStringLiteral("trash Quillon/AU"));
    EXPECT_EQ(calls.calls.size(), 2u);
    EXPECT_EQ(inspector.findChild<TrashConfirmationSheet*>(QStringLiteral("bundleTrashSheet")), nullptr);
}

} // namespace
} // namespace quorvane
