#pragma once
// The program's end of the scanner driver's message channel. The driver writes a
// message into a shared block of 4096 bytes and signals the request event; the program
// maps the block, has a message processor answer in place, signals the driver's reply
// event, and only then lets the processor act on the message (start a scan).
//
// Objects (all per user, see platform::UserObjectName):
// - the request event: created by the stub, held for its whole life, removed with it;
// - the message block and the reply event: the driver's, opened anew for each message
//   and never kept;
// - the listener semaphore: held by the listener thread for its whole life, so that
//   the driver can tell that someone is listening.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/SharedObjects.h"

namespace pushscan {

constexpr std::size_t kMessageBlockSize = 4096;

// Answers driver messages (the push-scan operator).
class IScanTaskMessageProcesser {
public:
    virtual ~IScanTaskMessageProcesser() = default;
    // Reads the request in the block and writes the reply into the same block; replySize
    // is the number of bytes of the reply.
    virtual void Process(unsigned char* block, std::uint32_t& replySize) = 0;
    // Runs after the reply has been signalled to the driver.
    virtual void ProcessOver() = 0;
};

// Results of RecvScanTaskMessage.
enum RecvResult : std::int32_t {
    kMessageAnswered = 0,
    kNoProcessor = 1,
    kNoEvent = 2,   // no request event, or the reply event cannot be opened
    kNoBlock = 3,   // the block cannot be opened, or the reply was too large
    kNoMessage = 4, // nothing arrived in time (or the wait failed)
};

class ScanTaskStub {
public:
    using EventHandle = platform::SemaphoreHandle;

    // Creates the request event. The processor is not owned.
    ScanTaskStub(IScanTaskMessageProcesser* processor, std::string shareMemoryName, std::string replyEventName,
                 std::string requestEventName);
    virtual ~ScanTaskStub();
    ScanTaskStub(const ScanTaskStub&) = delete;
    ScanTaskStub& operator=(const ScanTaskStub&) = delete;

    // Waits up to timeoutMs for one message and answers it (RecvResult).
    std::int32_t RecvScanTaskMessage(int timeoutMs);

    bool HasRequestEvent() const { return requestEvent_ != nullptr; }

protected:
    // One system operation each, so that a test double can replace them.
    virtual EventHandle CreateRecvEvent(const std::string& name);
    virtual EventHandle OpenSendEvent(const std::string& name);
    virtual bool MapMessage(const std::string& name, std::size_t size, platform::SharedBlock& block);
    virtual void UnmapMessage(platform::SharedBlock& block);
    virtual void CloseEvent(EventHandle handle);
    virtual platform::WaitResult Wait(EventHandle handle, int timeoutMs);

    // The derived class's CreateRecvEvent is not reachable from the base constructor: a
    // double that replaces it creates the event again with this (and releases its own
    // event itself).
    void RecreateRequestEvent();

private:
    platform::SharedBlock block_;        // the current message; empty between messages
    EventHandle replyEvent_ = nullptr;   // the current message's reply event
    EventHandle requestEvent_ = nullptr; // held from construction to destruction
    IScanTaskMessageProcesser* processor_;
    std::string shareMemoryName_;
    std::string replyEventName_;
    std::string requestEventName_;
    bool createdRequestEvent_ = false; // by the stub's own system operation
};

class LTOperator;

// The listener thread's procedure: holds the listener semaphore, answers messages until
// the operator's stop flag is set (noticed within one 500 ms wait), releases the
// semaphore and returns 1.
int ListenForScanTasks(LTOperator& op, const std::string& listenerSemaphoreName);

} // namespace pushscan
