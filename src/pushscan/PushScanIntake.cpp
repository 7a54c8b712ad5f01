#include "pushscan/PushScanIntake.h"

namespace pushscan {

PushScanEvent::PushScanEvent() { handle_ = platform::CreateUserSemaphore(kName, 0, &created_); }

PushScanEvent::~PushScanEvent() {
    platform::CloseSemaphore(handle_);
    if (remove_) platform::RemoveUserSemaphore(kName);
}

bool PushScanEvent::Signal() { return platform::SetEventSemaphore(handle_); }

void PushScanEvent::Clear() {
    if (handle_) platform::ResetEventSemaphore(handle_);
}

PushScanIntake::PushScanIntake(IScanTaskHandler& handler, const IPushEventStore* store,
                               platform::SemaphoreHandle pushEvent, ChannelNames names)
    : handler_(handler), store_(store), pushEvent_(pushEvent), names_(std::move(names)),
      operator_(std::make_unique<LTOperator>(handler, names_.shareMemory, names_.requestEvent, names_.replyEvent)) {}

PushScanIntake::~PushScanIntake() { Stop(); }

void PushScanIntake::Start() {
    if (Running()) return;
    stop_.store(false);
    if (store_ && pushEvent_)
        pushThread_ = std::thread([this] { WaitForPushScanEvents(handler_, *store_, pushEvent_, stop_); });
    listener_ = std::thread([this] { ListenForScanTasks(*operator_, names_.listener); });
}

void PushScanIntake::Stop() {
    operator_->SetStop();
    stop_.store(true);
    // The push-event thread sees the flag within one slice of its wait; the shared event
    // is not posted (another instance of the user's could take the wake-up).
    if (pushThread_.joinable()) pushThread_.join();
    if (listener_.joinable()) listener_.join();
}

} // namespace pushscan
