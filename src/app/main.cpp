// scanner-utility: the windowed program. One small window with four picture buttons;
// one instance per user session.
#include <QApplication>
#include <QIcon>
#include <memory>

#include "app/DataFiles.h"
#include "app/HelpLauncher.h"
#include "app/HotkeyApp.h"
#include "app/HotkeyDlg.h"
#include "app/ProgramWindowServices.h"
#include "app/Texts.h"
#include "platform/Memory.h"
#include "platform/SanitizerSupport.h"
#include "ui/QtMessageBox.h"
#include "ui/StaticLink.h"

namespace {

// The main window together with the services it runs on, destroyed in the right order.
class ProgramWindow : public app::CHotkeyDlg {
public:
    explicit ProgramWindow(std::unique_ptr<app::ProgramWindowServices> services)
        : app::CHotkeyDlg(*services), services_(std::move(services)) {}
    ~ProgramWindow() override { app::SetMessageBox(nullptr); }
private:
    std::unique_ptr<app::ProgramWindowServices> services_;
};

} // namespace

int main(int argc, char** argv) {
    platform::KeepSaneBackendsLoadedForLeakReports();
    platform::KeepPageBuffersForReuse();
    QApplication qtApp(argc, argv);
    QApplication::setApplicationName(QStringLiteral("scanner-utility"));
    QApplication::setApplicationDisplayName(QStringLiteral("Scanner Utility"));
    QApplication::setDesktopFileName(QStringLiteral("scanner-utility"));
    QApplication::setWindowIcon(QIcon(QString::fromStdString(app::SkinImageFolder() + "icon.png")));
    ui::CStaticLink::SetDefaultOpener([](const std::string& target) { return app::ShowHelp(target); });

    app::CHotkeyApp::Hooks hooks;
    hooks.createWindow = []() -> std::unique_ptr<QDialog> {
        auto window = std::make_unique<ProgramWindow>(std::make_unique<app::ProgramWindowServices>());
        app::SetMessageBox(std::make_shared<ui::QtMessageBox>(window.get()));
        return window;
    };
    app::CHotkeyApp theApp(hooks);
    theApp.InitInstance();
    return theApp.ExitInstance();
}
