#include "App/QuorvaneApp.h"

int main(int argc, char** argv) {
    return quorvane::QuorvaneApp::run(argc, argv);
}
