#include "platform/Desktop.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <thread>

#include "platform/DesktopEntry.h"
#include "platform/Environment.h"
#include "platform/MessageBus.h"
#include "platform/Services.h"

extern char** environ;

namespace platform {
namespace {

std::shared_ptr<IDesktop>& Slot() {
    static std::shared_ptr<IDesktop> slot = std::make_shared<LinuxDesktop>();
    return slot;
}

// Asks the session's file manager to show the items; true when it answered without error.
bool ShowItemsOverDbus(const std::string& uri) {
    const MessageBus& d = LoadedMessageBus();
    if (!d.complete) return false;
    DBusError error;
    d.errorInit(&error);
    DBusConnection* bus = d.getPrivate(DBUS_BUS_SESSION, &error);
    if (!bus) {
        d.errorFree(&error);
        return false;
    }
    d.setExitOnDisconnect(bus, FALSE);
    bool ok = false;
    DBusMessage* call = d.newMethodCall("org.freedesktop.FileManager1", "/org/freedesktop/FileManager1",
                                        "org.freedesktop.FileManager1", "ShowItems");
    if (call) {
        const char* item = uri.c_str();
        const char* startup = "";
        DBusMessageIter args, array;
        d.iterInitAppend(call, &args);
        ok = d.iterOpenContainer(&args, DBUS_TYPE_ARRAY, DBUS_TYPE_STRING_AS_STRING, &array) &&
             d.iterAppendBasic(&array, DBUS_TYPE_STRING, &item) && d.iterCloseContainer(&args, &array) &&
             d.iterAppendBasic(&args, DBUS_TYPE_STRING, &startup);
        if (ok) {
            DBusMessage* reply = d.sendWithReplyAndBlock(bus, call, 5000, &error);
            ok = reply != nullptr;
            if (reply) d.messageUnref(reply);
        }
        d.messageUnref(call);
    }
    d.errorFree(&error);
    d.connectionClose(bus);
    d.connectionUnref(bus);
    return ok;
}

// Starts argv[0] (a path, or a name looked up on PATH) detached, in the folder.
bool Spawn(const std::vector<std::string>& args, const std::string& workingFolder) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!workingFolder.empty()) posix_spawn_file_actions_addchdir_np(&actions, workingFolder.c_str());
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", 0, 0);
    // Nothing of ours beyond the standard streams reaches the program.
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &all);

    std::vector<char*> argv;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    int rc = ::posix_spawnp(&pid, args[0].c_str(), &actions, &attr, argv.data(), environ);
    posix_spawnattr_destroy(&attr);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) return false;
    // Reap the program when it ends so it leaves no zombie while we run; if we end
    // first it simply carries on.
    std::thread([pid] {
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {}
    }).detach();
    return true;
}

} // namespace

bool LinuxDesktop::StartProgram(const std::string& program, const std::vector<std::string>& args,
                                const std::string& workingFolder) {
    if (program.empty()) return false;
    DesktopEntry entry;
    if (IsDesktopEntryPath(program) && LoadDesktopEntry(program, entry)) {
        // Started as the desktop starts it, on the one file given.
        std::vector<std::string> argv;
        if (entry.type != "Application" || args.size() > 1 ||
            !ExecArguments(entry, args.empty() ? std::string() : args[0], argv))
            return false;
        return Spawn(argv, entry.path.empty() ? workingFolder : entry.path);
    }
    std::vector<std::string> argv{program};
    argv.insert(argv.end(), args.begin(), args.end());
    return Spawn(argv, workingFolder);
}

bool LinuxDesktop::ShowInFileManager(const std::string& path) {
    if (path.empty()) return false;
    // Without a display there is nothing to show the folder on: neither the message bus
    // (loading its library and the system's behind it) nor the opener is tried; the
    // opener would only try text-mode browsers, at the cost of some forty processes.
    const auto x11 = Environment().Get("DISPLAY"), wayland = Environment().Get("WAYLAND_DISPLAY");
    if ((!x11 || x11->empty()) && (!wayland || wayland->empty())) return false;
    if (ShowItemsOverDbus(FileUri(path))) return true;
    std::string folder = path;
    auto slash = folder.find_last_of('/');
    folder = slash == std::string::npos ? "." : folder.substr(0, slash + 1);
    return StartProgram("xdg-open", {folder}, folder);
}

std::string FileUri(const std::string& absolutePath) {
    static const char hex[] = "0123456789ABCDEF";
    std::string uri = "file://";
    for (unsigned char c : absolutePath) {
        bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                     c == '.' || c == '_' || c == '~' || c == '/';
        if (plain) {
            uri += static_cast<char>(c);
        } else {
            uri += '%';
            uri += hex[c >> 4];
            uri += hex[c & 15];
        }
    }
    return uri;
}

IDesktop& Desktop() { return *std::atomic_load(&Slot()); }

void SetDesktop(std::shared_ptr<IDesktop> desktop) {
    if (!desktop) desktop = std::make_shared<LinuxDesktop>();
    std::atomic_store(&Slot(), std::move(desktop));
}

} // namespace platform
