#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <fstream>
#include <future>
#include <thread>

#include "../scancontrol/ControlTestSupport.h"
#include "app/ProgramServices.h"
#include "app/ScanDispatch.h"
#include "core/Texts.h"
#include "platform/NamedSemaphore.h"
#include "platform/Services.h"
#include "scancontrol/SaneDynamictwain.h"
#include "support/FakeDynamictwain.h"
#include "support/RecordingMessageBox.h"
#include "support/UiThread.h"

namespace {

using namespace app;
using scancontrol::FakeDynamictwain;
using scancontrol::FakeSource;
using scancontrol::FakeStep;
using scancontrol::TwainEvent;

// The acquisition object's side as the dispatch sees it: opens the source and starts
// the control, and records the document calls.
class RecordingAcquisition : public core::IAcquisition {
public:
    explicit RecordingAcquisition(scancontrol::CDynamictwain& control) : control_(control) {}
    bool Run(const settings::CommonSetting&) override { return RunAny(); }
    bool RunAny() {
        control_.OpenSourceManager();
        control_.SelectSourceByIndex(0);
        if (!control_.OpenSource()) return false;
        control_.TransferCount(-1);
        control_.FeederEnabled(feeder);
        return control_.AcquireImage();
    }
    bool ProcessPage(bool newFile, const scancontrol::ImageInfo&, int, int) override {
        log.push_back(newFile ? "open-new" : "open-append");
        if (refusePages) {
            failure = reason;
            return false;
        }
        if (newFile || path.empty()) path = "/out/doc" + std::to_string(++documents);
        return true;
    }
    int AddPage() override {
        log.push_back("add");
        ++pagesAdded;
        if (pagesAdded != addResultOnPage) return 0;
        if (addResult != 3) failure = reason;
        return addResult;
    }
    void FinishDocument() override {
        log.push_back("finish");
        if (finishFails && !path.empty()) {
            path.clear();
            failure = reason;
        }
        if (!path.empty()) finished.push_back(path);
    }
    void AbortDocument() override {
        log.push_back("abort");
        path.clear();
    }
    std::string DocumentPath() const override { return path; }
    std::string TakeFailureMessage() override {
        std::string message;
        message.swap(failure);
        return message;
    }

    bool feeder = true;
    bool finishFails = false;
    std::string reason;  // what a failure says, when it says something
    std::string failure; // not yet taken
    bool refusePages = false;
    int addResultOnPage = 0;
    int addResult = 0;
    int pagesAdded = 0;
    int documents = 0;
    std::string path;
    std::vector<std::string> log, finished;
private:
    scancontrol::CDynamictwain& control_;
};

class RecordingProcessor : public core::ScanProcesser {
public:
    struct Record {
        std::vector<std::string> pagesSaved, scansFinished;
        int prepared = 0;
        bool driverSuppressed = false;
        std::function<void()> onDeliver; // called for every delivered file
    };
    RecordingProcessor(Record& record, bool multiPage, bool refuse, std::function<void()> onRefuseCheck)
        : record_(record), multiPage_(multiPage), refuse_(refuse), onRefuseCheck_(std::move(onRefuseCheck)) {}
    bool RefuseScan() override {
        if (onRefuseCheck_) onRefuseCheck_();
        return refuse_;
    }
    void OnPageSaved(const std::string& p) override {
        if (multiPage_) return;
        record_.pagesSaved.push_back(p);
        if (record_.onDeliver) record_.onDeliver();
    }
    void OnScanFinished(const std::string& p) override {
        if (!multiPage_) return;
        record_.scansFinished.push_back(p);
        if (record_.onDeliver) record_.onDeliver();
    }
    void ResetSettings() override { ++record_.prepared; }
    bool LoadSettings() override { return true; }
    bool IsMultiPage() const override { return multiPage_; }
    void SuppressDriverDialog() override { record_.driverSuppressed = true; }
    bool Start(core::IAcquisition& acquisition) override {
        return static_cast<RecordingAcquisition&>(acquisition).RunAny();
    }
private:
    Record& record_;
    bool multiPage_, refuse_;
    std::function<void()> onRefuseCheck_;
};

class TestWindow : public IScanWindow {
public:
    int RunOnUiThread(const std::function<int()>& call) override {
        ++handOvers;
        return call();
    }
    bool UpdateMenuForDevice(bool) override {
        if (onProbe) onProbe();
        return deviceUsable;
    }
    void RefreshButtons() override { ++refreshes; }
    void BringToFront() override { ++raised; }
    void AcquisitionStarted(const core::ScanRequest&) override { ++started; }
    void AcquisitionEnded(const core::ScanRequest&, const ScanOutcome& outcome) override {
        outcomes.push_back(outcome);
    }
    int started = 0;
    std::vector<ScanOutcome> outcomes; // one per acquisition whose end was handled
    bool deviceUsable = true;
    int handOvers = 0, refreshes = 0, raised = 0;
    std::function<void()> onProbe;
};

using RecordingBox = testsupport::RecordingMessageBox;

class Dispatch : public ::testing::Test {
protected:
    void SetUp() override {
        FakeSource source;
        source.identity.productName = "test:0";
        for (int i = 0; i < 3; ++i) source.pages.push_back(scancontrol::PageImage::Blank(40, 50, 8, 100));
        source.feederLoaded = true;
        control.AddSource(source);
        control.SetWriteFiles(false);
        handler = std::make_shared<ScanOperationHandler>(
            control, acquisition, window,
            [this](const core::ScanRequest& r) -> std::unique_ptr<core::ScanProcesser> {
                ++processorsCreated;
                lastRequest = r;
                if (r.destination == core::kDestEmail) return nullptr;
                return std::make_unique<RecordingProcessor>(record, multiPage, refuse, onRefuseCheck);
            },
            SourceServices{[this] { return current; }, [this](const std::string& n) { current = n; },
                           [this] { ++deviceRefreshes; }});
        control.SetEventListener(handler.get());
        services = std::make_unique<ProgramServices>(&control, nullptr, box);
        services->SetScanStatus(handler);
    }
    void TearDown() override {
        services.reset();
        control.SetEventListener(nullptr);
    }
    bool Press(int destination = core::kDestFolder) {
        return handler->StartScanTask(core::ScanRequest::ForButton(destination, current));
    }

    FakeDynamictwain control;
    RecordingAcquisition acquisition{control};
    TestWindow window;
    RecordingProcessor::Record record;
    std::shared_ptr<RecordingBox> box = std::make_shared<RecordingBox>();
    std::shared_ptr<ScanOperationHandler> handler;
    std::unique_ptr<ProgramServices> services;
    std::string current = "test:0";
    bool multiPage = false, refuse = false;
    std::function<void()> onRefuseCheck;
    int processorsCreated = 0, deviceRefreshes = 0;
    core::ScanRequest lastRequest;
};

TEST_F(Dispatch, BusyWhileAcquiringAcceptedOnceControlReportsIdle) {
    ASSERT_TRUE(Press());
    EXPECT_EQ(handler->GetScanState(), core::ScanState::Running);
    EXPECT_NE(control.ScanInProgress(), 0);
    EXPECT_FALSE(Press()) << "refused while the control is acquiring";
    EXPECT_EQ(processorsCreated, 1);
    // The acquisition ends without any event reaching the handler.
    control.DisableSource();
    ASSERT_EQ(control.ScanInProgress(), 0);
    EXPECT_TRUE(Press());
    EXPECT_EQ(processorsCreated, 2);
}

TEST_F(Dispatch, SinglePageTypeDeliversEachPageThenIgnoresFinish) {
    ASSERT_TRUE(Press());
    control.DeliverPendingEvents();
    EXPECT_EQ(record.pagesSaved, (std::vector<std::string>{"/out/doc1", "/out/doc2", "/out/doc3"}));
    EXPECT_TRUE(record.scansFinished.empty());
    EXPECT_EQ(acquisition.log.front(), "open-new");
    EXPECT_EQ(std::count(acquisition.log.begin(), acquisition.log.end(), "open-new"), 3);
    EXPECT_EQ(handler->GetScanState(), core::ScanState::Idle);
    EXPECT_EQ(window.started, 1);
    ASSERT_EQ(window.outcomes.size(), 1u);
    EXPECT_TRUE(window.outcomes[0].delivered);
    EXPECT_EQ(window.outcomes[0].endEvent, 4);
    EXPECT_EQ(window.outcomes[0].files, record.pagesSaved);
}

TEST_F(Dispatch, MultiPageTypeAppendsAndFinishesOnce) {
    multiPage = true;
    ASSERT_TRUE(Press());
    control.DeliverPendingEvents();
    EXPECT_TRUE(record.pagesSaved.empty());
    EXPECT_EQ(record.scansFinished, std::vector<std::string>{"/out/doc1"});
    EXPECT_EQ(acquisition.log,
              (std::vector<std::string>{"open-new", "add", "open-append", "add", "open-append", "add", "finish"}));
    ASSERT_EQ(window.outcomes.size(), 1u);
    EXPECT_TRUE(window.outcomes[0].delivered);
    EXPECT_EQ(window.outcomes[0].files, std::vector<std::string>{"/out/doc1"});
}

struct CancelCase {
    const char* name;
    TwainEvent terminal;
    bool refuse;
};
class DispatchCancel : public Dispatch, public ::testing::WithParamInterface<CancelCase> {};

TEST_P(DispatchCancel, DeliversNothingAndAbandonsTheDocument) {
    multiPage = true;
    refuse = GetParam().refuse;
    control.SetAcquisitionScript({{TwainEvent::TransferReady, {}, 0},
                                  {TwainEvent::PageTransferred, {}, 0},
                                  {TwainEvent::PageEnded, {}, 0},
                                  {GetParam().terminal, {}, scancontrol::err::PaperJam}});
    // What the control wrote of an earlier page: nothing of an abandoned scan stays behind.
    std::ofstream(ScanTempFilePath()) << "page";
    ASSERT_TRUE(Press());
    control.DeliverPendingEvents();
    EXPECT_FALSE(platform::FileSystem().Exists(ScanTempFilePath()));
    EXPECT_TRUE(record.scansFinished.empty());
    EXPECT_TRUE(record.pagesSaved.empty());
    EXPECT_TRUE(acquisition.finished.empty());
    EXPECT_TRUE(acquisition.path.empty()) << "the open document was abandoned";
    EXPECT_EQ(control.ScanInProgress(), 0);
    EXPECT_EQ(handler->GetScanState(), core::ScanState::Idle);
    // The window hears of the end once: nothing delivered, and which event ended it (none
    // when the destination refused the scan and the dispatch ended it itself).
    EXPECT_EQ(window.started, 1);
    ASSERT_EQ(window.outcomes.size(), 1u);
    EXPECT_FALSE(window.outcomes[0].delivered);
    EXPECT_EQ(window.outcomes[0].endEvent, GetParam().refuse ? 0 : static_cast<int>(GetParam().terminal));
}

INSTANTIATE_TEST_SUITE_P(Ways, DispatchCancel,
                         ::testing::Values(CancelCase{"failed", TwainEvent::TransferFailed, false},
                                           CancelCase{"cancelled", TwainEvent::TransferCancelled, false},
                                           CancelCase{"refused", TwainEvent::AcquisitionEnded, true}),
                         [](const ::testing::TestParamInfo<CancelCase>& p) { return std::string(p.param.name); });

TEST_F(Dispatch, DocumentFullKeepsDocumentAndShowsMessage210) {
    multiPage = true;
    acquisition.addResultOnPage = 2;
    acquisition.addResult = 3;
    ASSERT_TRUE(Press());
    control.DeliverPendingEvents();
    EXPECT_EQ(record.scansFinished, std::vector<std::string>{"/out/doc1"});
    EXPECT_EQ(acquisition.pagesAdded, 2) << "no page after the full document";
    ASSERT_EQ(box->texts.size(), 1u);
    EXPECT_EQ(box->texts[0], core::LoadMessageText(210));
    EXPECT_EQ(handler->GetScanState(), core::ScanState::Idle);
}

TEST_F(Dispatch, FailedPageWriteAbandonsAndDeliversNothing) {
    acquisition.addResultOnPage = 1;
    acquisition.addResult = 5;
    ASSERT_TRUE(Press());
    control.DeliverPendingEvents();
    EXPECT_TRUE(record.pagesSaved.empty());
    EXPECT_TRUE(box->texts.empty());
}

TEST_F(Dispatch, PageOpeningRefusedShowsMessage113AndStops) {
    acquisition.refusePages = true;
    ASSERT_TRUE(Press());
    control.DeliverPendingEvents();
    ASSERT_EQ(box->texts.size(), 1u);
    EXPECT_EQ(box->texts[0], core::LoadMessageText(113));
    EXPECT_TRUE(record.pagesSaved.empty());
    EXPECT_EQ(std::count(acquisition.log.begin(), acquisition.log.end(), "open-new"), 1);
    EXPECT_EQ(control.ScanInProgress(), 0);
}

// A page or a document that fails for a reason the acquisition states (a full disk)
// ends the scan with one box saying so, and delivers nothing.
struct ReasonCase {
    const char* name;
    bool multiPage, refusePages, finishFails;
    int addResultOnPage;
};

class DispatchReason : public Dispatch, public ::testing::WithParamInterface<ReasonCase> {};

TEST_P(DispatchReason, FailureIsToldOnceWithItsReason) {
    const ReasonCase& c = GetParam();
    multiPage = c.multiPage;
    acquisition.refusePages = c.refusePages;
    acquisition.finishFails = c.finishFails;
    acquisition.addResultOnPage = c.addResultOnPage;
    acquisition.addResult = 9;
    acquisition.reason = "The scanned document could not be saved.\nNo space left on device";
    ASSERT_TRUE(Press());
    control.DeliverPendingEvents();
    EXPECT_EQ(box->texts, std::vector<std::string>{acquisition.reason});
    EXPECT_TRUE(record.pagesSaved.empty());
    EXPECT_TRUE(record.scansFinished.empty());
    EXPECT_EQ(control.ScanInProgress(), 0);
    EXPECT_EQ(handler->GetScanState(), core::ScanState::Idle);
}

INSTANTIATE_TEST_SUITE_P(Where, DispatchReason,
                         ::testing::Values(ReasonCase{"opening", false, true, false, 0},
                                           ReasonCase{"writing", true, false, false, 2},
                                           ReasonCase{"finishing", true, false, true, 0},
                                           ReasonCase{"finishing_a_page", false, false, true, 0}),
                         [](const ::testing::TestParamInfo<ReasonCase>& p) { return std::string(p.param.name); });

TEST_F(Dispatch, NetworkPushSemaphoreExistsExactlyDuringAcceptance) {
    const std::string name = "Sem_ScannerDriver_PushScanMode_Network_AB12";
    bool existedDuringProbe = false;
    window.onProbe = [&] { existedDuringProbe = platform::NamedSemaphoreExists(name); };
    core::ScanRequest r;
    r.origin = core::kOriginNetworkPush;
    r.destination = core::kDestFolder;
    r.requestedSource = "test:0";
    r.deviceKey = " ab12 ";
    EXPECT_EQ(core::PushSemaphoreName(r, current), name);
    ASSERT_TRUE(handler->StartScanTask(r));
    EXPECT_TRUE(existedDuringProbe);
    EXPECT_FALSE(platform::NamedSemaphoreExists(name));
    EXPECT_TRUE(record.driverSuppressed) << "network pushes never show the driver dialog";
}

TEST_F(Dispatch, ButtonRequestCreatesNoSemaphoreLocalPushNamesCurrentSource) {
    core::ScanRequest button = core::ScanRequest::ForButton(core::kDestFolder, "test:0");
    EXPECT_EQ(core::PushSemaphoreName(button, "test:0"), "");
    core::ScanRequest local = button;
    local.origin = core::kOriginLocalPush;
    EXPECT_EQ(core::PushSemaphoreName(local, "test:0"), "Sem_ScannerDriver_PushScanMode_USB_test:0");
    bool any = true;
    window.onProbe = [&] {
        any = platform::NamedSemaphoreExists("Sem_ScannerDriver_PushScanMode_USB_test:0") ||
              platform::NamedSemaphoreExists("Sem_ScannerDriver_PushScanMode_Network_");
    };
    ASSERT_TRUE(Press());
    EXPECT_FALSE(any);
    EXPECT_FALSE(record.driverSuppressed);
}

TEST_F(Dispatch, RefusedSourceCheckLeavesIdleWithoutProcessor) {
    window.deviceUsable = false;
    core::ScanRequest r = core::ScanRequest::ForButton(core::kDestApplication1, "test:0");
    r.requestedSource = "other:1";
    EXPECT_FALSE(handler->StartScanTask(r));
    EXPECT_EQ(handler->GetScanState(), core::ScanState::Idle);
    EXPECT_EQ(processorsCreated, 0);
    EXPECT_EQ(current, "other:1") << "the requested source stays current";
}

TEST_F(Dispatch, EmailIsAcceptedWithoutScan) {
    EXPECT_TRUE(Press(core::kDestEmail));
    EXPECT_EQ(processorsCreated, 1);
    EXPECT_EQ(control.CallCount("AcquireImage"), 0);
    EXPECT_EQ(handler->GetScanState(), core::ScanState::Idle);
}

TEST_F(Dispatch, MessagesSuppressedOnlyDuringNetworkPush) {
    onRefuseCheck = [] { core::ShowMessage("during scan", core::kMbOk); };
    ASSERT_TRUE(Press());
    control.DeliverPendingEvents();
    EXPECT_EQ(box->texts, std::vector<std::string>{"during scan"});
    box->texts.clear();
    core::ScanRequest r = core::ScanRequest::ForButton(core::kDestFolder, "test:0");
    r.origin = core::kOriginNetworkPush;
    ASSERT_TRUE(handler->StartScanTask(r));
    control.DeliverPendingEvents();
    EXPECT_TRUE(box->texts.empty());
    EXPECT_EQ(handler->GetScanState(), core::ScanState::Idle);
    core::ShowMessage("after", core::kMbOk);
    EXPECT_EQ(box->texts, std::vector<std::string>{"after"});
}

// Messages raised at the end of a scan — 210 for a full document, and whatever the
// delivery says — reach the user of a button or local push scan, and are held back for the
// whole of a network push, its end included. The control stops reporting an acquisition in
// progress before it reports the end (and at once when the full document disables the
// source), so the state alone is already Idle when these messages come.
struct EndMessageCase {
    const char* name;
    int origin;
    bool multiPage;
    int fullOnPage;
};
class DispatchEndMessages : public Dispatch, public ::testing::WithParamInterface<EndMessageCase> {};

TEST_P(DispatchEndMessages, ShownUnlessNetworkPush) {
    const EndMessageCase& c = GetParam();
    multiPage = c.multiPage;
    if (c.fullOnPage) {
        acquisition.addResultOnPage = c.fullOnPage;
        acquisition.addResult = 3;
    }
    int deliveries = 0;
    record.onDeliver = [&] {
        ++deliveries;
        core::ShowMessage("delivered", core::kMbOk);
    };
    core::ScanRequest r = core::ScanRequest::ForButton(core::kDestFolder, "test:0");
    r.origin = c.origin;
    ASSERT_TRUE(handler->StartScanTask(r));
    control.DeliverPendingEvents();
    ASSERT_GT(deliveries, 0);
    EXPECT_EQ(handler->GetScanState(), core::ScanState::Idle);
    std::vector<std::string> expected;
    if (c.origin != core::kOriginNetworkPush) {
        expected.assign(static_cast<size_t>(deliveries), "delivered");
        // A full one-page-per-file document delivers its last page before the end says so.
        if (c.fullOnPage) expected.insert(c.multiPage ? expected.begin() : expected.end(), core::LoadMessageText(210));
    }
    EXPECT_EQ(box->texts, expected);
    box->texts.clear();
    core::ShowMessage("after", core::kMbOk);
    EXPECT_EQ(box->texts, std::vector<std::string>{"after"}) << "boxes come back once the scan is over";
}

INSTANTIATE_TEST_SUITE_P(Ends, DispatchEndMessages,
                         ::testing::Values(EndMessageCase{"networkMultiPage", core::kOriginNetworkPush, true, 0},
                                           EndMessageCase{"networkSinglePage", core::kOriginNetworkPush, false, 0},
                                           EndMessageCase{"networkMultiPageFull", core::kOriginNetworkPush, true, 2},
                                           EndMessageCase{"networkSinglePageFull", core::kOriginNetworkPush, false, 2},
                                           EndMessageCase{"buttonMultiPageFull", core::kOriginButton, true, 2},
                                           EndMessageCase{"buttonSinglePageFull", core::kOriginButton, false, 2},
                                           EndMessageCase{"localPushMultiPage", core::kOriginLocalPush, true, 0}),
                         [](const ::testing::TestParamInfo<EndMessageCase>& p) { return std::string(p.param.name); });

// The same on the SANE control with the test backend's flatbed page: the control's own
// order and threads decide when it stops reporting an acquisition in progress.
class DispatchEndMessagesOnSane : public ::testing::TestWithParam<EndMessageCase> {};

TEST_P(DispatchEndMessagesOnSane, ShownUnlessNetworkPush) {
    const EndMessageCase& c = GetParam();
    scantest::EnsureApplication();
    std::unique_ptr<scancontrol::CDynamictwain> control = scancontrol::CreateSaneDynamictwain();
    RecordingAcquisition acquisition(*control);
    acquisition.feeder = false;
    if (c.fullOnPage) {
        acquisition.addResultOnPage = c.fullOnPage;
        acquisition.addResult = 3;
    }
    TestWindow window;
    RecordingProcessor::Record record;
    int deliveries = 0;
    record.onDeliver = [&] {
        ++deliveries;
        core::ShowMessage("delivered", core::kMbOk);
    };
    auto handler = std::make_shared<ScanOperationHandler>(
        *control, acquisition, window,
        [&](const core::ScanRequest&) {
            return std::make_unique<RecordingProcessor>(record, c.multiPage, false, nullptr);
        },
        SourceServices{[] { return std::string("test:0"); }, [](const std::string&) {}, [] {}});
    control->SetEventListener(handler.get());
    auto box = std::make_shared<RecordingBox>();
    auto services = std::make_unique<ProgramServices>(control.get(), nullptr, box);
    services->SetScanStatus(handler);

    core::ScanRequest r = core::ScanRequest::ForButton(core::kDestFolder, "test:0");
    r.origin = c.origin;
    ASSERT_TRUE(handler->StartScanTask(r));
    for (int i = 0; i < 6000 && (deliveries == 0 || control->ScanInProgress() != 0); ++i) scantest::Pump(10);
    scantest::Pump(50); // nothing of this scan may come later

    EXPECT_EQ(deliveries, 1);
    EXPECT_EQ(control->ScanInProgress(), 0);
    std::vector<std::string> expected;
    if (c.origin != core::kOriginNetworkPush) {
        if (c.fullOnPage) expected.push_back(core::LoadMessageText(210));
        expected.push_back("delivered");
    }
    EXPECT_EQ(box->texts, expected);
    box->texts.clear();
    core::ShowMessage("after", core::kMbOk);
    EXPECT_EQ(box->texts, std::vector<std::string>{"after"});

    services.reset();
    control->SetEventListener(nullptr);
    control->CloseSource();
    control->CloseSourceManager();
}

INSTANTIATE_TEST_SUITE_P(Ends, DispatchEndMessagesOnSane,
                         ::testing::Values(EndMessageCase{"networkMultiPage", core::kOriginNetworkPush, true, 0},
                                           EndMessageCase{"networkMultiPageFull", core::kOriginNetworkPush, true, 1},
                                           EndMessageCase{"buttonMultiPage", core::kOriginButton, true, 0},
                                           EndMessageCase{"buttonMultiPageFull", core::kOriginButton, true, 1}),
                         [](const ::testing::TestParamInfo<EndMessageCase>& p) { return std::string(p.param.name); });

TEST_F(Dispatch, ModalStateBlocksScansUntilReleased) {
    ASSERT_TRUE(handler->SetScanState(core::ScanState::Modal));
    EXPECT_FALSE(Press());
    EXPECT_FALSE(handler->SetScanState(core::ScanState::Running)) << "Running only from Starting";
    EXPECT_TRUE(handler->SetScanState(core::ScanState::Idle));
    EXPECT_TRUE(Press());
}

// A user-interface thread of its own: hand-overs queue onto it and wait.
class ThreadedWindow : public TestWindow {
public:
    int RunOnUiThread(const std::function<int()>& call) override { return ui_.Run(call); }
private:
    testsupport::UiThread ui_;
};

TEST(DispatchRace, TwoThreadsOneAccepted) {
    for (int round = 0; round < 20; ++round) {
        FakeDynamictwain control;
        FakeSource source;
        source.identity.productName = "test:0";
        source.pages.push_back(scancontrol::PageImage::Blank(8, 8, 8, 100));
        control.AddSource(source);
        control.SetWriteFiles(false);
        RecordingAcquisition acquisition(control);
        ThreadedWindow window;
        RecordingProcessor::Record record;
        std::atomic<int> created{0};
        ScanOperationHandler handler(
            control, acquisition, window,
            [&](const core::ScanRequest&) -> std::unique_ptr<core::ScanProcesser> {
                ++created;
                return std::make_unique<RecordingProcessor>(record, false, false, nullptr);
            },
            SourceServices{[] { return std::string("test:0"); }, [](const std::string&) {}, [] {}});
        std::atomic<bool> go{false};
        auto press = [&] {
            while (!go) std::this_thread::yield();
            return handler.StartScanTask(core::ScanRequest::ForButton(core::kDestFolder, "test:0"));
        };
        auto a = std::async(std::launch::async, press);
        auto b = std::async(std::launch::async, press);
        go = true;
        int accepted = int(a.get()) + int(b.get());
        EXPECT_EQ(accepted, 1) << "round " << round;
        EXPECT_EQ(created.load(), 1) << "round " << round;
    }
}

} // namespace

namespace {

// The window's side when the dispatch moves work away from it: what it is handed back
// waits in a queue that the test's thread (the window's thread here) runs.
class PostingWindow : public TestWindow {
public:
    bool PostToUiThread(std::function<void()> call) override {
        if (call) {
            std::lock_guard<std::mutex> g(m_);
            posted_.push_back(std::move(call));
            cv_.notify_all();
        }
        return true;
    }
    // Runs what comes back until `done` holds (at most a minute).
    bool RunUntil(const std::function<bool()>& done) {
        const auto limit = std::chrono::steady_clock::now() + std::chrono::minutes(1);
        while (!done()) {
            std::function<void()> call;
            {
                std::unique_lock<std::mutex> lock(m_);
                if (!cv_.wait_until(lock, limit, [this] { return !posted_.empty(); })) return false;
                call = std::move(posted_.front());
                posted_.pop_front();
            }
            call();
        }
        return true;
    }

private:
    std::mutex m_;
    std::condition_variable cv_;
    std::deque<std::function<void()>> posted_;
};

// An acquisition whose pages and documents are written away from the window's thread:
// it notes where each AddPage and FinishDocument ran, and the first AddPage waits until
// the test lets it go.
class BackgroundAcquisition : public RecordingAcquisition {
public:
    using RecordingAcquisition::RecordingAcquisition;
    bool AddsPageInBackground() const override { return true; }
    bool FinishesInBackground() const override { return true; }
    int AddPage() override {
        if (hold) {
            std::unique_lock<std::mutex> lock(m_);
            cv_.wait(lock, [this] { return released_; });
        }
        offThread = offThread && std::this_thread::get_id() != window;
        return RecordingAcquisition::AddPage();
    }
    void FinishDocument() override {
        offThread = offThread && std::this_thread::get_id() != window;
        RecordingAcquisition::FinishDocument();
    }
    void Release() {
        std::lock_guard<std::mutex> g(m_);
        released_ = true;
        cv_.notify_all();
    }
    bool hold = false;
    std::atomic<bool> offThread{true};
    std::thread::id window = std::this_thread::get_id();

private:
    std::mutex m_;
    std::condition_variable cv_;
    bool released_ = false;
};

struct OrderCase {
    const char* name;
    bool multiPage;
    int failOnPage;        // AddPage fails (full disk) on this page; 0 never
    bool finishFails;      // the document cannot be written at its end
    bool cancelAfterPage2; // the user cancels after the second page
};

// What one scan leaves: the acquisition's calls, the messages, the deliveries, the outcome.
struct OrderResult {
    std::vector<std::string> log, texts, pages, scans;
    int endEvent = -1;
    bool delivered = false;
    bool operator==(const OrderResult& o) const {
        return log == o.log && texts == o.texts && pages == o.pages && scans == o.scans && endEvent == o.endEvent &&
               delivered == o.delivered;
    }
};

OrderResult RunScan(const OrderCase& c, bool background, bool* windowWaited = nullptr) {
    FakeDynamictwain control;
    FakeSource source;
    source.identity.productName = "test:0";
    for (int i = 0; i < 3; ++i) source.pages.push_back(scancontrol::PageImage::Blank(40, 50, 8, 100));
    source.feederLoaded = true;
    control.AddSource(source);
    control.SetWriteFiles(false);
    if (c.cancelAfterPage2) {
        std::vector<FakeStep> steps{{TwainEvent::TransferReady, {}, 0}};
        for (int i = 0; i < 2; ++i) {
            steps.push_back({TwainEvent::PageTransferred, {}, 0});
            steps.push_back({TwainEvent::PageEnded, {}, 0});
        }
        steps.push_back({TwainEvent::TransferCancelled, {}, 0});
        control.SetAcquisitionScript(steps);
    }
    BackgroundAcquisition acquisition(control);
    acquisition.addResultOnPage = c.failOnPage;
    acquisition.addResult = 9;
    acquisition.finishFails = c.finishFails;
    acquisition.reason = "The scanned document could not be saved.\nNo space left on device";
    acquisition.hold = background;
    PostingWindow postingWindow;
    TestWindow plainWindow;
    IScanWindow& window = background ? static_cast<IScanWindow&>(postingWindow) : plainWindow;
    RecordingProcessor::Record record;
    auto handler = std::make_shared<ScanOperationHandler>(
        control, acquisition, window,
        [&](const core::ScanRequest&) {
            return std::make_unique<RecordingProcessor>(record, c.multiPage, false, nullptr);
        },
        SourceServices{[] { return std::string("test:0"); }, [](const std::string&) {}, [] {}});
    control.SetEventListener(handler.get());
    auto box = std::make_shared<RecordingBox>();
    auto services = std::make_unique<ProgramServices>(&control, nullptr, box);
    services->SetScanStatus(handler);

    EXPECT_TRUE(handler->StartScanTask(core::ScanRequest::ForButton(core::kDestFolder, "test:0")));
    control.DeliverPendingEvents();
    if (background) {
        // Every event has reached the dispatch while the first page is still being added:
        // the window's thread did not wait for it, and the scan is not over.
        if (windowWaited) *windowWaited = acquisition.pagesAdded > 0;
        EXPECT_NE(handler->GetScanState(), core::ScanState::Idle);
        acquisition.Release();
        const auto& outcomes = postingWindow.outcomes;
        EXPECT_TRUE(postingWindow.RunUntil([&] { return !outcomes.empty(); }));
        EXPECT_TRUE(acquisition.offThread);
    }
    EXPECT_EQ(handler->GetScanState(), core::ScanState::Idle);
    OrderResult r;
    r.log = acquisition.log;
    r.texts = box->texts;
    r.pages = record.pagesSaved;
    r.scans = record.scansFinished;
    const auto& outcomes = background ? postingWindow.outcomes : plainWindow.outcomes;
    EXPECT_EQ(outcomes.size(), 1u);
    if (!outcomes.empty()) {
        r.endEvent = outcomes[0].endEvent;
        r.delivered = outcomes[0].delivered;
    }
    services.reset();
    control.SetEventListener(nullptr);
    return r;
}

class DispatchInBackground : public ::testing::TestWithParam<OrderCase> {};

TEST_P(DispatchInBackground, SameEventsResultsAndMessagesAsOnTheWindowsThread) {
    const OrderResult here = RunScan(GetParam(), false);
    bool windowWaited = true;
    const OrderResult away = RunScan(GetParam(), true, &windowWaited);
    EXPECT_FALSE(windowWaited) << "the window's thread waited for a page to be added";
    EXPECT_EQ(away.log, here.log);
    EXPECT_EQ(away.texts, here.texts);
    EXPECT_TRUE(away == here);
    ASSERT_FALSE(here.log.empty());
}

INSTANTIATE_TEST_SUITE_P(Scans, DispatchInBackground,
                         ::testing::Values(OrderCase{"multiPage", true, 0, false, false},
                                           OrderCase{"pagePerFile", false, 0, false, false},
                                           OrderCase{"diskFullOnPage2", true, 2, false, false},
                                           OrderCase{"diskFullOnPage2PerFile", false, 2, false, false},
                                           OrderCase{"documentNotWritten", true, 0, true, false},
                                           OrderCase{"cancelAfterPage2", true, 0, false, true}),
                         [](const ::testing::TestParamInfo<OrderCase>& p) { return std::string(p.param.name); });

} // namespace
