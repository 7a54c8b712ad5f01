#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "core/Texts.h"
#include "output/TextRecognizer.h"
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

namespace {

// A page with something on it in every pixel form the control delivers.
scancontrol::PageImage PatternPage(short bits, int seed) {
    scancontrol::PageImage page = scancontrol::PageImage::Blank(173, 211, bits, 150);
    for (long y = 0; y < page.height; ++y)
        for (long x = 0; x < page.stride; ++x)
            page.Row(y)[x] = static_cast<uint8_t>((x * 7 + y * 13 + seed * 31) ^ (y >> 2));
    return page;
}

// Plays the dispatch's part for one feeder run: pages into the scanner's documents.
class PageDriver : public scancontrol::IDynamictwainEvents {
public:
    PageDriver(TwainScanner& scanner, bool multiPage) : scanner_(scanner), multiPage_(multiPage) {}
    void OnTwainEvent(scancontrol::TwainEvent event) override {
        using scancontrol::TwainEvent;
        if (event == TwainEvent::PageTransferred) {
            ok = ok && scanner_.ProcessPage(!multiPage_ || first_, scancontrol::ImageInfo{}, core::kOriginButton,
                                            core::kDestFolder);
            first_ = false;
        } else if (event == TwainEvent::PageEnded) {
            ok = ok && scanner_.AddPage() == 0;
            scanner_.ReleasePage();
            if (!multiPage_) Finish();
        } else if (event == TwainEvent::AcquisitionEnded && multiPage_ && finishAtEnd) {
            Finish();
        }
    }
    bool ok = true;
    bool finishAtEnd = true;
    std::vector<std::string> files;

private:
    void Finish() {
        scanner_.FinishDocument();
        files.push_back(scanner_.DocumentPath());
    }
    TwainScanner& scanner_;
    bool multiPage_;
    bool first_ = true;
};

struct HandOverCase {
    const char* name;
    const char* saveType;
    const char* colourMode;
    bool multiPage;
};

class HandOver : public Acquisition, public ::testing::WithParamInterface<HandOverCase> {
protected:
    // The files of a three-page feeder run, read back; `inMemory`: the control hands its
    // pages over instead of writing them.
    std::vector<std::string> Scan(bool inMemory, const std::string& folder) {
        const HandOverCase& c = GetParam();
        FakeDynamictwain feeder;
        FakeSource source;
        source.identity = {"Noname", "frontend-tester", "test:0"};
        source.feederLoaded = true;
        const short bits = std::string(c.colourMode) == "BW" ? 1 : std::string(c.colourMode) == "Gray" ? 8 : 24;
        for (int i = 0; i < 3; ++i) source.pages.push_back(PatternPage(bits, i));
        feeder.AddSource(source);
        feeder.SetHandsOverPages(inMemory);
        scan::TwainCapHandler::GetInstance().SetControl(&feeder);
        settings::CommonSetting r = record;
        r.SetScanMethod("ADF");
        r.SetScanMethodArr(settings::ScanMethodArr::FromText("Flatbed|left|lr|off|-ADF|left|lr|off|-"));
        r.SetSaveType(c.saveType);
        r.SetColorMode(c.colourMode);
        r.SetTifCompression("G4");
        r.SetPDFCompression("Middle|G4");
        r.SetSaveFolder(folder);
        TwainScanner scanner(feeder);
        PageDriver driver(scanner, c.multiPage);
        feeder.SetEventListener(&driver);
        EXPECT_TRUE(scanner.Run(r));
        feeder.DeliverPendingEvents();
        feeder.SetEventListener(nullptr);
        scan::TwainCapHandler::GetInstance().SetControl(&control);
        EXPECT_TRUE(driver.ok);
        // Which way the pages went: a page file written by the control, or none.
        const auto& calls = feeder.Calls();
        pageFiles = std::count_if(calls.begin(), calls.end(), [](const std::string& call) {
            return call.rfind("SaveImageToFile(", 0) == 0 && call.find("~ImageTempFile") != std::string::npos;
        });
        std::vector<std::string> contents;
        for (const std::string& file : driver.files) {
            std::ifstream in(file, std::ios::binary);
            std::ostringstream bytes;
            bytes << in.rdbuf();
            contents.push_back(bytes.str());
        }
        return contents;
    }
    long pageFiles = 0;
    TempFolder viaFile, viaMemory;
};

TEST_P(HandOver, FileIsByteIdenticalToTheOneWrittenThroughThePageFile) {
    const std::vector<std::string> throughFile = Scan(false, viaFile.path());
    const long filesWritten = pageFiles;
    const std::vector<std::string> inMemory = Scan(true, viaMemory.path());
    ASSERT_EQ(throughFile.size(), GetParam().multiPage ? 1u : 3u);
    ASSERT_EQ(inMemory.size(), throughFile.size());
    for (size_t i = 0; i < inMemory.size(); ++i) {
        EXPECT_GT(throughFile[i].size(), 100u) << i;
        EXPECT_TRUE(inMemory[i] == throughFile[i]) << "file " << i << " differs";
    }
    const bool encoded = std::string(GetParam().saveType) != "BMP";
    EXPECT_EQ(filesWritten, encoded ? 3 : 0);
    EXPECT_EQ(pageFiles, 0) << "the encoder took the pages from memory";
}

INSTANTIATE_TEST_SUITE_P(Types, HandOver,
                         ::testing::Values(HandOverCase{"jpeg", "JPEG", "Color", false},
                                           HandOverCase{"jpegGrey", "JPEG", "Gray", false},
                                           HandOverCase{"tiff", "TIFF", "Color", false},
                                           HandOverCase{"multiTiffBw", "Multi-page TIFF", "BW", true},
                                           HandOverCase{"multiTiffGrey", "Multi-page TIFF", "Gray", true},
                                           HandOverCase{"pdf", "PDF", "Color", false},
                                           HandOverCase{"multiPdf", "Multi-page PDF", "Color", true},
                                           HandOverCase{"multiPdfBw", "Multi-page PDF", "BW", true},
                                           HandOverCase{"bmp", "BMP", "Color", false}),
                         [](const ::testing::TestParamInfo<HandOverCase>& p) { return std::string(p.param.name); });

// Cancel while the pages of a searchable PDF are still being recognised (the finish
// runs away from the window's thread, as the dispatch runs it): nothing is kept, neither
// the document nor any working file.
TEST_F(Acquisition, CancelDuringRecognitionLeavesNothing) {
    if (!output::OcrLanguagesInstalled("eng")) GTEST_SKIP() << "no English recognition data installed";
    FakeDynamictwain feeder;
    FakeSource source;
    source.identity = {"Noname", "frontend-tester", "test:0"};
    source.feederLoaded = true;
    for (int i = 0; i < 3; ++i) {
        scancontrol::PageImage page = scancontrol::PageImage::Blank(2480, 3508, 8, 300); // A4 at 300 dpi
        for (long y = 100; y < page.height - 100; y += 60)
            for (long x = 100; x < page.width - 100; ++x)
                if ((x / 17 + y / 60 + i) % 3) page.Row(y)[x] = 0;
        source.pages.push_back(page);
    }
    feeder.AddSource(source);
    feeder.SetHandsOverPages(true);
    scan::TwainCapHandler::GetInstance().SetControl(&feeder);
    settings::CommonSetting r = record;
    r.SetScanMethod("ADF");
    r.SetScanMethodArr(settings::ScanMethodArr::FromText("Flatbed|left|lr|off|-ADF|left|lr|off|-"));
    r.SetSaveType("Multi-page PDF");
    r.SetColorMode("Gray");
    r.SetSearchablePdf(true);
    r.SetOcrLanguages("eng");
    const std::string working = settings::WorkingImageFolder();
    const auto before = testsupport::SortedNames(working);
    TwainScanner scanner(feeder);
    PageDriver driver(scanner, true);
    driver.finishAtEnd = false;
    feeder.SetEventListener(&driver);
    ASSERT_TRUE(scanner.Run(r));
    feeder.DeliverPendingEvents();
    feeder.SetEventListener(nullptr);
    ASSERT_TRUE(driver.ok);
    ASSERT_EQ(scanner.Recognition().pages, 3);
    ASSERT_TRUE(scanner.Recognition().Pending()) << "three A4 pages are not recognised in an instant";
    std::thread finishing([&] { scanner.FinishDocument(); });
    EXPECT_TRUE(scanner.CancelRecognition());
    finishing.join();
    scan::TwainCapHandler::GetInstance().SetControl(&control);
    EXPECT_EQ(scanner.DocumentPath(), "");
    EXPECT_EQ(scanner.TakeFailureMessage(), "") << "a cancel is not a failure to tell";
    EXPECT_TRUE(testsupport::SortedNames(out.path()).empty()) << "no document, no working file";
    EXPECT_EQ(testsupport::SortedNames(working), before) << "no page left in the working folder";
}

} // namespace
