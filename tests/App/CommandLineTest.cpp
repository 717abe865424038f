#include "App/Sandbox/Sandbox.h"
#include "Support/Fixtures/TemporaryTree.h"

#include <QDir>
#include <QProcess>

#include <gtest/gtest.h>

namespace quorvane {
namespace {

// Each program answers its command line before it needs a display, and refuses what it does not
// take before it touches the disk. Runs in an empty folder, which must stay empty.
TEST(CommandLine, ProgramsAnswerWithoutAWindowAndRefuseWhatTheyDoNotTake) {
    struct Case {
        const char* program;
        QStringList arguments;
        bool display;
        int exitCode;
        const char* out;
        const char* err;
    } cases[] = {
        {"quorvane", {QStringLiteral("--help")}, false, 0, "/bin/quorvane [options]\n", ""},
        {"quorvane", {QStringLiteral("--version")}, false, 0, "1.0.1", ""},
        {"quorvane",
         {QStringLiteral("-platform"), QStringLiteral("offscreen"), QStringLiteral("--help")},
         false,
         0,
         "--version",
         ""},
        {"quorvane", {QStringLiteral("--frobnicate")}, true, 1, "", "Unknown option 'frobnicate'"},
        {"quorvane", {QStringLiteral("extra")}, true, 1, "", "Unexpected argument 'extra'"},
        {"quorvane", {}, false, 1, "", "no display found"},
        {"quorvane-sandbox",
         {QStringLiteral("--help")},
         false,
         0,
         "/bin/quorvane-sandbox [options] [DIR]\n",
         ""},
        {"quorvane-sandbox",
         {QStringLiteral("--help-all")},
         true,
         0,
         "/bin/quorvane-sandbox [options] [DIR]\n",
         ""},
        {"quorvane-sandbox", {QStringLiteral("--frobnicate")}, true, 1, "", "Unknown option 'frobnicate'"},
        {"quorvane-sandbox", {QStringLiteral("folder")}, false, 1, "", "no display found"},
        {"quorvane-sandbox",
         {QStringLiteral("one"), QStringLiteral("two")},
         true,
         1,
         "",
         "Unexpected argument 'two'"},
    };
    testing::TemporaryTree tree;
    const QString cwd = tree.makeDirectory(QStringLiteral("cwd"));
    const QString home = tree.makeDirectory(QStringLiteral("home"));
    for (const Case& test : cases) {
        const std::string label = std::string(test.program) + " " + test.arguments.join(u' ').toStdString();
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            environment.remove(QLatin1String(name));
        if (test.display)
            environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        // Any data folder a faulty start might write lands in the tree.
        environment.insert(QStringLiteral("HOME"), home);
        environment.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/data"));
        QProcess process;
        process.setProcessEnvironment(environment);
        process.setWorkingDirectory(cwd);
        process.start(Sandbox::buildTree().prefix + QStringLiteral("/bin/") + QLatin1String(test.program),
                      test.arguments);
        if (!process.waitForFinished(20000)) {
            process.kill();
            process.waitForFinished();
            ADD_FAILURE() << label << " did not end by itself";
            continue;
        }
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit) << label;
        EXPECT_EQ(process.exitCode(), test.exitCode) << label;
        const QString out = QString::fromLocal8Bit(process.readAllStandardOutput());
        const QString err = QString::fromLocal8Bit(process.readAllStandardError());
        EXPECT_TRUE(out.contains(QLatin1String(test.out))) << label << "\n" << out.toStdString();
        EXPECT_TRUE(err.contains(QLatin1String(test.err))) << label << "\n" << err.toStdString();
        EXPECT_TRUE(QDir(cwd).isEmpty()) << label << ": " << QDir(cwd).entryList().join(u' ').toStdString();
    }
}

} // namespace
} // namespace quorvane
