#include "output/FinishingLine.h"

namespace output {

FinishingLine::~FinishingLine() {
    DropUnfinished();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable()) thread_.join();
    // Documents the thread never reached (it stops at once) keep nothing either.
    for (auto& entry : entries_)
        if (entry->job) entry->job->Abandon();
}

void FinishingLine::Add(std::unique_ptr<IF_ImageCompressioner> job, std::shared_ptr<RecognitionWatch> watch) {
    auto entry = std::make_shared<Entry>();
    entry->job = std::move(job);
    entry->watch = std::move(watch);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (entry->watch) handedPages_ += entry->watch->pages;
        entries_.push_back(std::move(entry));
        if (!thread_.joinable()) thread_ = std::thread([this] { Run(); });
    }
    changed_.notify_all();
}

void FinishingLine::Run() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return stop_ || next_ < entries_.size(); });
        if (stop_) return;
        std::shared_ptr<Entry> entry = entries_[next_];
        // After a document that could not be written none is published: the owner
        // delivers nothing after it.
        const bool dropped = entry->dropped || failed_;
        lock.unlock();
        // Waits for the recognition of the document's pages, then completes and
        // publishes it (or, stopped meanwhile, keeps nothing). A document that was
        // published is one, whenever a stop came.
        Finished result;
        if (dropped || (entry->watch && entry->watch->cancel)) {
            entry->job->Abandon();
        } else if (entry->job->Finish() == kPageAdded) {
            result.end = Finished::End::Published;
            result.path = entry->job->OutputName();
        } else if (!(entry->watch && entry->watch->cancel)) {
            result.end = Finished::End::Failed;
            result.error = entry->job->FailureError();
        }
        entry->job.reset();
        lock.lock();
        if (result.end == Finished::End::Failed) failed_ = true;
        entry->result = result;
        entry->finished = true;
        ++next_;
        changed_.notify_all();
        lock.unlock();
        {
            std::lock_guard<std::mutex> guard(listenerMutex_);
            if (listener_) listener_();
        }
        lock.lock();
    }
}

bool FinishingLine::Take(Finished& out) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (entries_.empty() || !entries_.front()->finished) return false;
    out = entries_.front()->result;
    if (entries_.front()->watch) takenPages_ += entries_.front()->watch->pages;
    entries_.pop_front();
    --next_;
    return true;
}

int FinishingLine::Waiting() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<int>(entries_.size());
}

void FinishingLine::WaitAll() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return next_ >= entries_.size(); });
}

bool FinishingLine::DropUnfinished() {
    std::lock_guard<std::mutex> lock(mutex_);
    bool any = false;
    for (size_t i = next_; i < entries_.size(); ++i) {
        Entry& entry = *entries_[i];
        entry.dropped = true;
        if (entry.watch) entry.watch->cancel = true;
        any = true;
    }
    return any;
}

void FinishingLine::SetListener(std::function<void()> listener) {
    std::lock_guard<std::mutex> guard(listenerMutex_);
    listener_ = std::move(listener);
}

FinishingLine::Progress FinishingLine::Recognition() const {
    std::lock_guard<std::mutex> lock(mutex_);
    Progress progress;
    progress.pages = handedPages_;
    progress.recognised = takenPages_;
    for (const auto& entry : entries_)
        if (entry->watch)
            progress.recognised += entry->finished ? entry->watch->pages.load() : entry->watch->recognised.load();
    return progress;
}

void FinishingLine::Reset() {
    std::lock_guard<std::mutex> lock(mutex_);
    takenPages_ = handedPages_ = 0;
    failed_ = false;
}

} // namespace output
