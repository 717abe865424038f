#pragma once

#include "App/RootViewObjects.h"

#include <memory>

class QApplication;

namespace quorvane {

class RootView;

// The application: one window whose content is the root view, always in the dark appearance.
class QuorvaneApp {
public:
    // Runs the main loop with the one window; returns 0 when it ends, and 1 at once when another
    // instance runs on the same data folder.
    static int run(int& argc, char** argv);

    // What the application and the sandbox set up alike: names, appearance and memory reuse.
    static void configure(QApplication& application);
    // The window at its default size of 1440 by 900.
    static std::unique_ptr<RootView>
    makeWindow(const RootViewObjects& objects = RootViewObjects::production());
};

} // namespace quorvane
