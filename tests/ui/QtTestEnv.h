#pragma once
// One QApplication for a test executable (offscreen platform), and helpers to answer
// the modal boxes a test provokes.

#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <functional>

namespace testsupport {

inline QApplication& QtApp() {
    static int argc = 1;
    static char name[] = "ui_tests";
    static char* argv[] = {name, nullptr};
    // Widget tests never need a display.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

// Runs `act` on the next modal widget that opens (polling the event loop), once.
inline void WhenModalOpens(std::function<void(QWidget*)> act) {
    auto* timer = new QTimer;
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, [timer, act] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            timer->stop();
            timer->deleteLater();
            act(modal);
        }
    });
    timer->start();
}

} // namespace testsupport
