// Opens the real window on a sandbox: sample plug-in bundles beneath a folder of its own and the
// helper testbed as the privileged helper, so every action can be tried without installing
// anything. Built only with the tests; never installed.
//
//   quorvane-sandbox [DIR]      (default: quorvane-sandbox in the temporary folder)

#include "App/InstanceLock.h"
#include "App/QuorvaneApp.h"
#include "App/RootView.h"
#include "App/Sandbox/Sandbox.h"

#include <QApplication>
#include <QDir>

#include <cstdio>

int main(int argc, char** argv) {
    using namespace quorvane;
    QApplication application(argc, argv);
    QuorvaneApp::configure(application);

    const QStringList arguments = QApplication::arguments();
    const QString directory =
        arguments.size() > 1 ? arguments.at(1) : QDir::temp().filePath(QStringLiteral("quorvane-sandbox"));
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
