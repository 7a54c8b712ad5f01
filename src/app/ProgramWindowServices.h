#pragma once
// The main window's services for the real program: the SANE scanning control, the
// acquisition, the scan dispatch, the scanner checks and the stored settings.

#include <memory>

#include <QObject>

#include "app/MainWindowServices.h"
#include "delivery/LaunchTasks.h"

namespace scancontrol {
class CDynamictwain;
class ISourceManager;
class KeptSourceListing;
} // namespace scancontrol
namespace scan {
class TwainScanner;
}
namespace pushscan {
class IPushEventStore;
class PushScanIntake;
class IScanTaskHandler;
} // namespace pushscan

namespace app {

class ProgramServices;

class ProgramWindowServices : public IMainWindowServices {
public:
    // On the SANE scanning control.
    ProgramWindowServices();
    // On the given control and its source listing (a scripted control in tests); with no
    // control, the SANE control on that listing. The listing is kept between checks.
    ProgramWindowServices(std::unique_ptr<scancontrol::CDynamictwain> control,
                          std::shared_ptr<scancontrol::ISourceManager> sources);
    ~ProgramWindowServices() override;

    void Attach(IScanWindow& window) override;
    bool StartScanTask(const core::ScanRequest& request) override;
    core::ScanState GetScanState() override;
    bool SetScanState(core::ScanState state) override;
    scancontrol::AcquisitionProgress ScanProgress() override;
    bool CancelScan() override;
    core::RecognitionStep RecognitionProgress() override;
    void PrepareSources(std::function<void()> ready) override;
    SourceCheck CheckSources() override;
    std::vector<scancontrol::SourceEntry> ListSources() override;
    void ListSourcesInBackground(std::function<void(std::vector<scancontrol::SourceEntry>)> ready) override;
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
    void StopPushIntake() override;

    // Serve device-started scans while the window lives: the driver channel's listener
    // always, and the recorded button events when a store and the push event are given
    // (both stay the caller's and must outlive these services). Call before the window
    // attaches.
    void EnablePushIntake(const pushscan::IPushEventStore* store, void* pushEvent);
    pushscan::PushScanIntake* PushIntake() const { return intake_.get(); }

    ScanOperationHandler* Dispatch() const { return handler_.get(); }
    // The listing of the scanners, shared by every check of the window and the control.
    scancontrol::KeptSourceListing& Sources() const { return *sources_; }

private:
    // Listed once, then kept: refreshed by the scanner selection and after a device
    // could not be opened or a check failed.
    std::shared_ptr<scancontrol::KeptSourceListing> sources_;
    std::unique_ptr<scancontrol::CDynamictwain> control_;
    // Every process-wide hook the window's parts call through, removed with the services.
    std::unique_ptr<ProgramServices> services_;
    // Receives the end of a background listing on the user-interface thread.
    QObject uiThread_;
    std::unique_ptr<scan::TwainScanner> scanner_;
    delivery::LauncherTaskCollector collector_;
    std::shared_ptr<ScanOperationHandler> handler_;
    int lastStatus_ = 0;
    IScanWindow* window_ = nullptr; // the window attached, parent of the settings dialog

    // Device-started requests reach the user-interface thread through this gate, which
    // refuses them once the window closes.
    class UiGate;
    std::unique_ptr<UiGate> gate_;
    std::unique_ptr<pushscan::IScanTaskHandler> pushTarget_;
    std::unique_ptr<pushscan::PushScanIntake> intake_;
    bool pushIntake_ = false;
    const pushscan::IPushEventStore* pushStore_ = nullptr;
    void* pushEvent_ = nullptr;
};

} // namespace app
