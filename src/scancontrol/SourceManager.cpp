// The kept source listing. See SourceManager.h.
#include "scancontrol/SourceManager.h"

#include <utility>

namespace scancontrol {

KeptSourceListing::KeptSourceListing(std::shared_ptr<ISourceManager> lister) : lister_(std::move(lister)) {}

KeptSourceListing::~KeptSourceListing() { WaitForBackground(); }

void KeptSourceListing::WaitForBackground() {
    if (background_.joinable()) background_.join();
}

SourceListing KeptSourceListing::ListLocked(std::unique_lock<std::mutex>& lock, bool use) {
    // Somebody else is listing: their answer is as fresh as ours would be.
    listed_.wait(lock, [this] { return !listing_; });
    if (haveListing_) {
        SourceListing served = kept_;
        served.kept = used_;
        used_ = used_ || use;
        return served;
    }
    listing_ = true;
    lock.unlock();
    SourceListing fresh;
    if (lister_) {
        fresh = lister_->EnumerateSources();
    } else {
        fresh.status = 2;
    }
    fresh.kept = false;
    lock.lock();
    listing_ = false;
    ++listings_;
    if (fresh.status == 1) {
        kept_ = fresh;
        haveListing_ = true;
        used_ = use;
    }
    listed_.notify_all();
    return fresh;
}

SourceListing KeptSourceListing::EnumerateSources() {
    std::unique_lock<std::mutex> lock(mutex_);
    return ListLocked(lock, true);
}

void KeptSourceListing::ForgetListing() {
    std::lock_guard<std::mutex> lock(mutex_);
    haveListing_ = false;
    used_ = false;
    kept_ = SourceListing();
}

bool KeptSourceListing::ListInBackground(std::function<void()> ready) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (haveListing_ && !listing_) {
        lock.unlock();
        if (ready) ready();
        return true;
    }
    if (ready) waiting_.push_back(std::move(ready));
    if (backgroundRunning_) return false; // it will call `ready` too
    backgroundRunning_ = true;
    lock.unlock();
    // The previous background thread has handed out its calls already and is ending.
    if (background_.joinable()) background_.join();
    background_ = std::thread([this] {
        {
            std::unique_lock<std::mutex> listingLock(mutex_);
            ListLocked(listingLock, false);
        }
        std::vector<std::function<void()>> calls;
        {
            std::lock_guard<std::mutex> guard(mutex_);
            calls.swap(waiting_);
            backgroundRunning_ = false;
        }
        for (auto& call : calls) call();
    });
    return false;
}

bool KeptSourceListing::HasListing() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return haveListing_;
}

unsigned long KeptSourceListing::Listings() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return listings_;
}

} // namespace scancontrol
