// A storm: a driver sending a thousand mixed messages, a button-event source signalling
// the push event, and window buttons, all at once against the real dispatch (with a
// user-interface thread of its own and a scripted control). Nothing may hang, every
// message is answered, every accepted request starts exactly one scan, and the dispatch
// is idle at the end.
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <future>
#include <mutex>
#include <thread>

#include "PrivateShm.h"
#include "app/ScanDispatch.h"
#include "pushscan/DriverChannel.h"
#include "pushscan/PushEventStore.h"
#include "pushscan/PushScanIntake.h"
#include "support/FakeDynamictwain.h"
#include "support/UiThread.h"

namespace {

// The user-interface thread: hand-overs queue onto it and wait for their result.
class QueueWindow : public app::IScanWindow {
public:
    int RunOnUiThread(const std::function<int()>& call) override { return ui_.Run(call); }
    bool UpdateMenuForDevice(bool) override { return true; }
    void RefreshButtons() override {}
    void BringToFront() override {}

private:
    testsupport::UiThread ui_;
};

// A destination that notes its scan; a scan in progress is one the dispatch would
// refuse a second of.
class NotingProcessor : public core::ScanProcesser {
public:
    explicit NotingProcessor(std::atomic<int>& scans) : scans_(scans) {}
    bool RefuseScan() override { return false; }
    void OnPageSaved(const std::string&) override {}
    void OnScanFinished(const std::string&) override {}
    void ResetSettings() override {}
    bool LoadSettings() override { return true; }
    bool IsMultiPage() const override { return false; }
    void SuppressDriverDialog() override {}
    bool Start(core::IAcquisition&) override {
        ++scans_;
        return false;
    }
private:
    std::atomic<int>& scans_;
};

class NullAcquisition : public core::IAcquisition {
public:
    bool Run(const settings::CommonSetting&) override { return false; }
    bool ProcessPage(bool, const scancontrol::ImageInfo&, int, int) override { return false; }
    int AddPage() override { return 0; }
    void FinishDocument() override {}
    void AbortDocument() override {}
    std::string DocumentPath() const override { return {}; }
};

// The dispatch as the push intake sees it, counting accepted requests by origin.
class CountingTarget : public pushscan::IScanTaskHandler {
public:
    explicit CountingTarget(app::ScanOperationHandler& h) : h_(h) {}
    bool IsBusy() override { return h_.IsBusy(); }
    bool StartScanTask(const core::ScanRequest& r) override {
        const bool ok = h_.StartScanTask(r);
        if (ok) ++accepted[r.origin];
        return ok;
    }
    std::string CurrentSource() override { return "test:0"; }
    std::atomic<int> accepted[3] = {};
private:
    app::ScanOperationHandler& h_;
};

class FixedStore : public pushscan::IPushEventStore {
public:
    void SetEventName(const std::wstring&) override {}
    std::wstring EventName() const override { return L"{552587DE-8F3A-4A82-B433-B75C5E43DC5C}"; }
    void SetTwainDSName(const std::wstring&) override {}
    std::wstring TwainDSName() const override { return L"test:0"; }
};

TEST(Storm, MixedRequestsFromEverySide) {
    testsupport::UsePrivateSharedMemory();
    const std::string tag = " storm " + std::to_string(::getpid());
    const pushscan::ChannelNames names{"block" + tag, "request" + tag, "reply" + tag, "listener" + tag};

    scancontrol::FakeDynamictwain control;
    NullAcquisition acquisition;
    QueueWindow window;
    std::atomic<int> created{0}, scans{0};
    app::ScanOperationHandler handler(
        control, acquisition, window,
        [&](const core::ScanRequest& r) -> std::unique_ptr<core::ScanProcesser> {
            ++created;
            if (r.destination == core::kDestEmail) return nullptr;
            return std::make_unique<NotingProcessor>(scans);
        },
        app::SourceServices{[] { return std::string("test:0"); }, [](const std::string&) {}, [] {}});
    CountingTarget target(handler);
    FixedStore store;
    pushscan::PushScanEvent event;
    event.RemoveNameOnClose(true);
    pushscan::PushScanIntake intake(target, &store, event.Handle(), names);
    intake.Start();

    // The driver: 1000 messages of every kind, each one answered.
    auto driver = std::async(std::launch::async, [&] {
        pushscan::DriverChannel channel(names);
        EXPECT_TRUE(channel.WaitForListener(10000));
        int answered = 0, startsAccepted = 0, startsRefused = 0;
        for (int i = 0; i < 1000; ++i) {
            std::vector<unsigned char> message;
            switch (i % 6) {
                case 0: message = pushscan::BusyInquiryMessage(0); break;
                case 1: message = pushscan::StartRequestMessage({core::kDestFolder, "test:0", "key", ""}); break;
                case 2: message = pushscan::OtherMessage({1, 2, 3}); break;
                case 3: message = pushscan::BusyInquiryMessage(7); break;
                case 4: message = pushscan::StartRequestMessage({core::kDestEmail, "test:0", "", ""}); break;
                default: message = pushscan::StartRequestMessage({core::kDestFolder, "", "", ""}); break;
            }
            pushscan::DriverReply reply;
            if (channel.Exchange(message, 20000, reply) != pushscan::DriverStatus::Answered) {
                ADD_FAILURE() << "message " << i << " was not answered";
                break;
            }
            ++answered;
            if (message[0] == 1) {
                EXPECT_EQ(reply.flag(), 1);
                (reply.result() == 1 ? startsAccepted : startsRefused)++;
            } else if (message[0] == 2) {
                EXPECT_EQ(reply.type(), 2);
                EXPECT_EQ(reply.result(), 0);
            } else {
                EXPECT_EQ(reply.type(), 0);
                EXPECT_LE(reply.flag(), 1);
            }
        }
        return answered;
    });
    // Button events recorded by later starts of the program.
    auto buttons = std::async(std::launch::async, [&] {
        for (int i = 0; i < 200; ++i) {
            event.Signal();
            std::this_thread::sleep_for(std::chrono::microseconds(300));
        }
    });
    // The window's buttons.
    auto presses = std::async(std::launch::async, [&] {
        int accepted = 0;
        for (int i = 0; i < 300; ++i) {
            if (handler.StartScanTask(
                    core::ScanRequest::ForButton(i % 2 ? core::kDestFolder : core::kDestPcFax, "test:0")))
                ++accepted;
            std::this_thread::yield();
        }
        return accepted;
    });

    EXPECT_EQ(driver.get(), 1000);
    buttons.get();
    const int pressed = presses.get();
    intake.Stop();

    const int accepted = target.accepted[core::kOriginLocalPush] + target.accepted[core::kOriginNetworkPush] + pressed;
    EXPECT_EQ(created.load(), accepted) << "every accepted request makes one processor, no other request does";
    EXPECT_GT(accepted, 0);
    EXPECT_EQ(handler.GetScanState(), core::ScanState::Idle);
}

} // namespace
