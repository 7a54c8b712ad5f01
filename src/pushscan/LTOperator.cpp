#include "pushscan/LTOperator.h"

#include <cstring>

#include "platform/Text.h"
#include "pushscan/PushEventStore.h"

namespace pushscan {
namespace {

void WriteInt32(unsigned char* at, std::int32_t value) {
    const auto bits = static_cast<std::uint32_t>(value);
    for (int i = 0; i < 4; ++i) at[i] = static_cast<unsigned char>((bits >> (8 * i)) & 0xFFu);
}

struct PushEvent {
    const char* name; // upper case
    int destination;
};
constexpr PushEvent kPushEvents[] = {
    {"{552587DE-8F3A-4A82-B433-B75C5E43DC5A}", core::kDestApplication1},
    {"{552587DE-8F3A-4A82-B433-B75C5E43DC5C}", core::kDestFolder},
    {"{552587DE-8F3A-4A82-B433-B75C5E43DC5D}", core::kDestPcFax},
};

} // namespace

std::string FieldText(const unsigned char* field, std::size_t size) {
    const void* zero = std::memchr(field, 0, size);
    const std::size_t length = zero ? static_cast<std::size_t>(static_cast<const unsigned char*>(zero) - field) : size;
    return std::string(reinterpret_cast<const char*>(field), length);
}

LTOperator::LTOperator(IScanTaskHandler& handler, const std::string& shareMemoryName,
                       const std::string& requestEventName, const std::string& replyEventName)
    : handler_(handler),
      stub_(std::make_unique<ScanTaskStub>(this, shareMemoryName, replyEventName, requestEventName)) {}

LTOperator::~LTOperator() = default;

void LTOperator::Process(unsigned char* block, std::uint32_t& replySize) {
    switch (block[block::kType]) {
        case kStartRequest: {
            // The reply overwrites the start of the payload: take it out first.
            unsigned char payload[block::kStartPayloadSize];
            std::memcpy(payload, block + block::kPayload, sizeof payload);
            StartScan(payload, block, replySize);
            break;
        }
        case kOtherMessage: {
            unsigned char payload[block::kOtherPayloadSize];
            std::memcpy(payload, block + block::kPayload, sizeof payload);
            RefuseMessage(payload, block, replySize);
            break;
        }
        default: InquireBusy(block, replySize); break;
    }
}

void LTOperator::ProcessOver() {
    if (pending_.requestedSource.empty()) return;
    const core::ScanRequest request = pending_;
    pending_.Reset();
    // A refusal (busy by now, or the source not usable) is not the driver's concern: it
    // has had its answer.
    handler_.StartScanTask(request);
}

void LTOperator::StartScan(const unsigned char* payload, unsigned char* block, std::uint32_t& replySize) {
    block[block::kFlag] = 1;
    replySize = 4;
    if (handler_.IsBusy()) {
        WriteInt32(block + block::kResult, 0);
        pending_.Reset();
        return;
    }
    WriteInt32(block + block::kResult, 1);
    pending_.Reset();
    pending_.origin = core::kOriginNetworkPush;
    pending_.destination = payload[block::kDestination];
    pending_.reserved = 0;
    pending_.requestedSource = FieldText(payload + block::kSource, block::kSourceSize);
    pending_.deviceKey = FieldText(payload + block::kDeviceKey, block::kDeviceKeySize);
    pending_.extraText = FieldText(payload + block::kExtra, block::kExtraSize);
}

void LTOperator::InquireBusy(unsigned char* block, std::uint32_t& replySize) {
    block[block::kType] = kBusyInquiry;
    block[block::kFlag] = 0;
    replySize = 3;
    if (handler_.IsBusy()) block[block::kFlag] = 1;
}

void LTOperator::RefuseMessage(const unsigned char*, unsigned char* block, std::uint32_t& replySize) {
    block[block::kType] = kOtherMessage;
    replySize = 4;
    WriteInt32(block + block::kResult, 0);
}

int DestinationOfPushEvent(const std::wstring& eventName) {
    const std::string upper = platform::WideToUtf8(eventName);
    std::string folded;
    for (char c : upper) folded += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    for (const PushEvent& event : kPushEvents)
        if (folded == event.name) return event.destination;
    return -1;
}

bool HandlePushScanEvent(IScanTaskHandler& handler, const IPushEventStore& store) {
    const int destination = DestinationOfPushEvent(store.EventName());
    if (destination < 0) return false;
    core::ScanRequest request;
    request.origin = core::kOriginLocalPush;
    request.destination = destination;
    request.reserved = 0;
    request.requestedSource = platform::WideToUtf8(store.TwainDSName());
    request.activeSource = handler.CurrentSource();
    return handler.StartScanTask(request);
}

int WaitForPushScanEvents(IScanTaskHandler& handler, const IPushEventStore& store, platform::SemaphoreHandle pushEvent,
                          const std::atomic<bool>& stop) {
    // The event is the user's, shared with any other instance of the program the user
    // runs (another session): a wake-up posted to it at stop could be taken by that
    // instance, as a button press it never had, and leave this thread waiting. So the
    // thread waits in slices and looks at its stop flag between them.
    for (;;) {
        const platform::WaitResult result = platform::WaitSemaphore(pushEvent, kPushEventSliceMs);
        if (stop.load() || result == platform::WaitResult::Failed) break;
        if (result == platform::WaitResult::Signalled && !handler.IsBusy()) HandlePushScanEvent(handler, store);
    }
    return 0;
}

} // namespace pushscan
