#include "app/ScanDispatch.h"

#include <condition_variable>
#include <thread>

#include "core/Ids.h"
#include "core/Texts.h"
#include "output/ImageCompressioner.h"
#include "platform/Memory.h"
#include "platform/NamedSemaphore.h"
#include "platform/Services.h"
#include "scancontrol/Twain.h"
#include "settings/ProductData.h"

namespace app {

using scancontrol::TwainEvent;

namespace {

constexpr int kAccepted = 1;
constexpr int kRefused = 0;

} // namespace

// The dispatch's worker: runs the steps it is given, one after another, on a thread of
// its own, started with the first step.
class ScanOperationHandler::Background {
public:
    ~Background() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stop_ = true;
        }
        wake_.notify_all();
        if (thread_.joinable()) thread_.join();
    }
    void Post(std::function<void()> task) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            queue_.push_back(std::move(task));
        }
        if (!thread_.joinable()) thread_ = std::thread([this] { Run(); });
        wake_.notify_all();
    }

private:
    void Run() {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            wake_.wait(lock, [this] { return stop_ || !queue_.empty(); });
            if (queue_.empty()) return;
            std::function<void()> task = std::move(queue_.front());
            queue_.pop_front();
            lock.unlock();
            task();
            lock.lock();
        }
    }
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> queue_;
    bool stop_ = false;
    std::thread thread_;
};

bool ShowsIndicator(const core::ScanRequest& request) {
    return !request.quiet && request.origin != core::kOriginNetworkPush;
}

std::string ScanTempFilePath() { return settings::WorkingImageFolder() + "~temp"; }

ScanOperationHandler::ScanOperationHandler(scancontrol::CDynamictwain& control, core::IAcquisition& acquisition,
                                           IScanWindow& window, core::ProcesserFactory createProcesser,
                                           SourceServices sources)
    : control_(control), acquisition_(acquisition), window_(window), createProcesser_(std::move(createProcesser)),
      sources_(std::move(sources)) {}

ScanOperationHandler::~ScanOperationHandler() {
    // A step still running ends first: a recognition is stopped, not waited for. Nobody
    // is left to deliver the documents still finished aside: they are dropped.
    *alive_ = false;
    if (listening_) acquisition_.SetAsideListener(nullptr);
    if (stepRunning_ || asideScan_) acquisition_.CancelRecognition();
    background_.reset();
    if (stepRunning_) control_.HoldEvents(false);
}

core::ScanState ScanOperationHandler::RefreshLocked() const {
    // The scan is over once the control has stopped and no step of it still runs.
    if (scanState_ == core::ScanState::Running && control_.ScanInProgress() == 0 && !working_ && !asidePending_)
        scanState_ = core::ScanState::Idle;
    return scanState_;
}

core::ScanState ScanOperationHandler::GetScanState() const {
    std::lock_guard<std::mutex> guard(stateLock_);
    return RefreshLocked();
}

bool ScanOperationHandler::IsBusy() const { return GetScanState() != core::ScanState::Idle; }

bool ScanOperationHandler::SetScanState(core::ScanState state) {
    std::lock_guard<std::mutex> guard(stateLock_);
    core::ScanState current = RefreshLocked();
    if (state == current) return true;
    bool allowed = false;
    switch (state) {
        case core::ScanState::Idle: allowed = true; break;
        case core::ScanState::Modal:
        case core::ScanState::Starting: allowed = current == core::ScanState::Idle; break;
        case core::ScanState::Running: allowed = current == core::ScanState::Starting; break;
    }
    if (allowed) scanState_ = state;
    return allowed;
}

int ScanOperationHandler::CurrentOrigin() const {
    std::lock_guard<std::mutex> guard(stateLock_);
    return request_.origin;
}

bool ScanOperationHandler::Unattended() const {
    std::lock_guard<std::mutex> guard(stateLock_);
    if (request_.origin != core::kOriginNetworkPush) return false;
    core::ScanState state = RefreshLocked();
    return endPending_ || state == core::ScanState::Starting || state == core::ScanState::Running;
}

void ScanOperationHandler::SetEndPending(bool pending) {
    std::lock_guard<std::mutex> guard(stateLock_);
    endPending_ = pending;
}

core::ScanRequest ScanOperationHandler::Request() const {
    std::lock_guard<std::mutex> guard(stateLock_);
    return request_;
}

bool ScanOperationHandler::StartScanTask(const core::ScanRequest& request) {
    if (IsBusy()) return false;
    {
        // Only an idle handler takes a request: two callers that both saw Idle above
        // cannot both go on, the second finds Starting here and is refused.
        std::lock_guard<std::mutex> guard(stateLock_);
        if (RefreshLocked() != core::ScanState::Idle) return false;
        scanState_ = core::ScanState::Starting;
        request_ = request;
        endPending_ = false;
    }
    std::string current = sources_.currentSource ? sources_.currentSource() : std::string();
    std::string semaphoreName = core::PushSemaphoreName(request, current);
    std::unique_ptr<platform::NamedSemaphore> semaphore;
    // The semaphore exists exactly while the request is being accepted: the driver reads
    // its presence as "a push scan is being served for this device".
    if (!semaphoreName.empty()) semaphore = std::make_unique<platform::NamedSemaphore>(semaphoreName, 1, true);

    bool accepted = window_.RunOnUiThread([this] { return OnWMStartPushScan(); }) == kAccepted;
    if (accepted) {
        std::lock_guard<std::mutex> guard(stateLock_);
        if (RefreshLocked() == core::ScanState::Starting) scanState_ = core::ScanState::Running;
    } else {
        SetScanState(core::ScanState::Idle);
    }
    return accepted;
}

int ScanOperationHandler::OnWMStartPushScan() {
    core::ScanRequest request = Request();
    std::string previous;
    if (!SelectRequestedSource(request.requestedSource, previous)) return kRefused;
    {
        std::lock_guard<std::mutex> guard(stateLock_);
        request_.activeSource = previous;
    }
    window_.BringToFront();
    if (auto processor = CreateProcesser()) RunScan(std::move(processor));
    return kAccepted;
}

bool ScanOperationHandler::SelectRequestedSource(const std::string& name, std::string& previous) {
    previous = sources_.currentSource ? sources_.currentSource() : std::string();
    if (sources_.setCurrentSource) sources_.setCurrentSource(name);
    if (!window_.UpdateMenuForDevice(true)) return false;
    window_.RefreshButtons();
    if (sources_.refreshDeviceKnowledge) sources_.refreshDeviceKnowledge();
    return true;
}

std::unique_ptr<core::ScanProcesser> ScanOperationHandler::CreateProcesser() {
    if (!createProcesser_) return nullptr;
    return createProcesser_(Request());
}

void ScanOperationHandler::RunScan(std::unique_ptr<core::ScanProcesser> processor) {
    if (!processor || control_.ScanInProgress() != 0) return;
    processor_ = std::move(processor);
    control_.SaveImageToFile(ScanTempFilePath(), twain::TWFF_BMP);
    processor_->Prepare();
    window_.RefreshButtons();
    acquisitionState_.Begin(processor_->IsMultiPage());
    if (Request().origin == core::kOriginNetworkPush) processor_->SuppressDriverDialog();
    SetEndPending(true);
    outcome_ = ScanOutcome();
    asideScan_ = asideFailed_ = recognitionCancelled_ = false;
    if (!processor_->Start(acquisition_)) {
        acquisitionState_.closed = true;
        SetEndPending(false);
        return;
    }
    endReported_ = false;
    window_.AcquisitionStarted(Request());
}

void ScanOperationHandler::OnTwainEvent(TwainEvent event) {
    if (stepRunning_ || !waiting_.empty()) {
        waiting_.push_back(event);
        return;
    }
    HandleEvent(event);
}

void ScanOperationHandler::HandleEvent(TwainEvent event) {
    stepEvent_ = event;
    switch (event) {
        case TwainEvent::TransferReady: OnTransferReady(); break;
        case TwainEvent::PageTransferred: OnPageTransferred(); break;
        case TwainEvent::PageEnded: OnPageEnded(); break;
        case TwainEvent::AcquisitionEnded: OnAcquisitionEnded(); break;
        case TwainEvent::TransferFailed:
        case TwainEvent::TransferCancelled: OnTransferFailed(); break;
    }
    if (!stepRunning_) AfterEvent(event);
}

void ScanOperationHandler::AfterEvent(TwainEvent event) {
    if (event == TwainEvent::AcquisitionEnded || event == TwainEvent::TransferFailed ||
        event == TwainEvent::TransferCancelled) {
        if (outcome_.endEvent == 0) outcome_.endEvent = static_cast<int>(event);
    }
    ReportEnd();
    // The scan is over and its pages are gone: the memory they held goes back.
    if (event == TwainEvent::AcquisitionEnded || event == TwainEvent::TransferFailed ||
        event == TwainEvent::TransferCancelled)
        platform::ReturnFreeMemory();
}

void ScanOperationHandler::ReportEnd() {
    // The end has been handled, delivery included: from here on the scan's messages are
    // no longer part of it.
    if (acquisitionState_.closed) SetEndPending(false);
    if (acquisitionState_.closed && !endReported_) {
        endReported_ = true;
        if (listening_) {
            acquisition_.SetAsideListener(nullptr);
            listening_ = false;
        }
        outcome_.delivered = !acquisitionState_.IsAbandoned() && !outcome_.files.empty();
        if (outcome_.delivered && processor_) outcome_.recipient = processor_->Recipient();
        window_.AcquisitionEnded(Request(), outcome_);
    }
}

void ScanOperationHandler::SetWorking(bool working) {
    std::lock_guard<std::mutex> guard(stateLock_);
    working_ = working;
}

void ScanOperationHandler::SetAsidePending(bool pending) {
    std::lock_guard<std::mutex> guard(stateLock_);
    asidePending_ = pending;
}

void ScanOperationHandler::RunStep(bool background, std::function<void()> work, std::function<void()> then) {
    if (background) {
        if (!background_) background_ = std::make_unique<Background>();
        std::shared_ptr<bool> alive = alive_;
        stepRunning_ = true;
        SetWorking(true);
        // The control keeps what comes meanwhile to itself: its current page and its
        // state stay those of the event being handled until the step has ended.
        control_.HoldEvents(true);
        // What the work says to the user is shown here afterwards, where it would have
        // been shown had the work run here.
        background_->Post([this, alive, work = std::move(work), then = std::move(then)]() mutable {
            std::vector<core::HeldMessage> held;
            {
                core::MessageCapture capture;
                work();
                held = capture.Take();
            }
            const bool posted = window_.PostToUiThread([this, alive, held, then = std::move(then)] {
                if (*alive) FinishStep(held, then);
            });
            (void)posted; // the window said it can, when the step began
        });
        return;
    }
    work();
    then();
}

void ScanOperationHandler::DisableSource() {
    control_.DisableSource();
    disabledHere_ = true;
}

void ScanOperationHandler::FinishStep(const std::vector<core::HeldMessage>& held, const std::function<void()>& then) {
    stepRunning_ = false;
    SetWorking(false);
    core::ShowHeldMessages(held);
    disabledHere_ = false;
    then();
    // A disabled acquisition delivers nothing more: what it sent before the dispatch
    // disabled it, and had not been handled yet, is dropped as the control would have.
    if (disabledHere_) waiting_.clear();
    if (stepRunning_) return; // the rest of the event waits for the next step
    AfterEvent(stepEvent_);
    while (!stepRunning_ && !waiting_.empty()) {
        const TwainEvent next = waiting_.front();
        waiting_.pop_front();
        HandleEvent(next);
    }
    if (!stepRunning_) control_.HoldEvents(false);
}

bool ScanOperationHandler::CancelRecognition() {
    if (!stepRunning_ && acquisition_.DocumentsAside() == 0) return false;
    if (!acquisition_.CancelRecognition()) return false;
    recognitionCancelled_ = true;
    return true;
}

void ScanOperationHandler::OnTransferReady() {
    acquisitionState_.transferring = true;
    acquisitionState_.ForgetFull();
    if (processor_ && processor_->RefuseScan()) Abandon();
}

void ScanOperationHandler::OnPageTransferred() {
    acquisitionState_.ForgetFull();
    if (acquisitionState_.Stopped()) return;
    core::ScanRequest request = Request();
    // A one-page file type starts a file for every page; a many-page one only for the
    // first page of a transfer.
    bool newFile = !(acquisitionState_.multiPage && !acquisitionState_.transferring);
    if (!acquisition_.ProcessPage(newFile, control_.CurrentImageInfo(), request.origin, request.destination)) {
        // A page that cannot be taken for another reason than a full series says why.
        const std::string why = acquisition_.TakeFailureMessage();
        core::ShowMessage(why.empty() ? core::LoadMessageText(core::MessageNumber::SeriesFull) : why,
                          core::kMbOk | core::kMbIconStop);
        outcome_.pageLost = true;
        Abandon();
    }
}

void ScanOperationHandler::OnPageEnded() {
    if (acquisitionState_.IsAbandoned()) {
        acquisition_.AbortDocument();
        return;
    }
    acquisitionState_.transferring = false;
    auto result = std::make_shared<int>(output::kPageAdded);
    const bool multiPage = acquisitionState_.multiPage;
    const bool background = acquisition_.AddsPageInBackground() && window_.PostToUiThread(nullptr);
    // A one-page file whose text is recognised is finished aside: the next page does not
    // wait for its recognition. Those documents are delivered in their order as they
    // are finished, and all of them before the scan's end.
    const bool aside = !multiPage && acquisition_.FinishesAside();
    if (aside) {
        asideScan_ = true;
        SetAsidePending(true);
        ListenAside();
    }
    RunStep(
        background,
        [this, result, multiPage, aside] {
            *result = acquisition_.AddPage();
            if (*result != output::kPageAdded && *result != output::kDocumentFull) acquisition_.AbortDocument();
            // A page that could not be written is not delivered: there is no file to deliver.
            else if (aside) acquisition_.HandOverDocument();
            else if (!multiPage) acquisition_.FinishDocument();
        },
        [this, result] { AfterAddPage(*result); });
}

void ScanOperationHandler::ListenAside() {
    // Only a window that takes calls from other threads hears of a finished document at
    // once; else the documents are delivered at the next page's end and at the scan's.
    if (listening_ || !window_.PostToUiThread(nullptr)) return;
    listening_ = true;
    std::shared_ptr<bool> alive = alive_;
    acquisition_.SetAsideListener([this, alive] {
        window_.PostToUiThread([this, alive] {
            if (*alive) OnAsideFinished();
        });
    });
}

void ScanOperationHandler::OnAsideFinished() {
    // Between events only: the end of a step delivers what was finished meanwhile.
    if (stepRunning_ || !waiting_.empty() || acquisitionState_.closed) return;
    if (!DeliverAside()) return;
    // A document that could not be written ends the scan, as at a page's end.
    StopFeeding();
    EndAcquisitionIfSilent();
    if (!stepRunning_) ReportEnd();
}

bool ScanOperationHandler::DeliverAside() {
    bool failed = false;
    core::DocumentAside document;
    while (acquisition_.TakeDocumentAside(document)) {
        // After a document that could not be written nothing more is delivered.
        if (asideFailed_) continue;
        if (document.end == core::DocumentAside::End::Published) {
            if (processor_) {
                processor_->OnPageSaved(document.path);
                outcome_.files.push_back(document.path);
            }
        } else if (document.end == core::DocumentAside::End::Failed) {
            asideFailed_ = failed = true;
            outcome_.pageLost = true;
            acquisition_.DropDocumentsAside();
            const std::string why = acquisition_.TakeFailureMessage();
            if (!why.empty()) core::ShowMessage(why, core::kMbOk | core::kMbIconStop);
        }
    }
    if (acquisition_.DocumentsAside() == 0) SetAsidePending(false);
    return failed;
}

void ScanOperationHandler::AfterAddPage(int result) {
    acquisition_.ReleasePage();
    bool pageLost = false;
    if (result == output::kDocumentFull) {
        acquisitionState_.course = AcquisitionState::Course::Full;
        DisableSource();
    } else if (result != output::kPageAdded) {
        acquisitionState_.course = AcquisitionState::Course::Abandoned;
        pageLost = true;
        DisableSource();
    }
    bool asideFailed = false;
    if (!acquisitionState_.multiPage && !pageLost && asideScan_) {
        asideFailed = DeliverAside();
    } else if (!acquisitionState_.multiPage && !pageLost) {
        std::string path = acquisition_.DocumentPath();
        if (processor_ && !path.empty()) {
            processor_->OnPageSaved(path);
            outcome_.files.push_back(path);
        }
    }
    // A document that could not be saved ends the scan: the next would fare no better.
    const bool failed = TellFailure() || asideFailed;
    if (failed || pageLost) outcome_.pageLost = true;
    if (failed && result == output::kPageAdded) StopFeeding();
    if (result != output::kPageAdded || failed) EndAcquisitionIfSilent();
}

bool ScanOperationHandler::TellFailure() {
    const std::string why = acquisition_.TakeFailureMessage();
    if (!why.empty()) core::ShowMessage(why, core::kMbOk | core::kMbIconStop);
    return !why.empty();
}

void ScanOperationHandler::EndAcquisitionIfSilent() {
    // A control that ends a disabled acquisition without a closing event still owes the
    // document its end: handle it here, once.
    if (control_.ScanInProgress() == 0 && !acquisitionState_.closed) OnAcquisitionEnded();
}

void ScanOperationHandler::OnAcquisitionEnded() {
    if (acquisitionState_.closed) return;
    if (acquisitionState_.IsAbandoned()) {
        Abandon();
        return;
    }
    acquisitionState_.closed = true;
    DeleteTempFile();
    if (acquisitionState_.IsFull()) {
        core::ShowMessage(core::LoadMessageText(core::MessageNumber::DocumentFull),
                          core::kMbOk | core::kMbIconInformation);
        acquisitionState_.ForgetFull();
    }
    // The documents still finished aside are waited for here too.
    const bool background =
        (acquisition_.FinishesInBackground() || acquisition_.DocumentsAside() > 0) && window_.PostToUiThread(nullptr);
    RunStep(
        background,
        [this] {
            acquisition_.FinishDocument();
            acquisition_.WaitForDocumentsAside();
        },
        [this] { AfterFinish(); });
}

void ScanOperationHandler::AfterFinish() {
    if (recognitionCancelled_) {
        // The user stopped the recognition: the document is gone, nothing more is
        // delivered than the documents finished aside before.
        recognitionCancelled_ = false;
        if (asideScan_) DeliverAside();
        acquisitionState_.course = AcquisitionState::Course::Abandoned;
        acquisition_.AbortDocument();
        control_.CloseSource();
        return;
    }
    if (TellFailure()) outcome_.pageLost = true;
    if (asideScan_ && DeliverAside()) {
        // A document that could not be written: the scan delivers nothing more.
        acquisitionState_.course = AcquisitionState::Course::Abandoned;
        control_.CloseSource();
        return;
    }
    std::string path = acquisition_.DocumentPath();
    if (processor_ && !path.empty()) {
        processor_->OnScanFinished(path);
        if (acquisitionState_.multiPage) outcome_.files.push_back(path);
    }
    control_.CloseSource();
}

void ScanOperationHandler::OnTransferFailed() {
    // A failed or cancelled acquisition delivers nothing and leaves no partial document.
    // A cancel also stops the documents still finished aside.
    Abandon(stepEvent_ == TwainEvent::TransferCancelled);
}

void ScanOperationHandler::Abandon(bool dropAside) {
    acquisitionState_.course = AcquisitionState::Course::Abandoned;
    DisableSource();
    control_.CloseSource();
    acquisition_.AbortDocument();
    if (acquisitionState_.closed) return;
    if (acquisition_.DocumentsAside() > 0) {
        // The pages transferred before are delivered as they would have been without
        // recognition, once finished; the end of the scan waits for them.
        if (dropAside) acquisition_.DropDocumentsAside();
        RunStep(
            window_.PostToUiThread(nullptr), [this] { acquisition_.WaitForDocumentsAside(); },
            [this] {
                recognitionCancelled_ = false;
                DeliverAside();
                CloseAbandoned();
            });
        return;
    }
    CloseAbandoned();
}

void ScanOperationHandler::CloseAbandoned() {
    if (acquisitionState_.closed) return;
    acquisitionState_.closed = true;
    DeleteTempFile();
}

void ScanOperationHandler::StopFeeding() {
    acquisitionState_.Stop();
    DisableSource();
}

void ScanOperationHandler::DeleteTempFile() { platform::FileSystem().Remove(ScanTempFilePath()); }

} // namespace app
