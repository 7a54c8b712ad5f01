// The driver's message block, as another process may write it: 4096 arbitrary bytes
// answered by the program's end of the channel and the push-scan operator. The block is
// handed over in memory (no shared object is mapped for it); the request and reply
// events are real semaphores of this process.
//
// Input: the first byte says how the window answers (bit 0: busy, bit 1: refuses the
// scan); the rest, cut or padded with zeros to 4096 bytes, is the block.
//
// Checked for every block: the reply is 3 or 4 bytes, written only into bytes 0 to 5;
// the reply matches the message type and the window's state; a start request of an idle
// window makes exactly one scan request, for the destination and the texts of the
// payload (each cut at its field's end), and nothing else ever starts a scan.
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "FuzzTarget.h"
#include "platform/SharedObjects.h"
#include "pushscan/LTOperator.h"
#include "pushscan/ScanTaskStub.h"

namespace {

using pushscan::kMessageBlockSize;
namespace block = pushscan::block;

struct Window : pushscan::IScanTaskHandler {
    bool busy = false;
    bool refuses = false;
    std::vector<core::ScanRequest> started;
    bool IsBusy() override { return busy; }
    bool StartScanTask(const core::ScanRequest& request) override {
        started.push_back(request);
        return !refuses;
    }
    std::string CurrentSource() override { return "test:0"; }
};

// Stands between the stub and the operator to see the reply size.
struct Recorder : pushscan::IScanTaskMessageProcesser {
    pushscan::LTOperator* op = nullptr;
    std::uint32_t replySize = 0;
    bool over = false;
    void Process(unsigned char* view, std::uint32_t& size) override {
        op->Process(view, size);
        replySize = size;
    }
    void ProcessOver() override {
        over = true;
        op->ProcessOver();
    }
};

// The stub with the block in memory and a request that is always there.
class MemoryStub : public pushscan::ScanTaskStub {
public:
    MemoryStub(Recorder* recorder, const std::string& requestName, EventHandle reply)
        : ScanTaskStub(recorder, "fuzz-block", "fuzz-reply", requestName), reply_(reply) {}
    unsigned char bytes[kMessageBlockSize] = {};

protected:
    EventHandle OpenSendEvent(const std::string&) override { return reply_; }
    bool MapMessage(const std::string&, std::size_t size, platform::SharedBlock& shared) override {
        if (size != kMessageBlockSize) return false;
        shared.descriptor = 0;
        shared.view = bytes;
        shared.size = size;
        return true;
    }
    void UnmapMessage(platform::SharedBlock& shared) override { shared = platform::SharedBlock(); }
    void CloseEvent(EventHandle) override {}
    platform::WaitResult Wait(EventHandle, int) override { return platform::WaitResult::Signalled; }

private:
    EventHandle reply_;
};

// Everything that lives as long as the process; the semaphores go with it.
struct Channel {
    std::string tag = "fuzz-push-" + std::to_string(getpid());
    Window window;
    Recorder recorder;
    pushscan::LTOperator op{window, tag + "-block", tag + "-opreq", tag + "-opreply"};
    platform::SemaphoreHandle reply = platform::CreateUserSemaphore(tag + "-reply", 0);
    MemoryStub stub{&recorder, tag + "-request", reply};
    Channel() {
        recorder.op = &op;
        if (!reply) fuzz::Fail("the reply semaphore cannot be made");
    }
    ~Channel() {
        platform::CloseSemaphore(reply);
        platform::RemoveUserSemaphore(tag + "-reply");
    }
};

std::int32_t Int32At(const unsigned char* at) {
    std::uint32_t bits = 0;
    for (int i = 0; i < 4; ++i) bits |= static_cast<std::uint32_t>(at[i]) << (8 * i);
    return static_cast<std::int32_t>(bits);
}

int FuzzPushMessages(const uint8_t* data, size_t size) {
    static Channel channel;
    fuzz::Input input(data, size);
    const uint8_t answers = input.Byte();
    const std::string rest = input.Rest();
    channel.window.busy = (answers & 1) != 0;
    channel.window.refuses = (answers & 2) != 0;
    channel.window.started.clear();
    channel.recorder.replySize = 0;
    channel.recorder.over = false;

    unsigned char* view = channel.stub.bytes;
    std::memset(view, 0, kMessageBlockSize);
    std::memcpy(view, rest.data(), std::min(rest.size(), kMessageBlockSize));
    unsigned char sent[kMessageBlockSize];
    std::memcpy(sent, view, kMessageBlockSize);

    if (channel.stub.RecvScanTaskMessage(0) != pushscan::kMessageAnswered) fuzz::Fail("a message was not answered");
    if (!channel.recorder.over) fuzz::Fail("the operator was not told that the reply went out");
    if (std::memcmp(view + 6, sent + 6, kMessageBlockSize - 6) != 0) fuzz::Fail("the reply wrote past byte 5");

    const bool busy = channel.window.busy;
    const unsigned char type = sent[block::kType];
    const auto& started = channel.window.started;
    if (type == pushscan::kStartRequest) {
        if (channel.recorder.replySize != 4 || view[block::kFlag] != 1 || view[block::kType] != type)
            fuzz::Fail("a start request got a malformed reply");
        if (Int32At(view + block::kResult) != (busy ? 0 : 1)) fuzz::Fail("a start request got the wrong answer");
        const unsigned char* payload = sent + block::kPayload;
        const std::string source = pushscan::FieldText(payload + block::kSource, block::kSourceSize);
        const bool expectScan = !busy && !source.empty();
        if (started.size() != (expectScan ? 1u : 0u)) fuzz::Fail("a start request made the wrong number of scans");
        if (expectScan) {
            const core::ScanRequest& request = started.front();
            if (request.origin != core::kOriginNetworkPush || request.destination != payload[block::kDestination] ||
                request.requestedSource != source ||
                request.deviceKey != pushscan::FieldText(payload + block::kDeviceKey, block::kDeviceKeySize) ||
                request.extraText != pushscan::FieldText(payload + block::kExtra, block::kExtraSize))
                fuzz::Fail("a start request was passed on changed");
            if (request.requestedSource.size() > block::kSourceSize ||
                request.deviceKey.size() > block::kDeviceKeySize || request.extraText.size() > block::kExtraSize)
                fuzz::Fail("a text of a start request ran past its field");
        }
        return 0;
    }
    if (!started.empty()) fuzz::Fail("a message other than a start request started a scan");
    if (type == pushscan::kOtherMessage) {
        if (channel.recorder.replySize != 4 || view[block::kType] != type || Int32At(view + block::kResult) != 0)
            fuzz::Fail("another message was not refused");
        return 0;
    }
    if (channel.recorder.replySize != 3 || view[block::kType] != pushscan::kBusyInquiry ||
        view[block::kFlag] != (busy ? 1 : 0))
        fuzz::Fail("a busy inquiry got the wrong answer");
    return 0;
}

} // namespace

SU_FUZZ_TARGET(push_messages, FuzzPushMessages)
