#include "platform/Notifications.h"

#include <sys/stat.h>

#include <atomic>
#include <cstdlib>
#include <map>
#include <optional>

#include "platform/Desktop.h"
#include "platform/MessageBus.h"

namespace platform {
namespace {

constexpr const char* kService = "org.freedesktop.Notifications";
constexpr const char* kPath = "/org/freedesktop/Notifications";
constexpr const char* kActionKey = "open";

class NoNotifier : public INotifier {
public:
    bool Notify(const Notification&) override { return false; }
};

std::shared_ptr<INotifier>& Slot() {
    static std::shared_ptr<INotifier> slot = std::make_shared<NoNotifier>();
    return slot;
}

// The session bus's address: the one the session announces, else the per-user bus of
// the runtime folder. Empty when there is none; a bus is never launched for this.
std::string SessionBusAddress() {
    if (const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS"); address && *address) return address;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (!runtime || !*runtime) return {};
    const std::string socket = std::string(runtime) + "/bus";
    struct stat st {};
    if (::stat(socket.c_str(), &st) != 0 || !S_ISSOCK(st.st_mode)) return {};
    return "unix:path=" + socket;
}

DBusConnection* Connect(const MessageBus& d) {
    const std::string address = SessionBusAddress();
    if (address.empty()) return nullptr;
    DBusError error;
    d.errorInit(&error);
    DBusConnection* bus = d.openPrivate(address.c_str(), &error);
    if (bus && !d.registerOnBus(bus, &error)) {
        d.connectionClose(bus);
        d.connectionUnref(bus);
        bus = nullptr;
    }
    if (bus) {
        d.setExitOnDisconnect(bus, FALSE);
        // The clicks on our actions and the ends of our notifications.
        d.addMatch(bus, "type='signal',interface='org.freedesktop.Notifications'", nullptr);
    }
    d.errorFree(&error);
    return bus;
}

void Disconnect(const MessageBus& d, DBusConnection*& bus) {
    if (!bus) return;
    d.connectionClose(bus);
    d.connectionUnref(bus);
    bus = nullptr;
}

// Sends one notification; its id, or 0 when no service took it.
dbus_uint32_t Send(const MessageBus& d, DBusConnection* bus, const Notification& n) {
    DBusMessage* call = d.newMethodCall(kService, kPath, kService, "Notify");
    if (!call) return 0;
    const char* app = n.appName.c_str();
    const char* icon = "";
    const char* summary = n.summary.c_str();
    const char* body = n.body.c_str();
    const char* key = kActionKey;
    const char* label = n.actionLabel.c_str();
    const dbus_uint32_t replaces = 0;
    const dbus_int32_t expire = -1; // as the desktop sees fit
    const bool action = !n.actionLabel.empty() && !n.file.empty();
    DBusMessageIter args, actions, hints;
    d.iterInitAppend(call, &args);
    bool ok =
        d.iterAppendBasic(&args, DBUS_TYPE_STRING, &app) && d.iterAppendBasic(&args, DBUS_TYPE_UINT32, &replaces) &&
        d.iterAppendBasic(&args, DBUS_TYPE_STRING, &icon) && d.iterAppendBasic(&args, DBUS_TYPE_STRING, &summary) &&
        d.iterAppendBasic(&args, DBUS_TYPE_STRING, &body) &&
        d.iterOpenContainer(&args, DBUS_TYPE_ARRAY, DBUS_TYPE_STRING_AS_STRING, &actions);
    if (ok && action)
        ok = d.iterAppendBasic(&actions, DBUS_TYPE_STRING, &key) &&
             d.iterAppendBasic(&actions, DBUS_TYPE_STRING, &label);
    ok = ok && d.iterCloseContainer(&args, &actions) && d.iterOpenContainer(&args, DBUS_TYPE_ARRAY, "{sv}", &hints) &&
         d.iterCloseContainer(&args, &hints) && d.iterAppendBasic(&args, DBUS_TYPE_INT32, &expire);
    dbus_uint32_t id = 0;
    if (ok) {
        DBusError error;
        d.errorInit(&error);
        if (DBusMessage* reply = d.sendWithReplyAndBlock(bus, call, 5000, &error)) {
            DBusMessageIter it;
            if (d.iterInit(reply, &it) && d.iterArgType(&it) == DBUS_TYPE_UINT32) d.iterGetBasic(&it, &id);
            d.messageUnref(reply);
        }
        d.errorFree(&error);
    }
    d.messageUnref(call);
    return id;
}

// The first two arguments of a signal: a notification id and, for ActionInvoked, the
// action's key.
bool SignalArgs(const MessageBus& d, DBusMessage* m, dbus_uint32_t* id, std::string* key) {
    DBusMessageIter it;
    if (!d.iterInit(m, &it) || d.iterArgType(&it) != DBUS_TYPE_UINT32) return false;
    d.iterGetBasic(&it, id);
    if (key && d.iterNext(&it) && d.iterArgType(&it) == DBUS_TYPE_STRING) {
        const char* text = nullptr;
        d.iterGetBasic(&it, &text);
        *key = text ? text : "";
    }
    return true;
}

} // namespace

SessionBusNotifier::SessionBusNotifier() : thread_([this] { Run(); }) {}

SessionBusNotifier::~SessionBusNotifier() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

bool SessionBusNotifier::Notify(const Notification& notification) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (stop_) return false;
        queue_.push_back(notification);
    }
    wake_.notify_all();
    return true;
}

void SessionBusNotifier::Run() {
    DBusConnection* bus = nullptr;
    std::map<dbus_uint32_t, std::string> clickable; // notification id -> file its action shows
    for (;;) {
        std::optional<Notification> next;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            // Nothing to listen for: sleep until there is something to send.
            if (clickable.empty()) wake_.wait(lock, [this] { return stop_ || !queue_.empty(); });
            if (stop_) break;
            if (!queue_.empty()) {
                next = std::move(queue_.front());
                queue_.pop_front();
            }
        }
        const MessageBus& d = LoadedMessageBus();
        if (!d.complete) continue;
        if (next) {
            if (!bus) bus = Connect(d);
            if (!bus) continue;
            const dbus_uint32_t id = Send(d, bus, *next);
            if (id && !next->actionLabel.empty() && !next->file.empty()) clickable[id] = next->file;
            continue;
        }
        // Listen a short while, so that a new notification or the stop is not kept waiting.
        if (!bus || !d.readWrite(bus, 200)) {
            clickable.clear(); // the bus went away, and the notifications with it
            Disconnect(d, bus);
            continue;
        }
        while (DBusMessage* m = d.popMessage(bus)) {
            dbus_uint32_t id = 0;
            std::string key;
            if (d.isSignal(m, kService, "ActionInvoked") && SignalArgs(d, m, &id, &key)) {
                auto it = clickable.find(id);
                if (it != clickable.end() && key == kActionKey) Desktop().ShowInFileManager(it->second);
            } else if (d.isSignal(m, kService, "NotificationClosed") && SignalArgs(d, m, &id, nullptr)) {
                clickable.erase(id);
            }
            d.messageUnref(m);
        }
    }
    if (bus) Disconnect(LoadedMessageBus(), bus);
}

INotifier& Notifier() { return *std::atomic_load(&Slot()); }

void SetNotifier(std::shared_ptr<INotifier> notifier) {
    if (!notifier) notifier = std::make_shared<NoNotifier>();
    std::atomic_store(&Slot(), std::move(notifier));
}

} // namespace platform
