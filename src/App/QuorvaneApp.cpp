#include "App/QuorvaneApp.h"

#include "App/InstanceLock.h"
#include "App/RootView.h"
#include "Persistence/StateFileLocations.h"
#include "Views/Kit/KitAppearance.h"

#include <QApplication>

namespace quorvane {

int QuorvaneApp::run(int& argc, char** argv) {
    QApplication application(argc, argv);
    configure(application);
    // Held until the program ends.
    const auto lock = InstanceLock::acquire(applicationSupportFolder());
    if (!lock) {
        reportStartFailure(lock.error());
        return 1;
    }
    const std::unique_ptr<RootView> window = makeWindow();
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
