#pragma once
// The running instance's intake of device-started scans: the push-event thread (device
// button events recorded by later starts of the program) and the driver channel's
// listener thread, started together and stopped together.

#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "platform/SharedObjects.h"
#include "pushscan/LTOperator.h"

namespace pushscan {

// The event a start by a device button signals for the running instance (per user).
class PushScanEvent {
public:
    static constexpr const char* kName = "PushScanEvent";
    // Opens the event, creating it unsignalled when it does not exist.
    PushScanEvent();
    // Closes it; removes the name when asked to (by the instance that served it).
    ~PushScanEvent();
    PushScanEvent(const PushScanEvent&) = delete;
    PushScanEvent& operator=(const PushScanEvent&) = delete;

    bool IsOpen() const { return handle_ != nullptr; }
    bool Created() const { return created_; }
    platform::SemaphoreHandle Handle() const { return handle_; }
    // Sets the event (its count stays at most 1).
    bool Signal();
    // Takes a pending signal back (none pending afterwards).
    void Clear();
    void RemoveNameOnClose(bool remove) { remove_ = remove; }

private:
    platform::SemaphoreHandle handle_ = nullptr;
    bool created_ = false;
    bool remove_ = false;
};

// The channel's object names, as the product data's [Communication] gives them.
struct ChannelNames {
    std::string shareMemory;  // ShareMemoryName
    std::string requestEvent; // MessageRecvEvent
    std::string replyEvent;   // MessageSendEvent
    std::string listener;     // MessageRecvThreadEvent
};

class PushScanIntake {
public:
    // The store and the event may be null: then there is no push-event thread.
    PushScanIntake(IScanTaskHandler& handler, const IPushEventStore* store, platform::SemaphoreHandle pushEvent,
                   ChannelNames names);
    ~PushScanIntake();
    PushScanIntake(const PushScanIntake&) = delete;
    PushScanIntake& operator=(const PushScanIntake&) = delete;

    void Start();
    // Ends both threads: the listener within one wait, the push-event thread at once.
    // A request the handler is working on must be able to finish meanwhile (the
    // caller's window must not wait for these threads while they wait for it).
    void Stop();
    bool Running() const { return listener_.joinable() || pushThread_.joinable(); }
    LTOperator& Operator() { return *operator_; }

private:
    IScanTaskHandler& handler_;
    const IPushEventStore* store_;
    platform::SemaphoreHandle pushEvent_;
    ChannelNames names_;
    std::unique_ptr<LTOperator> operator_;
    std::atomic<bool> stop_{false};
    std::thread pushThread_;
    std::thread listener_;
};

} // namespace pushscan
