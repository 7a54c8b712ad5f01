// scanner-utility: the windowed program. One small window with four picture buttons;
// one instance per user session.
#include <QApplication>
#include <QIcon>

#include "app/HotkeyApp.h"
#include "app/ProgramStartup.h"
#include "app/ProgramWindowServices.h"
#include "platform/Memory.h"
#include "platform/Process.h"
#include "platform/SanitizerSupport.h"
#include "platform/Services.h"
#include "pushscan/PushEventStore.h"
#include "pushscan/PushScanIntake.h"
#include "settings/ProductData.h"

int main(int argc, char** argv) {
    platform::KeepSaneBackendsLoadedForLeakReports();
    platform::KeepPageBuffersForReuse();
    QApplication qtApp(argc, argv);
    QApplication::setApplicationName(QStringLiteral("scanner-utility"));
    QApplication::setApplicationDisplayName(QStringLiteral("Scanner Utility"));
    QApplication::setDesktopFileName(QStringLiteral("scanner-utility"));
    QApplication::setWindowIcon(QIcon(QString::fromStdString(settings::SkinImageFolder() + "icon.png")));

    // The push-event store stays loaded, and the push event open, until the window has
    // closed.
    pushscan::PushEventLibrary pushStore;
    std::unique_ptr<pushscan::PushScanEvent> pushEvent;

    app::CHotkeyApp::Hooks hooks;
    hooks.openPushEvent = [&] { pushEvent = std::make_unique<pushscan::PushScanEvent>(); };
    hooks.recordPushLaunch = [&] { return pushscan::RecordPushLaunch(pushStore, platform::Environment()) == 1; };
    hooks.signalPushEvent = [&] {
        if (pushEvent) pushEvent->Signal();
    };
    hooks.clearPushEvent = [&] {
        if (pushEvent) pushEvent->Clear();
    };
    hooks.createWindow = [&] {
        return app::CreateProgramWindow([&] {
            auto services = std::make_unique<app::ProgramWindowServices>();
            services->EnablePushIntake(pushStore.IsLoaded() ? &pushStore : nullptr,
                                       pushEvent ? pushEvent->Handle() : nullptr);
            return services;
        });
    };
    app::CHotkeyApp theApp(hooks);
    theApp.InitInstance();
    // The instance that served the push event removes its name on the way out.
    if (pushEvent && theApp.WasFirstInstance()) pushEvent->RemoveNameOnClose(true);
    pushEvent.reset();
    const int status = theApp.ExitInstance();
    // Only the exit itself is left (Qt's and the libraries' own clean-up).
    platform::EndProcessWithin(platform::ProcessEndGraceSeconds(), status);
    return status;
}
