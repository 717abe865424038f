#pragma once

// A store over a temporary machine and a helper service over a fake registry and fake
// connections, for the screens' view-models: the service can be left not enabled, made ready, and
// its privileged calls answered by hand.

#include "HelperClient/FakeHelperClient.h"
#include "Shared/PrivilegedResults.h"
#include "Store/StoreTransactionSupport.h"

#include <QJsonDocument>

namespace quorvane::testing {

class TransactionScreenTest : public TransactionStoreTest {
protected:
    void TearDown() override {
        service.reset();
        TransactionStoreTest::TearDown();
    }

    // Enabled with the handshake answered: ready for privileged requests.
    void startReadyService() {
        startService(ServiceRegistrationStatus::enabled);
        connections.last().reply(0, {QStringLiteral("QuorvaneHelper"), QStringLiteral("40")});
        drainEvents();
        ASSERT_TRUE(service->isReadyForPrivilegedRequests());
    }
    void startService(ServiceRegistrationStatus status) {
        registry->status = status;
        service = std::make_unique<PluginManagementService>(std::make_unique<FakeServiceRegistry>(registry),
                                                            connections.factory(),
                                                            InstallLayout{tree.path(QStringLiteral("app"))});
    }

    // The privileged calls sent after the handshake, once the journals written so far are on disk
    // (a request leaves only then).
    std::size_t sentCount() const {
        if (store)
            store->waitForIdle();
        return connections.made.empty() ? 0 : connections.made.back()->calls.size() - 1;
    }
    QJsonObject sentRequest(std::size_t index = 0) const {
        return QJsonDocument::fromJson(connections.made.back()->calls.at(index + 1).arguments.at(0).toUtf8())
            .object();
    }
    template <class Result>
    void answer(const Result& result, std::size_t index = 0) {
        connections.last().reply(index + 1, {QString::fromUtf8(encode(result))});
        drainEvents();
        // The commit's notice comes once its state is on disk.
        store->waitForIdle();
    }

    std::shared_ptr<FakeRegistryState> registry = std::make_shared<FakeRegistryState>();
    FakeConnections connections;
    std::unique_ptr<PluginManagementService> service;
};

} // namespace quorvane::testing
