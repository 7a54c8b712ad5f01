// A program that starts exactly as the real one does (the application object, its
// single-instance check and a modal main window), with a plain window in place of the
// scanner window, so the instance rules can be tested with real processes.
//   stdout: "window up" once the first instance shows its window;
//           "second: raised" / "second: no window" from a later start.
#include <QApplication>
#include <QDialog>
#include <QTimer>
#include <cstdio>

#include "app/HotkeyApp.h"

int main(int argc, char** argv) {
    QApplication qtApp(argc, argv);
    app::CHotkeyApp::Hooks hooks;
    hooks.createWindow = [] {
        auto window = std::make_unique<QDialog>();
        window->setWindowTitle(QStringLiteral("probe"));
        QTimer::singleShot(0, window.get(), [] {
            std::printf("window up\n");
            std::fflush(stdout);
        });
        return window;
    };
    app::CHotkeyApp theApp(hooks);
    theApp.InitInstance();
    if (!theApp.WasFirstInstance()) {
        std::printf("second: %s\n", theApp.FirstCameForward() ? "raised" : "no window");
        std::fflush(stdout);
    }
    return theApp.ExitInstance();
}
