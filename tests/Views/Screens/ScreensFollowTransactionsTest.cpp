// A screen that did not start a privileged transaction follows it to its end: once the helper has
// answered and the store has settled the journal, the screen offers its actions again.

#include "InventoryTestSupport.h"
#include "Model/Identity.h"
#include "Shared/FrameCodec.h"
#include "TransactionScreenTest.h"
#include "Views/Screens/FormatCleanup/FormatCleanupRunController.h"
#include "Views/Screens/FormatCleanup/FormatCleanupViewModel.h"
#include "Views/Screens/Inventory/InventoryView.h"
#include "Views/Screens/Quarantine/QuarantineView.h"
#include "Views/Screens/ScreenTestSupport.h"
#include "Views/Screens/Shared/PrivilegedActionRoad.h"
#include "Views/Screens/TrashRecovery/TrashRecoveryView.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>

namespace quorvane {
namespace {

using testing::makeBundle;
using testing::moveAll;
using testing::moveBundle;
using testing::RunnableStore;
using testing::succeededResult;

enum class Observer { inventory, quarantine, trashRecovery };

class ScreensFollowTransactions : public testing::TransactionScreenTest {
public:
    void TearDown() override {
        observer.reset();
        folderAccess.reset();
        started.reset();
        run.reset();
        TransactionScreenTest::TearDown();
    }

    // One product in quarantine ("Held"), one record in the Trash ("Binned"), one product with a
    // VST2 bundle to clean up ("Old") and a reinstalled copy of a retired product ("Again").
    void openMachine() {
        held = quarantinedUnder(synth(QStringLiteral("Held")), uuidText(makeUuid()));
        moveBundle(held.bundles->front().path, *held.bundles->front().quarantinePath);
        const Plugin old = product(QStringLiteral("Old"), {QStringLiteral("AU"), QStringLiteral("VST2")},
                                   {component(QStringLiteral("Old.component")),
                                    policy.approvedSystemPluginRoots().at(1) + QStringLiteral("/Old.vst")});
        retired = quarantinedUnder(product(QStringLiteral("Again"), {QStringLiteral("VST3")},
                                           {vst3(QStringLiteral("Old/Again.vst3"))}),
                                   uuidText(makeUuid()));
        moveBundle(retired.bundles->front().path, *retired.bundles->front().quarantinePath);
        reinstalled =
            product(QStringLiteral("Again"), {QStringLiteral("VST3")}, {vst3(QStringLiteral("Again.vst3"))});

        const TrashedBundleRecord binned = testing::trashedVst3Record(
            QStringLiteral("Binned"), QStringLiteral("Orsolind"), vst3(QStringLiteral("Binned.vst3")),
            trashFolder() + QStringLiteral("/Binned.vst3"));
        makeBundle(binned.trashPath);
        binnedID = binned.id;

        PersistedInventory state = testing::stateWith({held, old, retired, reinstalled});
        state.trashedBundles = std::vector<TrashedBundleRecord>{binned};
        ASSERT_TRUE(writeStateFile(state, statePath()).has_value());
        auto runnable = std::make_unique<RunnableStore>(environment());
        runnableStore = runnable.get();
        store = std::move(runnable);
        startReadyService();
        run = std::make_unique<FormatCleanupRunController>(*store, *service);
    }

    void showObserver(Observer kind) {
        if (kind == Observer::inventory) {
            folderAccess = std::make_unique<PluginFolderAccess>(PluginFolderAccess::Services{
                std::make_shared<QSettings>(tree.path(QStringLiteral("settings.ini")), QSettings::IniFormat),
                std::make_shared<testing::NoFolderPicker>(),
                std::make_shared<PlatformFolderSecurityScope>()});
            auto view = std::make_unique<InventoryView>(
                *folderAccess, *service, *store,
                Binding<std::optional<Plugin>>{[this] { return inspected; },
                                               [this](std::optional<Plugin> value) { inspected = value; }},
                Binding<QString>{[] { return QString(); }, [](QString) {}}, fakes.services());
            view->model().setSelectedPluginIDs({reinstalled.id});
            observer = std::move(view);
        } else if (kind == Observer::quarantine) {
            auto view = std::make_unique<QuarantineView>(
                *service, *store,
                Binding<std::optional<Plugin>>{[this] { return inspected; },
                                               [this](std::optional<Plugin> value) { inspected = value; }});
            view->model().setSelectedPluginIDs({held.id});
            view->refresh();
            observer = std::move(view);
        } else {
            observer = std::make_unique<TrashRecoveryView>(*service, *store, fakes.services());
        }
        observerKind = kind;
        QApplication::processEvents();
    }
    // The button the observer offers for its own records: moving what it lists into quarantine, or
    // restoring it.
    QPushButton* observerAction() const {
        switch (observerKind) {
        case Observer::inventory:
            return observer->findChild<QPushButton*>(QStringLiteral("quarantineSelectedButton"));
        case Observer::quarantine:
            return observer->findChild<QPushButton*>(QStringLiteral("restoreSelectedButton"));
        case Observer::trashRecovery:
            break;
        }
        return observer->findChild<QPushButton*>(QStringLiteral("restoreFormatButton"));
    }
    bool observerShowsText(const QString& part) const {
        for (const QLabel* label : observer->findChildren<QLabel*>())
            if (label->isVisibleTo(observer.get()) && label->text().contains(part))
                return true;
        return false;
    }

    void startCleanupChunk();
    void startPermanentRun();
    void startRestoreFromQuarantine();
    void startTrashMoveFromQuarantine();
    void startTrashRecovery();

    // Does the moves of every request sent so far and answers it as the helper would, in order;
    // a request sent from an answer is answered too.
    void answerEverySent() {
        for (std::size_t index = 0; index < sentCount(); ++index) {
            const QString method = connections.made.back()->calls.at(index + 1).method;
            const QJsonObject request = sentRequest(index);
            if (method == QLatin1String(FrameMethod::quarantine))
                answerWith<PrivilegedQuarantineResult>(privilegedQuarantineRequestFromJson(request), index);
            else if (method == QLatin1String(FrameMethod::restore))
                answerWith<PrivilegedRestoreResult>(privilegedRestoreRequestFromJson(request), index);
            else if (method == QLatin1String(FrameMethod::moveToTrash))
                answerWith<PrivilegedTrashResult>(privilegedTrashRequestFromJson(request), index);
            else
                answerWith<PrivilegedTrashRestoreResult>(privilegedTrashRestoreRequestFromJson(request),
                                                         index);
        }
    }
    template <class Result, class Decoded>
    void answerWith(const Decoded& request, std::size_t index) {
        ASSERT_TRUE(request.has_value());
        moveAll(*request);
        answer(succeededResult<Result>(*request), index);
    }

    Plugin held;
    Plugin retired;
    Plugin reinstalled;
    QUuid binnedID;
    RunnableStore* runnableStore = nullptr;
    std::unique_ptr<FormatCleanupRunController> run;
    std::unique_ptr<QuarantineViewModel> started;
    std::optional<Plugin> inspected;
    testing::FakeScreenServices fakes;
    std::unique_ptr<PluginFolderAccess> folderAccess;
    std::unique_ptr<QWidget> observer;
    Observer observerKind = Observer::quarantine;
};

// Each starts a transaction from somewhere other than the observing screen and sends its first
// request.
void ScreensFollowTransactions::startCleanupChunk() {
    FormatCleanupViewModel cleanup(*store, *service, *run, std::make_shared<Formatters>());
    cleanup.setPreset(FormatCleanupPresetKind::retireVST2);
    cleanup.buildCleanupPreview();
    ASSERT_TRUE(cleanup.plan().has_value());
    std::vector<PluginBundleSelection> selections;
    for (const FormatCleanupCandidate& candidate : cleanup.plan()->candidates)
        selections.push_back(candidate.selection);
    run->start(*cleanup.plan(), selections);
}

void ScreensFollowTransactions::startPermanentRun() {
    const PermanentQuarantineMatch match{selection(reinstalled), selection(retired), reinstalled.name,
                                         reinstalled.manufacturer, QStringLiteral("VST3")};
    runnableStore->startPermanentQuarantineRun({match}, {}, service.get());
}

void ScreensFollowTransactions::startRestoreFromQuarantine() {
    auto quarantine = std::make_unique<QuarantineViewModel>(
        *service, *store,
        Binding<std::optional<Plugin>>{[] { return std::optional<Plugin>(); }, [](std::optional<Plugin>) {}});
    quarantine->restore(QuarantineViewModel::pluginSelections(held));
    started = std::move(quarantine);
}

void ScreensFollowTransactions::startTrashMoveFromQuarantine() {
    auto quarantine = std::make_unique<QuarantineViewModel>(
        *service, *store,
        Binding<std::optional<Plugin>>{[] { return std::optional<Plugin>(); }, [](std::optional<Plugin>) {}});
    quarantine->moveToTrash(QuarantineViewModel::pluginSelections(held));
    started = std::move(quarantine);
}

void ScreensFollowTransactions::startTrashRecovery() {
    runPrivilegedAction(trashRecoveryRoad(*store, *service, {binnedID}), nullptr, {});
}

struct Road {
    const char* name;
    Observer observer;
    void (ScreensFollowTransactions::*start)();
    // The section changes while the request is at the helper: the observer is made only then.
    bool switchSections;
};

void PrintTo(const Road& road, std::ostream* out) {
    *out << road.name;
}

class EveryRoad : public ScreensFollowTransactions, public ::testing::WithParamInterface<Road> {};

TEST_P(EveryRoad, TheScreenThatDidNotStartItOffersItsActionsOnceItIsSettled) {
    const Road& road = GetParam();
    openMachine();
    if (!road.switchSections)
        showObserver(road.observer);
    (this->*road.start)();
    ASSERT_GE(sentCount(), 1u);
    if (road.switchSections) {
        started.reset();
        showObserver(road.observer);
    }
    ASSERT_NE(observerAction(), nullptr);
    EXPECT_FALSE(observerAction()->isEnabled());

    answerEverySent();
    QApplication::processEvents();
    ASSERT_FALSE(store->hasPendingPrivilegedTransaction());
    ASSERT_FALSE(service->isWorking());
    EXPECT_FALSE(observerShowsText(QStringLiteral("still needs reconciliation")));
    ASSERT_NE(observerAction(), nullptr);
    EXPECT_TRUE(observerAction()->isEnabled());
}

INSTANTIATE_TEST_SUITE_P(
    ScreensFollowTransactions, EveryRoad,
    ::testing::Values(
        Road{"cleanupChunk", Observer::quarantine, &ScreensFollowTransactions::startCleanupChunk, false},
        Road{"permanentRun", Observer::trashRecovery, &ScreensFollowTransactions::startPermanentRun, false},
        Road{"restoreAfterSwitch", Observer::trashRecovery,
             &ScreensFollowTransactions::startRestoreFromQuarantine, true},
        Road{"trashMoveAfterSwitch", Observer::trashRecovery,
             &ScreensFollowTransactions::startTrashMoveFromQuarantine, true},
        Road{"trashRecoveryWatchedFromQuarantine", Observer::quarantine,
             &ScreensFollowTransactions::startTrashRecovery, false},
        Road{"trashRecoveryWatchedFromInventory", Observer::inventory,
             &ScreensFollowTransactions::startTrashRecovery, false}),
    [](const ::testing::TestParamInfo<Road>& road) { return std::string(road.param.name); });

} // namespace
} // namespace quorvane
