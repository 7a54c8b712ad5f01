#include "pushscan/ScanTaskStub.h"

#include "pushscan/LTOperator.h"

namespace pushscan {

ScanTaskStub::ScanTaskStub(IScanTaskMessageProcesser* processor, std::string shareMemoryName,
                           std::string replyEventName, std::string requestEventName)
    : processor_(processor), shareMemoryName_(std::move(shareMemoryName)), replyEventName_(std::move(replyEventName)),
      requestEventName_(std::move(requestEventName)) {
    requestEvent_ = ScanTaskStub::CreateRecvEvent(requestEventName_);
    createdRequestEvent_ = requestEvent_ != nullptr;
}

ScanTaskStub::~ScanTaskStub() {
    // A double's own event is the double's to release.
    if (!requestEvent_ || !createdRequestEvent_) return;
    platform::CloseSemaphore(requestEvent_);
    // The request event is ours: its name goes with the stub, so that nothing of the
    // program is left behind for the driver to signal.
    platform::RemoveUserSemaphore(requestEventName_);
}

void ScanTaskStub::RecreateRequestEvent() {
    if (requestEvent_ && createdRequestEvent_) {
        platform::CloseSemaphore(requestEvent_);
        platform::RemoveUserSemaphore(requestEventName_);
    }
    createdRequestEvent_ = false;
    requestEvent_ = CreateRecvEvent(requestEventName_);
}

ScanTaskStub::EventHandle ScanTaskStub::CreateRecvEvent(const std::string& name) {
    EventHandle handle = platform::CreateUserSemaphore(name, 0);
    // One left by an earlier run starts unsignalled all the same.
    if (handle) platform::ResetEventSemaphore(handle);
    return handle;
}

ScanTaskStub::EventHandle ScanTaskStub::OpenSendEvent(const std::string& name) {
    return platform::OpenUserSemaphore(name);
}

bool ScanTaskStub::MapMessage(const std::string& name, std::size_t size, platform::SharedBlock& block) {
    return platform::OpenUserSharedBlock(name, size, block);
}

void ScanTaskStub::UnmapMessage(platform::SharedBlock& block) { platform::UnmapSharedBlock(block); }

void ScanTaskStub::CloseEvent(EventHandle handle) {
    if (handle) platform::CloseSemaphore(handle);
}

platform::WaitResult ScanTaskStub::Wait(EventHandle handle, int timeoutMs) {
    return platform::WaitSemaphore(handle, timeoutMs);
}

std::int32_t ScanTaskStub::RecvScanTaskMessage(int timeoutMs) {
    if (!processor_) return kNoProcessor;
    if (!requestEvent_) return kNoEvent;
    if (Wait(requestEvent_, timeoutMs) != platform::WaitResult::Signalled) return kNoMessage;

    if (!MapMessage(shareMemoryName_, kMessageBlockSize, block_) || block_.descriptor < 0 || !block_.view) {
        UnmapMessage(block_);
        return kNoBlock;
    }
    replyEvent_ = OpenSendEvent(replyEventName_);
    if (!replyEvent_) {
        UnmapMessage(block_);
        return kNoEvent;
    }
    platform::ResetEventSemaphore(replyEvent_);

    std::uint32_t replySize = 0;
    processor_->Process(block_.view, replySize);
    // The reply is complete in the block: the driver may read it now.
    platform::SetEventSemaphore(replyEvent_);
    // Starts the scan of an accepted request; may wait until the window has taken it.
    processor_->ProcessOver();

    CloseEvent(replyEvent_);
    replyEvent_ = nullptr;
    UnmapMessage(block_);
    return replySize > kMessageBlockSize ? kNoBlock : kMessageAnswered;
}

int ListenForScanTasks(LTOperator& op, const std::string& listenerSemaphoreName) {
    platform::SemaphoreHandle listening = platform::CreateUserSemaphore(listenerSemaphoreName, 1);
    while (!op.StopRequested()) op.Stub().RecvScanTaskMessage(kListenerWaitMs);
    if (listening) {
        platform::CloseSemaphore(listening);
        platform::RemoveUserSemaphore(listenerSemaphoreName);
    }
    return 1;
}

} // namespace pushscan
