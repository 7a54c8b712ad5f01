#include "app/ScanDispatch.h"

#include "core/Texts.h"
#include "platform/Memory.h"
#include "platform/NamedSemaphore.h"
#include "platform/Services.h"
#include "settings/ProductData.h"

namespace app {

using scancontrol::TwainEvent;

namespace {

constexpr int kAccepted = 1;
constexpr int kRefused = 0;
constexpr int kMessageSeriesFull = 113;
constexpr int kMessageEndedEarly = 210;
constexpr int kEncoderDocumentFull = 3;

} // namespace

std::string ScanTempFilePath() { return settings::WorkingImageFolder() + "~temp"; }

ScanOperationHandler::ScanOperationHandler(scancontrol::CDynamictwain& control, core::IAcquisition& acquisition,
                                           IScanWindow& window, core::ProcesserFactory createProcesser,
                                           SourceServices sources)
    : control_(control), acquisition_(acquisition), window_(window),
      createProcesser_(std::move(createProcesser)), sources_(std::move(sources)) {}

ScanOperationHandler::~ScanOperationHandler() = default;

core::ScanState ScanOperationHandler::RefreshLocked() const {
    if (scanState_ == core::ScanState::Running && control_.ScanInProgress() == 0) scanState_ = core::ScanState::Idle;
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
    cancelled_ = false;
    processor_ = std::move(processor);
    control_.SaveImageToFile(ScanTempFilePath(), 2);
    processor_->Prepare();
    window_.RefreshButtons();
    multiPage_ = processor_->IsMultiPage();
    endedEarly_ = false;
    transferring_ = false;
    if (Request().origin == core::kOriginNetworkPush) processor_->SuppressDriverDialog();
    acquisitionClosed_ = false;
    SetEndPending(true);
    if (!processor_->Start(acquisition_)) {
        acquisitionClosed_ = true;
        SetEndPending(false);
    }
}

void ScanOperationHandler::OnTwainEvent(TwainEvent event) {
    switch (event) {
    case TwainEvent::TransferReady: OnTransferReady(); break;
    case TwainEvent::PageTransferred: OnPageTransferred(); break;
    case TwainEvent::PageEnded: OnPageEnded(); break;
    case TwainEvent::AcquisitionEnded: OnAcquisitionEnded(); break;
    case TwainEvent::TransferFailed:
    case TwainEvent::TransferCancelled: OnTransferFailed(); break;
    }
    // The end has been handled, delivery included: from here on the scan's messages are
    // no longer part of it.
    if (acquisitionClosed_) SetEndPending(false);
    // The scan is over and its pages are gone: the memory they held goes back.
    if (event == TwainEvent::AcquisitionEnded || event == TwainEvent::TransferFailed ||
        event == TwainEvent::TransferCancelled)
        platform::ReturnFreeMemory();
}

void ScanOperationHandler::OnTransferReady() {
    transferring_ = true;
    endedEarly_ = false;
    if (processor_ && processor_->RefuseScan()) {
        control_.DisableSource();
        cancelled_ = true;
        control_.CloseSource();
        acquisitionClosed_ = true;
        acquisition_.AbortDocument();
    }
}

void ScanOperationHandler::OnPageTransferred() {
    endedEarly_ = false;
    if (cancelled_) return;
    core::ScanRequest request = Request();
    bool newFile = !(multiPage_ && !transferring_);
    if (!acquisition_.ProcessPage(newFile, control_.CurrentImageInfo(), request.origin, request.destination)) {
        // A page that cannot be taken for another reason than a full series says why.
        const std::string why = acquisition_.TakeFailureMessage();
        core::ShowMessage(why.empty() ? core::LoadMessageText(kMessageSeriesFull) : why, core::kMbOk | core::kMbIconStop);
        control_.DisableSource();
        cancelled_ = true;
        control_.CloseSource();
        acquisition_.AbortDocument();
        DeleteTempFile();
        acquisitionClosed_ = true;
    }
}

void ScanOperationHandler::OnPageEnded() {
    if (cancelled_ && !endedEarly_) {
        acquisition_.AbortDocument();
        return;
    }
    transferring_ = false;
    int result = acquisition_.AddPage();
    bool pageLost = false;
    if (result != 0) {
        if (result == kEncoderDocumentFull) {
            endedEarly_ = true;
        } else {
            endedEarly_ = false;
            pageLost = true;
            acquisition_.AbortDocument();
        }
        control_.DisableSource();
        cancelled_ = true;
    }
    // A page that could not be written is not delivered: there is no file to deliver.
    if (!multiPage_ && !pageLost) {
        acquisition_.FinishDocument();
        std::string path = acquisition_.DocumentPath();
        if (processor_ && !path.empty()) processor_->OnPageSaved(path);
    }
    // A document that could not be saved ends the scan: the next would fare no better.
    const bool failed = TellFailure();
    if (failed && result == 0) {
        control_.DisableSource();
        cancelled_ = true;
    }
    if (result != 0 || failed) EndAcquisitionIfSilent();
}

bool ScanOperationHandler::TellFailure() {
    const std::string why = acquisition_.TakeFailureMessage();
    if (!why.empty()) core::ShowMessage(why, core::kMbOk | core::kMbIconStop);
    return !why.empty();
}

void ScanOperationHandler::EndAcquisitionIfSilent() {
    // A control that ends a disabled acquisition without a closing event still owes the
    // document its end: handle it here, once.
    if (control_.ScanInProgress() == 0 && !acquisitionClosed_) OnAcquisitionEnded();
}

void ScanOperationHandler::OnAcquisitionEnded() {
    if (acquisitionClosed_) return;
    acquisitionClosed_ = true;
    DeleteTempFile();
    if (cancelled_ && !endedEarly_) {
        acquisition_.AbortDocument();
        control_.DisableSource();
        control_.CloseSource();
        return;
    }
    if (endedEarly_) {
        core::ShowMessage(core::LoadMessageText(kMessageEndedEarly), core::kMbOk | core::kMbIconInformation);
        endedEarly_ = false;
    }
    acquisition_.FinishDocument();
    TellFailure();
    std::string path = acquisition_.DocumentPath();
    if (processor_ && !path.empty()) processor_->OnScanFinished(path);
    control_.CloseSource();
    endedEarly_ = false;
}

void ScanOperationHandler::OnTransferFailed() {
    cancelled_ = true;
    control_.DisableSource();
    control_.CloseSource();
    // A failed or cancelled acquisition delivers nothing and leaves no partial document.
    acquisition_.AbortDocument();
    if (!acquisitionClosed_) {
        acquisitionClosed_ = true;
        DeleteTempFile();
    }
}

void ScanOperationHandler::DeleteTempFile() { platform::FileSystem().Remove(ScanTempFilePath()); }

} // namespace app
