#pragma once

#include "HelperClient/FakeHelperClient.h"
#include "Store/StoreTransactionSupport.h"
#include "Views/Screens/FormatCleanup/FormatCleanupRunController.h"
#include "Views/Screens/FormatCleanup/FormatCleanupViewModel.h"
#include "Views/Screens/Shared/ScreenServices.h"

#include <functional>
#include <memory>
#include <vector>

namespace quorvane::testing {

// A helper for the run: it records every request and, unless told to hold them, answers at once
// after doing the moves, or fails the n-th request safely.
struct FakeCleanupHelper : PrivilegedRequestSender {
    bool ready = true;
    bool hold = false;
    // 1-based number of the request answered as failed with nothing moved; 0 for none.
    int failRequest = 0;
    // 1-based number of the request answered as done before its moves show on disk; 0 for none.
    int unverifiedRequest = 0;
    std::vector<PrivilegedQuarantineRequest> quarantines;
    std::vector<PrivilegedRestoreRequest> restores;
    std::vector<std::function<void()>> held;

    bool isReadyForPrivilegedRequests() const override { return ready; }
    void send(const PrivilegedQuarantineRequest& request,
              Completion<PrivilegedQuarantineResult> done) override {
        quarantines.push_back(request);
        answer(request, std::move(done));
    }
    void send(const PrivilegedRestoreRequest& request, Completion<PrivilegedRestoreResult> done) override {
        restores.push_back(request);
        answer(request, std::move(done));
    }
    // A cleanup run sends nothing else.
    void send(const PrivilegedTrashRequest&, Completion<PrivilegedTrashResult>) override {
        ADD_FAILURE() << "a cleanup run sent a Trash move";
    }
    void send(const PrivilegedTrashRestoreRequest&, Completion<PrivilegedTrashRestoreResult>) override {
        ADD_FAILURE() << "a cleanup run sent a Trash recovery";
    }
    // Answers the oldest held request.
    void releaseOne() {
        auto next = held.front();
        held.erase(held.begin());
        next();
    }

private:
    template <class Request, class Result>
    void answer(const Request& request, Completion<Result> done) {
        const int number = int(quarantines.size() + restores.size());
        const bool fail = number == failRequest;
        const bool unverified = number == unverifiedRequest;
        auto reply = [request, done = std::move(done), fail, unverified] {
            if (fail) {
                done(failedResult<Result>(request.transactionID,
                                          QStringLiteral("The helper could not move it.")));
                return;
            }
            if (!unverified)
                moveAll(request);
            done(succeededResult<Result>(request));
        };
        if (hold)
            held.push_back(std::move(reply));
        else
            reply();
    }
};

// A store on a temporary machine, a helper service object over a fake registry and connection, the
// run controller with the fake helper, and a view-model over the three.
class FormatCleanupTest : public TransactionStoreTest {
protected:
    void TearDown() override {
        viewModel.reset();
        run.reset();
        service.reset();
        TransactionStoreTest::TearDown();
    }

    // Opens a store on `plugins` and makes the rest; `helperReady` also answers the handshake so
    // the service gives no blocking reason.
    void start(const std::vector<Plugin>& plugins, bool helperReady = true,
               const std::function<void(PersistedInventory&)>& adjust = {}) {
        open(plugins, adjust);
        registry->status =
            helperReady ? ServiceRegistrationStatus::enabled : ServiceRegistrationStatus::notRegistered;
        service =
            std::make_unique<PluginManagementService>(std::make_unique<FakeServiceRegistry>(registry),
                                                      connections.factory(), InstallLayout{tree.path()});
        if (helperReady) {
            connections.last().reply(0, {QStringLiteral("QuorvaneHelper"), QStringLiteral("40")});
            drainEvents();
        }
        run = std::make_unique<FormatCleanupRunController>(*store, fake);
        makeViewModel();
    }
    void makeViewModel() {
        viewModel =
            std::make_unique<FormatCleanupViewModel>(*store, *service, *run, std::make_shared<Formatters>());
    }

    // `count` products with one VST2 bundle each, and an AU bundle as well unless `vst2Only`.
    std::vector<Plugin> vst2Products(int count, bool vst2Only = false,
                                     const QString& prefix = QStringLiteral("P")) const {
        std::vector<Plugin> plugins;
        for (int index = 0; index < count; ++index) {
            const QString name = prefix + QStringLiteral("%1").arg(index, 4, 10, QLatin1Char('0'));
            const QString vst =
                policy.approvedSystemPluginRoots().at(1) + u'/' + name + QStringLiteral(".vst");
            if (vst2Only)
                plugins.push_back(product(name, {QStringLiteral("VST2")}, {vst}));
            else
                plugins.push_back(product(name, {QStringLiteral("AU"), QStringLiteral("VST2")},
                                          {component(name + QStringLiteral(".component")), vst}));
        }
        return plugins;
    }
    static std::vector<PluginBundleSelection> candidateSelections(const FormatCleanupPlan& plan) {
        std::vector<PluginBundleSelection> selections;
        for (const FormatCleanupCandidate& candidate : plan.candidates)
            selections.push_back(candidate.selection);
        return selections;
    }

    std::shared_ptr<FakeRegistryState> registry = std::make_shared<FakeRegistryState>();
    FakeConnections connections;
    std::unique_ptr<PluginManagementService> service;
    FakeCleanupHelper fake;
    std::unique_ptr<FormatCleanupRunController> run;
    std::unique_ptr<FormatCleanupViewModel> viewModel;
};

} // namespace quorvane::testing
