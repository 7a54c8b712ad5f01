// The kept source listing: one listing serves every request until it is forgotten, and a
// background listing never makes its caller wait.
#include <gtest/gtest.h>

#include <future>
#include <mutex>
#include <thread>

#include "scancontrol/SourceManager.h"

namespace {

using scancontrol::KeptSourceListing;
using scancontrol::SourceListing;

// Lists one source per call, numbered by the call. Optionally each call waits until the
// test opens the gate, so a test can hold a listing "in progress".
class CountingLister : public scancontrol::ISourceManager {
public:
    explicit CountingLister(bool gated = false) : gated_(gated) {
        if (gated_) gate_ = open_.get_future().share();
    }
    SourceListing EnumerateSources() override {
        int call;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            call = ++calls_;
        }
        if (gated_) {
            started_.set_value();
            gate_.wait();
        }
        SourceListing l;
        l.status = present ? 1 : 2;
        if (present) l.sources.push_back({"Noname", "frontend-tester", "test:" + std::to_string(call)});
        return l;
    }
    int Calls() {
        std::lock_guard<std::mutex> lock(mutex_);
        return calls_;
    }
    void WaitUntilListing() { started_.get_future().wait(); }
    void Open() { open_.set_value(); }
    bool present = true;

private:
    bool gated_;
    std::mutex mutex_;
    int calls_ = 0;
    std::promise<void> started_, open_;
    std::shared_future<void> gate_;
};

TEST(KeptSourceListing, ServesTheKeptListingUntilItIsForgotten) {
    auto lister = std::make_shared<CountingLister>();
    KeptSourceListing kept(lister);
    EXPECT_FALSE(kept.HasListing());
    SourceListing first = kept.EnumerateSources();
    EXPECT_FALSE(first.kept);
    SourceListing again = kept.EnumerateSources();
    EXPECT_TRUE(again.kept);
    ASSERT_EQ(again.sources.size(), 1u);
    EXPECT_EQ(again.sources[0].productName, "test:1");
    EXPECT_EQ(lister->Calls(), 1);
    kept.ForgetListing();
    SourceListing fresh = kept.EnumerateSources();
    EXPECT_FALSE(fresh.kept);
    EXPECT_EQ(fresh.sources[0].productName, "test:2");
    EXPECT_EQ(kept.Listings(), 2u);
}

TEST(KeptSourceListing, AMissingSourceManagerIsReportedButNotKept) {
    auto lister = std::make_shared<CountingLister>();
    lister->present = false;
    KeptSourceListing kept(lister);
    EXPECT_EQ(kept.EnumerateSources().status, 2);
    EXPECT_FALSE(kept.HasListing());
    lister->present = true;
    EXPECT_EQ(kept.EnumerateSources().status, 1);
    EXPECT_EQ(lister->Calls(), 2);
}

TEST(KeptSourceListing, BackgroundListingLetsTheCallerGoOnAndServesEveryoneOnce) {
    auto lister = std::make_shared<CountingLister>(true);
    KeptSourceListing kept(lister);
    std::promise<std::thread::id> firstReady, secondReady;
    // Both calls return while the listing is held open: neither waits for it.
    EXPECT_FALSE(kept.ListInBackground([&] { firstReady.set_value(std::this_thread::get_id()); }));
    lister->WaitUntilListing();
    EXPECT_FALSE(kept.ListInBackground([&] { secondReady.set_value(std::this_thread::get_id()); }));
    // A caller that needs the list now waits for the listing under way, not a second one.
    auto direct = std::async(std::launch::async, [&] { return kept.EnumerateSources(); });
    lister->Open();
    const std::thread::id listingThread = firstReady.get_future().get();
    EXPECT_EQ(secondReady.get_future().get(), listingThread);
    EXPECT_NE(listingThread, std::this_thread::get_id());
    // The listing made in the background is new to its first user, then kept.
    EXPECT_FALSE(direct.get().kept);
    EXPECT_TRUE(kept.EnumerateSources().kept);
    EXPECT_EQ(lister->Calls(), 1);
    // With a listing kept, `ready` runs at once on the caller.
    std::thread::id ranOn;
    EXPECT_TRUE(kept.ListInBackground([&] { ranOn = std::this_thread::get_id(); }));
    EXPECT_EQ(ranOn, std::this_thread::get_id());
    kept.WaitForBackground();
    EXPECT_EQ(lister->Calls(), 1);
}

} // namespace
