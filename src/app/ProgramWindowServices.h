#pragma once
// The main window's services for the real program: the SANE scanning control, the
// acquisition, the scan dispatch, the scanner checks and the stored settings.

#include <memory>

#include "app/MainWindowServices.h"
#include "delivery/LaunchTasks.h"

namespace scancontrol {
class CDynamictwain;
class ISourceManager;
}  // namespace scancontrol
namespace scan {
class TwainScanner;
}

namespace app {

class ProgramWindowServices : public IMainWindowServices {
public:
    // On the SANE scanning control.
    ProgramWindowServices();
    // On the given control and its source listing (a scripted control in tests).
    ProgramWindowServices(std::unique_ptr<scancontrol::CDynamictwain> control,
                          std::shared_ptr<scancontrol::ISourceManager> sources);
    ~ProgramWindowServices() override;

    void Attach(IScanWindow& window) override;
    bool StartScanTask(const ScanRequest& request) override;
    ScanState GetScanState() override;
    bool SetScanState(ScanState state) override;
    SourceCheck CheckSources() override;
    std::vector<std::string> ListSources() override;
    std::string CurrentSource() override;
    void SetCurrentSource(const std::string& name) override;
    bool IsIdentified(const std::string& name) override;
    int DeviceStatus(bool probe) override;
    void RefreshDeviceKnowledge() override;
    std::string UserSettingsFile() override;
    std::string DefaultsFile() override;
    ButtonTipSet LoadButtonTips() override;
    bool RunButtonSettings(void* parentWindow) override;
    delivery::LauncherTaskCollector& Collector() override { return collector_; }
    void ReleaseAcquisition() override;

    ScanOperationHandler* Dispatch() const { return handler_.get(); }

private:
    std::unique_ptr<scancontrol::CDynamictwain> control_;
    std::shared_ptr<scancontrol::ISourceManager> sources_;
    std::unique_ptr<scan::TwainScanner> scanner_;
    delivery::LauncherTaskCollector collector_;
    std::shared_ptr<ScanOperationHandler> handler_;
    int lastStatus_ = 0;
};

}  // namespace app
