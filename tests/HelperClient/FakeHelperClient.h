#pragma once

#include "HelperClient/HelperConnection.h"
#include "HelperClient/PluginManagementService.h"
#include "Platform/ServiceRegistry.h"
#include "Support/Fixtures/TemporaryTree.h"

#include <QCoreApplication>
#include <QEventLoop>

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <vector>

namespace quorvane::testing {

// Runs the queued calls that connection threads would have posted.
inline void drainEvents() {
    for (int round = 0; round < 3; ++round) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
}

// What a fake connection saw, kept by the test after the service has let the connection go, so that
// late answers of an old connection can be delivered on purpose.
struct FakeConnectionState {
    struct Call {
        QString method;
        QStringList arguments;
        HelperConnection::ReplyHandler handler;
        bool answered = false;
    };

    HelperEndpoint endpoint;
    bool resumed = false;
    bool invalidated = false;
    bool destroyed = false;
    // Makes call() refuse, as a connection that can carry no call does.
    bool refuseCalls = false;
    HelperConnection::EventHandler interruption;
    HelperConnection::EventHandler invalidation;
    std::vector<Call> calls;

    void reply(std::size_t index, const QStringList& arguments) { answer(index, arguments); }
    void fail(std::size_t index, HelperConnectionError error) { answer(index, std::unexpected(error)); }
    void answer(std::size_t index, const HelperConnection::Reply& reply) {
        Call& call = calls.at(index);
        call.answered = true;
        call.handler(reply);
    }
    void interrupt() {
        if (interruption)
            interruption();
    }
    std::size_t openCalls() const {
        std::size_t open = 0;
        for (const Call& call : calls)
            open += call.answered ? 0 : 1;
        return open;
    }
};

class FakeHelperConnection final : public HelperConnection {
public:
    explicit FakeHelperConnection(std::shared_ptr<FakeConnectionState> state) : m_state(std::move(state)) {}
    ~FakeHelperConnection() override { m_state->destroyed = true; }

    void setInterruptionHandler(EventHandler handler) override { m_state->interruption = std::move(handler); }
    void setInvalidationHandler(EventHandler handler) override { m_state->invalidation = std::move(handler); }
    void resume() override { m_state->resumed = true; }
    bool call(const QString& method, const QStringList& arguments, ReplyHandler handler) override {
        if (m_state->invalidated || m_state->refuseCalls)
            return false;
        m_state->calls.push_back({method, arguments, std::move(handler)});
        return true;
    }
    void invalidate() override {
        if (m_state->invalidated)
            return;
        m_state->invalidated = true;
        for (std::size_t index = 0; index < m_state->calls.size(); ++index)
            if (!m_state->calls[index].answered)
                m_state->fail(index, HelperConnectionError::invalidated);
        if (m_state->invalidation)
            m_state->invalidation();
    }

private:
    std::shared_ptr<FakeConnectionState> m_state;
};

// Hands out fake connections and remembers each one's state.
struct FakeConnections {
    std::vector<std::shared_ptr<FakeConnectionState>> made;
    bool refuseCalls = false;

    HelperConnectionFactory factory() {
        return [this](const HelperEndpoint& endpoint) -> std::unique_ptr<HelperConnection> {
            auto state = std::make_shared<FakeConnectionState>();
            state->endpoint = endpoint;
            state->refuseCalls = refuseCalls;
            made.push_back(state);
            return std::make_unique<FakeHelperConnection>(state);
        };
    }
    FakeConnectionState& last() { return *made.back(); }
};

struct FakeRegistryState {
    ServiceRegistrationStatus status = ServiceRegistrationStatus::notRegistered;
    // What a successful registration leaves.
    ServiceRegistrationStatus statusAfterRegister = ServiceRegistrationStatus::enabled;
    std::optional<ServiceRegistryError> registerFailure;
    std::optional<ServiceRegistryError> unregisterFailure;
    // Holds completions until finishPending() when false.
    bool answerAtOnce = true;
    int statusReads = 0;
    std::vector<QString> changes;
    std::vector<std::pair<QString, ServiceRegistry::Completion>> pending;
    HelperEndpoint endpoint{QStringLiteral("/run/quorvane/test.sock"), 0};

    void finishPending() {
        auto waiting = std::exchange(pending, {});
        for (auto& [kind, done] : waiting)
            complete(kind, done);
    }
    void complete(const QString& kind, const ServiceRegistry::Completion& done) {
        if (kind == QLatin1String("register")) {
            if (registerFailure) {
                done(std::unexpected(*registerFailure));
                return;
            }
            status = statusAfterRegister;
        } else {
            if (unregisterFailure) {
                done(std::unexpected(*unregisterFailure));
                return;
            }
            status = ServiceRegistrationStatus::notRegistered;
        }
        done({});
    }
};

class FakeServiceRegistry final : public ServiceRegistry {
public:
    explicit FakeServiceRegistry(std::shared_ptr<FakeRegistryState> state) : m_state(std::move(state)) {}

    ServiceRegistrationStatus status() override {
        ++m_state->statusReads;
        return m_state->status;
    }
    void registerService(Completion done) override { change(QStringLiteral("register"), std::move(done)); }
    void unregisterService(Completion done) override {
        change(QStringLiteral("unregister"), std::move(done));
    }
    HelperEndpoint endpoint() const override { return m_state->endpoint; }

private:
    void change(const QString& kind, Completion done) {
        m_state->changes.push_back(kind);
        if (m_state->answerAtOnce)
            m_state->complete(kind, done);
        else
            m_state->pending.emplace_back(kind, std::move(done));
    }

    std::shared_ptr<FakeRegistryState> m_state;
};

// A service over a fake registry and fake connections, installed beneath a temporary folder.
class FakeServiceTest : public ::testing::Test {
protected:
    void start(ServiceRegistrationStatus status) {
        registry->status = status;
        service =
            std::make_unique<PluginManagementService>(std::make_unique<FakeServiceRegistry>(registry),
                                                      connections.factory(), InstallLayout{tree.path()});
    }
    // Answers the newest connection's handshake as the helper of the expected build.
    void answerHandshake() {
        connections.last().reply(0, {QStringLiteral("QuorvaneHelper"), QStringLiteral("40")});
        drainEvents();
    }

    TemporaryTree tree;
    std::shared_ptr<FakeRegistryState> registry = std::make_shared<FakeRegistryState>();
    FakeConnections connections;
    std::unique_ptr<PluginManagementService> service;
};

} // namespace quorvane::testing
