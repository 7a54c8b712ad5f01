// Scanner knowledge, paper and model mapping and capability negotiation, driven against
// the scripted scanning control, and the whole settings model end to end.
#include <gtest/gtest.h>

#include "core/Texts.h"
#include "output/ImageKinds.h"
#include "scan/DriverIdentifer.h"
#include "scan/MappingHandler.h"
#include "scan/PaperSizeMapping.h"
#include "scan/ScannerServices.h"
#include "scan/TwainCap.h"
#include "settings/Persistence.h"
#include "settings/Profile.h"
#include "settings/Records.h"
#include "settings/SettingsFixture.h"
#include "support/FakeDynamictwain.h"
#include "support/RecordingMessageBox.h"

namespace {

using namespace scancontrol;
using settings::ChoiceList;

FakeSource Source(const std::string& maker, const std::string& family, const std::string& name) {
    FakeSource s;
    s.identity = {maker, family, name};
    return s;
}

std::vector<std::string> Keys(const ChoiceList& list) {
    std::vector<std::string> keys;
    for (const auto& c : list) keys.push_back(c.first);
    return keys;
}

class ScanModel : public testsupport::SettingsFixture {
protected:
    void SetUp() override {
        SettingsFixture::SetUp();
        scan::InstallScannerServices();
        control = std::make_shared<FakeDynamictwain>();
        Reload();
        scan::DriverIdentifer::GetInstance().SetSourceManager(control);
        scan::TwainCapHandler::GetInstance().Reset();
        scan::TwainCapHandler::GetInstance().SetControl(control.get());
        core::SetMessageBox(box);
    }
    void TearDown() override {
        core::SetMessageBox(nullptr);
        scan::TwainCapHandler::GetInstance().SetControl(nullptr);
        scan::TwainCapHandler::GetInstance().Reset();
        scan::DriverIdentifer::GetInstance().SetSourceManager(nullptr);
        SettingsFixture::TearDown();
        Reload();
    }
    static void Reload() {
        scan::DriverIdentifer::GetInstance().Reload();
        scan::PaperSizeMapping::GetInstance().Reload();
        scan::MappingFileHandler::GetInstance().Reload();
    }
    void Product(const char* key, const std::string& value) {
        settings::WriteProfileString(program / "Prdct.dat", "Common", key, value);
        Reload();
    }
    // A source like the SANE test devices, with the capabilities a scan negotiates.
    FakeSource TestDevice(const std::string& name) {
        FakeSource s = Source("Noname", "frontend-tester", name);
        s.capabilities[twain::ICAP_XRESOLUTION] = {CapRange{50, 1200, 50, 150, 150}};
        s.capabilities[twain::ICAP_YRESOLUTION] = {CapRange{50, 1200, 50, 150, 150}};
        s.capabilities[twain::ICAP_PIXELTYPE] = {CapEnumeration{{0, 1, 2}, 2, 2}};
        s.capabilities[twain::ICAP_BITDEPTHREDUCTION] = {CapEnumeration{{0, 1}, 0, 0}};
        s.capabilities[twain::ICAP_SUPPORTEDSIZES] = {CapEnumeration{{1, 201, 3, 4, 206, 11, 99}, 0, 0}};
        s.capabilities[twain::ICAP_IMAGEFILEFORMAT] = {CapEnumeration{{2, 7, 100}, 0, 0}};
        s.capabilities[twain::ICAP_ORIENTATION] = {CapEnumeration{{0, 3}, 0, 0}};
        s.capabilities[twain::ICAP_FLIPROTATION] = {CapEnumeration{{0, 1}, 0, 0}};
        s.capabilities[twain::CAP_FEEDERENABLED] = {CapEnumeration{{0, 1}, 0, 0}};
        s.capabilities[twain::CAP_FEEDERLOADED] = {CapOneValue{1}, twain::TWTY_BOOL, false};
        s.capabilities[twain::CAP_XFERCOUNT] = {CapOneValue{1}};
        s.capabilities[twain::CAP_CUSTOM_SCANMODE] = {CapEnumeration{{0, 1, 2}, 1, 1}};
        s.duplexType = twain::TWDX_NONE;
        return s;
    }
    void OpenSource(const std::string& name) {
        ASSERT_TRUE(control->OpenSourceManager());
        for (short i = 0; i < control->SourceCount(); ++i)
            if (control->SourceNameAt(i) == name) {
                ASSERT_TRUE(control->SelectSourceByIndex(i));
            }
        ASSERT_TRUE(control->OpenSource());
    }

    std::shared_ptr<FakeDynamictwain> control;
    std::shared_ptr<testsupport::RecordingMessageBox> box = std::make_shared<testsupport::RecordingMessageBox>();
};

// ---- scanner knowledge ---------------------------------------------------------------

TEST_F(ScanModel, KnownSourcesFollowMakerFamilyAndLists) {
    Product("NetworkSeries1", "net-family");
    control->AddSource(Source("Other", "frontend-tester", "test:0"));  // other maker, listed name
    control->AddSource(Source("Noname", "frontend-tester", "test:1")); // USB of the Vorn list
    control->AddSource(Source("Noname", "frontend-tester", "test:9")); // family known, name not
    control->AddSource(Source("Noname", "net-family", "net:1"));       // network model
    std::vector<std::string> names;
    auto& id = scan::DriverIdentifer::GetInstance();
    EXPECT_EQ(id.KnownSources(names), scan::kSourcesListed);
    EXPECT_EQ(names, (std::vector<std::string>{"test:1", "net:1"}));
    scan::DriverEntry net = id.Identify("net:1");
    EXPECT_EQ(net.driverKind, 1);
    EXPECT_EQ(net.connectionKind, 1);
    EXPECT_EQ(net.modelFamily, 2);
    EXPECT_TRUE(net.flag);
    scan::DriverEntry unknown = id.Identify("nothing");
    EXPECT_EQ(unknown.driverKind, 2);
    EXPECT_EQ(unknown.name, "nothing");
    EXPECT_EQ(scan::CheckSource("TEST:1"), core::kSourceUsable);
    EXPECT_EQ(scan::CheckSource("test:0"), core::kSourceNotKnown);
    control->SetSourceManagerPresent(false);
    EXPECT_EQ(scan::CheckSource("test:1"), core::kNoSourceManager);
}

// One model of the maker listed under product data that names its family (or not).
struct AcceptCase {
    const char* families; // Prdct.dat ProductFamily
    const char* network;  // Prdct.dat NetworkSeries1
    const char* name;     // the model's ProductName (its family is "frontend-tester")
    bool accepted;
    int driverKind, connectionKind, modelFamily; // Identify(name) afterwards
};
void PrintTo(const AcceptCase& c, std::ostream* os) {
    *os << c.name << "_families_" << c.families << "_network_" << (*c.network ? c.network : "none");
}
class ModelAcceptance : public ScanModel, public ::testing::WithParamInterface<AcceptCase> {};

TEST_P(ModelAcceptance, OnlyKnownFamiliesAreServedAndListedEntriesStay) {
    const AcceptCase& c = GetParam();
    Product("ProductFamily", c.families);
    Product("NetworkSeries1", c.network);
    control->AddSource(Source("Noname", "frontend-tester", c.name));
    auto& id = scan::DriverIdentifer::GetInstance();
    const bool listedBefore = id.Knows(c.name);
    std::vector<std::string> names;
    ASSERT_EQ(id.KnownSources(names), scan::kSourcesListed);
    EXPECT_EQ(names.size(), c.accepted ? 1u : 0u);
    EXPECT_EQ(scan::CheckSource(c.name), c.accepted ? core::kSourceUsable : core::kNoKnownSource);
    EXPECT_EQ(id.Knows(c.name), c.accepted || listedBefore);
    const scan::DriverEntry entry = id.Identify(c.name);
    EXPECT_EQ(entry.driverKind, c.driverKind);
    EXPECT_EQ(entry.connectionKind, c.connectionKind);
    EXPECT_EQ(entry.modelFamily, c.modelFamily);
    EXPECT_EQ(entry.name, c.name);
}

INSTANTIATE_TEST_SUITE_P(Table, ModelAcceptance,
                         ::testing::Values(
                             // A family the product data does not name: refused, its USB entry untouched.
                             AcceptCase{"other-family", "", "test:0", false, 0, 0, 0},
                             AcceptCase{"other-family", "", "test:9", false, 2, 2, 3},
                             // A USB family: the name must be in a USB list.
                             AcceptCase{"frontend-tester", "", "test:1", true, 1, 0, 1},
                             AcceptCase{"frontend-tester", "", "test:9", false, 2, 2, 3},
                             // A network family: the model joins the map with the network entry ...
                             AcceptCase{"other-family", "frontend-tester", "test:9", true, 1, 1, 2},
                             // ... unless the map holds that name already: a listed entry is never replaced.
                             AcceptCase{"other-family", "frontend-tester", "test:0", true, 0, 0, 0}));

// Product data that names any maker or any model ("*"), and the entries models get.
struct AnyCase {
    const char* maker;    // Prdct.dat Manufacturer
    const char* families; // Prdct.dat ProductFamily
    scancontrol::SourceEntry source;
    bool accepted;
    int driverKind, connectionKind, modelFamily; // Identify(name) afterwards
    bool flag;
};
void PrintTo(const AnyCase& c, std::ostream* os) {
    *os << c.source.productName << "_of_" << c.source.manufacturer << "_maker_" << c.maker << "_families_"
        << c.families;
}
class AnyModel : public ScanModel, public ::testing::WithParamInterface<AnyCase> {};

TEST_P(AnyModel, NamedModelsKeepTheirEntriesAndOthersGetTheGenericOne) {
    const AnyCase& c = GetParam();
    Product("Manufacturer", c.maker);
    Product("ProductFamily", c.families);
    Product("NetworkSeries1", "net-family");
    control->AddSource(Source(c.source.manufacturer, c.source.productFamily, c.source.productName));
    std::vector<std::string> names;
    std::vector<scancontrol::SourceEntry> offered;
    auto& id = scan::DriverIdentifer::GetInstance();
    ASSERT_EQ(id.KnownSources(names, nullptr, &offered), scan::kSourcesListed);
    EXPECT_EQ(names.size(), c.accepted ? 1u : 0u);
    ASSERT_EQ(offered.size(), names.size());
    if (!offered.empty()) {
        EXPECT_EQ(offered[0].manufacturer, c.source.manufacturer);
        EXPECT_EQ(offered[0].productFamily, c.source.productFamily);
    }
    EXPECT_EQ(scan::CheckSource(c.source.productName), c.accepted ? core::kSourceUsable : core::kNoKnownSource);
    const scan::DriverEntry entry = id.Identify(c.source.productName);
    EXPECT_EQ(entry.driverKind, c.driverKind);
    EXPECT_EQ(entry.connectionKind, c.connectionKind);
    EXPECT_EQ(entry.modelFamily, c.modelFamily);
    EXPECT_EQ(entry.flag, c.flag);
    EXPECT_EQ(entry.generic, c.accepted && c.modelFamily == 3); // every model the lists do not name
}

INSTANTIATE_TEST_SUITE_P(
    Table, AnyModel,
    ::testing::Values(
        // Any maker, any model: every source is served; one the lists name keeps its entry.
        AnyCase{"*", "*", {"Other", "PNM file reader", "pnm:0"}, true, 1, 0, 3, false},
        AnyCase{"*", "*", {"Other", "PNM file reader", "net:host:pnm:0"}, true, 1, 1, 3, false},
        AnyCase{"*", "*", {"Acme", "Office 9", "airscan:e0:Acme Office 9"}, true, 1, 1, 3, false},
        AnyCase{"*", "*", {"Acme", "Office 9", "escl:https://192.0.2.4:443"}, true, 1, 1, 3, false},
        AnyCase{"*", "*", {"Acme", "Office 9", "epson2:net:192.0.2.4"}, true, 1, 1, 3, false},
        AnyCase{"*", "*", {"Acme", "Office 9", "acme:libusb:001:004"}, true, 1, 0, 3, false},
        AnyCase{" * ", " *, ", {"Noname", "frontend-tester", "test:0"}, true, 0, 0, 0, true},
        AnyCase{"*", "*", {"Other", "anything", "test:1"}, true, 1, 0, 1, false},
        AnyCase{"*", "*", {"Noname", "net-family", "net:1"}, true, 1, 1, 2, true},
        // A named maker: its models only, every one of them with "*" for the families.
        AnyCase{"Noname", "*", {"Other", "PNM file reader", "pnm:0"}, false, 2, 2, 3, false},
        AnyCase{"Noname", "*", {"Noname", "PNM file reader", "pnm:0"}, true, 1, 0, 3, false},
        // Named families keep today's rules for any maker: a listed family needs a USB
        // model's name, an unlisted one a network family.
        AnyCase{"*", "frontend-tester", {"Other", "frontend-tester", "test:9"}, false, 2, 2, 3, false},
        AnyCase{"*", "frontend-tester", {"Other", "PNM file reader", "pnm:0"}, false, 2, 2, 3, false},
        AnyCase{"Noname", "frontend-tester", {"Noname", "PNM file reader", "pnm:0"}, false, 2, 2, 3, false},
        // Missing product data serves nothing.
        AnyCase{"", "", {"Noname", "PNM file reader", "pnm:0"}, false, 2, 2, 3, false}));

// The source manager's listing kept between checks, over the scripted control.
TEST_F(ScanModel, ChecksShareOneListingAndListAgainOnlyWhenTheyFail) {
    auto kept = std::make_shared<KeptSourceListing>(control);
    scan::DriverIdentifer::GetInstance().SetSourceManager(kept);
    auto listings = [this] { return control->CallCount("EnumerateSources"); };
    // A check that fails on a listing made for it does not list again.
    EXPECT_EQ(scan::CheckSource("test:1"), core::kNoKnownSource);
    EXPECT_EQ(listings(), 1);
    // The scanner is connected: the kept listing fails the check, a fresh one passes.
    control->AddSource(TestDevice("test:1"));
    EXPECT_EQ(scan::CheckSource("test:1"), 0);
    EXPECT_EQ(listings(), 2);
    // Passing checks and the capability fill use the kept listing.
    settings::SetCurrentSource("test:1");
    auto& handler = scan::TwainCapHandler::GetInstance();
    EXPECT_EQ(scan::CheckSource("test:1"), 0);
    EXPECT_EQ(handler.Refresh(), 0);
    EXPECT_EQ(handler.Refresh(), 0);
    EXPECT_EQ(listings(), 2);
    // A source that cannot be opened makes the next check list again.
    control->FailOn("OpenSource", FakeFailure{});
    EXPECT_EQ(handler.Refresh(), 4);
    control->ClearFailures();
    EXPECT_EQ(handler.Refresh(), 0);
    EXPECT_EQ(listings(), 3);
    EXPECT_TRUE(box->texts.empty());
}

TEST_F(ScanModel, ImageKindsFollowTheCurrentModelFamily) {
    settings::SetCurrentSource("test:1"); // Vorn family: its own format codes
    EXPECT_EQ(output::ImageKindForSource("PCX").GetTransferFormat(), 100);
    settings::SetCurrentSource("test:0"); // Kest family: the plain kinds
    EXPECT_EQ(output::ImageKindForSource("PCX").GetTransferFormat(), 2);
    output::SetSourceFamily(nullptr);
}

TEST_F(ScanModel, CheckSourceWithoutKnownSources) {
    control->AddSource(Source("Other", "x", "y"));
    EXPECT_EQ(scan::CheckSource("test:0"), 2);
    EXPECT_EQ(scan::ProductList(" a, b ,,c"), (std::vector<std::string>{"a", "b", "c"}));
}

// ---- paper mapping -------------------------------------------------------------------

TEST_F(ScanModel, PaperOrderFollowsTheFamily) {
    auto& papers = scan::PaperSizeMapping::GetInstance();
    settings::SetCurrentSource("test:1");
    EXPECT_EQ(papers.GetSequence().front(), "Auto"); // Vorn order
    settings::SetCurrentSource("test:0");
    EXPECT_EQ(papers.GetSequence().front(), "A4"); // Kest order
    settings::SetCurrentSource("elsewhere");
    EXPECT_EQ(papers.GetSequence().size(), 17u); // common order
}

struct PaperCase {
    std::vector<std::string> offered;
    std::vector<std::pair<std::string, std::string>> expected;
};
class PaperChoices : public ScanModel, public ::testing::WithParamInterface<PaperCase> {};

TEST_P(PaperChoices, ShortEdgeFormsAndFailures) {
    settings::SetCurrentSource("test:1");
    ChoiceList result = {{"stale", "stale"}};
    bool ok = scan::PaperSizeMapping::GetInstance().SourcePaperChoices(GetParam().offered, result);
    EXPECT_EQ(ok, !GetParam().expected.empty());
    EXPECT_EQ(result, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, PaperChoices,
    ::testing::Values(PaperCase{{"A4"}, {{"A4", "A4 (210 x 297 mm)"}}},
                      PaperCase{{"A4LEF", "A4"}, {{"A4LEF", "A4 LEF (297 x 210 mm)"}, {"A4", "A4 SEF (210 x 297 mm)"}}},
                      PaperCase{{"Legal", "Legal130"},
                                {{"Legal", "Legal 14 (8.5 x 14 in)"}, {"Legal130", "Legal 13 (8.5 x 13 in)"}}},
                      PaperCase{{"HalfLetterSEF", "HalfLetterLEF"},
                                {{"HalfLetterSEF", "Half Letter SEF (5.5 x 8.5 in)"},
                                 {"HalfLetterLEF", "Half Letter LEF (8.5 x 5.5 in)"}}},
                      PaperCase{{"B5LEF", "Postcard"}, {}})); // nothing of the family's order

TEST_F(ScanModel, SequenceNamingAnUndefinedPaperEmptiesTheList) {
    settings::WriteProfileString(program / "Id.dat", "PaperSize_Sequence", "SequenceForVorn", "A4,Imaginary");
    Reload();
    settings::SetCurrentSource("test:1");
    ChoiceList result;
    EXPECT_TRUE(scan::PaperSizeMapping::GetInstance().SourcePaperChoices({"A4"}, result));
    EXPECT_FALSE(scan::PaperSizeMapping::GetInstance().SourcePaperChoices({"A4", "Imaginary"}, result));
    EXPECT_TRUE(result.empty());
}

// ---- model lists ---------------------------------------------------------------------

TEST_F(ScanModel, FileListsDropAnUnendedItemNarrowingKeepsIt) {
    settings::WriteProfileString(program / "Id.dat", "Basic", "ColorMode", "Color,Gray");
    Reload();
    EXPECT_EQ(Keys(scan::FileList("ColorMode")), (std::vector<std::string>{"Color"}));
    ChoiceList offered = {{"BW", "b"}, {"Gray", "g"}, {"Color", "c"}};
    scan::MappingFileHandler::GetInstance().Narrow(offered, "ColorMode");
    EXPECT_EQ(offered, (ChoiceList{{"Color", "c"}, {"Gray", "g"}}));
    EXPECT_EQ(scan::FileList("ScanMethod")[1], (settings::Choice{"ADF", "Automatic Document Feeder"}));
    scan::MappingHandler files;
    ChoiceList sources;
    files.GetSupportedSources(sources);
    EXPECT_EQ(Keys(sources), (std::vector<std::string>{"test:0", "test:1"}));
}

TEST_F(ScanModel, WithoutBasicSectionEverythingOfferedStays) {
    program.Write("Id.dat", "[PaperSize_Sequence]\nCommonSequence=A4\n");
    Reload();
    ChoiceList offered = {{"BW", "b"}, {"Sepia", "s"}};
    scan::MappingFileHandler::GetInstance().Narrow(offered, "ColorMode");
    EXPECT_EQ(offered.size(), 2u);
}

// ---- capability negotiation on the scripted control ----------------------------------

TEST_F(ScanModel, HandlerFillsFromTheSourceAndTheModelNarrows) {
    control->AddSource(TestDevice("test:0"));
    control->AddSource(TestDevice("test:1"));
    settings::SetCurrentSource("test:1");
    auto& handler = scan::TwainCapHandler::GetInstance();
    settings::CapabilityInformation res = handler.QueryInfo(settings::kKindResolution);
    ASSERT_TRUE(res.valid) << res.condition;
    EXPECT_EQ(res.values.size(), 24u); // 50, 100, ... 1200
    EXPECT_EQ(res.minimumValue, "50");
    EXPECT_EQ(res.defaultValue, "150");
    EXPECT_EQ(handler.FilledFor(), "test:1");
    EXPECT_FALSE(control->SourceOpen());
    EXPECT_FALSE(control->SourceManagerOpen());
    EXPECT_FALSE(control->QueryMode()); // restored

    // Black-and-white plus a halftone reduction offers the pseudo colour value.
    EXPECT_EQ(Keys(handler.QueryInfo(settings::kKindColorMode).values),
              (std::vector<std::string>{"BW", "Gray", "Color", "Halftone"}));
    EXPECT_EQ(handler.QueryInfo(settings::kKindCompression).condition, 9); // never cached
    EXPECT_EQ(handler.QueryInfo(settings::kKindCustomCompression).condition, 9);
    EXPECT_FALSE(handler.QueryInfo(settings::kKindNone).valid);

    scan::MappingHandlerTwain twain;
    ChoiceList list;
    twain.GetResolutions(list);
    EXPECT_EQ(Keys(list), (std::vector<std::string>{"100", "150", "200", "300", "600"})); // no 1200, no 50
    twain.GetColorModes(list);
    EXPECT_EQ(Keys(list), (std::vector<std::string>{"Color", "Gray", "BW"}));
    twain.GetSaveTypes(list);
    EXPECT_EQ(Keys(list),
              (std::vector<std::string>{"JPEG", "PDF", "Multi-page PDF", "TIFF", "Multi-page TIFF", "BMP", "PNG"}));
    twain.GetPaperSizes("Adf", list);
    // The source's order; the unnamed code 99 is left out.
    EXPECT_EQ(Keys(list), (std::vector<std::string>{"A4", "A4LEF", "Letter", "Legal", "Legal130", "A3"}));
    twain.GetPaperSizes("flatbed", list);
    EXPECT_EQ(Keys(list), (std::vector<std::string>{"A4", "A4LEF", "Letter", "A3"}));
    twain.GetBindings(list);
    EXPECT_EQ(Keys(list), (std::vector<std::string>{"lr", "top"}));

    // Another scanner: the next question refills the whole map once.
    int opens = control->CallCount("OpenSource");
    settings::SetCurrentSource("test:0");
    handler.QueryInfo(settings::kKindResolution);
    handler.QueryInfo(settings::kKindColorMode);
    EXPECT_EQ(control->CallCount("OpenSource"), opens + 1);
    EXPECT_EQ(handler.FilledFor(), "test:0");
}

TEST_F(ScanModel, FillReportsMissingManagerUnknownAndAbsentSources) {
    auto& handler = scan::TwainCapHandler::GetInstance();
    settings::SetCurrentSource("test:1");
    control->SetSourceManagerPresent(false);
    EXPECT_EQ(handler.Refresh(), core::kNoSourceManager);
    control->SetSourceManagerPresent(true);
    EXPECT_EQ(handler.Refresh(), core::kNoKnownSource);
    control->AddSource(TestDevice("test:0"));
    EXPECT_EQ(handler.Refresh(), core::kSourceNotKnown);
    using core::MessageNumber;
    EXPECT_EQ(box->texts, (std::vector<std::string>{core::LoadMessageText(MessageNumber::NoSourceManager),
                                                    core::LoadMessageText(MessageNumber::NoDevice),
                                                    core::LoadMessageText(MessageNumber::NoSource)}));
    EXPECT_FALSE(box->texts.front().empty());
    handler.SetControl(nullptr);
    EXPECT_EQ(handler.Refresh(), 1);
}

TEST_F(ScanModel, ApplyingValues) {
    control->AddSource(TestDevice("test:1"));
    settings::SetCurrentSource("test:1");
    auto& handler = scan::TwainCapHandler::GetInstance();
    ASSERT_EQ(handler.Refresh(), 0);
    OpenSource("test:1");
    // Halftone: black-and-white plus the halftone reduction.
    EXPECT_EQ(handler.SetText(settings::kKindColorMode, "halftone"), 0);
    EXPECT_EQ(
        std::get<CapEnumeration>(control->Source("test:1").capabilities[twain::ICAP_PIXELTYPE].container).currentIndex,
        0);
    EXPECT_EQ(CurrentValue(control->Source("test:1").capabilities[twain::ICAP_BITDEPTHREDUCTION].container), 1);
    // A paper size not among the enumeration's items changes nothing.
    EXPECT_EQ(handler.Set(settings::kKindPaperSize, 13.0), 11);
    EXPECT_EQ(handler.Set(settings::kKindPaperSize, 201.0), 0);
    EXPECT_EQ(CurrentValue(control->Source("test:1").capabilities[twain::ICAP_SUPPORTEDSIZES].container), 201);
    EXPECT_EQ(handler.Set(settings::kKindResolution, 300.0), 0);
    EXPECT_EQ(CurrentValue(control->Source("test:1").capabilities[twain::ICAP_YRESOLUTION].container), 300);
    EXPECT_EQ(handler.SetText(settings::kKindColorMode, "Sepia"), 1);
    EXPECT_EQ(handler.Set(settings::kKindCompression, 1.0), 9);
    EXPECT_EQ(handler.Set(settings::kKindNone, 1.0), 1);
    EXPECT_EQ(handler.Set(settings::kKindResolution, nullptr), 1);
    // Automatic scan mode with paper in the feeder: feeder on, all pages.
    EXPECT_EQ(handler.Set(settings::kKindScanMode, 0.0), 0);
    EXPECT_EQ(CurrentValue(control->Source("test:1").capabilities[twain::CAP_FEEDERENABLED].container), 1);
    EXPECT_EQ(CurrentValue(control->Source("test:1").capabilities[twain::CAP_XFERCOUNT].container), -1);
    // Without paper: the feeder ends disabled.
    std::get<CapOneValue>(control->Source("test:1").capabilities[twain::CAP_FEEDERLOADED].container).value = 0;
    EXPECT_EQ(handler.Set(settings::kKindScanMode, 0.0), 0);
    EXPECT_EQ(CurrentValue(control->Source("test:1").capabilities[twain::CAP_FEEDERENABLED].container), 0);
}

struct RangeCase {
    double min, max, step;
    size_t count;
};
class RangeBounds : public ScanModel, public ::testing::WithParamInterface<RangeCase> {};

TEST_P(RangeBounds, StepsThatNeverEndAreCut) {
    FakeSource s = TestDevice("test:1");
    const auto& c = GetParam();
    s.capabilities[twain::ICAP_XRESOLUTION] = {CapRange{c.min, c.max, c.step, c.min, c.min}};
    control->AddSource(s);
    OpenSource("test:1");
    scan::CapabilityValues v = scan::GenericQuery(control.get(), twain::ICAP_XRESOLUTION);
    ASSERT_TRUE(v.valid);
    EXPECT_EQ(v.values.size(), c.count);
    EXPECT_EQ(v.containerKind, settings::kContainerRange);
}

INSTANTIATE_TEST_SUITE_P(Table, RangeBounds,
                         ::testing::Values(RangeCase{75, 600, 0, 2}, RangeCase{75, 600, -25, 2},
                                           RangeCase{300, 300, 0, 1}, RangeCase{1, 1e9, 1, 2},
                                           RangeCase{75, 600, 75, 8}));

TEST_F(ScanModel, DuplexUnitIsCachedPerSource) {
    FakeSource s = TestDevice("test:1");
    s.duplexType = twain::TWDX_2PASSDUPLEX;
    control->AddSource(s);
    control->AddSource(TestDevice("test:0"));
    auto& handler = scan::TwainCapHandler::GetInstance();
    settings::SetCurrentSource("test:1");
    EXPECT_TRUE(handler.HasDuplexUnit());
    settings::SetCurrentSource("test:0");
    EXPECT_FALSE(handler.HasDuplexUnit());
    std::string user = settings::UserProductFilePath();
    EXPECT_EQ(settings::ReadProfileString(user, "Cap", "test:1"), "Dup");
    EXPECT_EQ(settings::ReadProfileString(user, "Cap", "test:0"), "Sim");
    settings::SetCurrentSource("gone"); // no answer and nothing cached: assume a unit
    EXPECT_TRUE(handler.HasDuplexUnit());
}

// ---- end to end: first run, load, save, reload -----------------------------------------

TEST_F(ScanModel, FirstRunRecordsLoadSaveAndReloadUnchanged) {
    control->AddSource(TestDevice("test:0"));
    control->AddSource(TestDevice("test:1"));
    const char* order[] = {"Scanmethod", "ScanmethodArr", "Colormode",        "Resolution",
                           "Papersize",  "Filename",      "Compressionlevel", "Savefolder",
                           "Savetype",   "IsShowDriver",  "PDFCompression",   "TifCompression"};
    for (const char* source : {"test:0", "test:1"}) {
        SCOPED_TRACE(source);
        std::filesystem::remove_all(home.path() + "config");
        settings::ResetSettingsHandler();
        scan::TwainCapHandler::GetInstance().Reset();
        settings::SetCurrentSource(source);
        settings::DestinationSettings all;
        all.LoadAll();
        for (auto* r : std::vector<settings::CommonSetting*>{&all.Application1(), &all.Application2(), &all.Folder(),
                                                             &all.Fax()}) {
            EXPECT_FALSE(r->HasMissingValue()) << r->GetSection();
            EXPECT_TRUE(r->GetScanMethodArr() && !r->GetScanMethodArr()->ToText().empty()) << r->GetSection();
        }
        EXPECT_EQ(all.Application1().GetAppName(), "Image Viewer");
        EXPECT_EQ(all.Application1().GetAppPath(), "/usr/bin/env");
        EXPECT_EQ(all.Folder().GetSaveFolder(), pictures.path());
        EXPECT_EQ(all.Fax().GetColorMode(), "BW");
        for (auto* r :
             std::vector<settings::CommonSetting*>{&all.Application1(), &all.Application2(), &all.Folder(), &all.Fax()})
            ASSERT_TRUE(r->Save()) << r->GetSection();
        const std::string sets = settings::UserSettingsFilePath();
        std::string saved = home.Read("config/ZAV/Quorin/Sets.dat");
        settings::DestinationSettings again;
        again.LoadAll();
        for (auto* r : std::vector<settings::CommonSetting*>{&again.Application1(), &again.Application2(),
                                                             &again.Folder(), &again.Fax()})
            ASSERT_TRUE(r->Save());
        EXPECT_EQ(home.Read("config/ZAV/Quorin/Sets.dat"), saved); // reloaded unchanged
        // The destination sections keep the documented key order.
        for (const char* section : {"Application1", "Application2", "Folder", "Fax"}) {
            auto keys = settings::ListProfileKeys(sets, section);
            ASSERT_GE(keys.size(), 12u) << section;
            for (size_t i = 0; i < 12; ++i) EXPECT_EQ(keys[i], order[i]) << section;
        }
        EXPECT_EQ(settings::ListProfileKeys(sets, "Application1"),
                  (std::vector<std::string>{order[0], order[1], order[2], order[3], order[4], order[5], order[6],
                                            order[7], order[8], order[9], order[10], order[11], "Appexepath", "AppName",
                                            "AppListID", "ListMapping"}));
    }
}

} // namespace
