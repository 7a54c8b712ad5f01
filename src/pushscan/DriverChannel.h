#pragma once
// The driver's end of the message channel, as a scanner driver uses it: it owns the
// message block and the reply event, writes a message, signals the program's request
// event and waits for the reply. Used by the `push` command line tool, so that scripts
// and a network scanner's helper can start scans the way the driver does.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/SharedObjects.h"
#include "pushscan/PushScanIntake.h"

namespace pushscan {

enum class DriverStatus {
    Answered,   // the reply is in
    NoListener, // the program's request event does not exist
    NoChannel,  // the block or the reply event could not be made
    TimedOut,   // no reply in time
    Busy,       // another driver holds the channel
};

const char* DriverStatusText(DriverStatus status);

// A start request's fields.
struct StartRequestFields {
    int destination = 0;
    std::string source;
    std::string deviceKey;
    std::string extraText;
};

// The message bytes of each kind (from offset 0 of the block).
std::vector<unsigned char> BusyInquiryMessage(unsigned char type = 0);
std::vector<unsigned char> StartRequestMessage(const StartRequestFields& fields);
std::vector<unsigned char> OtherMessage(const std::vector<unsigned char>& payload);

// The first six bytes of a reply.
struct DriverReply {
    std::array<unsigned char, 6> bytes{};
    int type() const { return bytes[0]; }
    int flag() const { return bytes[1]; }
    std::int32_t result() const;
};

class DriverChannel {
public:
    // Takes the channel for this driver (waiting up to lockTimeoutMs for another one).
    DriverChannel(ChannelNames names, int lockTimeoutMs = 10000);
    // Removes the block and the reply event.
    ~DriverChannel();
    DriverChannel(const DriverChannel&) = delete;
    DriverChannel& operator=(const DriverChannel&) = delete;

    // True when the program's listener is running (its semaphore exists).
    bool ListenerRunning() const;
    bool WaitForListener(int timeoutMs) const;
    // Sends one message (at most 4096 bytes) and waits up to timeoutMs for the reply.
    DriverStatus Exchange(const std::vector<unsigned char>& message, int timeoutMs, DriverReply& reply);

private:
    bool Ready();

    ChannelNames names_;
    int lock_ = -1;
    platform::SharedBlock block_;
    platform::SemaphoreHandle reply_ = nullptr;
    platform::SemaphoreHandle request_ = nullptr;
};

} // namespace pushscan
