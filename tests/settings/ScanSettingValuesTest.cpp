#include <gtest/gtest.h>

#include <cmath>

#include "settings/ScanSettingValues.h"

namespace {

using namespace settings;

TEST(ColorModeRegistry, KnownKeysAndUnknownType) {
    auto& registry = ColorModeRegistry::GetInstance();
    struct {
        const char* key;
        int code;
    } known[] = {{"Color", 2}, {"Gray", 1}, {"BW", 0}, {"Halftone", 3}};
    for (const auto& k : known) {
        auto mode = registry.Create(k.key);
        ASSERT_TRUE(mode) << k.key;
        EXPECT_EQ(mode->GetCode(), k.code) << k.key;
        EXPECT_EQ(mode->GetName(), k.key);
    }
    for (const char* bad : {"HalfTone", "color", "", "Colour"}) {
        try {
            registry.Create(bad);
            ADD_FAILURE() << "no error for " << bad;
        } catch (const std::exception& e) {
            EXPECT_STREQ(e.what(), "Unknown Type") << bad;
        }
    }
    EXPECT_EQ(registry.Keys(), (std::vector<std::string>{"BW", "Color", "Gray", "Halftone"}));
}

struct SplitCase {
    const char* text;
    std::vector<std::string> parts;
};
class SplitTable : public ::testing::TestWithParam<SplitCase> {};
TEST_P(SplitTable, Splits) { EXPECT_EQ(Split(GetParam().text, '|'), GetParam().parts); }
INSTANTIATE_TEST_SUITE_P(Cases, SplitTable,
                         ::testing::Values(SplitCase{"a||b", {"a", "", "b"}}, SplitCase{"a|b|", {"a", "b"}},
                                           SplitCase{"|a", {"", "a"}}, SplitCase{"", {}}, SplitCase{"|", {""}},
                                           SplitCase{"abc", {"abc"}}));

TEST(Join, EveryElementIsFollowedBySeparator) {
    EXPECT_EQ(Join({"a", "b"}, '|'), "a|b|");
    EXPECT_EQ(Join({}, '|'), "");
    EXPECT_EQ(Join({""}, '-'), "-");
}

struct MethodCase {
    const char* text;
    const char* name; // nullptr: no method
    int code;
    const char* direction; // "" empty
    const char* binding;
    bool duplexOff;
    const char* written;
};
class ScanMethodText : public ::testing::TestWithParam<MethodCase> {};

TEST_P(ScanMethodText, ReadsAndWrites) {
    const auto& c = GetParam();
    auto m = ScanMethodFromText(c.text);
    if (!c.name) {
        EXPECT_FALSE(m);
        return;
    }
    ASSERT_TRUE(m);
    EXPECT_EQ(m->GetName(), c.name);
    EXPECT_EQ(m->GetCode(), c.code);
    EXPECT_EQ(m->direction ? m->direction->GetName() : "", c.direction);
    EXPECT_EQ(m->binding ? m->binding->GetName() : "", c.binding);
    EXPECT_EQ(m->duplexOff, c.duplexOff);
    EXPECT_EQ(ScanMethodToText(*m), c.written);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ScanMethodText,
    ::testing::Values(
        MethodCase{"ADFDuplex|upper|top|on|", "ADFDuplex", 3, "upper", "top", false, "ADFDuplex|upper|top|on|"},
        MethodCase{"ADFDuplex|upper|top|on", "ADFDuplex", 3, "upper", "top", false, "ADFDuplex|upper|top|on|"},
        MethodCase{"ADFSimplex|left|lr|off|", "ADFSimplex", 2, "left", "lr", true, "ADFSimplex|left|lr|off|"},
        MethodCase{"ADFSimplex|left|lr|OFF|", "ADFSimplex", 2, "left", "lr", false, "ADFSimplex|left|lr|on|"},
        MethodCase{"Flatbed|sideways|lr|on|", "Flatbed", 1, "", "lr", false, "Flatbed|left|lr|on|"},
        MethodCase{"ADF|left|lr|on|", "ADF", 2, "left", "lr", false, "ADF|left|lr|on|"},
        MethodCase{"Auto", "Auto", 0, "", "", false, "Auto|left|lr|on|"},
        MethodCase{"Auto|upper", "Auto", 0, "upper", "", false, "Auto|upper|lr|on|"},
        MethodCase{"flatbed|left|lr|on|", nullptr, 0, "", "", false, ""},
        MethodCase{"", nullptr, 0, "", "", false, ""}));

TEST(ScanMethodArr, ReadsListAndGetSetRules) {
    auto list = ScanMethodArr::FromText("Auto|left|lr|on|-Flatbed|left|lr|on|-");
    ASSERT_EQ(list->size(), 2u);
    EXPECT_FALSE(list->get("ADF"));
    EXPECT_EQ(list->get("Flatbed")->GetCode(), 1);
    auto simplex = ScanMethodFromText("ADFSimplex|left|lr|on|");
    list->set(simplex);
    EXPECT_EQ(list->size(), 2u);
    EXPECT_EQ(list->ToText(), "Auto|left|lr|on|-Flatbed|left|lr|on|-");
    auto upper = ScanMethodFromText("Flatbed|upper|top|off|");
    list->set(upper);
    EXPECT_EQ(list->get("Flatbed"), upper);
    EXPECT_EQ(list->ToText(), "Auto|left|lr|on|-Flatbed|upper|top|off|-");
}

TEST(ScanMethodArr, EmptyAndUnknownElementsAreKeptButNotWritten) {
    auto list = ScanMethodArr::FromText("Flatbed|left|lr|on|--Bogus|left|lr|on|-ADFSimplex|left|lr|on|-");
    ASSERT_EQ(list->size(), 4u);
    EXPECT_FALSE(list->Methods()[1]);
    EXPECT_FALSE(list->Methods()[2]);
    EXPECT_EQ(list->ToText(), "Flatbed|left|lr|on|-ADFSimplex|left|lr|on|-");
    EXPECT_EQ(ScanMethodArr::FromText("")->size(), 0u);
    EXPECT_FALSE(ScanMethodArr::FromText("")->get("Flatbed"));
}

struct PaperCase {
    const char* name;
    const char* expectName;
    float right;
    float bottom;
};
class PaperLookup : public ::testing::TestWithParam<PaperCase> {};

TEST_P(PaperLookup, NameAndFrame) {
    const auto& c = GetParam();
    const auto& paper = PaperFromName(c.name);
    ASSERT_TRUE(paper);
    EXPECT_EQ(paper->GetName(), c.expectName);
    PaperFrame f = paper->GetFrame();
    EXPECT_EQ(f.left, 0.0f);
    EXPECT_EQ(f.top, 0.0f);
    EXPECT_NEAR(f.right, c.right, 1e-5);
    EXPECT_NEAR(f.bottom, c.bottom, 1e-5);
}

INSTANTIATE_TEST_SUITE_P(
    Table, PaperLookup,
    ::testing::Values(PaperCase{"A3", "A3", 11.692913f, 16.535433f}, PaperCase{"B4", "B4", 10.118111f, 14.330709f},
                      PaperCase{"A4", "A4", 8.267716f, 11.692913f}, PaperCase{"A4LEF", "A4LEF", 11.692913f, 8.267716f},
                      PaperCase{"B5", "B5", 7.165354f, 10.118111f}, PaperCase{"B5LEF", "B5", 7.165354f, 10.118111f},
                      PaperCase{"A5", "A5", 5.826772f, 8.267716f}, PaperCase{"A5LEF", "A5", 5.826772f, 8.267716f},
                      PaperCase{"A6", "A6", 4.133858f, 5.826772f}, PaperCase{"Tabloid", "Tabloid", 11.0f, 17.0f},
                      PaperCase{"Letter", "Letter", 8.5f, 11.0f}, PaperCase{"LetterLEF", "LetterLEF", 11.0f, 8.5f},
                      PaperCase{"HalfLetterSEF", "HalfLetterSEF", 5.5f, 8.5f},
                      PaperCase{"HalfLetterLEF", "HalfLetterLEF", 8.5f, 5.5f}, PaperCase{"Legal", "Legal", 8.5f, 14.0f},
                      PaperCase{"Legal130", "Legal130", 8.5f, 13.0f}, PaperCase{"Legal135", "Legal135", 8.5f, 13.5f},
                      PaperCase{"Executive", "Executive", 7.25f, 10.5f}, PaperCase{"Auto", "Auto", 0.0f, 0.0f},
                      PaperCase{"", "Auto", 0.0f, 0.0f}, PaperCase{"a4", "Auto", 0.0f, 0.0f}));

TEST(PaperLookup, InstancesLiveForTheProgramAndLefVariantsAreSeparate) {
    EXPECT_EQ(PaperFromName("A4").get(), PaperFromName("A4").get());
    EXPECT_NE(PaperFromName("B5").get(), PaperFromName("B5LEF").get());
    EXPECT_NE(PaperFromName("A5").get(), PaperFromName("A5LEF").get());
    EXPECT_EQ(PaperFromName("Unknown").get(), PaperFromName("Auto").get());
}

TEST(Directions, FromTextAndNumbers) {
    EXPECT_EQ(ScanDirectionFromText("left")->GetOrientation(), 0);
    EXPECT_EQ(ScanDirectionFromText("upper")->GetOrientation(), 3);
    EXPECT_EQ(ScanDirectionFromText("upper")->GetIndex(), 1);
    EXPECT_FALSE(ScanDirectionFromText("Left"));
    EXPECT_EQ(BindingDirectionFromText("top")->GetFlipRotation(), 1);
    EXPECT_EQ(BindingDirectionFromText("lr")->GetFlipRotation(), 0);
    EXPECT_FALSE(BindingDirectionFromText("rl"));
}

} // namespace
