#pragma once
// What the main window asks of the rest of the program. The window is thin: it turns
// clicks and menu commands into these calls and shows their results. The program's
// implementation assembles the scanning control, the acquisition, the dispatch and the
// settings; tests supply a scripted one.

#include <functional>
#include <string>
#include <vector>

#include "app/ButtonTips.h"
#include "app/ScanDispatch.h"
#include "core/Ids.h"
#include "scancontrol/SourceManager.h"

namespace delivery {
class LauncherTaskCollector;
}

namespace app {

// The usable scanners for the current source name, and the check's result. `offered`
// holds the same scanners with their maker and model (empty when not known).
struct SourceCheck {
    std::vector<std::string> sources;
    core::SourceCheckResult code = core::kSourceUsable;
    std::vector<scancontrol::SourceEntry> offered = {};
};

class IMainWindowServices {
public:
    virtual ~IMainWindowServices() = default;

    // Called once the window exists; the dispatch is created with it as its window.
    virtual void Attach(IScanWindow& window) = 0;

    // ---- the dispatch ----
    // Any thread. False when the request was refused (a scan or a dialog is under way).
    virtual bool StartScanTask(const core::ScanRequest& request) = 0;
    virtual core::ScanState GetScanState() = 0;
    virtual bool SetScanState(core::ScanState state) = 0;
    // Where the running acquisition stands, for the window's indicator.
    virtual scancontrol::AcquisitionProgress ScanProgress() { return {}; }
    // The indicator's Cancel: ends the running acquisition through the control, as a
    // cancel in the driver does. False when none runs.
    virtual bool CancelScan() { return false; }
    // How far the text recognition of the scan's document has come, for the indicator's
    // step after the pages are in.
    virtual core::RecognitionStep RecognitionProgress() { return {}; }

    // ---- scanners ----
    // Makes sure the scanners have been listed without making the window wait: `ready`
    // runs on the user-interface thread once a listing is there, at once when one is
    // kept already. Listing can take seconds when many SANE backends probe their buses.
    virtual void PrepareSources(std::function<void()> ready) { ready(); }
    // Checks the current source against the kept listing (listing first when none is kept).
    virtual SourceCheck CheckSources() = 0;
    // The scanners the selection dialog offers (name, maker and model), listed afresh (the
    // source manager reopened first).
    virtual std::vector<scancontrol::SourceEntry> ListSources() = 0;
    // The same, without making the caller wait: `ready` runs on the user-interface thread
    // with the scanners once they are listed.
    virtual void ListSourcesInBackground(std::function<void(std::vector<scancontrol::SourceEntry>)> ready) {
        ready(ListSources());
    }
    virtual std::string CurrentSource() = 0;
    virtual void SetCurrentSource(const std::string& name) = 0;
    // True when the device identification table knows the source.
    virtual bool IsIdentified(const std::string& name) = 0;
    // The device status code (0 ready; see GroupOfStatus), freshly probed when asked.
    virtual int DeviceStatus(bool probe) = 0;
    // Asks the device for its duplex unit and refreshes the settings' derived values.
    virtual void RefreshDeviceKnowledge() = 0;

    // ---- settings ----
    // The user's Sets.dat (provisioned) and the defaults file Def.dat.
    virtual std::string UserSettingsFile() = 0;
    virtual std::string DefaultsFile() = 0;
    virtual ButtonTipSet LoadButtonTips() = 0;
    // Runs the button settings dialog modally over the window (a QWidget); false when
    // there is none to run.
    virtual bool RunButtonSettings(void* parentWindow) = 0;

    // ---- lifetime ----
    // The queue of deliveries waiting for the user's consent (owned by the services).
    virtual delivery::LauncherTaskCollector& Collector() = 0;
    // Exit: the acquisition object goes before the window closes.
    virtual void ReleaseAcquisition() = 0;
    // The window is closing: device-started requests are refused from now on and the
    // threads that receive them end.
    virtual void StopPushIntake() {}
};

} // namespace app
