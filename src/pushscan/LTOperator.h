#pragma once
// The push-scan operator: answers the scanner driver's messages and turns an accepted
// start request into a scan request, and routes a recorded device button event to a
// destination. Both end in the dispatch's StartScanTask.

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "core/ScanJob.h"
#include "platform/SharedObjects.h"
#include "pushscan/ScanTaskStub.h"

namespace pushscan {

class IPushEventStore;

// How long the listener waits for a message before it looks at its stop flag again.
constexpr int kListenerWaitMs = 500;

// The message block, offsets in bytes from its start. The driver writes the message
// type and, for types 1 and 2, a payload from offset 2; the reply overwrites bytes 0 to 5.
namespace block {
constexpr std::size_t kType = 0;
constexpr std::size_t kFlag = 1;
constexpr std::size_t kResult = 2; // int32, little-endian
constexpr std::size_t kPayload = 2;
constexpr std::size_t kStartPayloadSize = 417;
constexpr std::size_t kOtherPayloadSize = 288;
// Fields of a start request's payload, offsets within the payload.
constexpr std::size_t kDestination = 0;
constexpr std::size_t kSource = 1;
constexpr std::size_t kSourceSize = 32;
constexpr std::size_t kDeviceKey = 33;
constexpr std::size_t kDeviceKeySize = 256;
constexpr std::size_t kExtra = 289;
constexpr std::size_t kExtraSize = 128;
} // namespace block

enum MessageType : unsigned char { kBusyInquiry = 0, kStartRequest = 1, kOtherMessage = 2 };

// A text field of a message: up to its first zero byte, never past its end.
std::string FieldText(const unsigned char* field, std::size_t size);

// What the operator and the push-event thread ask of the dispatch (the main window).
// Any thread.
class IScanTaskHandler {
public:
    virtual ~IScanTaskHandler() = default;
    virtual bool IsBusy() = 0;
    // False when the request was refused.
    virtual bool StartScanTask(const core::ScanRequest& request) = 0;
    virtual std::string CurrentSource() = 0;
};

class LTOperator : public IScanTaskMessageProcesser {
public:
    // Channel names as the product data gives them; the stub takes them in its own order.
    LTOperator(IScanTaskHandler& handler, const std::string& shareMemoryName, const std::string& requestEventName,
               const std::string& replyEventName);
    ~LTOperator() override;

    void Process(unsigned char* block, std::uint32_t& replySize) override;
    void ProcessOver() override;

    void SetStop() { stopFlag_.store(1); }
    bool StopRequested() const { return stopFlag_.load() != 0; }
    ScanTaskStub& Stub() { return *stub_; }

protected:
    virtual void StartScan(const unsigned char* payload, unsigned char* block, std::uint32_t& replySize);
    virtual void InquireBusy(unsigned char* block, std::uint32_t& replySize);
    virtual void RefuseMessage(const unsigned char* payload, unsigned char* block, std::uint32_t& replySize);

private:
    core::ScanRequest pending_; // the accepted start request, until ProcessOver
    IScanTaskHandler& handler_;
    std::unique_ptr<ScanTaskStub> stub_;
    std::atomic<std::int32_t> stopFlag_{0};
};

// Device button events and their destinations: the event name compared in upper case;
// -1 for an event that starts nothing.
int DestinationOfPushEvent(const std::wstring& eventName);

// Turns the recorded button event into a scan request and starts it. True when a
// request was made and accepted.
bool HandlePushScanEvent(IScanTaskHandler& handler, const IPushEventStore& store);

// How long the push-event thread waits on the event before it looks at its stop flag.
constexpr int kPushEventSliceMs = 500;

// The push-event thread's procedure: waits on the push event; a busy handler drops the
// event. Ends when the wait fails or, within one slice, when `stop` is set.
int WaitForPushScanEvents(IScanTaskHandler& handler, const IPushEventStore& store, platform::SemaphoreHandle pushEvent,
                          const std::atomic<bool>& stop);

} // namespace pushscan
