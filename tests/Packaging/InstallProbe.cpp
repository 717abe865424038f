// Run from an installed bin folder, beside the application, it prints the readiness checks the
// application computes there, one "<id> passed|failed" line each, and whether the approval page
// that "Open System Settings" opens is there. Only what the installation provides matters here,
// so the helper's service reports itself not registered and never answers.
#include "HelperClient/PluginManagementService.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTextStream>

namespace {

class UnregisteredService final : public quorvane::ServiceRegistry {
public:
    quorvane::ServiceRegistrationStatus status() override {
        return quorvane::ServiceRegistrationStatus::notRegistered;
    }
    void registerService(Completion done) override {
        done(std::unexpected(quorvane::ServiceRegistryError::commandFailed));
    }
    void unregisterService(Completion done) override { done({}); }
    quorvane::HelperEndpoint endpoint() const override { return {}; }
};

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    const quorvane::PluginManagementService service(
        std::make_unique<UnregisteredService>(),
        [](const quorvane::HelperEndpoint&) { return std::unique_ptr<quorvane::HelperConnection>(); });
    QTextStream out(stdout);
    for (const quorvane::DirectDistributionReadinessCheck& check : service.releaseReadinessChecks())
        out << check.id << (check.passed ? " passed" : " failed") << '\n';
    out << "approval-page"
        << (QFileInfo(service.installLayout().approvalHelpPage()).isFile() ? " passed" : " failed") << '\n';
    return 0;
}
