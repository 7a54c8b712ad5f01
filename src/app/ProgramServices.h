#pragma once
// Start-up wiring shared by the window, the command line and the tests: one scope that
// installs every process-wide service the program's parts call through, and removes all
// of them again, in reverse order, when it ends.
//
// Installed: the settings file (the user's Sets.dat), the scanning layer's answers to the
// settings and to the image output, the source listing and the control the device checks
// use, the output's working folder and message route, and — when given — the message box
// and the scan status the message routine consults. Hooks of the windowed program that
// this layer cannot name (the driver dialog, for instance) are added with AddHook.

#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace core {
class IMessageBox;
class IScanStatus;
} // namespace core
namespace scancontrol {
class CDynamictwain;
class ISourceManager;
} // namespace scancontrol

namespace app {

class ProgramServices {
public:
    // The control and the source manager stay owned by the caller and must outlive the
    // scope. Without a message box the one installed already (if any) stays.
    ProgramServices(scancontrol::CDynamictwain* control, std::shared_ptr<scancontrol::ISourceManager> sources,
                    std::shared_ptr<core::IMessageBox> messageBox = nullptr);
    ~ProgramServices();
    ProgramServices(const ProgramServices&) = delete;
    ProgramServices& operator=(const ProgramServices&) = delete;

    // The scan being served, for the message routine; removed when the scope ends.
    void SetScanStatus(std::shared_ptr<core::IScanStatus> status);
    // Runs `install` now and `uninstall` when the scope ends (hooks end last-added first).
    void AddHook(const std::function<void()>& install, std::function<void()> uninstall);

private:
    bool ownsMessageBox_ = false;
    std::vector<std::function<void()>> uninstalls_;
};

} // namespace app
