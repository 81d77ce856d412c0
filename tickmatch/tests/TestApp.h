#pragma once

#include <QApplication>

// One application object for the whole test process (widgets, timers, D-Bus).
inline QApplication* TestApp() {
    static int argc = 1;
    static char name[] = "tickmatch_tests";
    static char* argv[] = {name, nullptr};
    static QApplication* app = new QApplication(argc, argv);
    return app;
}
