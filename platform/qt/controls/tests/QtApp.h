#pragma once
#include <QApplication>

// One application object for the whole test program.
inline QApplication& TestApp() {
    static int argc = 1;
    static char name[] = "controls_tests";
    static char* argv[] = {name, nullptr};
    // Kept to the end of the process: widgets' statics may still use it.
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}
