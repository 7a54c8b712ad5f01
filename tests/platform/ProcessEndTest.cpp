// A program whose tear-down hangs after its work is done still ends, with its status.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "platform/Process.h"

namespace {

std::mutex lost;

// What a lock lost to a vanished thread does to the exit handlers: they wait forever.
void WaitForTheLostLock() { std::lock_guard<std::mutex> never(lost); }

// The child's exit status, or -1 when it had not ended after 60 s (it is then killed).
int EndOf(pid_t child) {
    for (int i = 0; i < 600; ++i) {
        int status = 0;
        if (::waitpid(child, &status, WNOHANG) == child) return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    return -1;
}

TEST(ProcessEnd, AHangingTearDownEndsWithTheProgramsStatus) {
    for (const int status : {0, 3}) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            lost.lock();
            std::atexit(WaitForTheLostLock);
            platform::EndProcessWithin(1, status);
            std::exit(status == 0 ? 9 : 0); // never the status seen: the exit handler hangs
        }
        EXPECT_EQ(EndOf(child), status) << "-1: the process never ended";
    }
}

TEST(ProcessEnd, AnOrdinaryEndIsNotDisturbed) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        platform::EndProcessWithin(30, 5);
        std::exit(4);
    }
    EXPECT_EQ(EndOf(child), 4);
}

} // namespace
