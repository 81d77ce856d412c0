// One QApplication for the GUI tests of this executable.
#pragma once

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTimer>
#include <QWidget>

#include <functional>

inline QApplication* TestApp() {
    static int argc = 1;
    static char name[] = "clockapp_tests";
    static char* argv[] = {name, nullptr};
    static QApplication* app = [] {
        // A laptop's screen, 1366 x 768, with frames around the windows as a
        // window manager draws them.
        const QString config = QDir::temp().filePath(
            QString("hx-offscreen-%1.json").arg(QCoreApplication::applicationPid()));
        QFile f(config);
        if (f.open(QIODevice::WriteOnly))
            f.write(R"({"windowFrameMargins": true, "screens": [{"name": "laptop",
                "x": 0, "y": 0, "width": 1366, "height": 768, "logicalDpi": 96,
                "logicalBaseDpi": 96, "dpr": 1}]})");
        f.close();
        qputenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + config).toLocal8Bit());
        auto* a = new QApplication(argc, argv);
        QFile::remove(config); // read once, at the start
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
