#include "App/QuorvaneApp.h"

#include "App/RootView.h"
#include "Views/Kit/KitAppearance.h"

#include <QApplication>

namespace quorvane {

int QuorvaneApp::run(int& argc, char** argv) {
    QApplication application(argc, argv);
    configure(application);
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
