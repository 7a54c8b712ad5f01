#include <gtest/gtest.h>

#include <algorithm>

#include "core/Texts.h"
#include "scan/TwainCap.h"
#include "scan/TwainScanner.h"
#include "settings/ProductData.h"
#include "settings/Profile.h"
#include "support/FakeDynamictwain.h"
#include "support/RecordingMessageBox.h"
#include "support/TempFolder.h"

namespace {

using scan::TwainScanner;
using scancontrol::FakeDynamictwain;
using scancontrol::FakeSource;
using testsupport::TempFolder;

using RecordingBox = testsupport::RecordingMessageBox;

class Acquisition : public ::testing::Test {
protected:
    void SetUp() override {
        FakeSource source;
        source.identity = {"Noname", "frontend-tester", "test:0"};
        source.duplexType = 0;
        source.pages.push_back(scancontrol::PageImage::Blank(40, 50, 24, 100));
        control.AddSource(source);
        core::SetMessageBox(box);
        settings::SetCurrentSource("TEST:0"); // letter case differs from the control's name
        // A fresh duplex cache for every test.
        settings::DeleteProfileKey(settings::UserProductFilePath(), "Cap", "TEST:0");
        scan::TwainCapHandler::GetInstance().SetControl(&control);
        record.SetScanMethod("Flatbed");
        record.SetScanMethodArr(
            settings::ScanMethodArr::FromText("Flatbed|left|lr|off|-ADF|upper|top|on|-Auto|left|lr|off|-"));
        record.SetColorMode("Gray");
        record.SetResolution(200);
        record.SetPaperSize("A5");
        record.SetCompressionLevel("30");
        record.SetFileName("Scan");
        record.SetSaveType("JPEG");
        record.SetSaveFolder(out.path());
    }
    void TearDown() override {
        core::SetMessageBox(nullptr);
        scan::TwainCapHandler::GetInstance().SetControl(nullptr);
    }
    bool Called(const std::string& call) const {
        const auto& calls = control.Calls();
        return std::find(calls.begin(), calls.end(), call) != calls.end();
    }

    FakeDynamictwain control;
    std::shared_ptr<RecordingBox> box = std::make_shared<RecordingBox>();
    settings::CommonSetting record{"Folder"};
    TempFolder out;
};

TEST_F(Acquisition, FlatbedRunAppliesEverySetting) {
    TwainScanner scanner(control);
    ASSERT_TRUE(scanner.Run(record));
    EXPECT_TRUE(Called("SelectSourceByIndex(0)")) << "source names match without regard to case";
    EXPECT_TRUE(Called("TransferMode=1"));
    EXPECT_TRUE(Called("DisableAfterAcquire=1"));
    EXPECT_TRUE(Called("PixelType=1"));
    EXPECT_TRUE(Called("BitDepth=8"));
    EXPECT_TRUE(Called("Resolution=200"));
    auto frame = control.LastLayout();
    EXPECT_FLOAT_EQ(frame.right, 148 / 25.4f);
    EXPECT_FLOAT_EQ(frame.bottom, 210 / 25.4f);
    EXPECT_TRUE(Called("FeederEnabled=0"));
    EXPECT_EQ(control.CallCount("AcquireImage"), 1);
    EXPECT_EQ(scanner.Extension(), ".BMP");
    EXPECT_EQ(scanner.TransferFormat(), 2);
    EXPECT_TRUE(box->texts.empty());
}

TEST_F(Acquisition, HalftoneSendsBitDepthReduction) {
    record.SetColorMode("Halftone");
    TwainScanner scanner(control);
    ASSERT_TRUE(scanner.Run(record));
    EXPECT_TRUE(Called("PixelType=0"));
    EXPECT_TRUE(Called("BitDepth=1"));
    EXPECT_TRUE(Called("Capability=" + std::to_string(0x112C)));
}

struct AutoCase {
    bool loaded;
    bool feeder;
    short count;
};
class AutoMethod : public Acquisition, public ::testing::WithParamInterface<AutoCase> {};

TEST_P(AutoMethod, FeederWhenPaperIsLoadedElseGlass) {
    control.Source("test:0").feederLoaded = GetParam().loaded;
    control.TransferCount(-1);
    record.SetScanMethod("Auto");
    TwainScanner scanner(control);
    ASSERT_TRUE(scanner.Run(record));
    EXPECT_EQ(control.FeederEnabled(), GetParam().feeder);
    EXPECT_EQ(control.TransferCount(), GetParam().count);
    EXPECT_FALSE(control.QueryMode()) << "query mode restored";
}

INSTANTIATE_TEST_SUITE_P(Paper, AutoMethod, ::testing::Values(AutoCase{true, true, -1}, AutoCase{false, false, 1}));

TEST_F(Acquisition, DuplexAdfWithoutDuplexUnitShows152AndNeverAcquires) {
    record.SetScanMethod("ADF");
    TwainScanner scanner(control);
    EXPECT_FALSE(scanner.Run(record));
    ASSERT_EQ(box->texts.size(), 1u);
    EXPECT_EQ(box->texts[0], core::LoadMessageText(152));
    EXPECT_EQ(control.CallCount("AcquireImage"), 0);
    EXPECT_FALSE(control.SourceOpen());
}

TEST_F(Acquisition, DuplexAdfWithUnitEnablesDuplexAndFlipRotation) {
    control.Source("test:0").duplexType = 2;
    record.SetScanMethod("ADF");
    TwainScanner scanner(control);
    ASSERT_TRUE(scanner.Run(record));
    EXPECT_TRUE(Called("DuplexEnabled=1"));
    EXPECT_TRUE(Called("Capability=" + std::to_string(0x1136)));
    EXPECT_TRUE(Called("CapValue=1")) << "top binding turns the back side";
    EXPECT_TRUE(Called("CapValue=3")) << "upper direction is landscape";
}

TEST_F(Acquisition, DriverDialogSendsNoSettings) {
    record.SetShowDriver(true);
    TwainScanner scanner(control);
    ASSERT_TRUE(scanner.Run(record));
    EXPECT_TRUE(Called("ShowUI=1"));
    EXPECT_TRUE(Called("DriverUIOption=1"));
    EXPECT_EQ(control.CallCount("PixelType"), 0);
    EXPECT_EQ(control.CallCount("Resolution"), 0);
    EXPECT_EQ(control.CallCount("SetImageLayout"), 0);
    EXPECT_EQ(control.CallCount("FeederEnabled"), 0);
    EXPECT_EQ(control.CallCount("AcquireImage"), 1);
}

TEST_F(Acquisition, DuplexCacheAsksTheSourceOnce) {
    {
        TwainScanner scanner(control);
        ASSERT_TRUE(scanner.Run(record));
    }
    EXPECT_EQ(settings::ReadProfileString(settings::UserProductFilePath(), "Cap", "TEST:0"), "Sim");
    control.DisableSource();
    control.ClearCalls();
    TwainScanner again(control);
    ASSERT_TRUE(again.Run(record));
    EXPECT_EQ(control.CallCount("DuplexType"), 0);
}

TEST_F(Acquisition, UnknownSourceShows109) {
    settings::SetCurrentSource("other:7");
    TwainScanner scanner(control);
    EXPECT_FALSE(scanner.Run(record));
    ASSERT_EQ(box->texts.size(), 1u);
    EXPECT_EQ(box->texts[0], core::LoadMessageText(109));
}

TEST_F(Acquisition, MissingSourceManagerShows108) {
    control.SetSourceManagerPresent(false);
    TwainScanner scanner(control);
    EXPECT_FALSE(scanner.Run(record));
    ASSERT_EQ(box->texts.size(), 2u) << "once at creation, once at the scan";
    EXPECT_EQ(box->texts[1], core::LoadMessageText(108));
}

TEST_F(Acquisition, OpenFailureForVanishedSourceClosesTheManagerSilently) {
    control.Source("test:0").openError = scancontrol::err::DeviceNotFound;
    TwainScanner scanner(control);
    EXPECT_FALSE(scanner.Run(record));
    EXPECT_TRUE(box->texts.empty());
    EXPECT_FALSE(control.SourceManagerOpen());
}

TEST_F(Acquisition, PagesGoThroughTheEncoderIntoTheSaveFolder) {
    record.SetSaveType("Multi-page TIFF");
    record.SetTifCompression("G4");
    TwainScanner scanner(control);
    ASSERT_TRUE(scanner.Run(record));
    control.TransferMode(1);
    scancontrol::ImageInfo info;
    info.imageWidth = 40;
    info.imageLength = 50;
    info.xResolution = 100;
    // The fake writes its current page: deliver the transfer-ready and first page events.
    control.SetEventListener(nullptr);
    ASSERT_TRUE(scanner.ProcessPage(true, info, core::kOriginButton, core::kDestFolder));
    EXPECT_NE(scanner.DocumentPath().find("~ImageTempFile"), std::string::npos);
    scanner.AbortDocument();
    EXPECT_EQ(scanner.DocumentPath(), "");
}

TEST_F(Acquisition, NoFileTransferModeShows110) {
    TwainScanner scanner(control);
    ASSERT_TRUE(scanner.Run(record));
    control.TransferMode(0);
    EXPECT_FALSE(scanner.ProcessPage(true, scancontrol::ImageInfo{}, core::kOriginButton, core::kDestFolder));
    ASSERT_EQ(box->texts.size(), 1u);
    EXPECT_EQ(box->texts[0], core::LoadMessageText(core::MessageNumber::NoFileTransfer));
}

TEST(AcquisitionValues, OutputFolderForPushes) {
    settings::CommonSetting folder("Folder");
    folder.SetSaveFolder("/home/u/Scans/");
    EXPECT_EQ(TwainScanner::OutputFolder(folder, core::kOriginButton, core::kDestFolder), "/home/u/Scans/");
    std::string pushed = TwainScanner::OutputFolder(folder, core::kOriginNetworkPush, core::kDestFolder);
    EXPECT_EQ(pushed.substr(pushed.size() - 15), "/Quorin/Folder/");
    EXPECT_EQ(TwainScanner::OutputFolder(folder, core::kOriginLocalPush, core::kDestApplication2), "/home/u/Scans/");
}

using Colour = core::ColourKind;
struct KindCase {
    const char* type;
    const char* pdf;
    const char* tif;
    core::ColourKind colour;
    int kind;
};
class CompressionKinds : public ::testing::TestWithParam<KindCase> {};

TEST_P(CompressionKinds, FromTheRecordsCompressionTexts) {
    const auto& c = GetParam();
    settings::CommonSetting r("Folder");
    r.SetSaveType(c.type);
    r.SetPDFCompression(c.pdf);
    r.SetTifCompression(c.tif);
    EXPECT_EQ(TwainScanner::CompressionKind(r, c.colour), c.kind);
}

INSTANTIATE_TEST_SUITE_P(Table, CompressionKinds,
                         ::testing::Values(KindCase{"PDF", "Middle|G4", "Raw", Colour::Colour, 1},
                                           KindCase{"Multi-page PDF", "Low|G3", "Raw", Colour::Grey, 2},
                                           KindCase{"PDF", "Low|G3", "Raw", Colour::BlackWhite, 1},
                                           KindCase{"PDF", "high|g4", "Raw", Colour::BlackWhite, 2},
                                           KindCase{"PDF", "High", "G4", Colour::BlackWhite, 0},
                                           KindCase{"TIFF", "Low|G3", "g4", Colour::BlackWhite, 2},
                                           KindCase{"Multi-page TIFF", "", "Raw", Colour::Colour, 0},
                                           KindCase{"TIFF", "", "Middle", Colour::Grey, 1},
                                           KindCase{"JPEG", "Low|G4", "G4", Colour::Colour, 0}));

TEST(AcquisitionValues, ColourKindFromText) {
    EXPECT_EQ(TwainScanner::ColourKindFromText("Color"), Colour::Colour);
    EXPECT_EQ(TwainScanner::ColourKindFromText("gray"), Colour::Grey);
    EXPECT_EQ(TwainScanner::ColourKindFromText("BW"), Colour::BlackWhite);
    EXPECT_EQ(TwainScanner::ColourKindFromText("HalfTone"), Colour::BlackWhite);
    EXPECT_EQ(TwainScanner::ColourKindFromText("sepia"), Colour::Colour);
}

} // namespace
