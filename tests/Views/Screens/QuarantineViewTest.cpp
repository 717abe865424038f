#include "Views/Screens/Quarantine/QuarantineView.h"
#include "Model/Identity.h"
#include "TransactionScreenTest.h"
#include "Views/Kit/PluginTable.h"
#include "Views/Kit/QuarantineDetailPane.h"

#include <QCheckBox>
#include <QMessageBox>
#include <QPushButton>
#include <QTableView>
#include <QTest>

namespace quorvane {
namespace {

namespace T = QuarantineTexts;
using testing::moveAll;
using testing::moveBundle;

class QuarantineScreenTest : public testing::TransactionScreenTest {
protected:
    // A product whose one bundle sits in quarantine on disk.
    Plugin quarantined(const QString& name) {
        Plugin plugin = quarantinedUnder(synth(name), uuidText(makeUuid()));
        const PluginBundleRecord& record = plugin.bundles->front();
        EXPECT_TRUE(moveBundle(*record.originalPath, *record.quarantinePath));
        return plugin;
    }
    void makeModel() {
        screen = std::make_unique<QuarantineViewModel>(
            *service, *store,
            Binding<std::optional<Plugin>>{
                [this] { return inspected; },
                [this](std::optional<Plugin> plugin) { inspected = std::move(plugin); }});
    }
    QString inspectedName() const { return inspected ? inspected->name : QString(); }
    PrivilegedRestoreRequest sentRestore() const {
        return privilegedRestoreRequestFromJson(sentRequest()).value_or(PrivilegedRestoreRequest{});
    }
    void makeTrashFolder() const { QDir().mkpath(trashFolder()); }

    std::optional<Plugin> inspected;
    std::unique_ptr<QuarantineViewModel> screen;
};

TEST_F(QuarantineScreenTest, CardsCountQuarantinedBundlesTwiceAndTellWhetherStorageIsUsed) {
    const auto values = [this] {
        QStringList result;
        for (const MetricSpec& card : screen->cards())
            result << card.title + u'=' + card.value;
        return result;
    };
    open({synth(QStringLiteral("Active"))});
    startService(ServiceRegistrationStatus::notRegistered);
    makeModel();
    EXPECT_EQ(values(), (QStringList{QStringLiteral("Quarantined=0"), QStringLiteral("Storage=Empty"),
                                     QStringLiteral("Restorable=0")}));

    open({quarantined(QStringLiteral("One")), quarantined(QStringLiteral("Two")),
          synth(QStringLiteral("Active"))});
    makeModel();
    EXPECT_EQ(values(), (QStringList{QStringLiteral("Quarantined=2"), QStringLiteral("Storage=Local"),
                                     QStringLiteral("Restorable=2")}));
}

TEST_F(QuarantineScreenTest, TheInspectorFollowsTheTicks) {
    const Plugin one = quarantined(QStringLiteral("One"));
    const Plugin two = quarantined(QStringLiteral("Two"));
    const Plugin three = quarantined(QStringLiteral("Three"));
    open({one, two, three});
    startService(ServiceRegistrationStatus::notRegistered);
    makeModel();
    struct Step {
        QSet<QUuid> ticked;
        QString inspected;
    };
    // Ticking a first product inspects it, more ticks keep it, unticking it moves to the first
    // still ticked in store order, and an empty set inspects nothing.
    const std::vector<Step> steps{{{two.id}, QStringLiteral("Two")},
                                  {{two.id, one.id}, QStringLiteral("Two")},
                                  {{one.id, three.id}, QStringLiteral("One")},
                                  {{three.id}, QStringLiteral("Three")},
                                  {{}, QString()}};
    for (const Step& step : steps) {
        screen->setSelectedPluginIDs(step.ticked);
        EXPECT_EQ(inspectedName(), step.inspected);
    }
}

TEST_F(QuarantineScreenTest, ReconciliationDropsTicksOutsideQuarantineAndRefreshesTheInspectedProduct) {
    const Plugin one = quarantined(QStringLiteral("One"));
    const Plugin active = synth(QStringLiteral("Active"));
    open({one, active});
    startService(ServiceRegistrationStatus::notRegistered);
    makeModel();
    screen->setSelectedPluginIDs({one.id, active.id});
    EXPECT_EQ(screen->selectedQuarantinedPlugins().size(), 1u);
    EXPECT_EQ(screen->selectedQuarantinedBundleCount(), 1);

    store->setProtection(one, true);
    screen->reconcileWithStore();
    EXPECT_EQ(screen->selectedPluginIDs(), QSet<QUuid>{one.id});
    ASSERT_TRUE(inspected.has_value());
    EXPECT_TRUE(inspected->isProtected);

    screen->setSelectedPluginIDs({active.id});
    screen->reconcileWithStore();
    EXPECT_TRUE(screen->selectedPluginIDs().isEmpty());
    EXPECT_FALSE(inspected.has_value());
}

TEST_F(QuarantineScreenTest, ReasonsComeFromTheServiceFirstAndTheLineShowsTheFirstOfTheFour) {
    const Plugin one = quarantined(QStringLiteral("One"));
    Plugin locked = one;
    locked.bundles->front().isProtected = true;
    locked.isProtected = true;
    struct Case {
        const char* name;
        bool ready;
        Plugin plugin;
        std::optional<QString> restore;
        std::optional<QString> trash;
    };
    const std::vector<Case> cases{
        {"not enabled", false, one,
         QStringLiteral("Enable Plugin Management before restoring system plugin bundles."),
         QStringLiteral("Enable Plugin Management before moving quarantined bundles to Finder Trash.")},
        {"restore planned, Trash refused by its plan", true, locked, std::nullopt,
         QStringLiteral("One \u2014 VST3: Remove format protection before moving this bundle to Trash.")},
        {"both allowed", true, one, std::nullopt, std::nullopt},
    };
    makeTrashFolder();
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        open({test.plugin});
        if (test.ready)
            startReadyService();
        else
            startService(ServiceRegistrationStatus::notRegistered);
        makeModel();
        screen->setSelectedPluginIDs({one.id});
        EXPECT_EQ(screen->batchRestoreReason(), test.restore);
        EXPECT_EQ(screen->batchTrashReason(), test.trash);
        EXPECT_EQ(screen->restoreReason(test.plugin), test.restore);
        EXPECT_EQ(screen->trashReason(test.plugin), test.trash);
        EXPECT_EQ(screen->bundleTrashReason(test.plugin, test.plugin.bundleRecords()[0]), test.trash);
        const auto first = test.restore ? test.restore : test.trash;
        EXPECT_EQ(screen->batchReasonLine(),
                  first ? std::optional(T::batchUnavailable + *first) : std::nullopt);
    }
}

TEST_F(QuarantineScreenTest, AOneFormatActionSelectsTheBundleByItsOriginalPath) {
    const Plugin one = quarantined(QStringLiteral("One"));
    const PluginBundleRecord record = one.bundleRecords().at(0);
    const auto selections = QuarantineViewModel::bundleSelections(one, record);
    ASSERT_EQ(selections.size(), 1u);
    EXPECT_EQ(selections[0].bundleID, bundleKey(record.format, *record.originalPath));
    EXPECT_NE(selections[0].bundleID, bundleKey(record.format, *record.quarantinePath));
}

TEST_F(QuarantineScreenTest, ARoadStopsBeforeTheStoreWhenNotReadyAndBeforeTheHelperWhenTheStoreRefuses) {
    const Plugin one = quarantined(QStringLiteral("One"));
    open({one});
    startService(ServiceRegistrationStatus::notRegistered);
    makeModel();
    screen->restore(QuarantineViewModel::pluginSelections(one));
    EXPECT_FALSE(store->pendingPrivilegedRestore().has_value());
    EXPECT_FALSE(store->notice().has_value());

    startReadyService();
    makeModel();
    screen->restore({{one.id, QStringLiteral("VST3|/nowhere.vst3")}});
    EXPECT_EQ(sentCount(), 0u);
    ASSERT_TRUE(store->notice().has_value());
    EXPECT_EQ(store->notice()->title, QStringLiteral("Privileged Restore Blocked"));
}

TEST_F(QuarantineScreenTest, AVerifiedRestoreClearsTheSelectionAndAFailedOneKeepsIt) {
    const Plugin one = quarantined(QStringLiteral("One"));
    const Plugin two = quarantined(QStringLiteral("Two"));
    open({one, two});
    startReadyService();
    makeModel();

    screen->setSelectedPluginIDs({one.id, two.id});
    screen->restoreBatch();
    ASSERT_EQ(sentCount(), 1u);
    EXPECT_EQ(sentRestore().items.size(), 2u);
    // While the request runs every reason says so.
    EXPECT_EQ(screen->batchReasonLine(),
              T::batchUnavailable +
                  QStringLiteral("A privileged plugin transaction is already in progress."));
    answer(testing::failedResult<PrivilegedRestoreResult>(sentRestore().transactionID,
                                                          QStringLiteral("Nothing moved.")));
    EXPECT_EQ(store->notice()->title, QStringLiteral("Restore Failed Safely"));
    EXPECT_EQ(screen->selectedPluginIDs(), (QSet<QUuid>{one.id, two.id}));
    EXPECT_EQ(inspectedName(), QStringLiteral("One"));

    screen->restoreBatch();
    ASSERT_EQ(sentCount(), 2u);
    const auto request = privilegedRestoreRequestFromJson(sentRequest(1)).value();
    moveAll(request);
    answer(testing::succeededResult<PrivilegedRestoreResult>(request), 1);
    EXPECT_EQ(store->notice()->title, QStringLiteral("Plugins Restored"));
    EXPECT_TRUE(screen->selectedPluginIDs().isEmpty());
    EXPECT_FALSE(inspected.has_value());
    EXPECT_TRUE(store->quarantinedPlugins().empty());
}

TEST_F(QuarantineScreenTest, AReplyAfterTheScreenIsGoneStillReachesTheStore) {
    const Plugin one = quarantined(QStringLiteral("One"));
    makeTrashFolder();
    open({one});
    startReadyService();
    makeModel();
    screen->setSelectedPluginIDs({one.id});
    screen->moveBatchToTrash();
    ASSERT_EQ(sentCount(), 1u);
    const auto request = privilegedTrashRequestFromJson(sentRequest()).value();
    screen.reset();
    moveAll(request);
    answer(testing::succeededResult<PrivilegedTrashResult>(request));
    EXPECT_EQ(store->notice()->title, QStringLiteral("Plugins Moved to Finder Trash"));
    EXPECT_FALSE(store->pendingPrivilegedTrash().has_value());
    EXPECT_EQ(store->trashedBundles().size(), 1u);
}

TEST_F(QuarantineScreenTest, TheBatchAlertCountsTheTickedProductsStillInQuarantine) {
    const Plugin one = quarantined(QStringLiteral("One"));
    open({one, synth(QStringLiteral("Active"))});
    startService(ServiceRegistrationStatus::notRegistered);
    makeModel();
    screen->setSelectedPluginIDs({one.id, store->plugins()[1].id});
    EXPECT_EQ(screen->batchRestoreMessage(),
              QStringLiteral("Quorvane will restore 1 selected plugins (1 format bundles) to their recorded "
                             "original locations. Existing files will never be overwritten."));
}

// Each confirmation acts on what it named when it opened, re-planned: the inspector's for the
// product inspected then, the batch alert and sheet for the ticked products then. One restored
// meanwhile (and so unticked) refuses the whole action rather than moving the rest alone.
TEST_F(QuarantineScreenTest, AConfirmationActsOnWhatItNamedWhenItOpened) {
    using Step = std::function<void(QuarantineView&)>;
    const auto pane = [](QuarantineView& view) { return view.findChild<QuarantineDetailPane*>(); };
    const auto click = [](QWidget* parent, const QString& name) {
        auto* button = parent->findChild<QAbstractButton*>(name);
        ASSERT_NE(button, nullptr) << name.toStdString();
        button->click();
    };
    const Step confirmAlert = [&](QuarantineView& view) {
        auto* alert = view.findChild<QMessageBox*>(QStringLiteral("confirmationAlert"));
        ASSERT_NE(alert, nullptr);
        click(alert, QStringLiteral("actionButton"));
    };
    const auto confirmSheet = [](TrashSheetFrame* sheet) {
        ASSERT_NE(sheet, nullptr);
        sheet->acknowledgement()->setChecked(true);
        sheet->confirmButton()->click();
    };
    struct Case {
        QString name;
        Step present;
        Step confirm;
    };
    const std::vector<Case> cases{
        {QStringLiteral("Restore"), [&](QuarantineView& view) { click(pane(view), "restorePluginButton"); },
         confirmAlert},
        {QStringLiteral("Trash"), [&](QuarantineView& view) { click(pane(view), "trashPluginButton"); },
         [&](QuarantineView& view) { confirmSheet(pane(view)->trashSheet()); }},
        {QStringLiteral("BatchRestore"), [](QuarantineView& view) { view.presentBatchRestore(); },
         confirmAlert},
        {QStringLiteral("BatchTrash"), [](QuarantineView& view) { view.presentBatchTrash(); },
         [&](QuarantineView& view) { confirmSheet(view.batchTrashSheet()); }},
    };
    makeTrashFolder();
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name.toStdString());
        const Plugin named = quarantined(test.name + QStringLiteral("Named"));
        const Plugin other = quarantined(test.name + QStringLiteral("Other"));
        open({named, other});
        startReadyService();
        QuarantineView view(*service, *store,
                            {[this] { return inspected; },
                             [this](std::optional<Plugin> plugin) { inspected = std::move(plugin); }});
        view.model().setSelectedPluginIDs({named.id, other.id});
        view.refresh();
        ASSERT_EQ(inspected->id, named.id);
        test.present(view);

        // Another road restores the named product while the confirmation is open: it leaves the
        // ticks, and the inspector moves on to the other ticked one.
        const auto request =
            store->beginPrivileged<PrivilegedKind::restore>(QuarantineViewModel::pluginSelections(named));
        ASSERT_TRUE(request.has_value());
        moveAll(*request);
        ASSERT_TRUE(store->completePrivileged(testing::succeededResult<PrivilegedRestoreResult>(*request),
                                              request->transactionID, request->items));
        store->waitForIdle();
        ASSERT_EQ(inspected->id, other.id);
        ASSERT_EQ(view.model().selectedPluginIDs(), QSet<QUuid>{other.id});

        // Confirming acts on what was named, which has the restored product in it.
        test.confirm(view);
        EXPECT_EQ(sentCount(), 0u);
        ASSERT_TRUE(store->notice().has_value());
        EXPECT_TRUE(store->notice()->title.endsWith(QStringLiteral("Blocked")))
            << store->notice()->title.toStdString();
        EXPECT_EQ(store->quarantinedPlugins().size(), 1u);
    }
}

TEST_F(QuarantineScreenTest, ShiftDownExtendsTheTickedRange) {
    std::vector<Plugin> plugins;
    for (const QString& name :
         {QStringLiteral("One"), QStringLiteral("Two"), QStringLiteral("Three"), QStringLiteral("Four")})
        plugins.push_back(quarantined(name));
    open(plugins);
    startService(ServiceRegistrationStatus::notRegistered);
    QuarantineView view(*service, *store,
                        {[this] { return inspected; },
                         [this](std::optional<Plugin> plugin) { inspected = std::move(plugin); }});
    view.resize(1200, 800);
    view.show();
    QTableView* table = view.findChild<MultiSelectPluginTable*>()->view();
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {},
                      table->visualRect(table->model()->index(0, 0)).center());
    ASSERT_EQ(view.model().selectedPluginIDs().size(), 1);
    for (qsizetype ticked = 2; ticked <= 4; ++ticked) {
        QTest::keyClick(table, Qt::Key_Down, Qt::ShiftModifier);
        EXPECT_EQ(view.model().selectedPluginIDs().size(), ticked);
    }
    EXPECT_EQ(table->currentIndex().row(), 3);
    EXPECT_EQ(inspectedName(), QStringLiteral("One"));
}

} // namespace
} // namespace quorvane
