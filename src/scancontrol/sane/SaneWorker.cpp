// The SANE worker thread. See SaneWorker.h.
#include "scancontrol/sane/SaneWorker.h"

#include <sane/sane.h>
#include <pthread.h>
#include <signal.h>

#include <atomic>

#include "scancontrol/SaneDynamictwain.h"

namespace scancontrol {
namespace {
std::atomic<unsigned long> deviceListings{0};
} // namespace

unsigned long SaneDeviceListings() { return deviceListings.load(); }
} // namespace scancontrol

namespace scancontrol::sanectl {

std::shared_ptr<SaneWorker> SaneWorker::Instance() {
    static std::mutex m;
    static std::weak_ptr<SaneWorker> current;
    std::lock_guard<std::mutex> lock(m);
    std::shared_ptr<SaneWorker> w = current.lock();
    if (!w) {
        w.reset(new SaneWorker());
        current = w;
    }
    return w;
}

SaneWorker::SaneWorker() {
    thread_ = std::thread([this] { Run(); });
}

SaneWorker::~SaneWorker() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void SaneWorker::Post(std::function<void()> task) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        queue_.push_back(std::move(task));
    }
    wake_.notify_one();
}

void SaneWorker::Run() {
    // Backends that talk to a network daemon write to its socket from this thread. A
    // daemon gone away must come back as a failed call (EPIPE), not as SIGPIPE ending
    // the program: the signal is blocked here, and only here.
    sigset_t pipe;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
    // Threads a backend starts from here inherit this name: it is how the acquisition
    // tells the backend's reader threads from threads other parts of the program start.
    pthread_setname_np(pthread_self(), kThreadName);
    SANE_Int version = 0;
    initialised_ = sane_init(&version, nullptr) == SANE_STATUS_GOOD;
    for (;;) {
        std::function<void()> task;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            wake_.wait(lock, [this] { return stop_ || !queue_.empty(); });
            if (queue_.empty()) break; // stopping, and every queued task has run
            task = std::move(queue_.front());
            queue_.pop_front();
        }
        task();
    }
    if (initialised_) sane_exit();
}

SourceListing SaneWorker::ListDevices() {
    SourceListing l;
    if (!initialised_) {
        l.status = 2;
        return l;
    }
    const SANE_Device** devices = nullptr;
    ++deviceListings;
    if (sane_get_devices(&devices, SANE_FALSE) != SANE_STATUS_GOOD || !devices) return l;
    for (int i = 0; devices[i]; ++i) {
        SourceEntry e;
        e.manufacturer = devices[i]->vendor ? devices[i]->vendor : "";
        e.productFamily = devices[i]->model ? devices[i]->model : "";
        e.productName = devices[i]->name ? devices[i]->name : "";
        l.sources.push_back(std::move(e));
    }
    return l;
}

} // namespace scancontrol::sanectl
