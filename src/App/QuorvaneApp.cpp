#include "App/QuorvaneApp.h"

#include "App/CommandLine.h"
#include "App/InstanceLock.h"
#include "App/RootView.h"
#include "Persistence/StateFileLocations.h"
#include "Views/Kit/KitAppearance.h"

#include <QApplication>

#include <cstdio>

namespace quorvane {

int QuorvaneApp::run(int& argc, char** argv) {
    const CommandLineSyntax syntax{
        QStringLiteral("Keeps the audio plug-in bundles of this computer under control."), {}, {}};
    if (const auto answered = answerWithoutWindow(argc, argv, syntax))
        return *answered;
    const std::unique_ptr<QApplication> application = openWindowingSystem(argc, argv);
    if (const auto accepted = acceptedArgument(QApplication::arguments(), syntax); !accepted) {
        std::fprintf(stderr, "quorvane: %s\n", qPrintable(accepted.error()));
        return 1;
    }
    configure(*application);
    // Held until the program ends.
    const auto lock = InstanceLock::acquire(applicationSupportFolder());
    if (!lock) {
        reportStartFailure(lock.error());
        return 1;
    }
    // A data folder moved away or replaced while the program runs is no longer locked by it: the
    // store then writes nothing more.
    const std::unique_ptr<RootView> window = makeWindow(RootViewObjects::production(lock->guardedWriter({})));
    window->show();
    QApplication::exec();
    return 0;
}

void QuorvaneApp::configure(QApplication& application) {
    QApplication::setOrganizationName(QStringLiteral("Quorvane"));
    QApplication::setApplicationName(QStringLiteral("Quorvane"));
    applyKitAppearance(application);
}

std::unique_ptr<RootView> QuorvaneApp::makeWindow(const RootViewObjects& objects) {
    auto window = std::make_unique<RootView>(objects);
    window->resize(1440, 900);
    return window;
}

} // namespace quorvane
