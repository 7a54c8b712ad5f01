// Device button events: the recording of a start by the button daemon, the store shared
// between processes (the real libPushEventData.so), and their routing to destinations.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <future>
#include <mutex>
#include <thread>

#include "PrivateShm.h"
#include "platform/Environment.h"
#include "platform/Text.h"
#include "pushscan/LTOperator.h"
#include "pushscan/PushEventStore.h"
#include "pushscan/PushScanIntake.h"
#include "support/TempFolder.h"

namespace {

class MapStore : public pushscan::IPushEventStore {
public:
    void SetEventName(const std::wstring& n) override { event = n; }
    std::wstring EventName() const override { return event; }
    void SetTwainDSName(const std::wstring& n) override { source = n; }
    std::wstring TwainDSName() const override { return source; }
    std::wstring event, source;
};

class RecordingHandler : public pushscan::IScanTaskHandler {
public:
    bool IsBusy() override { return busy.load(); }
    bool StartScanTask(const core::ScanRequest& r) override {
        std::lock_guard<std::mutex> g(m);
        started.push_back(r);
        return true;
    }
    std::string CurrentSource() override { return "current:0"; }
    size_t Count() {
        std::lock_guard<std::mutex> g(m);
        return started.size();
    }
    std::atomic<bool> busy{false};
    std::mutex m;
    std::vector<core::ScanRequest> started;
};

struct RouteCase {
    const char* name;
    const wchar_t* event;
    int destination; // -1: nothing starts
};

class PushRoute : public ::testing::TestWithParam<RouteCase> {};

TEST_P(PushRoute, EventNameChoosesTheDestination) {
    MapStore store;
    store.event = GetParam().event;
    store.source = L"test:1";
    RecordingHandler handler;
    const bool started = pushscan::HandlePushScanEvent(handler, store);
    EXPECT_EQ(started, GetParam().destination >= 0);
    ASSERT_EQ(handler.started.size(), GetParam().destination >= 0 ? 1u : 0u);
    if (handler.started.empty()) return;
    const core::ScanRequest& r = handler.started[0];
    EXPECT_EQ(r.origin, core::kOriginLocalPush);
    EXPECT_EQ(r.destination, GetParam().destination);
    EXPECT_EQ(r.reserved, 0);
    EXPECT_EQ(r.requestedSource, "test:1");
    EXPECT_EQ(r.activeSource, "current:0");
    EXPECT_EQ(r.deviceKey, "");
    EXPECT_EQ(r.extraText, "");
}

INSTANTIATE_TEST_SUITE_P(
    Events, PushRoute,
    ::testing::Values(RouteCase{"application1", L"{552587DE-8F3A-4A82-B433-B75C5E43DC5A}", 1},
                      RouteCase{"folder", L"{552587DE-8F3A-4A82-B433-B75C5E43DC5C}", 2},
                      RouteCase{"folderLowerCase", L"{552587de-8f3a-4a82-b433-b75c5e43dc5c}", 2},
                      RouteCase{"fax", L"{552587DE-8F3A-4A82-B433-B75C5E43DC5D}", 4},
                      RouteCase{"otherStillImageEvent", L"{A6C5A715-8C6E-11D2-977A-0000F87A926F}", -1},
                      RouteCase{"neighbourOfTheTable", L"{552587DE-8F3A-4A82-B433-B75C5E43DC5B}", -1},
                      RouteCase{"withoutBraces", L"552587DE-8F3A-4A82-B433-B75C5E43DC5C", -1},
                      RouteCase{"empty", L"", -1}),
    [](const ::testing::TestParamInfo<RouteCase>& p) { return std::string(p.param.name); });

struct LaunchCase {
    const char* name;
    const char* action; // nullptr: unset
    const char* device;
    int result;
};

class PushLaunch : public ::testing::TestWithParam<LaunchCase> {};

TEST_P(PushLaunch, RecordedOnlyForAButtonStart) {
    const LaunchCase& c = GetParam();
    platform::MapEnvironment env;
    if (c.action) env.Set("SCANBD_ACTION", c.action);
    if (c.device) env.Set("SCANBD_DEVICE", c.device);
    MapStore store;
    store.event = L"before";
    EXPECT_EQ(pushscan::RecordPushLaunch(&store, env), c.result);
    EXPECT_EQ(store.event, c.result ? platform::Utf8ToWide(c.action) : L"before");
    if (c.result) {
        EXPECT_EQ(store.source, platform::Utf8ToWide(c.device));
    }
    EXPECT_EQ(pushscan::RecordPushLaunch(nullptr, env), 0) << "no store, nothing recorded";
}

INSTANTIATE_TEST_SUITE_P(
    Environments, PushLaunch,
    ::testing::Values(LaunchCase{"ordinaryStart", nullptr, nullptr, 0},
                      LaunchCase{"actionOnly", "{552587DE-8F3A-4A82-B433-B75C5E43DC5C}", nullptr, 0},
                      LaunchCase{"deviceOnly", nullptr, "test:0", 0}, LaunchCase{"emptyAction", "", "test:0", 0},
                      LaunchCase{"button", "{552587DE-8F3A-4A82-B433-B75C5E43DC5C}", "test:0", 1},
                      LaunchCase{"nonAsciiDevice", "scan", "net:host:scänner", 1}),
    [](const ::testing::TestParamInfo<LaunchCase>& p) { return std::string(p.param.name); });

TEST(PushEventLibrary, ValuesSetByOneProcessAreReadByAnother) {
    testsupport::TempFolder runtime;
    ::setenv("XDG_RUNTIME_DIR", runtime.path().c_str(), 1);
    pushscan::PushEventLibrary store;
    ASSERT_TRUE(store.IsLoaded()) << "libPushEventData.so with its four functions";
    store.SetEventName(L"{old}");
    const pid_t child = ::fork();
    if (child == 0) {
        pushscan::PushEventLibrary other;
        other.SetEventName(L"{552587DE-8F3A-4A82-B433-B75C5E43DC5C}");
        other.SetTwainDSName(L"net:scänner\nline two");
        ::_exit(other.IsLoaded() ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(store.EventName(), L"{552587DE-8F3A-4A82-B433-B75C5E43DC5C}");
    EXPECT_EQ(store.TwainDSName(), L"net:scänner\nline two");
    // Setting one text keeps the other.
    store.SetEventName(L"{second}");
    EXPECT_EQ(store.TwainDSName(), L"net:scänner\nline two");
    struct stat info {};
    ASSERT_EQ(::stat((runtime.path() + "scanner-utility-push-event." + std::to_string(::geteuid())).c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    ::unsetenv("XDG_RUNTIME_DIR");
}

TEST(PushEventThread, ServesSignalsDropsThemWhenBusyAndEndsOnStop) {
    testsupport::UsePrivateSharedMemory();
    MapStore store;
    store.event = L"{552587DE-8F3A-4A82-B433-B75C5E43DC5C}";
    store.source = L"test:0";
    RecordingHandler handler;
    pushscan::PushScanEvent event;
    ASSERT_TRUE(event.IsOpen());
    event.RemoveNameOnClose(true);
    // Signalled before the thread runs: served when it starts (a first start by a button).
    ASSERT_TRUE(event.Signal());
    ASSERT_TRUE(event.Signal());
    EXPECT_EQ(platform::SemaphoreCount(event.Handle()), 1) << "an event, not a counter";
    pushscan::PushScanIntake intake(handler, &store, event.Handle(),
                                    {"PT block", "PT request", "PT reply", "PT listener"});
    intake.Start();
    for (int i = 0; i < 500 && handler.Count() < 1; ++i) ::usleep(10000);
    ASSERT_EQ(handler.Count(), 1u);

    handler.busy = true;
    ASSERT_TRUE(event.Signal());
    for (int i = 0; i < 500 && platform::SemaphoreCount(event.Handle()) != 0; ++i) ::usleep(10000);
    handler.busy = false;
    // The dropped event is gone: one more signal makes one more request.
    ASSERT_TRUE(event.Signal());
    for (int i = 0; i < 500 && handler.Count() < 2; ++i) ::usleep(10000);
    EXPECT_EQ(handler.Count(), 2u);
    intake.Stop();
    EXPECT_FALSE(intake.Running());
    EXPECT_EQ(handler.Count(), 2u) << "the wake-up at stop starts nothing";
}

// Another instance of the user's program waits on the same event, so nothing may rely
// on a wake-up to stop: the thread ends by its flag alone and signals no one.
TEST(PushEventThread, EndsByItsStopFlagWithoutAWakeUp) {
    testsupport::UsePrivateSharedMemory();
    MapStore store;
    RecordingHandler handler;
    pushscan::PushScanEvent event;
    ASSERT_TRUE(event.IsOpen());
    event.RemoveNameOnClose(true);
    std::atomic<bool> stop{false};
    std::promise<void> ended;
    std::future<void> end = ended.get_future();
    std::thread thread([&] {
        pushscan::WaitForPushScanEvents(handler, store, event.Handle(), stop);
        ended.set_value();
    });
    stop = true;
    const bool stopped = end.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
    if (!stopped) event.Signal(); // let a thread that waits for a wake-up end the test
    thread.join();
    EXPECT_TRUE(stopped) << "the thread waited for a wake-up past its stop flag";
    EXPECT_EQ(handler.Count(), 0u);
    EXPECT_EQ(platform::SemaphoreCount(event.Handle()), 0);
}

TEST(PushEventThread, AListenerWithoutDriverWaitsQuietly) {
    testsupport::UsePrivateSharedMemory();
    RecordingHandler handler;
    pushscan::PushScanIntake intake(handler, nullptr, nullptr, {"PQ block", "PQ request", "PQ reply", "PQ listener"});
    intake.Start();
    // Three polls with nothing to answer.
    std::this_thread::sleep_for(std::chrono::milliseconds(1600));
    EXPECT_TRUE(platform::UserSemaphoreExists("PQ listener"));
    EXPECT_EQ(handler.Count(), 0u);
    intake.Stop();
    EXPECT_FALSE(platform::UserSemaphoreExists("PQ listener"));
}

} // namespace
