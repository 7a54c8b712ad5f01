#pragma once
// A stand-in user-interface thread for tests of code that hands calls over to one: calls
// queue onto the thread, run there one at a time in order, and the caller waits for the
// result (a call made on the thread itself runs at once).

#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <mutex>
#include <thread>

namespace testsupport {

class UiThread {
public:
    UiThread() : thread_([this] { Loop(); }) {}
    ~UiThread() {
        {
            std::lock_guard<std::mutex> g(m_);
            stop_ = true;
        }
        cv_.notify_all();
        thread_.join();
    }
    UiThread(const UiThread&) = delete;
    UiThread& operator=(const UiThread&) = delete;

    int Run(const std::function<int()>& call) {
        if (std::this_thread::get_id() == thread_.get_id()) return call();
        std::packaged_task<int()> task(call);
        auto result = task.get_future();
        {
            std::lock_guard<std::mutex> g(m_);
            queue_.push_back(std::move(task));
        }
        cv_.notify_all();
        return result.get();
    }

private:
    void Loop() {
        std::unique_lock<std::mutex> lock(m_);
        for (;;) {
            cv_.wait(lock, [this] { return stop_ || !queue_.empty(); });
            if (queue_.empty()) return;
            auto task = std::move(queue_.front());
            queue_.pop_front();
            lock.unlock();
            task();
            lock.lock();
        }
    }
    std::mutex m_;
    std::condition_variable cv_;
    std::deque<std::packaged_task<int()>> queue_;
    bool stop_ = false;
    std::thread thread_; // last: it starts when everything above is ready
};

} // namespace testsupport
