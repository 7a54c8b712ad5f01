#include "app/ProgramStartup.h"

#include "app/HotkeyDlg.h"
#include "app/ProgramWindowServices.h"
#include "core/Texts.h"
#include "ui/QtMessageBox.h"

namespace app {
namespace {

// Owns the window's services. As the first base of the window it is made before the
// window and destroyed after it, so the window never outlives what it runs on.
struct ServicesOwner {
    explicit ServicesOwner(std::unique_ptr<ProgramWindowServices> s) : services(std::move(s)) {}
    std::unique_ptr<ProgramWindowServices> services;
};

// The main window together with the services it runs on.
class ProgramWindow : private ServicesOwner, public CHotkeyDlg {
public:
    explicit ProgramWindow(std::unique_ptr<ProgramWindowServices> s)
        : ServicesOwner(std::move(s)), CHotkeyDlg(*services) {}
    ~ProgramWindow() override { core::SetMessageBox(nullptr); }
};

} // namespace

std::unique_ptr<QDialog> CreateProgramWindow(
    const std::function<std::unique_ptr<ProgramWindowServices>()>& makeServices) {
    // Messages of the start-up (before the window exists) are shown without an owner.
    auto box = std::make_shared<ui::QtMessageBox>();
    core::SetMessageBox(box);
    std::unique_ptr<ProgramWindowServices> services =
        makeServices ? makeServices() : std::make_unique<ProgramWindowServices>();
    auto window = std::make_unique<ProgramWindow>(std::move(services));
    box->SetOwner(window.get());
    return window;
}

} // namespace app
