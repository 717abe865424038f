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
        // QT_QPA_PLATFORM; DISPLAY and WAYLAND_DISPLAY are never set.
        const char* platform;
        int exitCode;
        const char* out;
        const char* err;
    } cases[] = {
        {"quorvane", {QStringLiteral("--help")}, nullptr, 0, "/bin/quorvane [options]\n", ""},
        {"quorvane", {QStringLiteral("--version")}, nullptr, 0, "1.0.1", ""},
        {"quorvane",
         {QStringLiteral("-platform"), QStringLiteral("offscreen"), QStringLiteral("--help")},
         nullptr,
         0,
         "--version",
         ""},
        {"quorvane", {QStringLiteral("--help-all")}, nullptr, 0, "-platform <platformName[:options]>", ""},
        {"quorvane", {QStringLiteral("--frobnicate")}, "offscreen", 1, "", "Unknown option 'frobnicate'"},
        {"quorvane", {QStringLiteral("--frobnicate")}, nullptr, 1, "", "Unknown option 'frobnicate'"},
        {"quorvane", {QStringLiteral("extra")}, "offscreen", 1, "", "Unexpected argument 'extra'"},
        {"quorvane",
         {QStringLiteral("-reverse"), QStringLiteral("-style=fusion"), QStringLiteral("-platform"),
          QStringLiteral("offscreen"), QStringLiteral("extra")},
         nullptr,
         1,
         "",
         "Unexpected argument 'extra'"},
        {"quorvane", {}, nullptr, 1, "", "no display found"},
        // Qt would abort: xcb finds no X server without DISPLAY.
        {"quorvane", {}, "xcb", 1, "", "quorvane: the window could not be opened"},
        {"quorvane-sandbox",
         {QStringLiteral("--help")},
         nullptr,
         0,
         "/bin/quorvane-sandbox [options] [DIR]\n",
         ""},
        {"quorvane-sandbox",
         {QStringLiteral("--help-all")},
         "offscreen",
         0,
         "/bin/quorvane-sandbox [options] [DIR]\n",
         ""},
        {"quorvane-sandbox",
         {QStringLiteral("--frobnicate")},
         "offscreen",
         1,
         "",
         "Unknown option 'frobnicate'"},
        {"quorvane-sandbox", {QStringLiteral("folder")}, nullptr, 1, "", "no display found"},
        {"quorvane-sandbox", {QStringLiteral("folder")}, "xcb", 1, "", "the window could not be opened"},
        {"quorvane-sandbox",
         {QStringLiteral("one"), QStringLiteral("two")},
         "offscreen",
         1,
         "",
         "Unexpected argument 'two'"},
        // An option-looking folder name is refused, also after "--"; "./-x" names such a folder.
        {"quorvane-sandbox",
         {QStringLiteral("--"), QStringLiteral("-x")},
         "offscreen",
         1,
         "",
         "Unknown option '-x'. A DIR that begins with '-' is written ./-x."},
        {"quorvane-sandbox",
         {QStringLiteral("--"), QStringLiteral("-")},
         "offscreen",
         1,
         "",
         "Unknown option '-'"},
    };
    testing::TemporaryTree tree;
    const QString cwd = tree.makeDirectory(QStringLiteral("cwd"));
    const QString home = tree.makeDirectory(QStringLiteral("home"));
    for (const Case& test : cases) {
        const std::string label = std::string(test.program) + " " + test.arguments.join(u' ').toStdString();
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            environment.remove(QLatin1String(name));
        if (test.platform)
            environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QLatin1String(test.platform));
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
