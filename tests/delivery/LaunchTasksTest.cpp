#include <gtest/gtest.h>

#include <functional>
#include <thread>

#include "core/Texts.h"
#include "delivery/LaunchTasks.h"
#include "delivery/LaunchTaskWorker.h"
#include "output/FileNaming.h"
#include "platform/Clock.h"
#include "platform/Desktop.h"
#include "platform/Services.h"
#include "support/RecordingMessageBox.h"
#include "support/TempFolder.h"

namespace {

using namespace delivery;
using testsupport::TempFolder;

struct Started {
    std::string program;
    std::vector<std::string> args;
    std::string folder;
};

class RecordingDesktop : public platform::IDesktop {
public:
    bool StartProgram(const std::string& p, const std::vector<std::string>& a, const std::string& f) override {
        started.push_back({p, a, f});
        if (onStart) onStart();
        return startSucceeds;
    }
    bool ShowInFileManager(const std::string& path) override {
        shown.push_back(path);
        return true;
    }
    std::vector<Started> started;
    std::vector<std::string> shown;
    bool startSucceeds = true;
    std::function<void()> onStart;
};

using RecordingBox = testsupport::RecordingMessageBox;

class LaunchTasks : public ::testing::Test {
protected:
    void SetUp() override {
        platform::SetDesktop(desktop);
        platform::SetClock(std::make_shared<platform::FixedClock>(platform::LocalTime{2026, 12, 7, 9, 0, 0}));
        core::SetMessageBox(box);
    }
    void TearDown() override {
        platform::SetDesktop(nullptr);
        platform::SetClock(nullptr);
        core::SetMessageBox(nullptr);
    }
    std::shared_ptr<RecordingDesktop> desktop = std::make_shared<RecordingDesktop>();
    std::shared_ptr<RecordingBox> box = std::make_shared<RecordingBox>();
    TempFolder received, dest;
};

TEST_F(LaunchTasks, RunApplicationPassesFileAsOneArgument) {
    EXPECT_EQ(RunApplication("/opt/My App/viewer", "/scans/a b.jpg", "/scans/", true), 1);
    ASSERT_EQ(desktop->started.size(), 1u);
    EXPECT_EQ(desktop->started[0].program, "/opt/My App/viewer");
    EXPECT_EQ(desktop->started[0].args, std::vector<std::string>{"/scans/a b.jpg"});
    EXPECT_EQ(desktop->started[0].folder, "/scans/");
    EXPECT_TRUE(box->texts.empty());
}

TEST_F(LaunchTasks, RunApplicationEmptyInputsAndFailures) {
    EXPECT_EQ(RunApplication("", "f", "d", true), 0);
    EXPECT_EQ(RunApplication("a", "", "d", true), 0);
    EXPECT_EQ(RunApplication("a", "f", "", true), 0);
    EXPECT_TRUE(desktop->started.empty());
    EXPECT_TRUE(box->texts.empty()) << "empty inputs show nothing";
    desktop->startSucceeds = false;
    EXPECT_EQ(RunApplication("a", "f", "d", false), 0);
    EXPECT_TRUE(box->texts.empty());
    EXPECT_EQ(RunApplication("a", "f", "d", true), 0);
    ASSERT_EQ(box->texts.size(), 1u);
    EXPECT_EQ(box->texts[0], core::LoadMessageText(119));
}

TEST_F(LaunchTasks, NetworkFolderTaskNumbersCopiesAndDeletesReceived) {
    dest.Write("Scan(2026-12-7)0003.tif", "old");
    std::string page = received.Write("page.tif", "P1");
    std::string noExt = received.Write("raw", "P2");
    CNetworkFolderLauncher task({page, noExt}, "Scan", dest.path(), true);
    EXPECT_EQ(task.Execute(), 1);
    EXPECT_EQ(dest.Read("Scan(2026-12-7)0004.tif"), "P1");
    EXPECT_EQ(dest.Read("Scan(2026-12-7)0001"), "P2") << "no extension, its own series";
    EXPECT_EQ(dest.Read("Scan(2026-12-7)0003.tif"), "old");
    EXPECT_FALSE(platform::FileSystem().Exists(page));
    EXPECT_FALSE(platform::FileSystem().Exists(noExt));
    ASSERT_EQ(desktop->shown.size(), 1u);
    EXPECT_EQ(desktop->shown[0], dest / "Scan(2026-12-7)0001");
}

TEST_F(LaunchTasks, FailedCopiesStillOpenTheLastNameAndDeleteReceived) {
    std::string page = received.Write("page.jpg", "P");
    CNetworkFolderLauncher task({page, received / "vanished.jpg"}, "Scan", dest / "missing/", true);
    task.Execute();
    EXPECT_FALSE(platform::FileSystem().Exists(page));
    ASSERT_EQ(desktop->shown.size(), 1u);
    EXPECT_EQ(desktop->shown[0], dest / "missing/Scan(2026-12-7)0001.jpg");
}

TEST_F(LaunchTasks, FullSeriesStopsCopyingButDeletesEverything) {
    dest.Write("Scan(2026-12-7)9999.pdf", "");
    std::string a = received.Write("a.pdf", "A"), b = received.Write("b.pdf", "B");
    CNetworkAppLauncher task({a, b}, "/usr/bin/viewer", "Scan", dest.path());
    EXPECT_EQ(task.Execute(), 1);
    EXPECT_TRUE(desktop->started.empty());
    EXPECT_FALSE(platform::FileSystem().Exists(a));
    EXPECT_FALSE(platform::FileSystem().Exists(b));
}

TEST_F(LaunchTasks, NetworkAppTaskStartsOncePerCopiedFileSilently) {
    std::string a = received.Write("a.jpg", "A"), b = received.Write("b.jpg", "B");
    dest.Write("Scan(2026-12-7)0002.jpg", "taken");
    desktop->startSucceeds = false;
    CNetworkAppLauncher task({a, b}, "viewer", "Scan", dest.path());
    task.Execute();
    ASSERT_EQ(desktop->started.size(), 2u);
    EXPECT_EQ(desktop->started[0].args[0], dest / "Scan(2026-12-7)0003.jpg");
    EXPECT_EQ(desktop->started[1].args[0], dest / "Scan(2026-12-7)0004.jpg");
    EXPECT_EQ(desktop->started[1].folder, dest.path());
    EXPECT_TRUE(box->texts.empty()) << "network tasks fail silently";
}

TEST_F(LaunchTasks, NetworkAppTaskStartsEachCopyBeforeCopyingTheNext) {
    std::vector<std::string> files;
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg"}) files.push_back(received.Write(name, name));
    // At each start: which copies are in the destination, and which received files remain.
    std::vector<std::vector<bool>> copiesAtStart, receivedAtStart;
    desktop->onStart = [&] {
        std::vector<bool> copies, left;
        for (int n = 1; n <= 3; ++n)
            copies.push_back(platform::FileSystem().Exists(dest / ("Scan(2026-12-7)000" + std::to_string(n) + ".jpg")));
        for (const auto& f : files) left.push_back(platform::FileSystem().Exists(f));
        copiesAtStart.push_back(copies);
        receivedAtStart.push_back(left);
    };
    CNetworkAppLauncher task(files, "viewer", "Scan", dest.path());
    EXPECT_EQ(task.Execute(), 1);
    ASSERT_EQ(desktop->started.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(desktop->started[i].args[0], dest / ("Scan(2026-12-7)000" + std::to_string(i + 1) + ".jpg"));
        std::vector<bool> copies(3, false), left(3, true);
        for (size_t k = 0; k <= i; ++k) copies[k] = true; // this copy and the earlier ones
        for (size_t k = 0; k < i; ++k) left[k] = false;   // earlier received files are gone
        EXPECT_EQ(copiesAtStart[i], copies) << "start " << i;
        EXPECT_EQ(receivedAtStart[i], left) << "start " << i;
    }
}

TEST_F(LaunchTasks, DiscardDeletesReceivedAndLeavesDestination) {
    std::string a = received.Write("a.jpg", "A");
    CNetworkFolderLauncher task({a}, "Scan", dest.path(), true);
    EXPECT_EQ(task.Discard(), 1);
    EXPECT_FALSE(platform::FileSystem().Exists(a));
    std::vector<std::string> names;
    platform::FileSystem().ListFolder(dest.path(), names);
    EXPECT_EQ(names.size(), 2u);
    EXPECT_TRUE(desktop->shown.empty());
}

// Answers as told; records how often it was asked.
class ScriptedQuestion : public ILaunchQuestion {
public:
    explicit ScriptedQuestion(bool answer) : answer_(answer) {}
    bool Ask(const std::string& text, IF_OperationCollector&) override {
        asked.push_back(text);
        return answer_;
    }
    std::vector<std::string> asked;
private:
    bool answer_;
};

class CountingTask : public IF_Operation {
public:
    CountingTask(int& executed, int& discarded) : executed_(executed), discarded_(discarded) {}
    int Execute() override { return ++executed_, 1; }
    int Discard() override { return ++discarded_, 1; }
private:
    int& executed_;
    int& discarded_;
};

TEST(LaunchTaskWorker, AsksOncePerBatchThenExecutesOrDiscardsAll) {
    for (bool answer : {true, false}) {
        LauncherTaskCollector collector;
        auto question = std::make_shared<ScriptedQuestion>(answer);
        LaunchTaskWorker worker(collector, question);
        int executed = 0, discarded = 0;
        for (int i = 0; i < 3; ++i) collector.Add(std::make_unique<CountingTask>(executed, discarded));
        collector.Add(nullptr);
        EXPECT_TRUE(collector.TakeNewWork());
        EXPECT_FALSE(collector.TakeNewWork()) << "the flag clears when taken";
        EXPECT_TRUE(worker.RunOnce());
        EXPECT_FALSE(worker.RunOnce());
        EXPECT_EQ(question->asked.size(), 1u);
        EXPECT_EQ(question->asked[0], core::LoadMessageText(211));
        EXPECT_EQ(executed, answer ? 3 : 0);
        EXPECT_EQ(discarded, answer ? 0 : 3);
    }
}

// Blocks until the collector's stop is requested, then answers yes; the worker must
// treat that as "no".
class StopWaitingQuestion : public ILaunchQuestion {
public:
    bool Ask(const std::string&, IF_OperationCollector& collector) override {
        while (!collector.IsStopRequested()) std::this_thread::yield();
        return true;
    }
};

TEST(LaunchTaskWorker, StopWhileAskingDiscardsAndJoins) {
    LauncherTaskCollector collector;
    int executed = 0, discarded = 0;
    collector.Add(std::make_unique<CountingTask>(executed, discarded));
    {
        LaunchTaskWorker worker(collector, std::make_shared<StopWaitingQuestion>());
        worker.Start();
        while (collector.Size() != 0) std::this_thread::yield();
        worker.Stop();
    }
    EXPECT_EQ(executed, 0);
    EXPECT_EQ(discarded, 1);
}

TEST(LaunchTaskWorker, StopDiscardsTasksNobodyWasAskedAbout) {
    LauncherTaskCollector collector;
    int executed = 0, discarded = 0;
    auto question = std::make_shared<ScriptedQuestion>(true);
    {
        LaunchTaskWorker worker(collector, question);
        collector.Add(std::make_unique<CountingTask>(executed, discarded));
        collector.Add(std::make_unique<CountingTask>(executed, discarded));
        worker.Stop(); // never started: nothing was asked
    }
    EXPECT_TRUE(question->asked.empty());
    EXPECT_EQ(executed, 0);
    EXPECT_EQ(discarded, 2);
    EXPECT_EQ(collector.Size(), 0u);
}

} // namespace
