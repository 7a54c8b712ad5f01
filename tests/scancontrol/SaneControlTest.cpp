// The SANE control against the SANE `test` backend (data/sane: test:0 and test:1, scan
// area up to 420 mm, feeder empty after 10 pages). Each test drives the control only
// through its interface, plus SetSaneOption for the backend's fault injection.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <memory>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "ControlTestSupport.h"
#include "scan/ConditionCodes.h"
#include "scan/TwainCap.h"
#include "codec/Jpeg.h"
#include "scancontrol/ImageFileWriter.h"
#include "scancontrol/SaneDynamictwain.h"
#include "support/TempFolder.h"

namespace {

using namespace scancontrol;
using scantest::EventRecorder;

// The test backend ends its reader thread with an asynchronous pthread_cancel. Under
// ThreadSanitizer's interceptors, ending it right after a fault deadlocks the backend
// now and then (inside its sane_cancel), whatever the control does; these tests run in
// the plain and AddressSanitizer builds.
#if defined(__SANITIZE_THREAD__)
#define SKIP_UNDER_TSAN() GTEST_SKIP() << "the test backend's reader cancel deadlocks under ThreadSanitizer"
#else
#define SKIP_UNDER_TSAN() (void)0
#endif

class SaneControlTest : public ::testing::Test {
protected:
    void SetUp() override {
        scantest::EnsureApplication();
        control = CreateSaneDynamictwain();
        control->SetEventListener(&rec);
    }
    void TearDown() override {
        if (control) {
            control->CloseSource();
            control->CloseSourceManager();
        }
    }

    // Opens test:N by name, as the acquisition object does, and puts the backend's
    // options to the values of data/sane/test.conf (the test backend keeps a device's
    // options from one opening to the next while SANE stays initialised).
    bool Open(const std::string& name = "test:0") {
        if (!control->OpenSourceManager()) return false;
        bool opened = false;
        for (short i = 0; i < control->SourceCount() && !opened; ++i)
            if (control->SourceNameAt(i) == name) opened = control->SelectSourceByIndex(i) && control->OpenSource();
        return opened && scantest::ResetTestBackend(*control);
    }

    // Runs one acquisition to its end.
    bool Acquire() {
        rec.events.clear();
        if (!control->AcquireImage()) return false;
        return rec.Wait();
    }

    std::unique_ptr<CDynamictwain> control;
    EventRecorder rec;
};

TEST_F(SaneControlTest, SourceManagerListsTheTestDevices) {
    const SourceListing listing = CreateSaneSourceManager()->EnumerateSources();
    ASSERT_EQ(listing.status, 1);
    ASSERT_EQ(listing.sources.size(), 2u);
    EXPECT_EQ(listing.sources[0].productName, "test:0");
    EXPECT_EQ(listing.sources[0].manufacturer, "Noname");
    EXPECT_EQ(listing.sources[0].productFamily, "frontend-tester");
    ASSERT_TRUE(control->OpenSourceManager());
    EXPECT_EQ(control->SourceCount(), 2);
    EXPECT_EQ(control->SourceNameAt(1), "test:1");
    EXPECT_EQ(control->SourceNameAt(5), "");
    EXPECT_FALSE(control->SelectSourceByIndex(5));
    EXPECT_EQ(scan::ConditionFromErrorCode(control->ErrorCode()), 10);
}

TEST_F(SaneControlTest, FlatbedPageInTheFixedEventOrder) {
    ASSERT_TRUE(Open());
    EXPECT_TRUE(control->DeviceReady());
    control->TransferCount(-1); // a flatbed holds one page whatever the count
    control->Resolution(50);
    long progressDuringPage = 0;
    ImageInfo info;
    rec.onEvent = [&](TwainEvent e) {
        if (e == TwainEvent::PageTransferred) {
            progressDuringPage = control->ScanInProgress();
            info = control->CurrentImageInfo();
        }
    };
    rec.events.clear();
    ASSERT_TRUE(control->AcquireImage());
    EXPECT_TRUE(rec.events.empty()); // events come from the event loop, never from the call
    EXPECT_NE(control->ScanInProgress(), 0);
    ASSERT_TRUE(rec.Wait());
    EXPECT_EQ(rec.events, (std::vector<int>{3, 2, 1, 4}));
    EXPECT_NE(progressDuringPage, 0);
    EXPECT_EQ(control->ScanInProgress(), 0);
    EXPECT_EQ(control->ErrorCode(), 0);
    // The test backend's default frame is A4: 210 x 297 mm at 50 dpi.
    EXPECT_NEAR(info.imageWidth, 210 / 25.4 * 50, 1.0);
    EXPECT_NEAR(info.imageLength, 297 / 25.4 * 50, 1.0);
    EXPECT_EQ(info.xResolution, 50);
    EXPECT_EQ(info.pageNumber, 1);
    EXPECT_EQ(info.documentNumber, 1);
    EXPECT_EQ(info.frameNumber, 1);
    EXPECT_NEAR(info.frameRight, 210 / 25.4, 0.01);
}

TEST_F(SaneControlTest, FeederAllPagesThenANormalEnd) {
    ASSERT_TRUE(Open());
    control->Resolution(25);
    control->FeederEnabled(true);
    ASSERT_TRUE(control->FeederEnabled());
    control->TransferCount(-1);
    std::vector<long> pages;
    rec.onEvent = [&](TwainEvent e) {
        if (e == TwainEvent::PageTransferred) pages.push_back(control->PageNumber());
    };
    ASSERT_TRUE(Acquire());
    std::vector<int> expected{3};
    for (int i = 0; i < 10; ++i) {
        expected.push_back(2);
        expected.push_back(1);
    }
    expected.push_back(4); // the feeder ran empty after ten pages: a normal end
    EXPECT_EQ(rec.events, expected);
    EXPECT_EQ(pages, (std::vector<long>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    EXPECT_EQ(control->ErrorCode(), 0);
}

// Pages are held in memory one at a time while the next is read, whoever holds them:
// the consumer keeps each page's handle until the page has ended, and the control holds
// the page as its current one until then too. The information of the last page stays
// current after its end.
TEST_F(SaneControlTest, AFeederNeverHoldsMoreThanTwoPagesInMemory) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "with the address sanitizer pages are ordinary heap blocks, which the count does not see";
#endif
    ASSERT_TRUE(Open());
    control->Resolution(150); // A4 colour: 6.5 MB a page
    control->FeederEnabled(true);
    control->TransferCount(-1);
    std::shared_ptr<const PageImage> held;
    long infoAfterEnd = 0;
    rec.onEvent = [&](TwainEvent e) {
        if (e == TwainEvent::PageTransferred) held = control->TakePageImage();
        if (e == TwainEvent::PageEnded) {
            held.reset();
            // Work after the page was let go (the document's part of it, say): the next
            // pages are read meanwhile.
            std::this_thread::sleep_for(std::chrono::milliseconds(15));
            infoAfterEnd = control->CurrentImageInfo().pageNumber;
        }
    };
    PageMemoryMostInUse(true);
    ASSERT_TRUE(Acquire());
    EXPECT_EQ(rec.events.size(), 22u) << "ten pages";
    EXPECT_EQ(infoAfterEnd, 10);
    EXPECT_EQ(PageMemoryMostInUse(), 2) << "pages in memory at once";
}

TEST_F(SaneControlTest, FeederWithTransferCountOne) {
    ASSERT_TRUE(Open());
    control->Resolution(25);
    control->FeederEnabled(true);
    control->TransferCount(1);
    ASSERT_TRUE(Acquire());
    EXPECT_EQ(rec.events, (std::vector<int>{3, 2, 1, 4}));
    // And the feeder still has pages for the next acquisition.
    control->TransferCount(3);
    ASSERT_TRUE(Acquire());
    EXPECT_EQ(rec.events, (std::vector<int>{3, 2, 1, 2, 1, 2, 1, 4}));
}

TEST_F(SaneControlTest, CancelInTheMiddleOfAFeederRun) {
    ASSERT_TRUE(Open());
    control->Resolution(100);
    control->FeederEnabled(true);
    control->TransferCount(-1);
    int pagesEnded = 0;
    long progressAfterCancel = -1;
    size_t eventsAtCancel = 0;
    rec.onEvent = [&](TwainEvent e) {
        if (e == TwainEvent::PageEnded && ++pagesEnded == 3) {
            EXPECT_TRUE(control->DisableSource());
            progressAfterCancel = control->ScanInProgress();
            eventsAtCancel = rec.events.size();
        }
    };
    rec.events.clear();
    ASSERT_TRUE(control->AcquireImage());
    scantest::Pump(1500); // long enough for every page the backend still had
    EXPECT_EQ(progressAfterCancel, 0);
    EXPECT_EQ(eventsAtCancel, 7u);                // 3, (2, 1) x 3
    EXPECT_EQ(rec.events.size(), eventsAtCancel); // nothing after the cancel
    EXPECT_EQ(control->ScanInProgress(), 0);
    // The device was cancelled and is usable again.
    rec.onEvent = nullptr;
    control->TransferCount(1);
    ASSERT_TRUE(Acquire());
    EXPECT_EQ(rec.events, (std::vector<int>{3, 2, 1, 4}));
}

TEST_F(SaneControlTest, CloseSourceFromTheTransferReadyHandlerEndsSilently) {
    ASSERT_TRUE(Open());
    control->Resolution(25);
    rec.onEvent = [&](TwainEvent e) {
        if (e == TwainEvent::TransferReady) {
            control->DisableSource();
            control->CloseSource();
        }
    };
    rec.events.clear();
    ASSERT_TRUE(control->AcquireImage());
    scantest::Pump(800);
    EXPECT_EQ(rec.events, (std::vector<int>{3}));
    EXPECT_FALSE(control->DeviceReady());
    rec.onEvent = nullptr;
    control->CloseSourceManager();
    ASSERT_TRUE(Open());
    control->Resolution(25);
    ASSERT_TRUE(Acquire());
    EXPECT_EQ(rec.events, (std::vector<int>{3, 2, 1, 4}));
}

struct Fault {
    const char* status;
    bool feeder;
    long code;
    int condition;
};

void PrintTo(const Fault& f, std::ostream* os) { *os << f.status; }

class SaneFaultTest : public SaneControlTest, public ::testing::WithParamInterface<Fault> {};

TEST_P(SaneFaultTest, ReadFaultEndsWithTransferFailedAndTheMappedCode) {
    SKIP_UNDER_TSAN();
    const Fault f = GetParam();
    ASSERT_TRUE(Open());
    // A page larger than the backend's pipe, so that its reader thread is busy writing
    // when the fault ends the acquisition (see CancelGuard in SaneDevice.cpp).
    control->Resolution(100);
    if (f.feeder) control->FeederEnabled(true);
    ASSERT_TRUE(SetSaneOption(*control, "read-return-value", f.status));
    ASSERT_TRUE(Acquire());
    EXPECT_EQ(rec.events, (std::vector<int>{3, 5})); // ready, then the read fails: no page
    EXPECT_EQ(control->ErrorCode(), f.code);
    EXPECT_EQ(scan::ConditionFromErrorCode(control->ErrorCode()), f.condition);
    EXPECT_EQ(control->ScanInProgress(), 0);
    // The device recovers once the fault is gone.
    ASSERT_TRUE(SetSaneOption(*control, "read-return-value", "Default"));
    control->TransferCount(1);
    ASSERT_TRUE(Acquire());
    EXPECT_EQ(rec.events.back(), 4);
}

INSTANTIATE_TEST_SUITE_P(Faults, SaneFaultTest,
                         ::testing::Values(Fault{"SANE_STATUS_JAMMED", true, err::PaperJam, 18},
                                           Fault{"SANE_STATUS_COVER_OPEN", false, err::CoverOpen, 22},
                                           Fault{"SANE_STATUS_IO_ERROR", false, err::CheckDeviceOnline, 21},
                                           Fault{"SANE_STATUS_NO_DOCS", true, err::NoDocuments,
                                                 1}, // before the first page
                                           Fault{"SANE_STATUS_DEVICE_BUSY", false, err::Denied, 14},
                                           Fault{"SANE_STATUS_ACCESS_DENIED", false, err::Denied, 14},
                                           Fault{"SANE_STATUS_NO_MEM", false, err::OutOfMemory, 1}),
                         [](const ::testing::TestParamInfo<Fault>& p) { return std::string(p.param.status + 12); });

TEST_F(SaneControlTest, CancelledAtTheDeviceGivesEventSix) {
    SKIP_UNDER_TSAN();
    ASSERT_TRUE(Open());
    control->Resolution(100);
    ASSERT_TRUE(SetSaneOption(*control, "read-return-value", "SANE_STATUS_CANCELLED"));
    ASSERT_TRUE(Acquire());
    EXPECT_EQ(rec.events, (std::vector<int>{3, 6}));
    EXPECT_EQ(control->ScanInProgress(), 0);
}

struct TypeCase {
    short pixelType;
    int bits;
};

void PrintTo(const TypeCase& t, std::ostream* os) { *os << "pixel type " << t.pixelType; }

class SanePixelTypeTest : public SaneControlTest, public ::testing::WithParamInterface<TypeCase> {};

TEST_P(SanePixelTypeTest, WrittenPagesDecodeToTheExpectedSizeDepthAndResolution) {
    const TypeCase t = GetParam();
    testsupport::TempFolder dir;
    ASSERT_TRUE(Open());
    control->TransferMode(twain::TWSX_FILE);
    control->PixelType(t.pixelType);
    control->BitDepth(static_cast<short>(t.bits));
    control->Resolution(75);
    EXPECT_EQ(control->PixelType(), t.pixelType);
    EXPECT_EQ(control->BitDepth(), t.bits);
    ImageInfo info;
    rec.onEvent = [&](TwainEvent e) {
        if (e != TwainEvent::PageTransferred) return;
        info = control->CurrentImageInfo();
        EXPECT_TRUE(control->SaveImageToFile(dir.path() + "page.bmp", twain::TWFF_BMP));
        EXPECT_TRUE(control->SaveImageToFile(dir.path() + "page.png", twain::TWFF_PNG));
    };
    ASSERT_TRUE(Acquire());
    ASSERT_EQ(rec.events, (std::vector<int>{3, 2, 1, 4}));
    EXPECT_EQ(info.bitsPerPixel, t.bits);
    EXPECT_EQ(info.pixelType, t.pixelType);
    for (const char* name : {"page.bmp", "page.png"}) {
        SCOPED_TRACE(name);
        const scantest::Decoded d = scantest::DecodeFile(dir.path() + name);
        ASSERT_TRUE(d.ok) << d.error;
        EXPECT_EQ(d.width, info.imageWidth);
        EXPECT_EQ(d.height, info.imageLength);
        EXPECT_NEAR(d.width, 210 / 25.4 * 75, 1.0);
        EXPECT_EQ(d.depth, t.bits);
        EXPECT_NEAR(d.xDpi, 75, 0.05);
        EXPECT_NEAR(d.yDpi, 75, 0.05);
    }
}

INSTANTIATE_TEST_SUITE_P(Types, SanePixelTypeTest,
                         ::testing::Values(TypeCase{twain::TWPT_BW, 1}, TypeCase{twain::TWPT_GRAY, 8},
                                           TypeCase{twain::TWPT_RGB, 24}),
                         [](const ::testing::TestParamInfo<TypeCase>& p) {
                             return "Bits" + std::to_string(p.param.bits);
                         });

TEST_F(SaneControlTest, FrameAndResolutionAreHonoured) {
    ASSERT_TRUE(Open());
    control->Resolution(150);
    ASSERT_TRUE(control->SetImageLayout(0.5f, 1.0f, 2.5f, 4.0f));
    ImageInfo info;
    rec.onEvent = [&](TwainEvent e) {
        if (e == TwainEvent::PageTransferred) info = control->CurrentImageInfo();
    };
    ASSERT_TRUE(Acquire());
    // 2 x 3 inches at 150 dpi. The backend takes whole millimetres: each edge goes to
    // the nearest one, so a side may be up to 1 mm (6 pixels) off.
    EXPECT_NEAR(info.imageWidth, 300, 6);
    EXPECT_NEAR(info.imageLength, 450, 6);
    EXPECT_EQ(info.xResolution, 150);
    EXPECT_NEAR(info.frameLeft, 0.5, 0.03);
    EXPECT_NEAR(info.frameTop, 1.0, 0.03);
    EXPECT_NEAR(info.frameRight, 2.5, 0.03);
    EXPECT_NEAR(info.frameBottom, 4.0, 0.03);
    // An all-zero frame is the whole scan area (420 x 420 mm here).
    control->Resolution(20);
    ASSERT_TRUE(control->SetImageLayout(0, 0, 0, 0));
    ASSERT_TRUE(Acquire());
    EXPECT_NEAR(info.imageWidth, 420 / 25.4 * 20, 1.0);
    EXPECT_NEAR(info.imageLength, 420 / 25.4 * 20, 1.0);
    EXPECT_FALSE(control->SetImageLayout(3, 1, 2, 4)); // right before left
    EXPECT_EQ(control->ErrorCode(), err::BadValue);
}

TEST_F(SaneControlTest, LandscapeOrientationTurnsThePage) {
    ASSERT_TRUE(Open());
    control->Resolution(30);
    ImageInfo info;
    rec.onEvent = [&](TwainEvent e) {
        if (e == TwainEvent::PageTransferred) info = control->CurrentImageInfo();
    };
    ASSERT_TRUE(Acquire());
    const ImageInfo portrait = info;
    EXPECT_LT(portrait.imageWidth, portrait.imageLength);
    ASSERT_EQ(
        scan::LowLevelSet(control.get(), twain::TWOR_LANDSCAPE, twain::ICAP_ORIENTATION, settings::kContainerOneValue),
        0);
    ASSERT_TRUE(Acquire());
    EXPECT_EQ(info.imageWidth, portrait.imageLength);
    EXPECT_EQ(info.imageLength, portrait.imageWidth);
}

// A listener that makes its pages into JPEG data may have the control make that data
// while each page arrives: it is the data the page's rows give, byte for byte, and it
// comes only for pages delivered as read. A large page is made in two parts at once:
// its data then decodes to the pixels of the rows' own data (the parts meet at a
// restart marker).
struct ArrivingJpegCase {
    const char* name;
    short pixelType;
    long orientation;
    int dpi;
    bool asked;
    bool expected;
    bool inParts; // the data has a restart interval
};

void PrintTo(const ArrivingJpegCase& c, std::ostream* os) { *os << c.name; }

class SaneArrivingJpegTest : public SaneControlTest, public ::testing::WithParamInterface<ArrivingJpegCase> {};

bool HasRestartInterval(const std::vector<uint8_t>& jpeg) {
    for (size_t i = 0; i + 1 < jpeg.size(); ++i)
        if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xDD) return true; // DRI, in the header
    return false;
}

TEST_P(SaneArrivingJpegTest, IsTheDataOfThePagesRows) {
    const ArrivingJpegCase& c = GetParam();
    ASSERT_TRUE(Open());
    control->PixelType(c.pixelType);
    control->Resolution(c.dpi);
    ASSERT_EQ(scan::LowLevelSet(control.get(), static_cast<double>(c.orientation), twain::ICAP_ORIENTATION,
                                settings::kContainerOneValue),
              0);
    codec::JpegOptions options;
    options.quality = 50;
    options.grey = c.pixelType != twain::TWPT_RGB;
    control->EncodeArrivingPages(c.asked ? &options : nullptr);
    std::shared_ptr<const PageImage> page;
    rec.onEvent = [&](TwainEvent e) {
        if (e == TwainEvent::PageTransferred) page = control->TakePageImage();
    };
    ASSERT_TRUE(Acquire());
    ASSERT_EQ(rec.events, (std::vector<int>{3, 2, 1, 4}));
    ASSERT_TRUE(page);
    const codec::JpegData* data = page->jpeg ? page->jpeg->Data() : nullptr;
    ASSERT_EQ(data != nullptr, c.expected);
    if (!c.expected) return;
    const codec::ImageView rows = PageView(*page, false);
    EXPECT_TRUE(data->Fits(rows, options));
    std::vector<uint8_t> fromRows;
    ASSERT_EQ(codec::EncodeJpeg(rows, options, fromRows), codec::Status::Ok);
    ASSERT_EQ(HasRestartInterval(data->bytes), c.inParts);
    if (!c.inParts) {
        EXPECT_TRUE(data->bytes == fromRows) << "the data differ from the page's rows";
        return;
    }
    testsupport::TempFolder dir;
    codec::Image made, own;
    ASSERT_EQ(codec::LoadJpeg(dir.Write("made.jpg", std::string(data->bytes.begin(), data->bytes.end())), made),
              codec::Status::Ok);
    ASSERT_EQ(codec::LoadJpeg(dir.Write("own.jpg", std::string(fromRows.begin(), fromRows.end())), own),
              codec::Status::Ok);
    ASSERT_EQ(made.width, own.width);
    ASSERT_EQ(made.height, own.height);
    const size_t rowBytes = static_cast<size_t>(own.width) * (options.grey ? 1 : 3);
    for (int y = 0; y < own.height; ++y) ASSERT_EQ(std::memcmp(made.Row(y), own.Row(y), rowBytes), 0) << "row " << y;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SaneArrivingJpegTest,
    ::testing::Values(ArrivingJpegCase{"colour", twain::TWPT_RGB, twain::TWOR_ROT0, 50, true, true, false},
                      ArrivingJpegCase{"grey", twain::TWPT_GRAY, twain::TWOR_ROT0, 50, true, true, false},
                      ArrivingJpegCase{"colour_in_parts", twain::TWPT_RGB, twain::TWOR_ROT0, 150, true, true, true},
                      ArrivingJpegCase{"grey_in_parts", twain::TWPT_GRAY, twain::TWOR_ROT0, 150, true, true, true},
                      ArrivingJpegCase{"not_asked", twain::TWPT_RGB, twain::TWOR_ROT0, 50, false, false, false},
                      ArrivingJpegCase{"turned_after_reading", twain::TWPT_RGB, twain::TWOR_LANDSCAPE, 50, true, false,
                                       false},
                      ArrivingJpegCase{"black_and_white", twain::TWPT_BW, twain::TWOR_ROT0, 50, true, false, false}),
    [](const ::testing::TestParamInfo<ArrivingJpegCase>& p) { return std::string(p.param.name); });

// A source session starts from the source's defaults: what one scan set (a count, an
// orientation, a binding direction) must not steer the next scan of the same window.
TEST_F(SaneControlTest, AFeederScanAfterAFlatbedScanTakesEveryPage) {
    ASSERT_TRUE(Open());
    control->Resolution(25);
    control->FeederEnabled(false);
    control->TransferCount(1); // the flatbed set-up
    ASSERT_TRUE(Acquire());
    EXPECT_EQ(rec.events, (std::vector<int>{3, 2, 1, 4}));
    // The next scan reopens the source, as every scan does, and only switches the feeder
    // on (the two-sided set-up leaves the count alone).
    control->CloseSourceManager();
    ASSERT_TRUE(Open());
    EXPECT_EQ(control->TransferCount(), -1);
    control->Resolution(25);
    control->FeederEnabled(true);
    ASSERT_TRUE(Acquire());
    EXPECT_EQ(rec.events.size(), 2u + 2 * 10) << "the feeder's ten pages and the end";
    EXPECT_EQ(rec.events.back(), 4);
}

struct SessionSetting {
    const char* name;
    long capability;
    double changed;      // a value other than the source's default
    double defaultValue; // what a newly opened source reports
};

void PrintTo(const SessionSetting& s, std::ostream* out) { *out << s.name; }

class SaneSessionTest : public SaneControlTest, public ::testing::WithParamInterface<SessionSetting> {};

TEST_P(SaneSessionTest, ReopenedSourceReportsItsDefault) {
    const SessionSetting& s = GetParam();
    ASSERT_TRUE(Open());
    control->QueryMode(true);
    ASSERT_EQ(scan::LowLevelSet(control.get(), s.changed, s.capability, settings::kContainerOneValue), 0);
    ASSERT_EQ(scan::GenericQuery(control.get(), s.capability).current, s.changed);
    control->CloseSourceManager();
    ASSERT_TRUE(Open());
    const scan::CapabilityValues q = scan::GenericQuery(control.get(), s.capability);
    ASSERT_TRUE(q.valid);
    EXPECT_EQ(q.current, s.defaultValue);
}

INSTANTIATE_TEST_SUITE_P(
    Settings, SaneSessionTest,
    ::testing::Values(SessionSetting{"TransferCount", twain::CAP_XFERCOUNT, 1, -1},
                      SessionSetting{"Orientation", twain::ICAP_ORIENTATION, twain::TWOR_LANDSCAPE, twain::TWOR_ROT0},
                      SessionSetting{"FlipRotation", twain::ICAP_FLIPROTATION, twain::TWFR_FANFOLD, twain::TWFR_BOOK},
                      SessionSetting{"AutoFeed", twain::CAP_AUTOFEED, 1, 0},
                      SessionSetting{"ImageFileFormat", twain::ICAP_IMAGEFILEFORMAT, twain::TWFF_PNG, twain::TWFF_BMP},
                      SessionSetting{"CustomCompression", twain::CAP_CUSTOM_COMPRESSION, 40, 0},
                      SessionSetting{"ScanMode", twain::CAP_CUSTOM_SCANMODE, 0, 1}),
    [](const ::testing::TestParamInfo<SessionSetting>& param) { return std::string(param.param.name); });

TEST_F(SaneControlTest, EnumerationAndRangeCapabilitiesReadAndSet) {
    ASSERT_TRUE(Open());
    control->QueryMode(true);
    // Resolution: the backend's range 1..1200 dpi in steps of 1.
    scan::CapabilityValues q = scan::GenericQuery(control.get(), twain::ICAP_XRESOLUTION);
    ASSERT_TRUE(q.valid);
    EXPECT_EQ(q.containerKind, settings::kContainerRange);
    EXPECT_EQ(q.minimum, 1);
    EXPECT_EQ(q.maximum, 1200);
    EXPECT_EQ(q.step, 1);
    EXPECT_EQ(q.current, 50);
    // The default is the value the device had when it was opened (SANE has no defaults).
    EXPECT_GE(q.defaultValue, q.minimum);
    EXPECT_LE(q.defaultValue, q.maximum);
    EXPECT_EQ(scan::LowLevelSet(control.get(), 300, twain::ICAP_XRESOLUTION, settings::kContainerRange), 0);
    EXPECT_EQ(control->Resolution(), 300);
    EXPECT_EQ(scan::GenericQuery(control.get(), twain::ICAP_YRESOLUTION).current, 300);
    EXPECT_EQ(scan::LowLevelSet(control.get(), 1300, twain::ICAP_XRESOLUTION, settings::kContainerRange),
              1); // unknown value refused
    EXPECT_EQ(control->ErrorCode(), err::BadValue);
    EXPECT_EQ(scan::ConditionFromErrorCode(control->ErrorCode()), 8);
    EXPECT_EQ(control->Resolution(), 300);

    // Pixel type: an enumeration of what the modes allow (Gray, Color; black-and-white as grey at 1 bit).
    q = scan::GenericQuery(control.get(), twain::ICAP_PIXELTYPE);
    ASSERT_TRUE(q.valid);
    EXPECT_EQ(q.containerKind, settings::kContainerEnumeration);
    EXPECT_EQ(q.values, (std::vector<double>{0, 1, 2}));
    EXPECT_EQ(q.current, 1); // the backend starts in Gray
    EXPECT_EQ(scan::LowLevelSet(control.get(), 2, twain::ICAP_PIXELTYPE, settings::kContainerEnumeration),
              0); // index 2: colour
    EXPECT_EQ(control->PixelType(), twain::TWPT_RGB);
    EXPECT_EQ(scan::GenericQuery(control.get(), twain::ICAP_PIXELTYPE).current, 2);
    EXPECT_EQ(scan::LowLevelSet(control.get(), 7, twain::ICAP_PIXELTYPE, settings::kContainerEnumeration), 1);
    EXPECT_EQ(control->ErrorCode(), err::BadValue);
    EXPECT_EQ(scan::LowLevelSet(control.get(), 5, twain::ICAP_PIXELTYPE, settings::kContainerOneValue),
              1); // one value not offered
    EXPECT_EQ(control->ErrorCode(), err::BadValue);

    // Paper sizes: the standard sizes that fit 420 x 420 mm, as TWAIN size codes.
    q = scan::GenericQuery(control.get(), twain::ICAP_SUPPORTEDSIZES);
    ASSERT_TRUE(q.valid);
    EXPECT_EQ(q.containerKind, settings::kContainerEnumeration);
    auto has = [&](double v) { return std::find(q.values.begin(), q.values.end(), v) != q.values.end(); };
    EXPECT_TRUE(has(twain::TWSS_A4));
    EXPECT_TRUE(has(twain::TWSS_A3));
    EXPECT_FALSE(has(twain::TWSS_USLEDGER));
    EXPECT_EQ(q.current, twain::TWSS_A4);
    const long a5 = static_cast<long>(std::find(q.values.begin(), q.values.end(), twain::TWSS_A5) - q.values.begin());
    EXPECT_EQ(scan::LowLevelSet(control.get(), a5, twain::ICAP_SUPPORTEDSIZES, settings::kContainerEnumeration), 0);
    EXPECT_EQ(scan::GenericQuery(control.get(), twain::ICAP_SUPPORTEDSIZES).current, twain::TWSS_A5);

    // One-value capabilities and the rest of the system's list.
    EXPECT_EQ(scan::GenericQuery(control.get(), twain::CAP_DUPLEX).current, 0);
    EXPECT_EQ(control->DuplexType(), 0);
    q = scan::GenericQuery(control.get(), twain::CAP_FEEDERENABLED);
    EXPECT_EQ(q.containerKind, settings::kContainerOneValue);
    EXPECT_EQ(q.current, 0);
    EXPECT_EQ(scan::LowLevelSet(control.get(), 1, twain::CAP_FEEDERENABLED, settings::kContainerOneValue), 0);
    EXPECT_TRUE(control->FeederEnabled());
    EXPECT_FALSE(control->FeederLoaded()); // the test backend has no paper sensor
    EXPECT_EQ(scan::LowLevelSet(control.get(), -1, twain::CAP_XFERCOUNT, settings::kContainerOneValue), 0);
    EXPECT_EQ(control->TransferCount(), -1);
    EXPECT_EQ(scan::LowLevelSet(control.get(), 1, twain::ICAP_BITDEPTHREDUCTION, settings::kContainerOneValue), 0);
    EXPECT_EQ(scan::LowLevelSet(control.get(), 1, twain::ICAP_FLIPROTATION, settings::kContainerOneValue), 0);
    EXPECT_EQ(scan::LowLevelSet(control.get(), 7, twain::ICAP_ORIENTATION, settings::kContainerOneValue), 1);
    EXPECT_EQ(control->ErrorCode(), err::BadValue);
    EXPECT_EQ(scan::LowLevelSet(control.get(), 1, twain::CAP_FEEDERLOADED, settings::kContainerOneValue), 1);
    EXPECT_EQ(control->ErrorCode(), err::CapBadOperation);
    for (long id :
         {twain::CAP_XFERCOUNT, twain::ICAP_COMPRESSION, twain::ICAP_PIXELTYPE, twain::CAP_FEEDERENABLED,
          twain::CAP_FEEDERLOADED, twain::CAP_DUPLEX, twain::ICAP_IMAGEFILEFORMAT, twain::ICAP_ORIENTATION,
          twain::ICAP_XRESOLUTION, twain::ICAP_YRESOLUTION, twain::ICAP_SUPPORTEDSIZES, twain::ICAP_BITDEPTHREDUCTION,
          twain::ICAP_FLIPROTATION, twain::CAP_CUSTOM_COMPRESSION, twain::CAP_CUSTOM_SCANMODE}) {
        SCOPED_TRACE(id);
        EXPECT_TRUE(scan::GenericQuery(control.get(), id).valid);
    }
    q = scan::GenericQuery(control.get(), 0x9999);
    EXPECT_FALSE(q.valid);
    EXPECT_EQ(q.condition, 11);
    // An array cannot be set.
    control->Capability(twain::ICAP_PIXELTYPE);
    control->CapType(twain::TWON_ARRAY);
    EXPECT_FALSE(control->CapSet());
    EXPECT_EQ(control->ErrorCode(), err::CapBadOperation);
}

TEST_F(SaneControlTest, EveryFileFormatReadBackByAnIndependentDecoder) {
    testsupport::TempFolder dir;
    const std::pair<long, const char*> formats[] = {
        {twain::TWFF_BMP, "bmp"}, {twain::TWFF_PNG, "png"}, {twain::FF_PCX, "pcx"}, {twain::FF_GIF, "gif"},
        {twain::FF_TGA, "tga"},   {twain::FF_WMF, "wmf"},   {twain::FF_EMF, "emf"}};
    ASSERT_TRUE(Open());
    control->Resolution(40);
    for (short type : {twain::TWPT_BW, twain::TWPT_GRAY, twain::TWPT_RGB}) {
        control->PixelType(type);
        rec.onEvent = [&](TwainEvent e) {
            if (e != TwainEvent::PageTransferred) return;
            for (const auto& f : formats)
                EXPECT_TRUE(
                    control->SaveImageToFile(dir.path() + "t" + std::to_string(type) + "." + f.second, f.first));
        };
        ASSERT_TRUE(Acquire());
        const scantest::Decoded reference = scantest::DecodeFile(dir.path() + "t" + std::to_string(type) + ".png");
        ASSERT_TRUE(reference.ok) << reference.error;
        for (const auto& f : formats) {
            SCOPED_TRACE(std::string(f.second) + " pixel type " + std::to_string(type));
            const scantest::Decoded d = scantest::DecodeFile(dir.path() + "t" + std::to_string(type) + "." + f.second);
            ASSERT_TRUE(d.ok) << d.tool << ": " << d.error;
            EXPECT_EQ(d.width, reference.width);
            EXPECT_EQ(d.height, reference.height);
            if (f.first == twain::FF_GIF && type == twain::TWPT_RGB) continue; // 256 colours only
            EXPECT_TRUE(d.rgb == reference.rgb) << "pixels differ from the PNG";
        }
    }
    // libwmf (through ImageMagick) also parses the WMF.
    int status = 0;
    scantest::Run("identify '" + dir.path() + "t2.wmf' >/dev/null 2>&1", &status);
    EXPECT_EQ(status, 0);
}

TEST_F(SaneControlTest, FileTransferWritesTheDefaultTarget) {
    testsupport::TempFolder dir;
    ASSERT_TRUE(Open());
    control->Resolution(30);
    control->TransferMode(twain::TWSX_FILE);
    ASSERT_TRUE(control->SaveImageToFile(dir.path() + "~temp", twain::TWFF_BMP)); // before the acquisition
    ASSERT_TRUE(Acquire());
    ASSERT_EQ(rec.events.back(), 4);
    int status = 0;
    const std::string out = scantest::Run("identify -format '%m %w' '" + dir.path() + "~temp' 2>&1", &status);
    EXPECT_EQ(status, 0) << out;
    EXPECT_EQ(out.substr(0, 3), "BMP");
}

TEST_F(SaneControlTest, PagesSavedByTheListenerAreNotWrittenToTheDefaultTargetToo) {
    testsupport::TempFolder dir;
    ASSERT_TRUE(Open());
    control->Resolution(30);
    control->TransferMode(twain::TWSX_FILE);
    ASSERT_TRUE(control->SaveImageToFile(dir.path() + "~temp", twain::TWFF_BMP)); // before the acquisition
    bool saved = false;
    rec.onEvent = [&](TwainEvent e) {
        if (e == TwainEvent::PageTransferred)
            saved = control->SaveImageToFile(dir.path() + "page.bmp", twain::TWFF_BMP);
    };
    ASSERT_TRUE(Acquire());
    ASSERT_EQ(rec.events.back(), 4);
    EXPECT_TRUE(saved);
    int status = 0;
    scantest::Run("test -s '" + dir.path() + "page.bmp'", &status);
    EXPECT_EQ(status, 0);
    scantest::Run("test -e '" + dir.path() + "~temp'", &status);
    EXPECT_NE(status, 0) << "the page was written twice";
}

TEST_F(SaneControlTest, CallsOutOfSequenceFailWithAnErrorCode) {
    EXPECT_FALSE(control->AcquireImage());
    EXPECT_EQ(control->ErrorCode(), err::SequenceError);
    EXPECT_FALSE(control->OpenSource()); // nothing selected
    try {
        control->PixelType(twain::TWPT_RGB);
        FAIL() << "no automation error";
    } catch (const AutomationError& e) {
        EXPECT_EQ(e.Code(), err::SequenceError);
        EXPECT_EQ(control->ErrorCode(), err::SequenceError);
        EXPECT_EQ(scan::ConditionFromErrorCode(control->ErrorCode()), 9);
    }
    EXPECT_THROW(control->DuplexType(), AutomationError);
    ASSERT_TRUE(Open());
    control->Resolution(25);
    ASSERT_TRUE(control->AcquireImage());
    EXPECT_FALSE(control->AcquireImage()); // one at a time
    EXPECT_THROW(control->Resolution(100), AutomationError);
    ASSERT_TRUE(rec.Wait());
    EXPECT_EQ(rec.events.back(), 4);
}

} // namespace

// The driver's indicator on a feeder whose pages arrive slowly (the backend's read limit
// and delay): Progress follows each page, determinate when the device announces the
// page's length and indeterminate for a hand-held device; Cancel in the middle of page 2
// ends the acquisition with event 6 alone, and no page event follows it.
struct ProgressCase {
    const char* handScanner;
    bool lengthKnown;
};

class SaneProgressTest : public SaneControlTest, public ::testing::WithParamInterface<ProgressCase> {};

TEST_P(SaneProgressTest, ProgressFollowsThePagesAndCancelEndsWithEvent6) {
    ASSERT_TRUE(Open());
    const std::pair<const char*, const char*> slow[] = {{"source", "Automatic Document Feeder"},
                                                        {"hand-scanner", GetParam().handScanner},
                                                        {"read-limit", "yes"},
                                                        {"read-limit-size", "4096"},
                                                        {"read-delay", "yes"},
                                                        {"read-delay-duration", "10000"}};
    for (const auto& [name, value] : slow) ASSERT_TRUE(SetSaneOption(*control, name, value)) << name;
    EXPECT_EQ(control->Progress().page, 0);
    EXPECT_FALSE(control->CancelAcquisition()) << "nothing runs yet";
    rec.events.clear();
    ASSERT_TRUE(control->AcquireImage());
    std::vector<AcquisitionProgress> seen;
    size_t eventsAtCancel = 0;
    while (!rec.Ended() && seen.size() < 6000) { // 30 s at most
        scantest::Pump(5);
        const AcquisitionProgress p = control->Progress();
        seen.push_back(p);
        if (p.page == 2 && p.bytesRead > 0 && eventsAtCancel == 0) {
            ASSERT_TRUE(control->CancelAcquisition());
            eventsAtCancel = rec.events.size();
            EXPECT_NE(control->ScanInProgress(), 0) << "the acquisition ends with its event";
        }
    }
    ASSERT_NE(eventsAtCancel, 0u) << "page 2 was never seen under way";
    EXPECT_EQ(std::vector<int>(rec.events.begin() + static_cast<long>(eventsAtCancel), rec.events.end()),
              std::vector<int>{6});
    EXPECT_EQ(control->ScanInProgress(), 0);
    bool midPage = false;
    for (const AcquisitionProgress& p : seen) {
        // A page begun and not yet started at the device has no length yet.
        if (p.page == 0 || p.bytesRead == 0) continue;
        if (GetParam().lengthKnown) {
            EXPECT_GT(p.expectedBytes, 0);
            EXPECT_LE(p.bytesRead, p.expectedBytes);
            midPage |= p.Percent() > 0 && p.Percent() < 100;
        } else {
            EXPECT_EQ(p.Percent(), -1);
            midPage |= p.bytesRead > 0;
        }
    }
    EXPECT_TRUE(midPage) << "no reading in the middle of a page";
    scantest::Pump(200);
    EXPECT_EQ(rec.events.back(), 6) << "an event after the end";
}

INSTANTIATE_TEST_SUITE_P(LengthKnownOrNot, SaneProgressTest,
                         ::testing::Values(ProgressCase{"no", true}, ProgressCase{"yes", false}),
                         [](const ::testing::TestParamInfo<ProgressCase>& c) {
                             return std::string(c.param.lengthKnown ? "PageLengthKnown" : "HandHeld");
                         });
