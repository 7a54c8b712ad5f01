// Which new threads the acquisition takes for the backend's readers: only those the
// scanning thread itself started, never a thread another part of the program started
// at the same moment (such a thread, waiting on its own lock, used to hold every next
// page and the scan's end up for the full settling time).
#include <gtest/gtest.h>

#include <pthread.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "scancontrol/sane/ReaderThreads.h"

using namespace scancontrol::sanectl;

namespace {

// Threads that wait on a condition until released, and say who they are.
struct Parked {
    std::mutex lock;
    std::condition_variable cv;
    bool released = false;
    void Wait() {
        std::unique_lock<std::mutex> hold(lock);
        cv.wait(hold, [this] { return released; });
    }
    void Release() {
        {
            std::lock_guard<std::mutex> hold(lock);
            released = true;
        }
        cv.notify_all();
    }
};

bool Contains(const std::vector<long>& ids, long id) { return std::find(ids.begin(), ids.end(), id) != ids.end(); }

} // namespace

TEST(ReaderThreads, OnlyThreadsTheCallerStartedAreReaders) {
    pthread_setname_np(pthread_self(), "reader-owner");
    const std::vector<long> before = ThreadIds();
    ASSERT_FALSE(before.empty());

    Parked parked;
    std::atomic<long> readerId{0}, starterId{0}, othersId{0};
    std::thread reader([&] {
        readerId = ::gettid();
        parked.Wait();
    });
    // Another part of the program: a thread of its own name that starts a worker which
    // then waits on a lock.
    std::thread starter([&] {
        pthread_setname_np(pthread_self(), "other-part");
        starterId = ::gettid();
        std::thread others([&] {
            othersId = ::gettid();
            parked.Wait();
        });
        others.join();
    });
    while (readerId == 0 || starterId == 0 || othersId == 0) std::this_thread::yield();

    const std::vector<long> readers = ReadersStartedHere(before, ThreadIds());
    EXPECT_TRUE(Contains(readers, readerId)) << "the caller's own new thread";
    EXPECT_FALSE(Contains(readers, starterId)) << "a thread that renamed itself";
    EXPECT_FALSE(Contains(readers, othersId)) << "a thread started by another part of the program";
    EXPECT_EQ(ThreadName(othersId), "other-part");
    // What the worker is doing is what would have held the scan: it waits for a lock.
    EXPECT_EQ(PlaceOf(othersId), ThreadPlace::Busy);

    parked.Release();
    reader.join();
    starter.join();
    EXPECT_EQ(PlaceOf(readerId), ThreadPlace::Gone);
}
