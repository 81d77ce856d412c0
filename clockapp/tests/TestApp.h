// One QApplication for the GUI tests of this executable.
#pragma once

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <functional>

inline QApplication* TestApp() {
    static int argc = 1;
    static char name[] = "clockapp_tests";
    static char* argv[] = {name, nullptr};
    static QApplication* app = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        auto* a = new QApplication(argc, argv);
        QApplication::setQuitOnLastWindowClosed(false);
        return a;
    }();
    return app;
}

// Answers the next modal dialog as soon as it is up.
inline void AnswerNextModal(std::function<void(QWidget*)> answer) {
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, answer] {
        if (QWidget* w = QApplication::activeModalWidget()) {
            timer->stop();
            timer->deleteLater();
            answer(w);
        }
    });
    timer->start();
}
