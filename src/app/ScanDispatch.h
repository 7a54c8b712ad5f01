#pragma once
// The dispatch of one scan request: refuse it while another operation is under way,
// hand it to the user-interface thread, make the requested scanner current, build the
// destination's processor, start the acquisition, and react to the control's events
// until the finished files have reached the processor.

#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/ScanJob.h"
#include "core/ScanState.h"
#include "core/Texts.h"
#include "scancontrol/Dynamictwain.h"

namespace app {

// How one acquisition ended, once its end has been handled.
struct ScanOutcome {
    // The control's event that ended it (4, 5 or 6); 0 when the dispatch ended it itself
    // (a refused scan, a page that could not be written).
    int endEvent = 0;
    bool delivered = false;         // the result reached the destination
    std::vector<std::string> files; // the files handed to the destination
    std::string recipient;          // the application they were handed to, if any
    // A page or the document could not be written (the user was told why): what was
    // delivered, if anything, is not all that was scanned.
    bool pageLost = false;
};

// True when the window shows a progress indicator for the request: not for quiet
// requests nor for network pushes, which run unattended.
bool ShowsIndicator(const core::ScanRequest& request);

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
    // Any thread: queues the call to the user-interface thread and returns at once; an
    // empty call only asks whether the window can. False when it cannot (the dispatch
    // then does all its work on that thread).
    virtual bool PostToUiThread(std::function<void()>) { return false; }
    // An acquisition for the request is under way: events will follow.
    virtual void AcquisitionStarted(const core::ScanRequest&) {}
    // The end of that acquisition has been handled (delivery included).
    virtual void AcquisitionEnded(const core::ScanRequest&, const ScanOutcome&) {}
};

// Process-wide knowledge the dispatch refreshes when a request selects a source.
struct SourceServices {
    std::function<std::string()> currentSource;               // the current source name
    std::function<void(const std::string&)> setCurrentSource; // stores it at once
    std::function<void()> refreshDeviceKnowledge;             // duplex unit and derived values
};

// Where one acquisition stands, as the control's events move it on (user-interface
// thread only).
struct AcquisitionState {
    enum class Course {
        Taking,    // pages are taken
        Full,      // the document is full: it is kept and delivered, no more pages are taken
        Abandoned, // refused, failed or cancelled: nothing is delivered
    };
    Course course = Course::Taking;
    bool transferring = false; // a page transfer has begun and not yet ended
    bool multiPage = false;    // the destination's file type holds many pages per file
    bool closed = true;        // the end of the acquisition has been handled

    // A new acquisition for a destination.
    void Begin(bool manyPagesPerFile) { *this = AcquisitionState{Course::Taking, false, manyPagesPerFile, false}; }
    // No more pages are taken; a full document stays full.
    void Stop() {
        if (course == Course::Taking) course = Course::Abandoned;
    }
    // A full document that sees another transfer is not kept after all.
    void ForgetFull() {
        if (course == Course::Full) course = Course::Abandoned;
    }
    bool Stopped() const { return course != Course::Taking; }
    bool IsAbandoned() const { return course == Course::Abandoned; }
    bool IsFull() const { return course == Course::Full; }
};

class ScanOperationHandler : public scancontrol::IDynamictwainEvents, public core::IScanStatus {
public:
    ScanOperationHandler(scancontrol::CDynamictwain& control, core::IAcquisition& acquisition, IScanWindow& window,
                         core::ProcesserFactory createProcesser, SourceServices sources);
    ~ScanOperationHandler() override;

    bool IsBusy() const;
    // Any thread. True when the scan was started (or accepted without a scan, as for a
    // destination that has no processor).
    bool StartScanTask(const core::ScanRequest& request);
    // Any thread. Every read refreshes the state first: Running falls back to Idle as
    // soon as the control reports no acquisition in progress.
    core::ScanState GetScanState() const override;
    bool SetScanState(core::ScanState state);

    // IScanStatus, for the message routine.
    int CurrentOrigin() const override;
    // A network push stays unattended until the end of its acquisition has been handled,
    // also after the control has stopped reporting an acquisition in progress (it does so
    // before it reports the end, and when the source is disabled).
    bool Unattended() const override;

    // The steps run on the user-interface thread.
    int OnWMStartPushScan();
    bool SelectRequestedSource(const std::string& name, std::string& previous);
    std::unique_ptr<core::ScanProcesser> CreateProcesser();
    void RunScan(std::unique_ptr<core::ScanProcesser> processor);

    // Control events (user-interface thread). While the acquisition adds a page or
    // finishes the document away from this thread, the events that come meanwhile wait
    // and are handled afterwards, in their order: the dispatch sees the same events and
    // results, in the same order, as if the work had been done here.
    void OnTwainEvent(scancontrol::TwainEvent event) override;
    // Stops the recognition of a document being finished: nothing is delivered and
    // nothing is kept. False when no recognition runs (user-interface thread).
    bool CancelRecognition();
    // Where the recognition of the scan's document stands (user-interface thread).
    core::RecognitionStep Recognition() const { return acquisition_.Recognition(); }

    core::ScanRequest Request() const;
    core::ScanProcesser* CurrentProcessor() const { return processor_.get(); }
    // How the last acquisition ended (user-interface thread).
    const ScanOutcome& LastOutcome() const { return outcome_; }

private:
    class Background;
    core::ScanState RefreshLocked() const; // with stateLock_ held
    void HandleEvent(scancontrol::TwainEvent event);
    void AfterEvent(scancontrol::TwainEvent event);
    // Tells the window once that the acquisition's end has been handled.
    void ReportEnd();
    // Runs `work` on the dispatch's worker when `background` (and the window can hand
    // the rest back), else here; `then` and the end of the event's handling follow on
    // this thread.
    void RunStep(bool background, std::function<void()> work, std::function<void()> then);
    void FinishStep(const std::vector<core::HeldMessage>& held, const std::function<void()>& then);
    void SetWorking(bool working);
    void SetAsidePending(bool pending);
    // Documents finished aside (one-page files whose text is recognised): heard of as
    // they are finished where the window takes calls from other threads.
    void ListenAside();
    void OnAsideFinished();
    // Delivers the documents finished aside, in their order, up to the first still being
    // finished. True when one could not be written: the user has been told, the rest
    // are dropped and none is delivered after it.
    bool DeliverAside();
    // Ends the running acquisition at the control (nothing more of it is handled).
    void DisableSource();
    void AfterAddPage(int result);
    void AfterFinish();
    void OnTransferReady();
    void OnPageTransferred();
    void OnPageEnded();
    void OnAcquisitionEnded();
    void OnTransferFailed();
    void DeleteTempFile();
    // Ends the acquisition without a document: the control stops and closes the source,
    // the open document is dropped and the temporary file goes (once per acquisition).
    // Documents finished aside are waited for and delivered first, or, `dropAside`, stopped.
    void Abandon(bool dropAside = false);
    void CloseAbandoned();
    // No pages after this one: the control is told to stop feeding.
    void StopFeeding();
    void EndAcquisitionIfSilent();
    void SetEndPending(bool pending);
    // Shows what the acquisition says about its last failure; true when it said anything.
    bool TellFailure();

    scancontrol::CDynamictwain& control_;
    core::IAcquisition& acquisition_;
    IScanWindow& window_;
    core::ProcesserFactory createProcesser_;
    SourceServices sources_;

    mutable std::mutex stateLock_;
    mutable core::ScanState scanState_ = core::ScanState::Idle;
    core::ScanRequest request_; // guarded by stateLock_ for reads from other threads
    // An acquisition started for request_ has not had its end handled yet (guarded by
    // stateLock_).
    bool endPending_ = false;

    // Touched on the user-interface thread only.
    std::unique_ptr<core::ScanProcesser> processor_;
    AcquisitionState acquisitionState_;
    ScanOutcome outcome_;
    bool endReported_ = true; // the window has heard of the last acquisition's end

    // Work away from the user-interface thread: one step at a time.
    std::unique_ptr<Background> background_;
    bool stepRunning_ = false;                    // user-interface thread
    scancontrol::TwainEvent stepEvent_{};         // the event whose handling the step belongs to
    std::deque<scancontrol::TwainEvent> waiting_; // events that came during a step
    bool recognitionCancelled_ = false;           // the user stopped the recognition
    bool disabledHere_ = false;                   // the dispatch disabled the source in a step's end
    bool working_ = false;                        // a step runs (guarded by stateLock_)
    bool asidePending_ = false;                   // documents are finished aside (guarded by stateLock_)
    bool asideScan_ = false;                      // this acquisition finishes documents aside
    bool asideFailed_ = false;                    // one of them could not be written
    bool listening_ = false;                      // the acquisition calls back when one is finished
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

// Where the control is told to write at the start of every scan; removed at its end.
std::string ScanTempFilePath();

} // namespace app
