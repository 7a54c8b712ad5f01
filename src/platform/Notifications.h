#pragma once
// Desktop notifications: a short message in the desktop's notification area, with an
// action that shows a file in the file manager.

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace platform {

struct Notification {
    std::string appName;     // who is speaking
    std::string summary;     // one line
    std::string body;        // lines separated by '\n'
    std::string actionLabel; // the action's label; no action when empty
    std::string file;        // what the action shows in the file manager
};

class INotifier {
public:
    virtual ~INotifier() = default;
    // Hands the notification on; false when it certainly will not be shown. Never waits
    // for the desktop.
    virtual bool Notify(const Notification& notification) = 0;
};

// org.freedesktop.Notifications on the session bus, from a thread of its own that owns
// the bus connection: it sends each notification in turn and, while a notification
// with an action may still be clicked, listens for the click (ActionInvoked), which
// shows the file through Desktop().ShowInFileManager. With no session bus, or no
// notification service on it, nothing is shown and nothing else happens (no bus is
// started for it). The destructor stops the thread and waits for it.
class SessionBusNotifier : public INotifier {
public:
    SessionBusNotifier();
    ~SessionBusNotifier() override;
    SessionBusNotifier(const SessionBusNotifier&) = delete;
    SessionBusNotifier& operator=(const SessionBusNotifier&) = delete;
    bool Notify(const Notification& notification) override;

private:
    void Run();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Notification> queue_;
    bool stop_ = false;
    std::thread thread_;
};

// The process's notifier; none (nothing is shown) until one is installed.
INotifier& Notifier();
void SetNotifier(std::shared_ptr<INotifier> notifier); // nullptr: none

} // namespace platform
