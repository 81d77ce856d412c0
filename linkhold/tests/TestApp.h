#pragma once

#include <QApplication>

// One application object for the whole test process (widgets, timers, processes).
inline QApplication* TestApp() {
    static int argc = 1;
    static char name[] = "linkhold_app_tests";
    static char* argv[] = {name, nullptr};
    static QApplication* app = new QApplication(argc, argv);
    return app;
}
