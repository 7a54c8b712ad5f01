#pragma once
// What the UI thread hands the worker for one acquisition, and how the worker reports.

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>

#include "codec/Jpeg.h"
#include "scancontrol/Dynamictwain.h"
#include "scancontrol/PageImage.h"
#include "scancontrol/sane/OptionMapping.h"

namespace scancontrol::sanectl {

// Shared by the UI thread and the worker for one acquisition: the cancel request and
// the count of pages posted and still in memory (the worker holds back while too many
// are, so a slow consumer never piles up whole feeder runs in memory).
class AcquisitionLink {
public:
    void Cancel() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            cancelled_ = true;
        }
        changed_.notify_all();
    }
    bool Cancelled() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return cancelled_;
    }
    // Worker: waits until fewer than `limit` pages are in flight, then counts one more.
    // False when cancelled meanwhile.
    bool AcquireSlot(int limit) {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [&] { return cancelled_ || inFlight_ < limit; });
        if (cancelled_) return false;
        ++inFlight_;
        return true;
    }
    // Worker: a page begins; its length is not known yet.
    void BeginPage(long page) {
        std::lock_guard<std::mutex> lock(mutex_);
        progress_ = AcquisitionProgress{page, 0, -1};
    }
    // Worker: the bytes the device announced for the whole page (-1 unknown).
    void ExpectBytes(long long bytes) {
        std::lock_guard<std::mutex> lock(mutex_);
        progress_.expectedBytes = bytes;
    }
    // Worker: more of the page has been read.
    void AddRead(long long bytes) {
        std::lock_guard<std::mutex> lock(mutex_);
        progress_.bytesRead += bytes;
    }
    // UI thread: the indicator's view.
    AcquisitionProgress Progress() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return progress_;
    }
    // A posted page has gone from memory (PageDelivery).
    void ReleaseSlot() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (inFlight_ > 0) --inFlight_;
        }
        changed_.notify_all();
    }

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool cancelled_ = false;
    int inFlight_ = 0;
    AcquisitionProgress progress_;
};

struct AcquireJob {
    unsigned long id = 0;
    bool feeder = false;     // several pages: until the count or the feeder is empty
    bool duplex = false;     // pages alternate front and back
    long transferCount = -1; // -1 all pages
    short targetBits = 24;
    Conversion conversion = Conversion::None;
    int orientation = 0;    // TWOR_*: quarter turns clockwise
    bool flipBacks = false; // turn back sides by 180 degrees (TWFR_FANFOLD)
    float xResolution = 0, yResolution = 0;
    FrameInches frame;       // for the image information
    bool encodeJpeg = false; // make each page into JPEG data with `jpeg` while it arrives
    codec::JpegOptions jpeg;
    std::shared_ptr<AcquisitionLink> link;
};

// One page with its image information. A page posted by the worker counts as in flight
// until the last holder lets it go: only then is its memory free for the next one.
struct PageDelivery {
    struct Slot {
        std::shared_ptr<AcquisitionLink> link; // set once the page has its slot
        Slot() = default;
        Slot(const Slot&) = delete;
        Slot& operator=(const Slot&) = delete;
        ~Slot() {
            if (link) link->ReleaseSlot();
        }
    };
    Slot slot; // ends after the image (declared before it)
    PageImage image;
    ImageInfo info;
};

// Called on the worker; the implementation queues to the UI thread.
class AcquisitionSink {
public:
    virtual ~AcquisitionSink() = default;
    virtual void Post(unsigned long id, TwainEvent event, long errorCode, std::shared_ptr<const PageDelivery> page) = 0;
};

} // namespace scancontrol::sanectl
