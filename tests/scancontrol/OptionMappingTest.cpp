// The settings-to-SANE-options mapping over synthetic option lists shaped like real
// backends', and the SANE status table.
#include <gtest/gtest.h>
#include <sane/sane.h>

#include "ControlTestSupport.h"
#include "scan/ConditionCodes.h"
#include "scancontrol/ControlErrors.h"
#include "scancontrol/Twain.h"
#include "scancontrol/sane/OptionMapping.h"
#include "scancontrol/sane/SaneStatus.h"

namespace {

using namespace scancontrol::sanectl;

OptionInfo StringList(const std::string& name, std::vector<std::string> values, const std::string& current) {
    OptionInfo o;
    o.name = name;
    o.type = OptType::String;
    o.constraint = OptConstraint::StringList;
    o.strings = std::move(values);
    o.text = current;
    o.settable = o.readable = true;
    return o;
}

OptionInfo Range(const std::string& name, OptType type, OptUnit unit, double lo, double hi, double q, double v) {
    OptionInfo o;
    o.name = name;
    o.type = type;
    o.unit = unit;
    o.constraint = OptConstraint::Range;
    o.minValue = lo;
    o.maxValue = hi;
    o.quant = q;
    o.values = {v};
    o.settable = o.readable = true;
    return o;
}

OptionInfo Words(const std::string& name, std::vector<double> words, double v) {
    OptionInfo o;
    o.name = name;
    o.type = OptType::Int;
    o.constraint = OptConstraint::WordList;
    o.words = std::move(words);
    o.values = {v};
    o.settable = o.readable = true;
    return o;
}

// Like the SANE test backend: modes Gray and Color only, depth 1/8/16.
OptionSnapshot TestBackendLike() {
    OptionSnapshot s;
    s.options.push_back(StringList("mode", {"Gray", "Color"}, "Gray"));
    s.options.push_back(Words("depth", {1, 8, 16}, 8));
    s.options.push_back(Range("resolution", OptType::Fixed, OptUnit::Dpi, 1, 1200, 1, 50));
    s.options.push_back(StringList("source", {"Flatbed", "Automatic Document Feeder"}, "Flatbed"));
    for (const char* n : {"tl-x", "tl-y"}) s.options.push_back(Range(n, OptType::Fixed, OptUnit::Mm, 0, 420, 1, 0));
    s.options.push_back(Range("br-x", OptType::Fixed, OptUnit::Mm, 0, 420, 1, 210));
    s.options.push_back(Range("br-y", OptType::Fixed, OptUnit::Mm, 0, 420, 1, 297));
    return s;
}

TEST(SourceNames, RealBackendNamesAreClassified) {
    EXPECT_EQ(ClassifySource("Flatbed"), SourceKind::Flatbed);
    EXPECT_EQ(ClassifySource("FlatBed"), SourceKind::Flatbed);
    EXPECT_EQ(ClassifySource("Platen"), SourceKind::Flatbed);
    EXPECT_EQ(ClassifySource("Normal"), SourceKind::Flatbed);
    EXPECT_EQ(ClassifySource("ADF"), SourceKind::Feeder);
    EXPECT_EQ(ClassifySource("ADF Front"), SourceKind::Feeder);
    EXPECT_EQ(ClassifySource("ADF Back"), SourceKind::Other);
    EXPECT_EQ(ClassifySource("Automatic Document Feeder"), SourceKind::Feeder);
    EXPECT_EQ(ClassifySource("Document Feeder"), SourceKind::Feeder);
    EXPECT_EQ(ClassifySource("ADF Duplex"), SourceKind::Duplex);
    EXPECT_EQ(ClassifySource("Duplex"), SourceKind::Duplex);
    EXPECT_EQ(ClassifySource("Automatic Document Feeder(centrally aligned,Duplex)"), SourceKind::Duplex);
    EXPECT_EQ(ClassifySource("Transparency Adapter"), SourceKind::Other);
    EXPECT_EQ(ClassifySource("Film"), SourceKind::Other);
}

TEST(SourceNames, FeederAndDuplexSourcesAreFoundAndChosen) {
    OptionSnapshot s;
    s.options.push_back(StringList("source", {"Flatbed", "ADF Front", "ADF Back", "ADF Duplex"}, "Flatbed"));
    const SourceChoice c = FindSources(s);
    EXPECT_EQ(c.flatbed, "Flatbed");
    EXPECT_EQ(c.feeder, "ADF Front");
    EXPECT_EQ(c.duplex, "ADF Duplex");
    EXPECT_TRUE(c.HasDuplex());
    auto w = PlanSource(s, true, true);
    ASSERT_EQ(w.size(), 1u);
    EXPECT_EQ(w[0].text, "ADF Duplex");
    w = PlanSource(s, true, false);
    ASSERT_EQ(w.size(), 1u);
    EXPECT_EQ(w[0].text, "ADF Front");
    EXPECT_TRUE(PlanSource(s, false, false).empty()); // already on the glass
}

TEST(SourceNames, DuplexThroughAnAdfModeOption) {
    OptionSnapshot s;
    s.options.push_back(StringList("source", {"Flatbed", "Automatic Document Feeder"}, "Automatic Document Feeder"));
    s.options.push_back(StringList("adf-mode", {"Simplex", "Duplex"}, "Simplex"));
    const SourceChoice c = FindSources(s);
    EXPECT_TRUE(c.HasDuplex());
    auto w = PlanSource(s, true, true);
    ASSERT_EQ(w.size(), 1u);
    EXPECT_EQ(w[0].name, "adf-mode");
    EXPECT_EQ(w[0].text, "Duplex");
}

TEST(SourceNames, NoSourceOptionMeansNoFeeder) {
    OptionSnapshot s;
    EXPECT_FALSE(FindSources(s).HasFeeder());
    EXPECT_TRUE(PlanSource(s, true, false).empty());
    EXPECT_FALSE(FeederSelected(s));
}

TEST(FeederSensor, LoadedAndEmptyStyleSensors) {
    OptionSnapshot s;
    OptionInfo loaded;
    loaded.name = "page-loaded";
    loaded.type = OptType::Bool;
    loaded.readable = true;
    s.options.push_back(loaded);
    EXPECT_EQ(FindFeederSensor(s).name, "page-loaded");
    EXPECT_FALSE(FindFeederSensor(s).inverted);
    OptionSnapshot t;
    loaded.name = "hopper-empty";
    t.options.push_back(loaded);
    EXPECT_TRUE(FindFeederSensor(t).inverted);
    EXPECT_TRUE(FindFeederSensor(TestBackendLike()).name.empty());
}

TEST(ImageType, TestBackendBlackAndWhiteIsGreyAtOneBit) {
    const OptionSnapshot s = TestBackendLike();
    ImageTypePlan p = PlanImageType(s, twain::TWPT_BW, false);
    ASSERT_EQ(p.writes.size(), 2u);
    EXPECT_EQ(p.writes[0].text, "Gray");
    EXPECT_EQ(p.writes[1].name, "depth");
    EXPECT_EQ(p.writes[1].numbers[0], 1);
    EXPECT_EQ(p.conversion, Conversion::None);
    // No hardware halftone: grey at 8 bits, dithered in software.
    p = PlanImageType(s, twain::TWPT_BW, true);
    EXPECT_EQ(p.conversion, Conversion::Halftone);
    EXPECT_EQ(p.targetBits, 1);
    p = PlanImageType(s, twain::TWPT_RGB, false);
    EXPECT_EQ(p.writes[0].text, "Color");
    EXPECT_EQ(p.writes[1].numbers[0], 8);
    EXPECT_EQ(OfferedPixelTypes(s), (std::vector<double>{0, 1, 2}));
}

TEST(ImageType, LineartAndHalftoneModesOfOtherBackends) {
    OptionSnapshot s;
    s.options.push_back(StringList("mode", {"Lineart", "Halftone", "Gray", "Color"}, "Color"));
    ImageTypePlan p = PlanImageType(s, twain::TWPT_BW, false);
    ASSERT_EQ(p.writes.size(), 1u);
    EXPECT_EQ(p.writes[0].text, "Lineart");
    p = PlanImageType(s, twain::TWPT_BW, true);
    EXPECT_EQ(p.writes[0].text, "Halftone");
    EXPECT_EQ(p.conversion, Conversion::None);
    EXPECT_EQ(ClassifyMode("Black & White"), ModeKind::Lineart);
    EXPECT_EQ(ClassifyMode("True Gray"), ModeKind::Gray);
    EXPECT_EQ(ClassifyMode("Gray[Error Diffusion]"), ModeKind::Halftone);
    EXPECT_EQ(ClassifyMode("24bit Color"), ModeKind::Color);
    // Only grey and no depth 1: threshold in software.
    OptionSnapshot g;
    g.options.push_back(StringList("mode", {"Gray"}, "Gray"));
    EXPECT_EQ(PlanImageType(g, twain::TWPT_BW, false).conversion, Conversion::Threshold);
}

TEST(Resolution, NearestAndAllowedValues) {
    const OptionInfo words = Words("resolution", {75, 150, 300, 600}, 150);
    EXPECT_EQ(NearestAllowed(words, 200), 150);
    EXPECT_EQ(NearestAllowed(words, 260), 300);
    EXPECT_TRUE(Allowed(words, 300));
    EXPECT_FALSE(Allowed(words, 200));
    const OptionInfo range = Range("resolution", OptType::Int, OptUnit::Dpi, 50, 1200, 25, 100);
    EXPECT_EQ(NearestAllowed(range, 310), 300);
    EXPECT_EQ(NearestAllowed(range, 5000), 1200);
    EXPECT_TRUE(Allowed(range, 325));
    EXPECT_FALSE(Allowed(range, 310));
}

TEST(Geometry, FramesInInchesBecomeMillimetresClippedToTheArea) {
    const OptionSnapshot s = TestBackendLike();
    const FrameInches area = ScanArea(s);
    EXPECT_NEAR(area.right * 25.4, 420, 1e-9);
    // All zero: the whole scan area.
    auto w = PlanFrame(s, {});
    ASSERT_EQ(w.size(), 4u);
    EXPECT_EQ(w[2].numbers[0], 420);
    EXPECT_EQ(w[3].numbers[0], 420);
    // One inch to four inches; and a frame beyond the area is clipped.
    w = PlanFrame(s, {1, 1, 4, 20});
    EXPECT_NEAR(w[0].numbers[0], 25, 1e-9); // 25.4 mm to the 1 mm step
    EXPECT_NEAR(w[2].numbers[0], 102, 1e-9);
    EXPECT_NEAR(w[3].numbers[0], 420, 1e-9);
}

TEST(PaperSizes, OnlySizesThatFitTheAreaAreOffered) {
    const OptionSnapshot s = TestBackendLike();
    const std::vector<double> sizes = SizesThatFit(s);
    auto has = [&](int code) { return std::find(sizes.begin(), sizes.end(), code) != sizes.end(); };
    EXPECT_TRUE(has(twain::TWSS_A4));
    EXPECT_TRUE(has(twain::TWSS_A3));
    EXPECT_TRUE(has(twain::TWSS_USLETTER));
    EXPECT_FALSE(has(twain::TWSS_USLEDGER)); // 431.8 mm does not fit 420 mm
    EXPECT_EQ(SizeOfFrame(CurrentFrame(s)), twain::TWSS_A4);
    EXPECT_EQ(SizeOfFrame(FrameOfSize(twain::TWSS_A5)), twain::TWSS_A5);
}

TEST(SaneStatusTable, StatusesGiveTheConditionsAUserExpects) {
    using scan::ConditionFromErrorCode;
    using scancontrol::sanectl::ControlErrorFromSaneStatus;
    EXPECT_EQ(ControlErrorFromSaneStatus(SANE_STATUS_GOOD), 0);
    EXPECT_EQ(ConditionFromErrorCode(ControlErrorFromSaneStatus(SANE_STATUS_JAMMED)), 18);        // paper jam
    EXPECT_EQ(ConditionFromErrorCode(ControlErrorFromSaneStatus(SANE_STATUS_COVER_OPEN)), 22);    // interlock
    EXPECT_EQ(ConditionFromErrorCode(ControlErrorFromSaneStatus(SANE_STATUS_DEVICE_BUSY)), 14);   // denied
    EXPECT_EQ(ConditionFromErrorCode(ControlErrorFromSaneStatus(SANE_STATUS_ACCESS_DENIED)), 14); // denied
    EXPECT_EQ(ConditionFromErrorCode(ControlErrorFromSaneStatus(SANE_STATUS_IO_ERROR)), 21);      // check device online
    EXPECT_EQ(ConditionFromErrorCode(ControlErrorFromSaneStatus(SANE_STATUS_NO_DOCS)), 1);
    EXPECT_EQ(ConditionFromErrorCode(ControlErrorFromSaneStatus(SANE_STATUS_NO_MEM)), 1);
    EXPECT_EQ(ConditionFromErrorCode(ControlErrorFromSaneStatus(SANE_STATUS_INVAL, SaneStage::Open)),
              16); // no such device
    EXPECT_EQ(ConditionFromErrorCode(ControlErrorFromSaneStatus(SANE_STATUS_INVAL, SaneStage::Option)), 8);
}

} // namespace
