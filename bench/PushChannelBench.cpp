// The driver channel's costs, driver and program in separate processes:
//   bench_push_channel serve               the program's side alone (the listener thread over a
//                                          dispatch that is never busy), until stdin closes
//   bench_push_channel roundtrip N         the driver: N busy inquiries, one at a time; prints the
//                                          median and 99th percentile of the round trips in µs
//   bench_push_channel idle SECONDS        CPU time of an idle listener over SECONDS (ms)
// The names are the product data's, per user, as the program uses them.
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "pushscan/DriverChannel.h"
#include "pushscan/PushScanIntake.h"
#include "settings/ProductData.h"

namespace {

pushscan::ChannelNames Names() {
    return {settings::ReadProductValue("Communication", "ShareMemoryName"),
            settings::ReadProductValue("Communication", "MessageRecvEvent"),
            settings::ReadProductValue("Communication", "MessageSendEvent"),
            settings::ReadProductValue("Communication", "MessageRecvThreadEvent")};
}

class NeverBusy : public pushscan::IScanTaskHandler {
public:
    bool IsBusy() override { return false; }
    bool StartScanTask(const core::ScanRequest&) override { return false; }
    std::string CurrentSource() override { return {}; }
};

double CpuMs() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

int Serve() {
    NeverBusy handler;
    pushscan::PushScanIntake intake(handler, nullptr, nullptr, Names());
    intake.Start();
    char c;
    while (::read(0, &c, 1) > 0) {}
    return 0;
}

int Idle(int seconds) {
    NeverBusy handler;
    pushscan::PushScanIntake intake(handler, nullptr, nullptr, Names());
    intake.Start();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const double before = CpuMs();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const double used = CpuMs() - before;
    intake.Stop();
    std::printf("idle listener: %.2f ms CPU over %d s (goal <= 10 ms)\n", used, seconds);
    return 0;
}

int RoundTrip(int count) {
    pushscan::DriverChannel channel(Names());
    if (!channel.WaitForListener(30000)) {
        std::fprintf(stderr, "bench_push_channel: no listener\n");
        return 1;
    }
    std::vector<double> micros;
    micros.reserve(static_cast<size_t>(count));
    const auto message = pushscan::BusyInquiryMessage();
    pushscan::DriverReply reply;
    for (int i = 0; i < 100; ++i) channel.Exchange(message, 5000, reply); // warm up
    for (int i = 0; i < count; ++i) {
        const auto start = std::chrono::steady_clock::now();
        if (channel.Exchange(message, 5000, reply) != pushscan::DriverStatus::Answered) {
            std::fprintf(stderr, "bench_push_channel: message %d not answered\n", i);
            return 1;
        }
        micros.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(micros.begin(), micros.end());
    const double median = micros[micros.size() / 2];
    const double p99 = micros[std::min(micros.size() - 1, micros.size() * 99 / 100)];
    std::printf("busy inquiry round trip over %d messages: median %.1f us, p99 %.1f us (goal: median <= 100 us)\n",
                count, median, p99);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "serve") return Serve();
    if (mode == "idle" && argc > 2) return Idle(std::atoi(argv[2]));
    if (mode == "roundtrip" && argc > 2) return RoundTrip(std::atoi(argv[2]));
    std::fprintf(stderr, "usage: bench_push_channel serve | roundtrip N | idle SECONDS\n");
    return 2;
}
