#include "app/HotkeyApp.h"

#include <QApplication>
#include <QFileInfo>
#include <QPointer>
#include <QResource>
#include <cstdio>

#include "app/SingleInstance.h"
#include "platform/Folders.h"
#include "settings/ProductData.h"

namespace app {

CHotkeyApp::CHotkeyApp(Hooks hooks) : hooks_(std::move(hooks)) {}
CHotkeyApp::~CHotkeyApp() = default;

void BringWindowForward(QWidget* window) {
    if (!window) return;
    if (window->isMinimized()) window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    window->raise();
    window->activateWindow();
    if (QWidget* modal = QApplication::activeModalWidget(); modal && modal != window) {
        modal->raise();
        modal->activateWindow();
    }
}

bool CHotkeyApp::InitInstance() {
    // An outside resource file beside the program replaces the built-in resources.
    resourcePath_ = settings::ProgramFolder() + "Res.rcc";
    if (QFileInfo::exists(QString::fromStdString(resourcePath_)))
        resourcesLoaded_ = QResource::registerResource(QString::fromStdString(resourcePath_));

    if (hooks_.openPushEvent) hooks_.openPushEvent();
    const bool pushLaunch = hooks_.recordPushLaunch && hooks_.recordPushLaunch();

    const std::string appName = QFileInfo(QApplication::applicationFilePath()).fileName().toStdString();
    instance_ =
        std::make_unique<SingleInstance>(settings::ReadProductValue("Communication", "QuorinExistSem"), appName);
    first_ = instance_->Settle();
    // Signalled or cleared while this start holds the check lock, so that no other start
    // signals in between. A first instance finds no instance alive: a signal already
    // there was left by one that died before it took it, and would start a scan nobody
    // asked this start for.
    if (first_ && !pushLaunch && hooks_.clearPushEvent) hooks_.clearPushEvent();
    if (pushLaunch && hooks_.signalPushEvent) hooks_.signalPushEvent();
    if (!first_) {
        // A window that is still coming up (or going away) may not answer: then this
        // start ends quietly all the same.
        cameForward_ = instance_->AskFirstToComeForward(3000);
        instance_->ReleaseCheck();
        return false;
    }
    instance_->ReleaseCheck();

    std::unique_ptr<QDialog> window = hooks_.createWindow ? hooks_.createWindow() : nullptr;
    if (!window) return false;
    QPointer<QDialog> guard(window.get());
    instance_->OnComeForward([guard] {
        if (!guard) return false;
        std::fprintf(stderr, "scanner-utility: started again; bringing the window forward\n");
        BringWindowForward(guard);
        return true;
    });
    window->exec();
    instance_->OnComeForward(nullptr);
    window.reset();
    return false;
}

int CHotkeyApp::ExitInstance() {
    if (resourcesLoaded_) QResource::unregisterResource(QString::fromStdString(resourcePath_));
    resourcesLoaded_ = false;
    return 0;
}

} // namespace app
