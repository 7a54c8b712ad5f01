#include "pushscan/PushScanIntake.h"

namespace pushscan {

PushScanEvent::PushScanEvent() { handle_ = platform::CreateUserSemaphore(kName, 0, &created_); }

PushScanEvent::~PushScanEvent() {
    platform::CloseSemaphore(handle_);
    if (remove_) platform::RemoveUserSemaphore(kName);
}

bool PushScanEvent::Signal() { return platform::SetEventSemaphore(handle_); }

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
    if (pushThread_.joinable()) {
        // Wakes the thread, which sees the stop flag and ends without handling anything.
        platform::PostSemaphore(pushEvent_);
        pushThread_.join();
    }
    if (listener_.joinable()) listener_.join();
}

} // namespace pushscan
