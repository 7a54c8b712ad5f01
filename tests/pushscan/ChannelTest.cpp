// The driver message channel with real POSIX objects: the test plays the driver byte by
// byte (its own shm_open/sem_open calls on the names the per-user rule gives), the
// program's side runs its listener thread over a scripted dispatch.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <semaphore.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <cstring>
#include <ctime>
#include <mutex>
#include <vector>

#include "PrivateShm.h"
#include "pushscan/LTOperator.h"
#include "pushscan/PushScanIntake.h"

namespace {

using pushscan::kMessageBlockSize;

// Names of this process's own (tests may run side by side on a common /dev/shm).
const std::string kTag = " " + std::to_string(::getpid());
const pushscan::ChannelNames kNames{"Test Channel" + kTag, "Test:Request" + kTag, "Test Reply" + kTag,
                                    "Test Listener" + kTag};

// The system name of a per-user object, as the driver forms it.
std::string SystemName(const std::string& name) {
    std::string result = "/";
    for (char c : name)
        result += (isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '.' || c == '-') ? c : '_';
    return result + "." + std::to_string(::geteuid());
}

// The driver's own semaphore calls. (Under the program's lock for the C library's
// table of open semaphores: here the driver shares the process with the listener.)
sem_t* RawOpen(const std::string& name, int flags) {
    std::lock_guard<std::mutex> guard(platform::SemaphoreTableLock());
    return ::sem_open(name.c_str(), flags, 0600, 0);
}
void RawClose(sem_t* sem) {
    std::lock_guard<std::mutex> guard(platform::SemaphoreTableLock());
    ::sem_close(sem);
}

bool Exists(const std::string& file) { return ::access(("/dev/shm/" + file).c_str(), F_OK) == 0; }

// A dispatch whose busy answer the test sets; StartScanTask records the request and,
// when asked, waits until the test lets it go.
class ScriptedHandler : public pushscan::IScanTaskHandler {
public:
    bool IsBusy() override { return busy.load(); }
    bool StartScanTask(const core::ScanRequest& request) override {
        std::unique_lock<std::mutex> lock(m);
        started.push_back(request);
        inside = true;
        changed.notify_all();
        changed.wait(lock, [this] { return !hold; });
        inside = false;
        return true;
    }
    std::string CurrentSource() override { return "current"; }

    std::vector<core::ScanRequest> Started() {
        std::lock_guard<std::mutex> g(m);
        return started;
    }
    void Release() {
        std::lock_guard<std::mutex> g(m);
        hold = false;
        changed.notify_all();
    }

    std::atomic<bool> busy{false};
    std::mutex m;
    std::condition_variable changed;
    std::vector<core::ScanRequest> started;
    bool hold = false;
    bool inside = false;
};

// The driver: owns the block and the reply semaphore, as a scanner driver does.
class RawDriver {
public:
    RawDriver() {
        fd_ = ::shm_open(SystemName(kNames.shareMemory).c_str(), O_RDWR | O_CREAT, 0600);
        EXPECT_GE(fd_, 0);
        EXPECT_EQ(::ftruncate(fd_, kMessageBlockSize), 0);
        block_ =
            static_cast<unsigned char*>(::mmap(nullptr, kMessageBlockSize, PROT_READ | PROT_WRITE, MAP_SHARED, fd_, 0));
        reply_ = RawOpen(SystemName(kNames.replyEvent), O_CREAT);
    }
    ~RawDriver() {
        ::munmap(block_, kMessageBlockSize);
        ::close(fd_);
        ::shm_unlink(SystemName(kNames.shareMemory).c_str());
        RawClose(reply_);
        ::sem_unlink(SystemName(kNames.replyEvent).c_str());
    }
    // Writes the message, signals the program and waits for the reply (false: none in
    // time).
    bool Send(const std::vector<unsigned char>& message, int timeoutMs = 10000) {
        std::memset(block_, 0x5A, kMessageBlockSize); // filler: untouched bytes stay 0x5A
        std::memcpy(block_, message.data(), message.size());
        sem_t* request = RawOpen(SystemName(kNames.requestEvent), 0);
        if (request == SEM_FAILED) return false;
        ::sem_post(request);
        RawClose(request);
        timespec until{};
        ::clock_gettime(CLOCK_REALTIME, &until);
        until.tv_sec += timeoutMs / 1000;
        while (::sem_timedwait(reply_, &until) != 0)
            if (errno != EINTR) return false;
        return true;
    }
    unsigned char Byte(size_t at) const { return block_[at]; }
    int32_t Int(size_t at) const {
        int32_t v = 0;
        for (int i = 3; i >= 0; --i) v = (v << 8) | block_[at + static_cast<size_t>(i)];
        return v;
    }

private:
    int fd_ = -1;
    unsigned char* block_ = nullptr;
    sem_t* reply_ = SEM_FAILED;
};

std::vector<unsigned char> Start(unsigned char destination, const std::string& source, const std::string& key,
                                 const std::string& extra) {
    std::vector<unsigned char> m(2 + 417, 0);
    m[0] = 1;
    m[2] = destination;
    std::memcpy(&m[3], source.data(), std::min<size_t>(source.size(), 32));
    std::memcpy(&m[35], key.data(), std::min<size_t>(key.size(), 256));
    std::memcpy(&m[291], extra.data(), std::min<size_t>(extra.size(), 128));
    return m;
}

class Channel : public ::testing::Test {
protected:
    void SetUp() override {
        testsupport::UsePrivateSharedMemory();
        intake = std::make_unique<pushscan::PushScanIntake>(handler, nullptr, nullptr, kNames);
        intake->Start();
        for (int i = 0; i < 500 && !Exists("sem." + SystemName(kNames.listener).substr(1)); ++i) ::usleep(10000);
    }
    void TearDown() override {
        handler.Release();
        intake.reset();
    }
    ScriptedHandler handler;
    std::unique_ptr<pushscan::PushScanIntake> intake;
};

// One message and its reply, bytes 0 to 5 (0x5A: left as the driver wrote it).
struct ReplyCase {
    const char* name;
    std::vector<unsigned char> message;
    bool busy;
    std::vector<int> reply; // bytes 0..5; -1 = not checked
    int started;            // requests passed to StartScanTask
};

class ChannelReply : public Channel, public ::testing::WithParamInterface<ReplyCase> {};

TEST_P(ChannelReply, AnswersInPlace) {
    const ReplyCase& c = GetParam();
    handler.busy = c.busy;
    RawDriver driver;
    ASSERT_TRUE(driver.Send(c.message)) << "no reply";
    for (size_t i = 0; i < c.reply.size(); ++i)
        if (c.reply[i] >= 0) {
            EXPECT_EQ(driver.Byte(i), c.reply[i]) << "byte " << i;
        }
    // ProcessOver runs after the reply: the next message is answered only after it.
    ASSERT_TRUE(driver.Send({0}));
    EXPECT_EQ(handler.Started().size(), static_cast<size_t>(c.started));
}

INSTANTIATE_TEST_SUITE_P(
    Messages, ChannelReply,
    ::testing::Values(ReplyCase{"inquiryIdle", {0}, false, {0, 0, 0x5A, 0x5A, 0x5A, 0x5A}, 0},
                      ReplyCase{"inquiryBusy", {0}, true, {0, 1, 0x5A, 0x5A, 0x5A, 0x5A}, 0},
                      ReplyCase{"type7AsInquiry", {7, 9}, true, {0, 1, 0x5A, 0x5A, 0x5A, 0x5A}, 0},
                      ReplyCase{"type255AsInquiry", {255}, false, {0, 0, 0x5A, 0x5A, 0x5A, 0x5A}, 0},
                      ReplyCase{"type2Refused", {2, 0x33, 1, 1, 1, 1}, false, {2, 0x33, 0, 0, 0, 0}, 0},
                      ReplyCase{"startWhileBusy", Start(2, "test:0", "k", "x"), true, {1, 1, 0, 0, 0, 0}, 0},
                      ReplyCase{"startEmptySource", Start(2, "", "k", "x"), false, {1, 1, 1, 0, 0, 0}, 0},
                      ReplyCase{"startEmail", Start(3, "test:0", "", ""), false, {1, 1, 1, 0, 0, 0}, 1},
                      ReplyCase{"startFolder", Start(2, "test:0", "ab12", "extra"), false, {1, 1, 1, 0, 0, 0}, 1}),
    [](const ::testing::TestParamInfo<ReplyCase>& p) { return std::string(p.param.name); });

TEST_F(Channel, StartRequestCarriesItsFieldsAndNoTextReadsPastItsField) {
    RawDriver driver;
    // Every text fills its field without a terminating zero; the bytes after each field
    // belong to the next one.
    ASSERT_TRUE(driver.Send(Start(4, std::string(32, 'S'), std::string(256, 'K'), std::string(128, 'E'))));
    ASSERT_TRUE(driver.Send({0}));
    auto started = handler.Started();
    ASSERT_EQ(started.size(), 1u);
    EXPECT_EQ(started[0].origin, core::kOriginNetworkPush);
    EXPECT_EQ(started[0].destination, 4);
    EXPECT_EQ(started[0].reserved, 0);
    EXPECT_EQ(started[0].requestedSource, std::string(32, 'S'));
    EXPECT_EQ(started[0].deviceKey, std::string(256, 'K'));
    EXPECT_EQ(started[0].extraText, std::string(128, 'E'));
    EXPECT_EQ(started[0].activeSource, "");

    ASSERT_TRUE(driver.Send(Start(2, "test:1", " ab12 ", "note")));
    ASSERT_TRUE(driver.Send({0}));
    started = handler.Started();
    ASSERT_EQ(started.size(), 2u);
    EXPECT_EQ(started[1].requestedSource, "test:1");
    EXPECT_EQ(started[1].deviceKey, " ab12 ");
    EXPECT_EQ(started[1].extraText, "note");
}

TEST_F(Channel, TheDriverSeesTheReplyWhileTheScanIsStillBeingStarted) {
    {
        std::lock_guard<std::mutex> g(handler.m);
        handler.hold = true;
    }
    RawDriver driver;
    ASSERT_TRUE(driver.Send(Start(2, "test:0", "", "")));
    EXPECT_EQ(driver.Int(2), 1);
    std::unique_lock<std::mutex> lock(handler.m);
    // The reply came in while StartScanTask has not returned (it waits for us).
    ASSERT_TRUE(handler.changed.wait_for(lock, std::chrono::seconds(30), [this] { return handler.inside; }))
        << "the accepted request was not started";
    EXPECT_TRUE(handler.hold);
    EXPECT_EQ(handler.started.size(), 1u);
    lock.unlock();
    handler.Release();
}

TEST_F(Channel, AVanishedDriverCostsOneMessage) {
    const std::string request = SystemName(kNames.requestEvent);
    // A request with no block behind it, then one whose reply semaphore is gone.
    sem_t* r = RawOpen(request, 0);
    ASSERT_NE(r, SEM_FAILED);
    ::sem_post(r);
    ::usleep(100000);
    {
        int fd = ::shm_open(SystemName(kNames.shareMemory).c_str(), O_RDWR | O_CREAT, 0600);
        ASSERT_EQ(::ftruncate(fd, kMessageBlockSize), 0);
        ::sem_post(r);
        ::usleep(100000);
        ::close(fd);
        ::shm_unlink(SystemName(kNames.shareMemory).c_str());
    }
    RawClose(r);
    // The listener is still there and answers the next driver.
    RawDriver driver;
    ASSERT_TRUE(driver.Send({0}));
    EXPECT_EQ(driver.Byte(1), 0);
    EXPECT_TRUE(handler.Started().empty());
}

TEST_F(Channel, StoppingRemovesTheProgramsObjectsAndLeavesTheDriversAlone) {
    RawDriver driver;
    ASSERT_TRUE(driver.Send({0}));
    EXPECT_TRUE(Exists("sem." + SystemName(kNames.listener).substr(1)));
    EXPECT_TRUE(Exists("sem." + SystemName(kNames.requestEvent).substr(1)));
    intake.reset();
    EXPECT_FALSE(Exists("sem." + SystemName(kNames.listener).substr(1)));
    EXPECT_FALSE(Exists("sem." + SystemName(kNames.requestEvent).substr(1)));
    EXPECT_TRUE(Exists(SystemName(kNames.shareMemory).substr(1)));
    EXPECT_TRUE(Exists("sem." + SystemName(kNames.replyEvent).substr(1)));
}

TEST(ChannelNames, PerUserNamesAndOwnerOnlyAccess) {
    testsupport::UsePrivateSharedMemory();
    EXPECT_EQ(platform::UserObjectName("ScannerUtilityDriverRequest"),
              "/ScannerUtilityDriverRequest." + std::to_string(::geteuid()));
    EXPECT_EQ(platform::UserObjectName("a b/c{d}.e-f_g"), "/a_b_c_d_.e-f_g." + std::to_string(::geteuid()));
    const std::string name = "Mode Check" + kTag;
    platform::SemaphoreHandle sem = platform::CreateUserSemaphore(name, 0);
    ASSERT_NE(sem, nullptr);
    struct stat info {};
    ASSERT_EQ(::stat(("/dev/shm/sem." + SystemName(name).substr(1)).c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    platform::CloseSemaphore(sem);
    EXPECT_TRUE(platform::RemoveUserSemaphore(name));
}

// The stub's result codes, on its own thread with a recording processor.
class CountingProcessor : public pushscan::IScanTaskMessageProcesser {
public:
    void Process(unsigned char* block, std::uint32_t& replySize) override {
        ++processed;
        block[0] = 0x77;
        replySize = size;
    }
    void ProcessOver() override { ++over; }
    int processed = 0, over = 0;
    std::uint32_t size = 3;
};

struct StubCase {
    const char* name;
    bool processor, block, reply, post;
    std::uint32_t replySize;
    int result, processed;
};

class StubResult : public ::testing::TestWithParam<StubCase> {};

TEST_P(StubResult, ReportsWhatWentWrong) {
    testsupport::UsePrivateSharedMemory();
    const StubCase& c = GetParam();
    CountingProcessor processor;
    processor.size = c.replySize;
    pushscan::ScanTaskStub stub(c.processor ? &processor : nullptr, kNames.shareMemory, kNames.replyEvent,
                                kNames.requestEvent);
    platform::SharedBlock block;
    if (c.block) {
        ASSERT_TRUE(platform::CreateUserSharedBlock(kNames.shareMemory, kMessageBlockSize, block));
    }
    platform::SemaphoreHandle reply = c.reply ? platform::CreateUserSemaphore(kNames.replyEvent, 0) : nullptr;
    platform::SemaphoreHandle request = platform::OpenUserSemaphore(kNames.requestEvent);
    ASSERT_NE(request, nullptr);
    if (c.post) platform::SetEventSemaphore(request);
    EXPECT_EQ(stub.RecvScanTaskMessage(50), c.result);
    EXPECT_EQ(processor.processed, c.processed);
    EXPECT_EQ(processor.over, c.processed);
    if (c.processed) {
        EXPECT_EQ(block.view[0], 0x77);
        EXPECT_EQ(platform::SemaphoreCount(reply), 1) << "the reply is signalled";
    }
    platform::CloseSemaphore(request);
    if (reply) {
        platform::CloseSemaphore(reply);
        platform::RemoveUserSemaphore(kNames.replyEvent);
    }
    if (block.view) {
        platform::UnmapSharedBlock(block);
        platform::RemoveUserSharedBlock(kNames.shareMemory);
    }
}

INSTANTIATE_TEST_SUITE_P(Codes, StubResult,
                         ::testing::Values(StubCase{"answered", true, true, true, true, 3, 0, 1},
                                           StubCase{"noProcessor", false, true, true, true, 3, 1, 0},
                                           StubCase{"noReplyEvent", true, true, false, true, 3, 2, 0},
                                           StubCase{"noBlock", true, false, true, true, 3, 3, 0},
                                           StubCase{"replyTooLarge", true, true, true, true, 4097, 3, 1},
                                           StubCase{"noMessage", true, true, true, false, 3, 4, 0}),
                         [](const ::testing::TestParamInfo<StubCase>& p) { return std::string(p.param.name); });

} // namespace

namespace {

// The stub's system operations replaced: each step's failure gives its result, and
// nothing the stub opened is left open.
class ScriptedStub : public pushscan::ScanTaskStub {
public:
    explicit ScriptedStub(pushscan::IScanTaskMessageProcesser* p) : ScanTaskStub(p, "m", "reply", "request" + kTag) {
        RecreateRequestEvent();
        // The reply event is set and reset by the stub itself: a real one.
        reply_ = platform::CreateUserSemaphore("double reply" + kTag, 0);
    }
    ~ScriptedStub() override {
        platform::CloseSemaphore(reply_);
        platform::RemoveUserSemaphore("double reply" + kTag);
    }
    platform::WaitResult wait = platform::WaitResult::Signalled;
    bool mapOk = true, viewOk = true, replyOk = true;
    int opened = 0, closed = 0, mapped = 0, unmapped = 0;
    unsigned char view[pushscan::kMessageBlockSize] = {};

protected:
    EventHandle CreateRecvEvent(const std::string&) override { return &request_; }
    EventHandle OpenSendEvent(const std::string&) override {
        if (!replyOk) return nullptr;
        ++opened;
        return reply_;
    }
    bool MapMessage(const std::string&, std::size_t size, platform::SharedBlock& block) override {
        if (!mapOk) return false;
        ++mapped;
        block.descriptor = 99;
        block.view = viewOk ? view : nullptr;
        block.size = size;
        return true;
    }
    void UnmapMessage(platform::SharedBlock& block) override {
        if (block.descriptor >= 0) ++unmapped;
        block = platform::SharedBlock();
    }
    void CloseEvent(EventHandle handle) override {
        if (handle == reply_) ++closed;
    }
    platform::WaitResult Wait(EventHandle, int) override { return wait; }

private:
    int request_ = 0;
    EventHandle reply_ = nullptr;
};

TEST(StubDouble, EachFailingStepGivesItsResultAndReleasesWhatWasOpened) {
    testsupport::UsePrivateSharedMemory();
    CountingProcessor processor;
    struct Step {
        const char* name;
        std::function<void(ScriptedStub&)> set;
        int result;
    };
    const std::vector<Step> steps = {
        {"waitFailed", [](ScriptedStub& s) { s.wait = platform::WaitResult::Failed; }, 4},
        {"timedOut", [](ScriptedStub& s) { s.wait = platform::WaitResult::TimedOut; }, 4},
        {"noMapping", [](ScriptedStub& s) { s.mapOk = false; }, 3},
        {"mappingWithoutView", [](ScriptedStub& s) { s.viewOk = false; }, 3},
        {"noReplyEvent", [](ScriptedStub& s) { s.replyOk = false; }, 2},
        {"answered", [](ScriptedStub&) {}, 0},
    };
    for (const Step& step : steps) {
        ScriptedStub stub(&processor);
        step.set(stub);
        EXPECT_EQ(stub.RecvScanTaskMessage(500), step.result) << step.name;
        EXPECT_EQ(stub.unmapped, stub.mapped) << step.name;
        EXPECT_EQ(stub.closed, stub.opened) << step.name;
    }
    EXPECT_EQ(processor.processed, 1);
}

} // namespace
