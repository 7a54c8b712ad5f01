// Desktop notifications of the window, against a notification service of the test's own
// on a private session bus (dbus-daemon started by the test; the service is written
// here on the bus library): one notification per delivered scan the user did not watch,
// none for a cancelled scan nor for a button scan in a window in view, and its action
// shows the file.
#include <gtest/gtest.h>

#include <QtTest/QTest>

#include <dbus/dbus.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "../ui/QtTestEnv.h"
#include "app/HotkeyDlg.h"
#include "app/ProgramWindowServices.h"
#include "platform/Desktop.h"
#include "settings/ProductData.h"
#include "settings/Profile.h"
#include "support/RecordingMessageBox.h"
#include "support/SlowScanner.h"
#include "support/TempFolder.h"
#include "ui/SkinButton.h"

extern char** environ;

namespace {

using testsupport::TempFolder;

struct Note {
    dbus_uint32_t id = 0;
    std::string app, summary, body;
    std::vector<std::string> actions;
};

// org.freedesktop.Notifications on the bus at `address`, on a thread of its own: it
// answers Notify with a new id, notes what it was sent, and sends ActionInvoked when
// the test clicks.
class NotificationService {
public:
    bool Start(const std::string& address) {
        std::promise<bool> ready;
        std::future<bool> started = ready.get_future();
        thread_ = std::thread([this, address, &ready] { Run(address, ready); });
        return started.get();
    }
    ~NotificationService() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
    }
    std::vector<Note> Notes() {
        std::lock_guard<std::mutex> lock(mutex_);
        return notes_;
    }
    void Click(dbus_uint32_t id, const std::string& key) {
        std::lock_guard<std::mutex> lock(mutex_);
        clicks_.push_back({id, key});
    }

private:
    void Run(const std::string& address, std::promise<bool>& ready) {
        DBusError error;
        dbus_error_init(&error);
        DBusConnection* bus = dbus_connection_open_private(address.c_str(), &error);
        const bool owner = bus && dbus_bus_register(bus, &error) &&
                           dbus_bus_request_name(bus, "org.freedesktop.Notifications", DBUS_NAME_FLAG_DO_NOT_QUEUE,
                                                 &error) == DBUS_REQUEST_NAME_REPLY_PRIMARY_OWNER;
        dbus_error_free(&error);
        ready.set_value(owner);
        while (owner && !stop_) {
            dbus_connection_read_write(bus, 20);
            while (DBusMessage* m = dbus_connection_pop_message(bus)) {
                if (dbus_message_is_method_call(m, "org.freedesktop.Notifications", "Notify")) Answer(bus, m);
                dbus_message_unref(m);
            }
            std::deque<std::pair<dbus_uint32_t, std::string>> clicks;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                clicks.swap(clicks_);
            }
            for (auto& [id, key] : clicks) {
                DBusMessage* signal = dbus_message_new_signal("/org/freedesktop/Notifications",
                                                              "org.freedesktop.Notifications", "ActionInvoked");
                const char* text = key.c_str();
                dbus_message_append_args(signal, DBUS_TYPE_UINT32, &id, DBUS_TYPE_STRING, &text, DBUS_TYPE_INVALID);
                dbus_connection_send(bus, signal, nullptr);
                dbus_connection_flush(bus);
                dbus_message_unref(signal);
            }
        }
        if (bus) {
            dbus_connection_close(bus);
            dbus_connection_unref(bus);
        }
    }
    void Answer(DBusConnection* bus, DBusMessage* call) {
        Note note;
        DBusMessageIter it, array;
        const char* text = nullptr;
        dbus_message_iter_init(call, &it);
        dbus_message_iter_get_basic(&it, &text);
        note.app = text;
        dbus_message_iter_next(&it); // replaces id
        dbus_message_iter_next(&it); // icon
        dbus_message_iter_next(&it);
        dbus_message_iter_get_basic(&it, &text);
        note.summary = text;
        dbus_message_iter_next(&it);
        dbus_message_iter_get_basic(&it, &text);
        note.body = text;
        dbus_message_iter_next(&it);
        dbus_message_iter_recurse(&it, &array);
        while (dbus_message_iter_get_arg_type(&array) == DBUS_TYPE_STRING) {
            dbus_message_iter_get_basic(&array, &text);
            note.actions.push_back(text);
            dbus_message_iter_next(&array);
        }
        {
            std::lock_guard<std::mutex> lock(mutex_);
            note.id = static_cast<dbus_uint32_t>(notes_.size() + 1);
            notes_.push_back(note);
        }
        DBusMessage* reply = dbus_message_new_method_return(call);
        dbus_message_append_args(reply, DBUS_TYPE_UINT32, &note.id, DBUS_TYPE_INVALID);
        dbus_connection_send(bus, reply, nullptr);
        dbus_connection_flush(bus);
        dbus_message_unref(reply);
    }

    std::atomic<bool> stop_{false};
    std::thread thread_;
    std::mutex mutex_;
    std::vector<Note> notes_;
    std::deque<std::pair<dbus_uint32_t, std::string>> clicks_;
};

// Notes the files the desktop is asked to show (from the notifier's thread).
class ShowingDesktop : public platform::IDesktop {
public:
    bool StartProgram(const std::string&, const std::vector<std::string>&, const std::string&) override { return true; }
    bool ShowInFileManager(const std::string& path) override {
        std::lock_guard<std::mutex> lock(mutex);
        shown.push_back(path);
        return true;
    }
    std::mutex mutex;
    std::vector<std::string> shown;
};

class NotificationTest : public ::testing::Test {
protected:
    void SetUp() override {
        testsupport::QtApp();
        const std::string address = StartBus();
        if (daemon <= 0) GTEST_SKIP() << "dbus-daemon is not installed";
        ASSERT_FALSE(address.empty()) << "the private bus did not come up";
        ::setenv("DBUS_SESSION_BUS_ADDRESS", address.c_str(), 1);
        ASSERT_TRUE(service.Start(address)) << "the notification service did not take its name";
        platform::SetDesktop(desktop);
        if (const char* now = std::getenv("SANE_CONFIG_DIR")) previousSane = now;
        ::setenv("SANE_CONFIG_DIR", testsupport::WriteSlowSaneConfig(sane).c_str(), 1);
        ASSERT_TRUE(settings::SetCurrentSource("test:0"));
        Folder({{"Savefolder", out.path()},
                {"Savetype", "PDF"},
                {"Resolution", "75"},
                {"Colormode", "Gray"},
                {"Openfileoption", "false"},
                {"IsShowDriver", "false"}});
        services = std::make_unique<app::ProgramWindowServices>();
        app::CHotkeyDlg::Options options;
        options.messageBox = box;
        options.startWorker = false; // the device-started scans' deliveries wait in their queue
        // Not about the progress strip: it stays away (its painting starts Qt's own pooled
        // threads, which ThreadSanitizer cannot follow in Debian's Qt).
        options.indicatorDelayMs = 600000;
        window = std::make_unique<app::CHotkeyDlg>(*services, options);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        ASSERT_TRUE(QTest::qWaitFor([&] { return window->TipsReady() && !window->LookingForScanners(); }, 30000));
    }
    void TearDown() override {
        window.reset();
        services.reset(); // removes the notifier
        platform::SetDesktop(nullptr);
        ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
        if (!previousSane.empty()) ::setenv("SANE_CONFIG_DIR", previousSane.c_str(), 1);
        if (daemon > 0) {
            ::kill(daemon, SIGTERM);
            ::waitpid(daemon, nullptr, 0);
        }
    }
    void Folder(const std::vector<std::pair<std::string, std::string>>& values) {
        for (const auto& [key, value] : values)
            ASSERT_TRUE(settings::WriteProfileString(settings::UserSettingsFilePath(), "Folder", key, value));
    }
    bool Idle() { return services->GetScanState() == core::ScanState::Idle; }
    // Runs a scan to its end; the files it delivered.
    std::vector<std::string> Scan(const std::function<void()>& start,
                                  const std::function<void()>& meanwhile = nullptr) {
        start();
        if (meanwhile) meanwhile();
        if (!QTest::qWaitFor([&] { return Idle(); }, 60000)) ADD_FAILURE() << "the scan did not end";
        return services->Dispatch()->LastOutcome().files;
    }
    bool FromDevice(int destination = core::kDestFolder) {
        core::ScanRequest request = core::ScanRequest::ForButton(destination, "test:0");
        request.origin = core::kOriginLocalPush;
        return services->StartScanTask(request);
    }

    // A private session bus (dbus-daemon, spawned without forking this process); its
    // address, empty when it could not be started.
    std::string StartBus() {
        int ends[2];
        if (::pipe(ends) != 0) return {};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, ends[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, ends[0]);
        char program[] = "dbus-daemon", session[] = "--session", nofork[] = "--nofork", print[] = "--print-address=1";
        char* argv[] = {program, session, nofork, print, nullptr};
        const int rc = ::posix_spawnp(&daemon, program, &actions, nullptr, argv, environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(ends[1]);
        std::string address;
        char c = 0;
        while (rc == 0 && ::read(ends[0], &c, 1) == 1 && c != '\n') address += c;
        ::close(ends[0]);
        if (rc != 0) daemon = -1;
        return address;
    }

    pid_t daemon = -1;
    NotificationService service;
    std::shared_ptr<ShowingDesktop> desktop = std::make_shared<ShowingDesktop>();
    TempFolder sane, out;
    std::string previousSane; // the configuration the other tests of the process use
    std::shared_ptr<testsupport::RecordingMessageBox> box = std::make_shared<testsupport::RecordingMessageBox>();
    std::unique_ptr<app::ProgramWindowServices> services;
    std::unique_ptr<app::CHotkeyDlg> window;
};

TEST_F(NotificationTest, OneForEachDeliveredScanNobodyWatchedNoneForACancelledOne) {
    // Started at the device: delivered.
    const std::vector<std::string> first = Scan([&] { ASSERT_TRUE(FromDevice()); });
    ASSERT_EQ(first.size(), 1u);
    // Started at the device, cancelled in its first page.
    Folder({{"Scanmethod", "ADF"}, {"Savetype", "Multi-page PDF"}});
    Scan([&] { ASSERT_TRUE(FromDevice()); },
         [&] {
             ASSERT_TRUE(QTest::qWaitFor([&] { return services->ScanProgress().bytesRead > 0; }, 30000));
             EXPECT_TRUE(services->CancelScan());
         });
    EXPECT_EQ(services->Dispatch()->LastOutcome().endEvent, 6);
    // A button of the window in view: the user sees the result open.
    Folder({{"Scanmethod", "Flatbed"}, {"Savetype", "PDF"}});
    ASSERT_EQ(Scan([&] { QTest::mouseClick(window->Button(app::kCmdFolder), Qt::LeftButton); }).size(), 1u);
    // A button, then the window put away while the scan runs.
    const std::vector<std::string> last = Scan(
        [&] { QTest::mouseClick(window->Button(app::kCmdFolder), Qt::LeftButton); }, [&] { window->showMinimized(); });
    ASSERT_EQ(last.size(), 1u);
    // Started at the device for an application: the notification names it too.
    for (const auto& [key, value] :
         std::vector<std::pair<std::string, std::string>>{{"Savefolder", out.path()},
                                                          {"Savetype", "PDF"},
                                                          {"Resolution", "75"},
                                                          {"Colormode", "Gray"},
                                                          {"IsShowDriver", "false"},
                                                          {"ListMapping", "1|Viewer|/bin/true|"},
                                                          {"AppListID", "1"},
                                                          {"Appexepath", "/bin/true"},
                                                          {"AppName", "Viewer"}})
        ASSERT_TRUE(settings::WriteProfileString(settings::UserSettingsFilePath(), "Application1", key, value));
    const std::vector<std::string> handed = Scan([&] { ASSERT_TRUE(FromDevice(core::kDestApplication1)); });
    ASSERT_EQ(handed.size(), 1u);

    // The notifier sends in order: once the last scans' notifications are there, any for
    // the cancelled or the watched scan would be too.
    ASSERT_TRUE(QTest::qWaitFor([&] { return service.Notes().size() >= 3; }, 30000)) << service.Notes().size();
    QTest::qWait(200);
    const std::vector<Note> notes = service.Notes();
    ASSERT_EQ(notes.size(), 3u);
    const std::string bodies[] = {"Scan To Folder:\n" + first[0], "Scan To Folder:\n" + last[0],
                                  "Scan To Application1:\n" + handed[0] + "\nHanded to Viewer"};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(notes[i].app, "Scanner Utility");
        EXPECT_EQ(notes[i].summary, "Scan finished");
        EXPECT_EQ(notes[i].body, bodies[i]);
        EXPECT_EQ(notes[i].actions, (std::vector<std::string>{"open", "Open Folder"}));
    }
    // Its action shows the file in the file manager.
    service.Click(notes[0].id, "open");
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            std::lock_guard<std::mutex> lock(desktop->mutex);
            return !desktop->shown.empty();
        },
        30000));
    std::lock_guard<std::mutex> lock(desktop->mutex);
    EXPECT_EQ(desktop->shown, std::vector<std::string>{first[0]});
}

} // namespace
