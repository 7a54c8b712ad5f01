// The scripted fake control: the capability container model as the capability handler reads
// it (one value, enumeration, range, array), scripted events and injected failures —
// what later issues' logic tests need instead of a device.
#include <gtest/gtest.h>

#include "ControlTestSupport.h"
#include "scan/ConditionCodes.h"
#include "scan/TwainCap.h"
#include "support/FakeDynamictwain.h"
#include "support/TempFolder.h"

namespace {

using namespace scancontrol;

FakeDynamictwain WithScanner() {
    FakeDynamictwain fake;
    FakeSource s;
    s.identity = {"ZAV", "Kest", "ZAV Kest 100"};
    s.capabilities[twain::ICAP_PIXELTYPE] = {CapEnumeration{{0, 1, 2}, 2, 2}};
    s.capabilities[twain::ICAP_BITDEPTHREDUCTION] = {CapEnumeration{{0, 1}, 0, 0}};
    s.capabilities[twain::ICAP_XRESOLUTION] = {CapRange{75, 600, 75, 300, 150}};
    s.capabilities[twain::CAP_FEEDERLOADED] = {CapOneValue{1}, twain::TWTY_BOOL, false};
    s.capabilities[twain::ICAP_SUPPORTEDSIZES] = {CapArray{{twain::TWSS_A4, twain::TWSS_USLETTER}}};
    s.duplexType = twain::TWDX_2PASSDUPLEX;
    s.pages = {PageImage::Blank(20, 30, 8, 100), PageImage::Blank(20, 30, 8, 100), PageImage::Blank(20, 30, 8, 100)};
    fake.AddSource(s);
    FakeSource other;
    other.identity = {"Other", "X", "Other Scanner"};
    fake.AddSource(other);
    return fake;
}

bool Open(FakeDynamictwain& fake, short index = 0) {
    return fake.OpenSourceManager() && fake.SelectSourceByIndex(index) && fake.OpenSource();
}

TEST(FakeControl, CapabilitiesReadInTheContainerModel) {
    FakeDynamictwain fake = WithScanner();
    ASSERT_TRUE(Open(fake));
    fake.QueryMode(true);

    scan::CapabilityValues q = scan::GenericQuery(&fake, twain::ICAP_PIXELTYPE);
    ASSERT_TRUE(q.valid);
    EXPECT_EQ(q.containerKind, settings::kContainerEnumeration);
    EXPECT_EQ(q.values, (std::vector<double>{0, 1, 2}));
    EXPECT_EQ(q.current, 2);
    EXPECT_EQ(q.defaultValue, 2);

    q = scan::GenericQuery(&fake, twain::ICAP_XRESOLUTION);
    ASSERT_TRUE(q.valid);
    EXPECT_EQ(q.containerKind, settings::kContainerRange);
    EXPECT_EQ(q.values, (std::vector<double>{75, 150, 225, 300, 375, 450, 525, 600}));
    EXPECT_EQ(q.defaultValue, 300);
    EXPECT_EQ(q.current, 150);

    q = scan::GenericQuery(&fake, twain::CAP_FEEDERLOADED);
    ASSERT_TRUE(q.valid);
    EXPECT_EQ(q.containerKind, settings::kContainerOneValue);
    EXPECT_EQ(q.current, 1);
    EXPECT_TRUE(fake.FeederLoaded());

    q = scan::GenericQuery(&fake, twain::ICAP_SUPPORTEDSIZES);
    ASSERT_TRUE(q.valid);
    EXPECT_EQ(q.containerKind, settings::kContainerArray);
    EXPECT_EQ(q.values, (std::vector<double>{twain::TWSS_A4, twain::TWSS_USLETTER}));

    // A capability the source does not have: CapGet false, ErrorCode gives condition 11.
    q = scan::GenericQuery(&fake, twain::ICAP_ORIENTATION);
    EXPECT_FALSE(q.valid);
    EXPECT_EQ(q.condition, 11);
}

TEST(FakeControl, SetsAreCheckedAgainstTheContainer) {
    FakeDynamictwain fake = WithScanner();
    ASSERT_TRUE(Open(fake));
    EXPECT_EQ(scan::LowLevelSet(&fake, 1, twain::ICAP_PIXELTYPE, settings::kContainerEnumeration), 0); // index 1: grey
    EXPECT_EQ(fake.PixelType(), 1);
    EXPECT_EQ(scan::LowLevelSet(&fake, 5, twain::ICAP_PIXELTYPE, settings::kContainerEnumeration), 1);
    EXPECT_EQ(fake.ErrorCode(), err::BadValue);
    EXPECT_EQ(scan::LowLevelSet(&fake, 450, twain::ICAP_XRESOLUTION, settings::kContainerRange), 0);
    EXPECT_EQ(fake.Resolution(), 450);
    EXPECT_EQ(scan::LowLevelSet(&fake, 100, twain::ICAP_XRESOLUTION, settings::kContainerRange), 1); // off the step
    EXPECT_EQ(fake.ErrorCode(), err::BadValue);
    EXPECT_EQ(scan::LowLevelSet(&fake, 1, twain::ICAP_SUPPORTEDSIZES, settings::kContainerOneValue), 1); // array
    EXPECT_EQ(fake.ErrorCode(), err::CapBadOperation);
    EXPECT_EQ(scan::LowLevelSet(&fake, 0, twain::CAP_FEEDERLOADED, settings::kContainerOneValue), 1); // read only
    EXPECT_EQ(fake.ErrorCode(), err::CapBadOperation);
}

TEST(FakeControl, StandardRunDeliversTheScriptedPagesInOrder) {
    FakeDynamictwain fake = WithScanner();
    scantest::EventRecorder rec;
    fake.SetEventListener(&rec);
    ASSERT_TRUE(Open(fake));
    fake.FeederEnabled(true);
    fake.TransferCount(-1);
    ASSERT_TRUE(fake.AcquireImage());
    EXPECT_TRUE(rec.events.empty()); // nothing from inside the call
    EXPECT_NE(fake.ScanInProgress(), 0);
    std::vector<long> pages;
    rec.onEvent = [&](TwainEvent e) {
        if (e == TwainEvent::PageTransferred) pages.push_back(fake.PageNumber());
    };
    fake.DeliverPendingEvents();
    EXPECT_EQ(rec.events, (std::vector<int>{3, 2, 1, 2, 1, 2, 1, 4}));
    EXPECT_EQ(pages, (std::vector<long>{1, 2, 3}));
    EXPECT_EQ(fake.ScanInProgress(), 0);
}

TEST(FakeControl, ScriptedFailureAndDisableDropLateEvents) {
    FakeDynamictwain fake = WithScanner();
    scantest::EventRecorder rec;
    fake.SetEventListener(&rec);
    ASSERT_TRUE(Open(fake));
    fake.SetAcquisitionScript(
        {{TwainEvent::TransferReady, std::nullopt, 0}, {TwainEvent::TransferFailed, std::nullopt, err::PaperJam}});
    ASSERT_TRUE(fake.AcquireImage());
    fake.DeliverPendingEvents();
    EXPECT_EQ(rec.events, (std::vector<int>{3, 5}));
    EXPECT_EQ(scan::ConditionFromErrorCode(fake.ErrorCode()), 18);

    rec.events.clear();
    rec.onEvent = [&](TwainEvent e) {
        if (e == TwainEvent::PageEnded) fake.DisableSource();
    };
    ASSERT_TRUE(fake.AcquireImage());
    fake.DeliverPendingEvents();
    EXPECT_EQ(rec.events, (std::vector<int>{3, 2, 1}));
    EXPECT_EQ(fake.ScanInProgress(), 0);
}

TEST(FakeControl, InjectedFailuresRaiseOrReturnFalse) {
    FakeDynamictwain fake = WithScanner();
    fake.FailOn("OpenSource", {err::DeviceNotFound, false, 1});
    ASSERT_TRUE(fake.OpenSourceManager());
    ASSERT_TRUE(fake.SelectSourceByIndex(0));
    EXPECT_FALSE(fake.OpenSource());
    EXPECT_EQ(scan::ConditionFromErrorCode(fake.ErrorCode()), 16);
    EXPECT_TRUE(fake.OpenSource()); // only once
    fake.FailOn("FeederLoaded", {err::CheckDeviceOnline, true, -1});
    try {
        fake.FeederLoaded();
        FAIL() << "no automation error";
    } catch (const AutomationError& e) {
        EXPECT_EQ(e.Code(), err::CheckDeviceOnline);
        EXPECT_EQ(fake.ErrorCode(), err::CheckDeviceOnline);
    }
    EXPECT_EQ(fake.CallCount("FeederLoaded"), 1);
    fake.SetSourceManagerPresent(false);
    EXPECT_EQ(fake.EnumerateSources().status, 2);
}

TEST(FakeControl, SaveImageToFileWritesTheCurrentPageOrRecordsTheDefaultTarget) {
    testsupport::TempFolder dir;
    FakeDynamictwain fake = WithScanner();
    scantest::EventRecorder rec;
    fake.SetEventListener(&rec);
    ASSERT_TRUE(Open(fake));
    EXPECT_TRUE(fake.SaveImageToFile(dir.path() + "~temp", twain::TWFF_BMP)); // no page yet
    fake.TransferMode(twain::TWSX_FILE);
    rec.onEvent = [&](TwainEvent e) {
        if (e == TwainEvent::PageTransferred) {
            EXPECT_TRUE(fake.SaveImageToFile(dir.path() + "p.png", twain::TWFF_PNG));
        }
    };
    ASSERT_TRUE(fake.AcquireImage());
    fake.DeliverPendingEvents();
    scantest::Decoded png = scantest::DecodeFile(dir.path() + "p.png");
    EXPECT_TRUE(png.ok) << png.error;
    EXPECT_EQ(png.width, 20);
    int status = 0;
    scantest::Run("test -s '" + dir.path() + "~temp'", &status);
    EXPECT_EQ(status, 0);
}

} // namespace
