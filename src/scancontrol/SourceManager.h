#pragma once
// The source manager's listing of sources (EnumerateSources). On Linux the
// source manager is SANE: Manufacturer = the SANE vendor, ProductFamily = the SANE model,
// ProductName = the SANE device name (what `scanimage -d` takes).

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace scancontrol {

struct SourceEntry {
    std::string manufacturer;
    std::string productFamily;
    std::string productName;
};

struct SourceListing {
    int status = 1; // 1 done, 2 source manager missing (SANE could not be initialised)
    std::vector<SourceEntry> sources;
    // Served from a listing an earlier request has used already: the devices may have
    // changed since. A check that fails on such a listing can ask for a fresh one.
    bool kept = false;
};

class ISourceManager {
public:
    virtual ~ISourceManager() = default;
    // May block while backends probe for devices; call it where that is acceptable.
    virtual SourceListing EnumerateSources() = 0;
    // The next EnumerateSources lists the devices again. Nothing to do for a manager
    // that keeps no listing.
    virtual void ForgetListing() {}
};

// Keeps the last complete listing of another source manager and serves it until it is
// forgotten. Listing the devices can take seconds on a desktop with every SANE backend
// enabled (each backend probes its buses), while the answer rarely changes during one
// start-up or one scan: one listing serves them all.
//
// Thread contract: EnumerateSources, ForgetListing, HasListing and Listings may be called
// from any thread; ListInBackground and WaitForBackground from one thread (the owner's,
// the user-interface thread). Only one listing runs at a time; a caller that needs the
// list while another thread is listing waits for that listing instead of starting a
// second one. A listing that found no source manager is handed out but not kept.
class KeptSourceListing : public ISourceManager {
public:
    explicit KeptSourceListing(std::shared_ptr<ISourceManager> lister);
    // Waits for a listing still running in the background.
    ~KeptSourceListing() override;
    KeptSourceListing(const KeptSourceListing&) = delete;
    KeptSourceListing& operator=(const KeptSourceListing&) = delete;

    SourceListing EnumerateSources() override;
    void ForgetListing() override;

    // Makes sure a listing is kept without making the caller wait: when one is kept,
    // `ready` runs at once on the calling thread and true is returned; otherwise the
    // devices are listed on a thread of this object (one such listing at a time; later
    // callers join it), `ready` runs on that thread when the listing has ended, and false
    // is returned.
    bool ListInBackground(std::function<void()> ready);
    bool HasListing() const;
    // Waits until a background listing (and its `ready` calls) has ended; call it before
    // destroying what `ready` uses.
    void WaitForBackground();
    // How many times the devices were actually listed (for tests and diagnostics).
    unsigned long Listings() const;

private:
    // `use`: the listing goes to a caller (a background listing only prepares it).
    SourceListing ListLocked(std::unique_lock<std::mutex>& lock, bool use);

    std::shared_ptr<ISourceManager> lister_;
    mutable std::mutex mutex_;
    std::condition_variable listed_;
    bool listing_ = false; // a listing is running (on some thread)
    bool haveListing_ = false;
    bool used_ = false; // the kept listing has been handed to a caller
    SourceListing kept_;
    unsigned long listings_ = 0;
    std::vector<std::function<void()>> waiting_; // `ready` of the background listing
    bool backgroundRunning_ = false;
    std::thread background_;
};

} // namespace scancontrol
