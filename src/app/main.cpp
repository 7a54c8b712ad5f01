// scanner-utility: the windowed program. One small window with four picture buttons;
// one instance per user session.
#include <QApplication>
#include <QIcon>

#include "app/HotkeyApp.h"
#include "app/ProgramStartup.h"
#include "platform/Memory.h"
#include "platform/SanitizerSupport.h"
#include "settings/ProductData.h"

int main(int argc, char** argv) {
    platform::KeepSaneBackendsLoadedForLeakReports();
    platform::KeepPageBuffersForReuse();
    QApplication qtApp(argc, argv);
    QApplication::setApplicationName(QStringLiteral("scanner-utility"));
    QApplication::setApplicationDisplayName(QStringLiteral("Scanner Utility"));
    QApplication::setDesktopFileName(QStringLiteral("scanner-utility"));
    QApplication::setWindowIcon(QIcon(QString::fromStdString(settings::SkinImageFolder() + "icon.png")));

    app::CHotkeyApp::Hooks hooks;
    hooks.createWindow = [] { return app::CreateProgramWindow(); };
    app::CHotkeyApp theApp(hooks);
    theApp.InitInstance();
    return theApp.ExitInstance();
}
