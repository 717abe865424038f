// Opens the real window on a sandbox: sample plug-in bundles beneath a folder of its own and the
// helper testbed as the privileged helper, so every action can be tried without installing
// anything. Built only with the tests; never installed.
//
//   quorvane-sandbox [DIR]      (default: quorvane-sandbox in the temporary folder)
//   quorvane-sandbox --help

#include "App/CommandLine.h"
#include "App/InstanceLock.h"
#include "App/QuorvaneApp.h"
#include "App/RootView.h"
#include "App/Sandbox/Sandbox.h"

#include <QApplication>
#include <QDir>

#include <cstdio>

int main(int argc, char** argv) {
    using namespace quorvane;
    const CommandLineSyntax syntax{
        QStringLiteral("Opens the Quorvane window on sample plug-in bundles beneath DIR, with the helper "
                       "testbed as its privileged helper."),
        QStringLiteral("DIR"),
        QStringLiteral("The sandbox folder (default: quorvane-sandbox in the temporary folder).")};
    if (const auto answered = answerWithoutWindow(argc, argv, syntax))
        return *answered;
    const std::unique_ptr<QApplication> application = openWindowingSystem(argc, argv);
    const auto accepted = acceptedArgument(QApplication::arguments(), syntax);
    if (!accepted) {
        std::fprintf(stderr, "quorvane-sandbox: %s\n", qPrintable(accepted.error()));
        return 1;
    }
    QuorvaneApp::configure(*application);

    const QString directory =
        accepted->isEmpty() ? QDir::temp().filePath(QStringLiteral("quorvane-sandbox")) : *accepted;
    auto sandbox = Sandbox::create(directory);
    if (!sandbox) {
        reportStartFailure(QStringLiteral("quorvane-sandbox: ") + sandbox.error());
        return 1;
    }
    std::fprintf(stderr, "quorvane-sandbox: %s\n", qPrintable((*sandbox)->directory));
    {
        const std::unique_ptr<RootView> window = QuorvaneApp::makeWindow((*sandbox)->objects());
        window->show();
        QApplication::exec();
    }
    return 0;
}
