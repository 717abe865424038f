#include "App/QuorvaneApp.h"

#include "App/CommandLine.h"
#include "App/InstanceLock.h"
#include "App/RootView.h"
#include "Persistence/StateFileLocations.h"
#include "Views/Kit/KitAppearance.h"

#include <QApplication>

#include <cstdio>
#include <malloc.h>

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
    // Every change of a large inventory makes lists of several megabytes. By default the C library
    // maps each one afresh and unmaps it when it is freed, so the window takes a page fault on every
    // page of every list, tens of milliseconds per action at 20,000 products; freed memory is kept
    // for reuse instead (up to the largest threshold the library allows).
    mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);
    mallopt(M_TRIM_THRESHOLD, 256 * 1024 * 1024);
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
