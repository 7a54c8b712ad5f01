#pragma once
// The dispatch of one scan request: refuse it while another operation is under way,
// hand it to the user-interface thread, make the requested scanner current, build the
// destination's processor, start the acquisition, and react to the control's events
// until the finished files have reached the processor.

#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "app/ScanState.h"
#include "scancontrol/Dynamictwain.h"

namespace settings {
class CommonSetting;
} // namespace settings

namespace app {

// Destination indexes of a request.
enum Destination : int {
    kDestApplication2 = 0,
    kDestApplication1 = 1,
    kDestFolder = 2,
    kDestEmail = 3,
    kDestPcFax = 4,
};

struct ScanRequest {
    int origin = kOriginButton;        // RequestOrigin
    int destination = kDestApplication1;
    int reserved = 0;
    std::string requestedSource;       // the source the request is for
    std::string extraText;             // network push: carried, not interpreted
    std::string deviceKey;             // network push: names the push semaphore
    std::string activeSource;          // the source used; filled in on acceptance

    void Reset() { *this = ScanRequest(); }
    // A request from a window button for the current source.
    static ScanRequest ForButton(int destination, const std::string& currentSource);
};

// The name of the semaphore that tells the scanner driver a push scan is being served
// for its device; empty for button requests.
std::string PushSemaphoreName(const ScanRequest& request, const std::string& currentSource);

// What the dispatch needs of the acquisition object for one scan.
class IAcquisition {
public:
    virtual ~IAcquisition() = default;
    // Opens the current source, applies the record and starts the acquisition; true when
    // events will follow.
    virtual bool Run(const settings::CommonSetting& record) = 0;
    // Opens the output for a transferred page and has the control write the page; false
    // when the page cannot be taken (the scan then ends).
    virtual bool ProcessPage(bool newFile, const scancontrol::ImageInfo& info, int origin, int destination) = 0;
    // Adds the page just written to the open document: 0 success, 3 document full (keep
    // it and stop scanning), other values failure.
    virtual int AddPage() = 0;
    virtual void FinishDocument() = 0;
    virtual void AbortDocument() = 0;
    virtual std::string DocumentPath() const = 0;
    // What the user is to be told about the last failure of ProcessPage, AddPage or
    // FinishDocument (a full disk, a refused folder), once; empty when there is nothing
    // to add (the user has been told already, or a failed ProcessPage means the series
    // of names is full).
    virtual std::string TakeFailureMessage() { return {}; }
};

// A destination's processor: supplies its settings for the scan, may refuse the scan
// before the first page, and delivers finished files.
class ScanProcesser {
public:
    virtual ~ScanProcesser() = default;
    // True when the destination cannot take this scan (the user has been told why).
    virtual bool RefuseScan() = 0;
    virtual void OnPageSaved(const std::string& path) = 0;    // one-page file types
    virtual void OnScanFinished(const std::string& path) = 0; // end of the acquisition
    virtual void ResetSettings() = 0;
    virtual bool LoadSettings() = 0;

    bool Prepare() {
        ResetSettings();
        return LoadSettings();
    }
    // The destination's file type holds many pages per file.
    virtual bool IsMultiPage() const = 0;
    // Never show the driver's dialog for this scan (unattended network pushes).
    virtual void SuppressDriverDialog() = 0;
    // Starts the acquisition with the processor's own record.
    virtual bool Start(IAcquisition& acquisition) = 0;
};

using ProcesserFactory = std::function<std::unique_ptr<ScanProcesser>(const ScanRequest&)>;

// The main window's part of the dispatch (a headless host implements it too).
class IScanWindow {
public:
    virtual ~IScanWindow() = default;
    // Runs the call on the user-interface thread and waits for its result; calls it
    // directly when already on that thread.
    virtual int RunOnUiThread(const std::function<int()>& call) = 0;
    // Probes the current device and greys the menu accordingly; false when the device is
    // not usable.
    virtual bool UpdateMenuForDevice(bool probe) = 0;
    // Refreshes the button labels and tooltips from the stored settings.
    virtual void RefreshButtons() = 0;
    // Restores, raises and activates the window (and its open pop-up).
    virtual void BringToFront() = 0;
};

// Process-wide knowledge the dispatch refreshes when a request selects a source.
struct SourceServices {
    std::function<std::string()> currentSource;                 // the current source name
    std::function<void(const std::string&)> setCurrentSource;   // stores it at once
    std::function<void()> refreshDeviceKnowledge;               // duplex unit and derived values
};

class ScanOperationHandler : public scancontrol::IDynamictwainEvents, public IScanStatus {
public:
    ScanOperationHandler(scancontrol::CDynamictwain& control, IAcquisition& acquisition, IScanWindow& window,
                         ProcesserFactory createProcesser, SourceServices sources);
    ~ScanOperationHandler() override;

    bool IsBusy() const;
    // Any thread. True when the scan was started (or accepted without a scan, as for a
    // destination that has no processor).
    bool StartScanTask(const ScanRequest& request);
    // Any thread. Every read refreshes the state first: Running falls back to Idle as
    // soon as the control reports no acquisition in progress.
    ScanState GetScanState() const override;
    bool SetScanState(ScanState state);

    // IScanStatus, for the message routine.
    int CurrentOrigin() const override;
    // A network push stays unattended until the end of its acquisition has been handled,
    // also after the control has stopped reporting an acquisition in progress (it does so
    // before it reports the end, and when the source is disabled).
    bool Unattended() const override;

    // The steps run on the user-interface thread.
    int OnWMStartPushScan();
    bool SelectRequestedSource(const std::string& name, std::string& previous);
    std::unique_ptr<ScanProcesser> CreateProcesser();
    void RunScan(std::unique_ptr<ScanProcesser> processor);

    // Control events (user-interface thread).
    void OnTwainEvent(scancontrol::TwainEvent event) override;

    ScanRequest Request() const;
    ScanProcesser* CurrentProcessor() const { return processor_.get(); }

private:
    ScanState RefreshLocked() const;  // with stateLock_ held
    void OnTransferReady();
    void OnPageTransferred();
    void OnPageEnded();
    void OnAcquisitionEnded();
    void OnTransferFailed();
    void DeleteTempFile();
    void EndAcquisitionIfSilent();
    void SetEndPending(bool pending);
    // Shows what the acquisition says about its last failure; true when it said anything.
    bool TellFailure();

    scancontrol::CDynamictwain& control_;
    IAcquisition& acquisition_;
    IScanWindow& window_;
    ProcesserFactory createProcesser_;
    SourceServices sources_;

    mutable std::mutex stateLock_;
    mutable ScanState scanState_ = ScanState::Idle;
    ScanRequest request_;  // guarded by stateLock_ for reads from other threads
    // An acquisition started for request_ has not had its end handled yet (guarded by
    // stateLock_).
    bool endPending_ = false;

    // Touched on the user-interface thread only.
    std::unique_ptr<ScanProcesser> processor_;
    bool cancelled_ = false;
    bool endedEarly_ = false;
    bool transferring_ = false;
    bool multiPage_ = false;
    bool acquisitionClosed_ = true;  // the end of the current acquisition has been handled
};

// Where the control is told to write at the start of every scan; removed at its end.
std::string ScanTempFilePath();

} // namespace app
