// The real program against a driver played by the test, with real processes: the
// running instance answers the channel and scans for an accepted start request, a start
// by the button daemon (scanbd's variables) records, signals and hands over, and a
// request to end from outside (SIGTERM) is a normal exit that leaves none of the
// program's objects in /dev/shm.
#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>

#include <csignal>
#include <dirent.h>
#include <fcntl.h>
#include <semaphore.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "PrivateShm.h"
#include "pushscan/DriverChannel.h"
#include "pushscan/PushEventStore.h"
#include "support/TempFolder.h"

namespace {

const pushscan::ChannelNames kNames{"ScannerUtilityDriverChannel", "ScannerUtilityDriverRequest",
                                    "ScannerUtilityDriverReply", "ScannerUtilityDriverListener"};
const char* kFolderEvent = "{552587de-8f3a-4a82-b433-b75c5e43dc5c}"; // lower case on purpose

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

// Entries of /dev/shm that carry our user id.
std::vector<std::string> OurObjects() {
    std::vector<std::string> names;
    const std::string suffix = "." + std::to_string(::geteuid());
    for (const auto& entry : std::filesystem::directory_iterator("/dev/shm")) {
        const std::string name = entry.path().filename().string();
        if (name.size() > suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
            names.push_back(name);
    }
    return names;
}

template <typename Condition>
bool WaitFor(Condition done, int ms) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!done()) {
        if (std::chrono::steady_clock::now() > until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

class ProgramPush : public ::testing::Test {
protected:
    void SetUp() override {
#if defined(__SANITIZE_THREAD__)
        // The program under test is built for ThreadSanitizer too, and Debian's Qt is not:
        // Qt's own hand-offs between its threads read as races and end the program. The
        // channel, the push events and the storm are checked in-process (pushscan_tests).
        GTEST_SKIP() << "Qt's internal threads are not instrumented for ThreadSanitizer";
#endif
        privateShm_ = testsupport::UsePrivateSharedMemory();
        ::chmod(runtime_.path().c_str(), 0700);
        const std::string program = testsupport::ProgramFolder();
        // The user's copies: the test device is the current source, and scans to the
        // Folder destination land in our folder.
        std::string product = ReadFile(program + "Prdct.dat");
        product.replace(product.find("[Common]"), 8, "[Common]\nSourceName=test:0");
        home_.Write(".config/ZAV/Quorin/Prdct.dat", product);
        std::string sets = ReadFile(program + "Sets.dat");
        const size_t folder = sets.find("[Folder]");
        const size_t key = sets.find("Savefolder=", folder);
        sets.replace(key, sets.find('\n', key) - key, "Savefolder=" + out_.path());
        home_.Write(".config/ZAV/Quorin/Sets.dat", sets);
    }
    void TearDown() override {
        for (auto& p : processes_) {
            if (p->state() != QProcess::NotRunning) {
                p->kill();
                p->waitForFinished(5000);
            }
        }
    }

    QProcess& Start(const std::map<std::string, std::string>& extra = {}) {
        auto p = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", QString::fromStdString(home_.path()));
        env.insert("XDG_CONFIG_HOME", QString::fromStdString(home_.path() + ".config"));
        env.insert("XDG_RUNTIME_DIR", QString::fromStdString(runtime_.path()));
        env.insert("QT_QPA_PLATFORM", "offscreen");
        // Device-started scans are kept in the temporary folder until the user agrees to
        // their delivery.
        env.insert("TMPDIR", QString::fromStdString(out_.path()));
        env.remove("SCANBD_ACTION");
        env.remove("SCANBD_DEVICE");
        for (const auto& [k, v] : extra) env.insert(QString::fromStdString(k), QString::fromStdString(v));
        p->setProcessEnvironment(env);
        p->start(QString::fromStdString(testsupport::ProgramFolder() + "scanner-utility"), {});
        EXPECT_TRUE(p->waitForStarted(10000));
        processes_.push_back(std::move(p));
        return *processes_.back();
    }

    bool ListenerUp() const { return pushscan::DriverChannel(kNames, 1000).WaitForListener(20000); }

    std::vector<std::string> Scans() const {
        std::vector<std::string> files;
        for (const auto& e : std::filesystem::recursive_directory_iterator(out_.path()))
            if (e.is_regular_file() && e.path().extension() == ".PDF") files.push_back(e.path().string());
        return files;
    }

    // SIGTERM: the window closes as with Exit and the program ends normally. (A scanner
    // backend may put the default action back when a page starts; the program takes the
    // signal again within a tenth of a second, which this waits out.)
    void Terminate(QProcess& p) {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        ::kill(static_cast<pid_t>(p.processId()), SIGTERM);
        ASSERT_TRUE(p.waitForFinished(20000)) << "the program did not end";
        EXPECT_EQ(p.exitStatus(), QProcess::NormalExit) << p.readAllStandardError().toStdString();
        EXPECT_EQ(p.exitCode(), 0);
    }

    void ExpectNothingOfOursLeft(const std::vector<std::string>& driversOwn = {}) {
        if (!privateShm_) return; // others' objects may be there on a common /dev/shm
        for (const std::string& name : OurObjects()) {
            bool drivers = false;
            for (const auto& d : driversOwn) drivers = drivers || name.find(d) != std::string::npos;
            EXPECT_TRUE(drivers) << name << " left in /dev/shm";
        }
    }

    bool privateShm_ = false;
    testsupport::TempFolder home_, runtime_, out_;
    std::vector<std::unique_ptr<QProcess>> processes_;
};

TEST_F(ProgramPush, TheRunningProgramAnswersTheDriverAndScansAnAcceptedStartRequest) {
    QProcess& program = Start();
    ASSERT_TRUE(ListenerUp()) << program.readAllStandardError().toStdString();
    {
        pushscan::DriverChannel driver(kNames);
        pushscan::DriverReply reply;
        // The window is busy during its start-up check of the scanner, and for a moment
        // after it has taken a request (it refreshes what it knows of the device): a
        // driver that is answered busy asks again.
        const auto idle = [&] {
            return WaitFor(
                [&] {
                    return driver.Exchange(pushscan::BusyInquiryMessage(), 5000, reply) ==
                               pushscan::DriverStatus::Answered &&
                           reply.flag() == 0;
                },
                30000);
        };
        const auto accepted = [&](const pushscan::StartRequestFields& request) {
            return WaitFor(
                [&] {
                    return driver.Exchange(pushscan::StartRequestMessage(request), 5000, reply) ==
                               pushscan::DriverStatus::Answered &&
                           reply.type() == 1 && reply.flag() == 1 && reply.result() == 1;
                },
                30000);
        };
        ASSERT_TRUE(idle());
        EXPECT_EQ(reply.type(), 0);

        ASSERT_EQ(driver.Exchange(pushscan::OtherMessage({9, 9, 9, 9}), 5000, reply), pushscan::DriverStatus::Answered);
        EXPECT_EQ(reply.type(), 2);
        EXPECT_EQ(reply.result(), 0);

        // Accepted, and nothing to scan: Email has no processor, an empty source names
        // no device.
        ASSERT_TRUE(accepted({3, "test:0", "", ""}));
        ASSERT_TRUE(accepted({2, "", "", ""}));
        ASSERT_TRUE(idle());
        EXPECT_TRUE(Scans().empty());

        ASSERT_TRUE(accepted({2, "test:0", " ab12 ", "note"}));
        ASSERT_TRUE(WaitFor([&] { return !Scans().empty(); }, 60000)) << program.readAllStandardError().toStdString();
        // Idle again once the scan is over.
        EXPECT_TRUE(idle());
    }
    EXPECT_EQ(Scans().size(), 1u);
    Terminate(program);
    ExpectNothingOfOursLeft();
}

TEST_F(ProgramPush, AButtonStartWhileAnInstanceRunsHandsOverAndTheInstanceScans) {
    QProcess& first = Start();
    ASSERT_TRUE(ListenerUp());
    QProcess& second = Start({{"SCANBD_ACTION", kFolderEvent}, {"SCANBD_DEVICE", "test:0"}});
    ASSERT_TRUE(second.waitForFinished(30000));
    EXPECT_EQ(second.exitCode(), 0);
    ASSERT_TRUE(WaitFor([&] { return !Scans().empty(); }, 60000)) << first.readAllStandardError().toStdString();
    QByteArray said;
    EXPECT_TRUE(WaitFor(
        [&] {
            first.waitForReadyRead(50);
            said += first.readAllStandardError();
            return said.contains("bringing the window forward");
        },
        10000))
        << said.toStdString();
    EXPECT_EQ(first.state(), QProcess::Running);
    Terminate(first);
    ExpectNothingOfOursLeft();
}

TEST_F(ProgramPush, AButtonStartWithNoInstanceBecomesTheInstanceAndServesItsOwnEvent) {
    QProcess& program = Start({{"SCANBD_ACTION", kFolderEvent}, {"SCANBD_DEVICE", "test:0"}});
    ASSERT_TRUE(ListenerUp());
    ASSERT_TRUE(WaitFor([&] { return !Scans().empty(); }, 60000)) << program.readAllStandardError().toStdString();
    EXPECT_EQ(program.state(), QProcess::Running);
    Terminate(program);
    ExpectNothingOfOursLeft();
}

TEST_F(ProgramPush, AnEventLeftSignalledByAnInstanceThatDiedStartsNoScan) {
    // What a killed instance leaves: a button event recorded and signalled, never taken.
    ::setenv("XDG_RUNTIME_DIR", runtime_.path().c_str(), 1);
    {
        pushscan::PushEventLibrary store;
        ASSERT_TRUE(store.IsLoaded());
        store.SetEventName(L"{552587DE-8F3A-4A82-B433-B75C5E43DC5C}");
        store.SetTwainDSName(L"test:0");
    }
    ::unsetenv("XDG_RUNTIME_DIR");
    const std::string eventName = "/PushScanEvent." + std::to_string(::geteuid());
    sem_t* left = ::sem_open(eventName.c_str(), O_CREAT, 0600, 0);
    ASSERT_NE(left, SEM_FAILED);
    ::sem_post(left);
    ::sem_close(left);

    QProcess& program = Start();
    ASSERT_TRUE(ListenerUp());
    std::this_thread::sleep_for(std::chrono::seconds(2));
    EXPECT_TRUE(Scans().empty()) << "a scan nobody asked for";
    // The event still serves the next real button start.
    QProcess& button = Start({{"SCANBD_ACTION", kFolderEvent}, {"SCANBD_DEVICE", "test:0"}});
    ASSERT_TRUE(button.waitForFinished(30000));
    EXPECT_TRUE(WaitFor([&] { return Scans().size() == 1; }, 60000)) << program.readAllStandardError().toStdString();
    Terminate(program);
    ExpectNothingOfOursLeft();
}

TEST_F(ProgramPush, AnUnknownEventStartsNothing) {
    QProcess& program =
        Start({{"SCANBD_ACTION", "{A6C5A715-8C6E-11D2-977A-0000F87A926F}"}, {"SCANBD_DEVICE", "test:0"}});
    ASSERT_TRUE(ListenerUp());
    {
        pushscan::DriverChannel driver(kNames);
        pushscan::DriverReply reply;
        ASSERT_TRUE(WaitFor(
            [&] {
                return driver.Exchange(pushscan::BusyInquiryMessage(), 5000, reply) ==
                           pushscan::DriverStatus::Answered &&
                       reply.flag() == 0;
            },
            30000));
    }
    std::this_thread::sleep_for(std::chrono::seconds(2));
    EXPECT_TRUE(Scans().empty());
    Terminate(program);
    ExpectNothingOfOursLeft();
}

TEST_F(ProgramPush, EndingWithADriverWaitingAndAPushEventPendingEndsEveryThread) {
    QProcess& program = Start();
    ASSERT_TRUE(ListenerUp());
    // A button start makes the instance scan.
    QProcess& button = Start({{"SCANBD_ACTION", kFolderEvent}, {"SCANBD_DEVICE", "test:0"}});
    ASSERT_TRUE(button.waitForFinished(30000));
    ASSERT_TRUE(WaitFor([&] { return !Scans().empty(); }, 60000));
    // Another button event is signalled (one that starts nothing, so that the ending
    // does not meet a new scan), a driver is waiting for its answer, and the session ends.
    ::setenv("XDG_RUNTIME_DIR", runtime_.path().c_str(), 1);
    {
        pushscan::PushEventLibrary store;
        ASSERT_TRUE(store.IsLoaded());
        store.SetEventName(L"{A6C5A715-8C6E-11D2-977A-0000F87A926F}");
    }
    sem_t* pushEvent = ::sem_open(("/PushScanEvent." + std::to_string(::geteuid())).c_str(), 0);
    ASSERT_NE(pushEvent, SEM_FAILED);
    ::sem_post(pushEvent);
    ::sem_close(pushEvent);
    std::thread driver([] {
        pushscan::DriverChannel channel(kNames);
        pushscan::DriverReply reply;
        for (int i = 0; i < 20; ++i) channel.Exchange(pushscan::BusyInquiryMessage(), 300, reply);
    });
    Terminate(program);
    driver.join();
    ::unsetenv("XDG_RUNTIME_DIR");
    ExpectNothingOfOursLeft();
}

TEST_F(ProgramPush, ThePushToolPlaysTheDriver) {
    QProcess& program = Start();
    ASSERT_TRUE(ListenerUp());
    auto run = [&](const QStringList& args) {
        QProcess tool;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_RUNTIME_DIR", QString::fromStdString(runtime_.path()));
        tool.setProcessEnvironment(env);
        tool.start(QString::fromStdString(testsupport::ProgramFolder() + "scanner-utility-cli"), args);
        EXPECT_TRUE(tool.waitForFinished(30000));
        return std::make_pair(tool.exitCode(), tool.readAllStandardOutput().toStdString());
    };
    auto [code, out] = run({"push", "other", "--wait-listener"});
    EXPECT_EQ(code, 0);
    EXPECT_NE(out.find("type 2 result 0"), std::string::npos) << out;
    std::tie(code, out) = run({"push", "inquire", "--type", "7"});
    EXPECT_EQ(code, 0);
    EXPECT_NE(out.find("type 0 busy"), std::string::npos) << out;
    Terminate(program);
    std::tie(code, out) = run({"push", "inquire", "--timeout", "500"});
    EXPECT_EQ(code, 1) << "no program: no listener";
    ExpectNothingOfOursLeft();
}

} // namespace
