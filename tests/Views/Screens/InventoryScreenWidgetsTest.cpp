#include "TransactionScreenTest.h"
#include "Views/Kit/InfoBar.h"
#include "Views/Screens/Quarantine/QuarantineView.h"
#include "Views/Screens/ScreenTestSupport.h"
#include "Views/Screens/Shared/ScreenServices.h"
#include "Views/Screens/TrashRecovery/TrashRecoveryRow.h"
#include "Views/Screens/TrashRecovery/TrashRecoveryView.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTableView>

namespace quorvane {
namespace {

template <class T = QWidget>
T* named(const QObject* root, const QString& name) {
    return root->findChild<T*>(name);
}

QStringList infoBarTexts(const QWidget* screen) {
    QStringList texts;
    for (const InfoBar* bar : screen->findChildren<InfoBar*>())
        if (bar->isVisibleTo(screen))
            texts << bar->text();
    return texts;
}

// The row shows what its look decides: buttons, their enabled state and the reason line.
TEST(TrashRecoveryRowWidget, ShowsTheButtonsAndTheReasonOnlyWhileReady) {
    const Formatters formatters;
    const QString reason =
        QStringLiteral("Enable Plugin Management before restoring bundles from Finder Trash.");
    struct Case {
        TrashRecoveryState state;
        qsizetype transaction;
        bool buttons;
        bool transactionButton;
    };
    for (const Case& test : {Case{TrashRecoveryState::readyToRestore, 3, true, true},
                             Case{TrashRecoveryState::readyToRestore, 0, true, false},
                             Case{TrashRecoveryState::alreadyRestored, 3, false, false}}) {
        TrashRecoveryEntry entry;
        entry.state = test.state;
        entry.record.pluginName = QStringLiteral("Larkspur <b>Compressor</b>");
        bool ticked = true;
        TrashRecoveryRow row(entry, {[&] { return ticked; }, [&](bool on) { ticked = on; }}, reason,
                             test.transaction, {}, formatters);
        const auto* reveal = named<QPushButton>(&row, QStringLiteral("revealButton"));
        const auto* restore = named<QPushButton>(&row, QStringLiteral("restoreFormatButton"));
        const auto* transaction = named<QPushButton>(&row, QStringLiteral("restoreTransactionButton"));
        EXPECT_EQ(reveal != nullptr, test.buttons);
        EXPECT_EQ(restore != nullptr, test.buttons);
        EXPECT_EQ(transaction != nullptr, test.transactionButton);
        if (reveal) {
            EXPECT_TRUE(reveal->isEnabled());
        }
        if (restore) {
            EXPECT_FALSE(restore->isEnabled());
        }
        if (transaction) {
            EXPECT_FALSE(transaction->isEnabled());
            EXPECT_EQ(transaction->text(), QStringLiteral("Restore Transaction (3)\u2026"));
        }
        const auto* reasonLine = named<QLabel>(&row, QStringLiteral("rowReason"));
        EXPECT_EQ(reasonLine != nullptr, test.buttons);
        const auto* toggle = named<QCheckBox>(&row, QStringLiteral("selectToggle"));
        ASSERT_NE(toggle, nullptr);
        EXPECT_TRUE(toggle->isChecked());
        EXPECT_EQ(toggle->isEnabled(), test.state == TrashRecoveryState::readyToRestore);
        // Shown verbatim, never as rich text.
        EXPECT_EQ(named<QLabel>(&row, QStringLiteral("recordName"))->textFormat(), Qt::PlainText);
    }
}

class InventoryScreenWidgetTest : public testing::TransactionScreenTest {};

TEST_F(InventoryScreenWidgetTest, QuarantineWithoutTheHelperShowsWhyAndDisablesBothBatchButtons) {
    Plugin plugin = quarantinedUnder(synth(QStringLiteral("One")), uuidText(makeUuid()));
    open({plugin});
    startService(ServiceRegistrationStatus::notRegistered);
    std::optional<Plugin> inspected = plugin;
    QuarantineView view(*service, *store,
                        {[&] { return inspected; }, [&](std::optional<Plugin> value) { inspected = value; }});
    EXPECT_FALSE(inspected.has_value());
    EXPECT_EQ(named(&view, QStringLiteral("batchSelectionBar")), nullptr);

    auto* table = named<QTableView>(&view, QStringLiteral("pluginTableView"));
    ASSERT_NE(table, nullptr);
    table->selectRow(0);
    QApplication::processEvents();
    ASSERT_TRUE(inspected.has_value());
    EXPECT_EQ(inspected->id, plugin.id);
    EXPECT_FALSE(named<QPushButton>(&view, QStringLiteral("restoreSelectedButton"))->isEnabled());
    EXPECT_FALSE(named<QPushButton>(&view, QStringLiteral("trashSelectedButton"))->isEnabled());
    EXPECT_TRUE(named<QPushButton>(&view, QStringLiteral("clearSelectionButton"))->isEnabled());
    EXPECT_EQ(
        named<QLabel>(&view, QStringLiteral("batchReason"))->text(),
        QStringLiteral("Batch action unavailable: Enable Plugin Management before restoring system plugin "
                       "bundles."));
    EXPECT_EQ(named(&view, QStringLiteral("statusChip"))->findChild<QLabel*>(QStringLiteral("text"))->text(),
              QStringLiteral("Plugin Management required"));
    EXPECT_EQ(
        infoBarTexts(&view),
        (QStringList{QStringLiteral("Enable Plugin Management before moving quarantined bundles to Finder "
                                    "Trash."),
                     QuarantineTexts::reversibleNote}));
}

TEST_F(InventoryScreenWidgetTest, TrashRecoveryShowsItsEmptyStateOrItsRows) {
    open({});
    startService(ServiceRegistrationStatus::notRegistered);
    testing::FakeScreenServices fakes;
    TrashRecoveryView view(*service, *store, fakes.services());
    EXPECT_TRUE(named(&view, QStringLiteral("trashRecoveryEmpty"))->isVisibleTo(&view));
    EXPECT_TRUE(view.findChildren<TrashRecoveryRow*>().isEmpty());
    EXPECT_EQ(infoBarTexts(&view),
              (QStringList{
                  TrashRecoveryTexts::ownRecordsNote,
                  QStringLiteral("Enable Plugin Management before restoring bundles from Finder Trash.")}));
}

} // namespace
} // namespace quorvane
