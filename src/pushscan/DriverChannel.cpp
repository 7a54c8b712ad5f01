#include "pushscan/DriverChannel.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#include "platform/Folders.h"

namespace pushscan {
namespace {

void PutText(std::vector<unsigned char>& message, std::size_t at, std::size_t size, const std::string& text) {
    // Zero-terminated within the field: a longer text is cut to size - 1 bytes.
    const std::size_t n = std::min(text.size(), size - 1);
    std::memcpy(message.data() + at, text.data(), n);
}

} // namespace

const char* DriverStatusText(DriverStatus status) {
    switch (status) {
        case DriverStatus::Answered: return "answered";
        case DriverStatus::NoListener: return "no program is listening";
        case DriverStatus::NoChannel: return "the channel's objects could not be made";
        case DriverStatus::TimedOut: return "no reply in time";
        case DriverStatus::Busy: return "another driver is using the channel";
    }
    return "";
}

std::vector<unsigned char> BusyInquiryMessage(unsigned char type) { return {type}; }

std::vector<unsigned char> StartRequestMessage(const StartRequestFields& fields) {
    std::vector<unsigned char> message(block::kPayload + block::kStartPayloadSize, 0);
    message[block::kType] = kStartRequest;
    message[block::kPayload + block::kDestination] = static_cast<unsigned char>(fields.destination);
    PutText(message, block::kPayload + block::kSource, block::kSourceSize, fields.source);
    PutText(message, block::kPayload + block::kDeviceKey, block::kDeviceKeySize, fields.deviceKey);
    PutText(message, block::kPayload + block::kExtra, block::kExtraSize, fields.extraText);
    return message;
}

std::vector<unsigned char> OtherMessage(const std::vector<unsigned char>& payload) {
    std::vector<unsigned char> message(block::kPayload + block::kOtherPayloadSize, 0);
    message[block::kType] = kOtherMessage;
    if (!payload.empty()) // an empty vector may have no storage at all
        std::memcpy(message.data() + block::kPayload, payload.data(),
                    std::min(payload.size(), block::kOtherPayloadSize));
    return message;
}

std::int32_t DriverReply::result() const {
    std::uint32_t bits = 0;
    for (int i = 3; i >= 0; --i) bits = (bits << 8) | bytes[static_cast<std::size_t>(2 + i)];
    return static_cast<std::int32_t>(bits);
}

DriverChannel::DriverChannel(ChannelNames names, int lockTimeoutMs) : names_(std::move(names)) {
    // One driver at a time: the block and the reply event have one name each.
    lock_ = platform::LockFile(platform::RuntimeFolder() + platform::UserObjectName(names_.shareMemory).substr(1) +
                                   ".driver.lock",
                               lockTimeoutMs);
}

DriverChannel::~DriverChannel() {
    platform::CloseSemaphore(request_);
    if (reply_) {
        platform::CloseSemaphore(reply_);
        platform::RemoveUserSemaphore(names_.replyEvent);
    }
    if (block_.view) {
        platform::UnmapSharedBlock(block_);
        platform::RemoveUserSharedBlock(names_.shareMemory);
    }
    platform::UnlockFile(lock_);
}

bool DriverChannel::ListenerRunning() const { return platform::UserSemaphoreExists(names_.listener); }

bool DriverChannel::WaitForListener(int timeoutMs) const {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!ListenerRunning()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

bool DriverChannel::Ready() {
    if (!block_.view && !platform::CreateUserSharedBlock(names_.shareMemory, kMessageBlockSize, block_)) return false;
    if (!reply_) reply_ = platform::CreateUserSemaphore(names_.replyEvent, 0);
    return reply_ != nullptr;
}

DriverStatus DriverChannel::Exchange(const std::vector<unsigned char>& message, int timeoutMs, DriverReply& reply) {
    if (lock_ < 0) return DriverStatus::Busy;
    if (!Ready()) return DriverStatus::NoChannel;
    // The request event is the program's: opened anew, as a restarted program makes a
    // new one.
    platform::CloseSemaphore(request_);
    request_ = platform::OpenUserSemaphore(names_.requestEvent);
    if (!request_) return DriverStatus::NoListener;
    std::memset(block_.view, 0, block_.size);
    std::memcpy(block_.view, message.data(), std::min(message.size(), block_.size));
    platform::ResetEventSemaphore(reply_);
    platform::SetEventSemaphore(request_);
    if (platform::WaitSemaphore(reply_, timeoutMs) != platform::WaitResult::Signalled) return DriverStatus::TimedOut;
    std::memcpy(reply.bytes.data(), block_.view, reply.bytes.size());
    return DriverStatus::Answered;
}

} // namespace pushscan
