#include "Platform/SystemdServiceRegistry.h"
#include "Support/Fixtures/TemporaryTree.h"

#include <QFile>
#include <QTest>

#include <gtest/gtest.h>

namespace quorvane::testing {
namespace {

// Fake `systemctl` and `pkexec` on a PATH of their own. systemctl answers each question from files
// beside it (<question>.out, .err, .code) and logs its arguments; pkexec logs, then exits with
// pkexec.code when that exists, or runs its arguments.
class FakeSystemTools {
public:
    FakeSystemTools() : m_savedPath(qgetenv("PATH")) {
        qputenv("PATH", tree.path().toUtf8());
        write(QStringLiteral("systemctl"), R"(#!/bin/sh
dir="${0%/*}"
echo "systemctl $*" >> "$dir/calls.log"
case "$1" in
  is-enabled|is-active) key="$1-$2" ;;
  *) key="change" ;;
esac
[ -f "$dir/$key.out" ] && /bin/cat "$dir/$key.out"
[ -f "$dir/$key.err" ] && /bin/cat "$dir/$key.err" >&2
code=0
[ -f "$dir/$key.code" ] && read code < "$dir/$key.code"
exit $code
)");
        write(QStringLiteral("pkexec"), R"(#!/bin/sh
dir="${0%/*}"
echo "pkexec $*" >> "$dir/calls.log"
[ -f "$dir/pkexec.err" ] && /bin/cat "$dir/pkexec.err" >&2
if [ -f "$dir/pkexec.code" ]; then read code < "$dir/pkexec.code"; exit $code; fi
exec "$@"
)");
    }
    ~FakeSystemTools() { qputenv("PATH", m_savedPath); }

    // One question's answer: stdout, stderr and exit code.
    void answer(const QString& key, const QString& out, const QString& err = {}, int code = 0) const {
        tree.writeFile(key + QStringLiteral(".out"), out.toUtf8());
        tree.writeFile(key + QStringLiteral(".err"), err.toUtf8());
        tree.writeFile(key + QStringLiteral(".code"), QByteArray::number(code));
    }
    void answerStatus(const QString& socketEnabled, const QString& serviceEnabled,
                      const QString& socketActive) const {
        answer(QStringLiteral("is-enabled-com.orsolind.Quorvane.helper.socket"), socketEnabled + u'\n', {},
               socketEnabled == QLatin1String("enabled") ? 0 : 1);
        answer(QStringLiteral("is-enabled-com.orsolind.Quorvane.helper.service"), serviceEnabled + u'\n');
        answer(QStringLiteral("is-active-com.orsolind.Quorvane.helper.socket"), socketActive + u'\n', {},
               socketActive == QLatin1String("active") ? 0 : 3);
    }
    void pkexecExits(int code, const QString& err = {}) const {
        tree.writeFile(QStringLiteral("pkexec.code"), QByteArray::number(code));
        tree.writeFile(QStringLiteral("pkexec.err"), err.toUtf8());
    }
    void remove(const QString& tool) const { QFile::remove(tree.path(tool)); }
    QStringList calls() const {
        QFile log(tree.path(QStringLiteral("calls.log")));
        if (!log.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(log.readAll()).split(u'\n', Qt::SkipEmptyParts);
    }
    QString path(const QString& tool) const { return tree.path(tool); }
    // The folder systemd makes when it runs as the init system, whatever runs this test.
    QString systemdRunning() const { return tree.makeDirectory(QStringLiteral("run-systemd-system")); }

    TemporaryTree tree;

private:
    void write(const QString& name, const char* script) const {
        const QString file = tree.writeFile(name, script);
        QFile::setPermissions(file, QFile::permissions(file) | QFileDevice::ExeOwner);
    }

    QByteArray m_savedPath;
};

[[nodiscard]] std::expected<void, ServiceRegistryError>
waitForOutcome(const std::function<void(ServiceRegistry::Completion)>& change) {
    std::optional<std::expected<void, ServiceRegistryError>> outcome;
    int answers = 0;
    change([&](std::expected<void, ServiceRegistryError> value) {
        outcome = value;
        ++answers;
    });
    EXPECT_TRUE(QTest::qWaitFor([&] { return outcome.has_value(); }, 20000));
    // Exactly one answer, even when the process reports both an error and its end.
    QTest::qWait(50);
    EXPECT_EQ(answers, 1);
    return outcome.value_or(std::unexpected(ServiceRegistryError::commandFailed));
}

const QString socketUnit = QStringLiteral("com.orsolind.Quorvane.helper.socket");
const QString serviceUnit = QStringLiteral("com.orsolind.Quorvane.helper.service");

TEST(SystemdServiceRegistryTest, MapsWhatSystemctlSaysToTheFiveStatuses) {
    struct Case {
        QString socketEnabled;
        QString serviceEnabled;
        QString socketActive;
        ServiceRegistrationStatus expected;
    };
    const std::vector<Case> cases{
        {"enabled", "static", "active", ServiceRegistrationStatus::enabled},
        {"enabled-runtime", "static", "active", ServiceRegistrationStatus::enabled},
        {"disabled", "static", "inactive", ServiceRegistrationStatus::notRegistered},
        {"enabled", "static", "inactive", ServiceRegistrationStatus::requiresApproval},
        {"enabled", "static", "failed", ServiceRegistrationStatus::requiresApproval},
        {"masked", "static", "inactive", ServiceRegistrationStatus::requiresApproval},
        {"disabled", "masked", "inactive", ServiceRegistrationStatus::requiresApproval},
        {"not-found", "static", "inactive", ServiceRegistrationStatus::notFound},
        {"enabled", "not-found", "active", ServiceRegistrationStatus::notFound},
        {"bad", "static", "inactive", ServiceRegistrationStatus::unavailable},
        {"enabled", "static", "unknown", ServiceRegistrationStatus::unavailable},
        {"", "", "", ServiceRegistrationStatus::unavailable},
    };
    FakeSystemTools tools;
    SystemdServiceRegistry registry({QStringLiteral("/run/quorvane/com.orsolind.Quorvane.helper.sock"), 0});
    for (const Case& testCase : cases) {
        tools.answerStatus(testCase.socketEnabled, testCase.serviceEnabled, testCase.socketActive);
        EXPECT_EQ(registry.status(), testCase.expected)
            << testCase.socketEnabled.toStdString() << " " << testCase.serviceEnabled.toStdString() << " "
            << testCase.socketActive.toStdString();
    }
    EXPECT_TRUE(tools.calls().contains(QStringLiteral("systemctl is-enabled ") + socketUnit));
    EXPECT_TRUE(tools.calls().contains(QStringLiteral("systemctl is-enabled ") + serviceUnit));
    EXPECT_TRUE(tools.calls().contains(QStringLiteral("systemctl is-active ") + socketUnit));
}

TEST(SystemdServiceRegistryTest, OlderSystemctlReportsAMissingUnitOnStandardError) {
    FakeSystemTools tools;
    tools.answerStatus(QStringLiteral("disabled"), QStringLiteral("static"), QStringLiteral("inactive"));
    tools.answer(QStringLiteral("is-enabled-") + serviceUnit, {},
                 QStringLiteral("Failed to get unit file state for ") + serviceUnit +
                     QStringLiteral(": No such file or directory\n"),
                 1);
    SystemdServiceRegistry registry({});
    EXPECT_EQ(registry.status(), ServiceRegistrationStatus::notFound);
}

TEST(SystemdServiceRegistryTest, WithoutSystemdNothingIsKnown) {
    FakeSystemTools tools;
    tools.answerStatus(QStringLiteral("enabled"), QStringLiteral("static"), QStringLiteral("active"));
    tools.answer(
        QStringLiteral("is-active-") + socketUnit, {},
        QStringLiteral("System has not been booted with systemd as init system (PID 1). Can't operate.\n"),
        1);
    SystemdServiceRegistry registry({});
    EXPECT_EQ(registry.status(), ServiceRegistrationStatus::unavailable);

    tools.remove(QStringLiteral("systemctl"));
    EXPECT_EQ(registry.status(), ServiceRegistrationStatus::unavailable);
}

TEST(SystemdServiceRegistryTest, RegisterAndUnregisterRunSystemctlThroughPkexec) {
    FakeSystemTools tools;
    SystemdServiceRegistry registry({}, tools.systemdRunning());
    EXPECT_TRUE(waitForOutcome([&](auto done) { registry.registerService(done); }).has_value());
    EXPECT_TRUE(waitForOutcome([&](auto done) { registry.unregisterService(done); }).has_value());
    const QString systemctl = tools.path(QStringLiteral("systemctl"));
    EXPECT_EQ(tools.calls(),
              (QStringList{
                  QStringLiteral("pkexec ") + systemctl + QStringLiteral(" enable --now ") + socketUnit,
                  QStringLiteral("systemctl enable --now ") + socketUnit,
                  QStringLiteral("pkexec ") + systemctl + QStringLiteral(" disable --now ") + socketUnit +
                      u' ' + serviceUnit,
                  QStringLiteral("systemctl disable --now ") + socketUnit + u' ' + serviceUnit,
              }));
}

TEST(SystemdServiceRegistryTest, EveryFailureOfARegistrationChangeHasItsError) {
    struct Case {
        int pkexecCode;
        QString pkexecError;
        QString systemctlError;
        int systemctlCode;
        ServiceRegistryError expected;
    };
    const std::vector<Case> cases{
        {126, {}, {}, 0, ServiceRegistryError::approvalDismissed},
        {127, {}, {}, 0, ServiceRegistryError::approvalDenied},
        {127,
         "Error executing command as another user: Not authorized\n",
         {},
         0,
         ServiceRegistryError::approvalDenied},
        // Where nobody can be asked, no prompt ever appeared.
        {127,
         "Error getting authority: Error initializing authority: Could not connect: No such file or "
         "directory\n",
         {},
         0,
         ServiceRegistryError::approvalAuthorityMissing},
        {127,
         "Error executing command as another user: No authentication agent found.\n",
         {},
         0,
         ServiceRegistryError::approvalAgentMissing},
        {-1,
         {},
         "System has not been booted with systemd as init system (PID 1). Can't operate.\n"
         "Failed to connect to bus: Host is down\n",
         1,
         ServiceRegistryError::systemdMissing},
        {-1,
         {},
         "Failed to enable unit: Unit file com.orsolind.Quorvane.helper.socket does not exist.\n",
         1,
         ServiceRegistryError::unitMissing},
        {-1,
         {},
         "Failed to disable unit: Unit com.orsolind.Quorvane.helper.service not found.\n",
         5,
         ServiceRegistryError::unitMissing},
        {-1,
         {},
         "Failed to enable unit: Unit file /etc/systemd/system/com.orsolind.Quorvane.helper.socket is "
         "masked.\n",
         1,
         ServiceRegistryError::unitMasked},
        {-1, {}, "Failed to connect to bus: Host is down\n", 1, ServiceRegistryError::commandFailed},
    };
    for (const bool registering : {true, false}) {
        for (const Case& testCase : cases) {
            FakeSystemTools tools;
            if (testCase.pkexecCode >= 0)
                tools.pkexecExits(testCase.pkexecCode, testCase.pkexecError);
            tools.answer(QStringLiteral("change"), {}, testCase.systemctlError, testCase.systemctlCode);
            SystemdServiceRegistry registry({}, tools.systemdRunning());
            const auto outcome = waitForOutcome([&](auto done) {
                if (registering)
                    registry.registerService(done);
                else
                    registry.unregisterService(done);
            });
            ASSERT_FALSE(outcome.has_value());
            EXPECT_EQ(outcome.error(), testCase.expected) << testCase.systemctlError.toStdString();
        }
    }
}

// Nothing is run, so no approval is asked for: where systemd is not the init system there is
// nothing to enable.
TEST(SystemdServiceRegistryTest, MissingToolsFailTheChange) {
    struct Case {
        QString removedTool;
        bool systemdRuns;
        ServiceRegistryError expected;
    };
    const std::vector<Case> cases{
        {QStringLiteral("pkexec"), true, ServiceRegistryError::toolMissing},
        {QStringLiteral("systemctl"), true, ServiceRegistryError::toolMissing},
        {{}, false, ServiceRegistryError::systemdMissing},
    };
    for (const Case& testCase : cases) {
        FakeSystemTools tools;
        if (!testCase.removedTool.isEmpty())
            tools.remove(testCase.removedTool);
        SystemdServiceRegistry registry({}, testCase.systemdRuns
                                                ? tools.systemdRunning()
                                                : tools.tree.path(QStringLiteral("run-systemd-system")));
        for (const bool registering : {true, false}) {
            const auto outcome = waitForOutcome([&](auto done) {
                if (registering)
                    registry.registerService(done);
                else
                    registry.unregisterService(done);
            });
            ASSERT_FALSE(outcome.has_value());
            EXPECT_EQ(outcome.error(), testCase.expected) << testCase.removedTool.toStdString();
        }
        EXPECT_TRUE(tools.calls().isEmpty());
    }
}

TEST(SystemdServiceRegistryTest, ErrorTextsAreWholeSentences) {
    EXPECT_EQ(description(ServiceRegistryError::toolMissing),
              QStringLiteral("Quorvane could not run the system tools that register the privileged helper."));
    EXPECT_EQ(description(ServiceRegistryError::approvalDismissed),
              QStringLiteral("The administrator approval was dismissed. Plugin Management was not changed."));
    EXPECT_EQ(
        description(ServiceRegistryError::approvalDenied),
        QStringLiteral("The administrator approval was not granted. Plugin Management was not changed."));
    EXPECT_EQ(
        description(ServiceRegistryError::approvalAuthorityMissing),
        QStringLiteral("The administrator approval could not be asked: polkit, which asks for it, is not "
                       "running on this system. Enabling Plugin Management needs systemd and polkit. "
                       "Plugin Management was not changed."));
    EXPECT_EQ(description(ServiceRegistryError::approvalAgentMissing),
              QStringLiteral("The administrator approval could not be asked: no polkit authentication agent "
                             "runs in this session. Plugin Management was not changed."));
    EXPECT_EQ(
        description(ServiceRegistryError::systemdMissing),
        QStringLiteral("Plugin Management could not be enabled: this system does not run systemd, which "
                       "starts the privileged helper. Enabling Plugin Management needs systemd and "
                       "polkit. Plugin Management was not changed."));
    EXPECT_EQ(description(ServiceRegistryError::unitMissing),
              QStringLiteral("The privileged helper’s system service is not installed."));
    EXPECT_EQ(
        description(ServiceRegistryError::unitMasked),
        QStringLiteral("The privileged helper’s system service has been disabled by the administrator."));
    EXPECT_EQ(description(ServiceRegistryError::commandFailed),
              QStringLiteral("The system could not change the privileged helper’s registration."));
}

} // namespace
} // namespace quorvane::testing
