#pragma once
// The one thread that talks to SANE. sane_init runs on it when it starts and sane_exit
// when it stops; every SANE handle is opened, used and closed only by tasks running on
// it. The worker lives while any control or source manager holds it.
//
// Post() queues a task; Call() queues one and waits for its result (run inline when
// called on the worker itself), for a bounded time. A long task (an acquisition) delays the tasks queued
// behind it, so the UI thread only Call()s while no acquisition runs.

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <thread>

#include "scancontrol/ControlErrors.h"
#include "scancontrol/SourceManager.h"

namespace scancontrol::sanectl {

class SaneWorker {
public:
    static std::shared_ptr<SaneWorker> Instance();
    // The name of the worker's thread (at most 15 characters, as the kernel keeps them).
    static constexpr const char* kThreadName = "su-sane";
    ~SaneWorker();
    SaneWorker(const SaneWorker&) = delete;
    SaneWorker& operator=(const SaneWorker&) = delete;

    void Post(std::function<void()> task);

    // Waits at most `timeout` for the answer: a device that never answers must not
    // freeze the caller (the UI thread). On timeout it throws AutomationError
    // (err::CheckDeviceOnline); the task still runs if the worker ever gets to it.
    template <class F>
    auto Call(F f, std::chrono::seconds timeout = std::chrono::seconds(60)) -> decltype(f()) {
        using R = decltype(f());
        if (std::this_thread::get_id() == thread_.get_id()) return f();
        auto task = std::make_shared<std::packaged_task<R()>>(std::move(f));
        std::future<R> result = task->get_future();
        Post([task] { (*task)(); });
        if (result.wait_for(timeout) != std::future_status::ready)
            throw AutomationError(err::CheckDeviceOnline, "the scanner does not answer");
        return result.get();
    }

    // Worker thread only.
    bool Initialised() const { return initialised_; }
    SourceListing ListDevices();

private:
    SaneWorker();
    void Run();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> queue_;
    bool stop_ = false;
    bool initialised_ = false; // written by the worker before it takes its first task
    std::thread thread_;
};

} // namespace scancontrol::sanectl
