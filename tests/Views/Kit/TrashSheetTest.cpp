#include "KitTestSupport.h"

#include "Views/Kit/ConfirmAlert.h"
#include "Views/Kit/Palette.h"
#include "Views/Kit/PathBox.h"
#include "Views/Kit/TrashConfirmationSheet.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QMessageBox>
#include <QPointer>
#include <QTest>

#include <gtest/gtest.h>

namespace quorvane {
namespace {

using testing::bundle;
using testing::child;
using testing::plugin;

struct SheetCalls {
    int cancels = 0;
    int confirms = 0;
};

TEST(TrashConfirmationSheet, TextsAndPathFallbacks) {
    SheetCalls calls;
    PluginBundleRecord record = bundle(QStringLiteral("VST3"), QStringLiteral("/p/Q.vst3"));
    TrashConfirmationSheet unnamed(
        std::nullopt, record, [&] { ++calls.cancels; }, [&] { ++calls.confirms; }, nullptr,
        [](const QString&) { return QPixmap(); });
    EXPECT_EQ(child<QLabel>(&unnamed, QStringLiteral("sheetTitle"))->text(),
              QStringLiteral("Move to macOS Trash?"));
    EXPECT_EQ(child<QLabel>(&unnamed, QStringLiteral("sheetSubtitle"))->text(),
              QStringLiteral("Plugin \u2014 VST3"));
    EXPECT_EQ(child<PathBox>(&unnamed, QStringLiteral("currentQuarantineLocation"))->path(),
              QStringLiteral("Unavailable"));
    EXPECT_EQ(child<PathBox>(&unnamed, QStringLiteral("recordedOriginalLocation"))->path(),
              QStringLiteral("/p/Q.vst3"));
    EXPECT_EQ(
        unnamed.acknowledgement()->text(),
        QStringLiteral("I understand restoration depends on this exact bundle remaining in Finder Trash."));
    EXPECT_EQ(unnamed.confirmButton()->text(), QStringLiteral("Move to Trash"));
    EXPECT_EQ(unnamed.cancelButton()->text(), QStringLiteral("Cancel"));
    // Without a shipped mark the title starts at the margin instead of beside an empty square.
    EXPECT_EQ(child<QLabel>(&unnamed, QStringLiteral("appMark")), nullptr);
    unnamed.show();
    EXPECT_EQ(child<QLabel>(&unnamed, QStringLiteral("sheetTitle"))->x(), 24);
    TrashConfirmationSheet marked(std::nullopt, record, {}, {}, nullptr, [](const QString&) {
        QPixmap mark(64, 64);
        mark.fill(Qt::white);
        return mark;
    });
    EXPECT_EQ(child<QLabel>(&marked, QStringLiteral("appMark"))->size(), QSize(52, 52));

    record.originalPath = QStringLiteral("/o/Q.vst3");
    record.quarantinePath = QStringLiteral("/q/Q.vst3");
    TrashConfirmationSheet named(plugin(QStringLiteral("Quillon")), record, {}, {});
    EXPECT_EQ(child<QLabel>(&named, QStringLiteral("sheetSubtitle"))->text(),
              QStringLiteral("Quillon \u2014 VST3"));
    EXPECT_EQ(child<PathBox>(&named, QStringLiteral("currentQuarantineLocation"))->path(),
              QStringLiteral("/q/Q.vst3"));
    EXPECT_EQ(child<PathBox>(&named, QStringLiteral("recordedOriginalLocation"))->path(),
              QStringLiteral("/o/Q.vst3"));
}

TEST(BatchTrashConfirmationSheet, PluralWordsEvenForOne) {
    BatchTrashConfirmationSheet sheet(1, 1, {}, {});
    EXPECT_EQ(child<QLabel>(&sheet, QStringLiteral("sheetTitle"))->text(),
              QStringLiteral("Move Selected Plugins to macOS Trash?"));
    EXPECT_EQ(child<QLabel>(&sheet, QStringLiteral("sheetSubtitle"))->text(),
              QStringLiteral("1 plugins \u2014 1 format bundles"));
    EXPECT_EQ(sheet.confirmButton()->text(), QStringLiteral("Move 1 Bundles to Trash"));
    EXPECT_EQ(
        sheet.acknowledgement()->text(),
        QStringLiteral("I understand restoration depends on these exact bundles remaining in Finder Trash."));
    EXPECT_EQ(sheet.findChildren<PathBox*>().size(), 0);
    BatchTrashConfirmationSheet many(3, 12, {}, {});
    EXPECT_EQ(many.confirmButton()->text(), QStringLiteral("Move 12 Bundles to Trash"));
}

TEST(TrashSheets, ToggleGatesTheDestructiveButtonAndReturn) {
    SheetCalls calls;
    BatchTrashConfirmationSheet sheet(
        2, 4, [&] { ++calls.cancels; }, [&] { ++calls.confirms; });
    sheet.show();
    QApplication::processEvents();
    EXPECT_FALSE(sheet.isAcknowledged());
    EXPECT_FALSE(sheet.confirmButton()->isEnabled());
    EXPECT_TRUE(sheet.confirmButton()->isDefault());
    QTest::keyClick(&sheet, Qt::Key_Return);
    EXPECT_EQ(calls.confirms, 0);

    sheet.acknowledgement()->setChecked(true);
    EXPECT_TRUE(sheet.confirmButton()->isEnabled());
    sheet.cancelButton()->setFocus();
    QTest::keyClick(&sheet, Qt::Key_Return);
    EXPECT_EQ(calls.confirms, 1);
    sheet.confirmButton()->click();
    EXPECT_EQ(calls.confirms, 2);
    EXPECT_EQ(calls.cancels, 0);
    EXPECT_TRUE(sheet.isVisible());

    sheet.acknowledgement()->setChecked(false);
    EXPECT_FALSE(sheet.confirmButton()->isEnabled());
    QTest::keyClick(&sheet, Qt::Key_Return);
    EXPECT_EQ(calls.confirms, 2);
}

TEST(TrashSheets, CancelEscapeAndCloseOnlyCallOnCancelAndNeverCloseTheSheet) {
    SheetCalls calls;
    TrashConfirmationSheet sheet(
        std::nullopt, bundle(QStringLiteral("AU"), QStringLiteral("/p/A.component")),
        [&] { ++calls.cancels; }, [&] { ++calls.confirms; });
    sheet.show();
    QApplication::processEvents();
    sheet.cancelButton()->click();
    QTest::keyClick(&sheet, Qt::Key_Escape);
    sheet.close();
    EXPECT_EQ(calls.cancels, 3);
    EXPECT_EQ(calls.confirms, 0);
    EXPECT_TRUE(sheet.isVisible());
    sheet.dismiss();
    EXPECT_FALSE(sheet.isVisible());
}

TEST(TrashSheets, WidthStaysFixedWhateverThePaths) {
    PluginBundleRecord record = bundle(QStringLiteral("AU"), QString(400, u'x'));
    record.quarantinePath = QStringLiteral("/") + QString(600, u'q');
    TrashConfirmationSheet sheet(plugin(QString(300, u'N')), record, {}, {});
    sheet.show();
    QApplication::processEvents();
    sheet.adjustSize();
    EXPECT_EQ(sheet.width(), 620);
    EXPECT_EQ(sheet.minimumWidth(), 620);
    EXPECT_EQ(sheet.maximumWidth(), 620);
}

// The sheet's buttons stand where the desktop puts a dialog's buttons, as in every alert, whichever
// order that desktop uses.
TEST(TrashConfirmationSheet, ButtonsStandInTheAlertsOrder) {
    const PluginBundleRecord record = bundle(QStringLiteral("VST3"), QStringLiteral("/p/Q.vst3"));
    const QString previousSheet = qApp->styleSheet();
    for (const QDialogButtonBox::ButtonLayout layout :
         {QDialogButtonBox::WinLayout, QDialogButtonBox::GnomeLayout}) {
        SCOPED_TRACE(int(layout));
        qApp->setStyleSheet(QStringLiteral("QDialogButtonBox { button-layout: %1; }").arg(int(layout)));
        TrashConfirmationSheet sheet(
            std::nullopt, record, [] {}, [] {}, nullptr, [](const QString&) { return QPixmap(); });
        sheet.show();
        QPointer<QMessageBox> alert = presentConfirmation(nullptr, QStringLiteral("Restore All Formats"),
                                                          QString(), QStringLiteral("Restore All"), {});
        ASSERT_TRUE(alert);
        QApplication::processEvents();
        auto* cancel = alert->findChild<QPushButton*>(QStringLiteral("cancelButton"));
        auto* action = alert->findChild<QPushButton*>(QStringLiteral("actionButton"));
        ASSERT_TRUE(cancel && action);
        const bool alertCancelFirst = cancel->mapTo(alert, QPoint()).x() < action->mapTo(alert, QPoint()).x();
        const bool sheetCancelFirst = sheet.cancelButton()->mapTo(&sheet, QPoint()).x() <
                                      sheet.confirmButton()->mapTo(&sheet, QPoint()).x();
        EXPECT_EQ(sheetCancelFirst, alertCancelFirst);
        EXPECT_EQ(sheetCancelFirst, layout == QDialogButtonBox::GnomeLayout);
        alert->close();
        delete alert.data();
    }
    qApp->setStyleSheet(previousSheet);
}

} // namespace
} // namespace quorvane
