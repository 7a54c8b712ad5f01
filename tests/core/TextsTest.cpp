#include <gtest/gtest.h>

#include "core/Texts.h"
#include "settings/ProductData.h"
#include "support/TempFolder.h"

namespace {

using testsupport::TempFolder;

class RecordingBox : public core::IMessageBox {
public:
    int Show(const std::string& text, unsigned style, unsigned help) override {
        shown.push_back(text);
        lastStyle = style;
        lastHelp = help;
        return core::kIdYes;
    }
    std::vector<std::string> shown;
    unsigned lastStyle = 0;
    unsigned lastHelp = 0;
};

class FixedStatus : public core::IScanStatus {
public:
    FixedStatus(core::ScanState s, int o) : state(s), origin(o) {}
    core::ScanState GetScanState() const override { return state; }
    int CurrentOrigin() const override { return origin; }
    core::ScanState state;
    int origin;
};

TEST(Texts, ShippedCatalogueHasTheExactTexts) {
    settings::SetProgramFolder("");
    EXPECT_EQ(core::LoadMessageText(113),
              "Number of scanned files has exceeded the max allowed number, please check the folder and scan again.");
    EXPECT_EQ(core::LoadMessageText(118), "save path is not exit,\\n try to create now?");
    EXPECT_EQ(core::LoadMessageText(153), "The avaiable device is not found.");
    EXPECT_EQ(core::LoadMessageText(106), "Please enter an integer between %d and %d.");
    EXPECT_FALSE(core::LoadMessageText(210).empty());
    EXPECT_FALSE(core::LoadMessageText(211).empty());
    EXPECT_EQ(core::LoadMessageText(999), "");
    EXPECT_FALSE(core::LoadUIString("MD_Caption").empty());
}

TEST(Texts, KeysArePlainDecimalAndMissingFileGivesEmpty) {
    TempFolder dir;
    dir.Write("Str.dat", "[Messages]\n0113=padded\n113=plain\n[UIString]\nMD_App1=Application 1\n");
    settings::SetProgramFolder(dir.path());
    EXPECT_EQ(core::LoadMessageText(113), "plain");
    EXPECT_EQ(core::LoadUIString("md_app1"), "Application 1");
    EXPECT_EQ(core::LoadUIString("MD_App2"), "");
    TempFolder empty;
    settings::SetProgramFolder(empty.path());
    EXPECT_EQ(core::LoadMessageText(113), "");
    EXPECT_EQ(core::LoadUIString("MD_App1"), "");
    settings::SetProgramFolder("");
}

struct SuppressCase {
    core::ScanState state;
    int origin;
    bool shown;
};
class ShowMessageRule : public ::testing::TestWithParam<SuppressCase> {};

TEST_P(ShowMessageRule, SuppressedOnlyDuringNetworkPush) {
    auto box = std::make_shared<RecordingBox>();
    const auto& c = GetParam();
    core::SetMessageBox(box);
    core::SetScanStatus(std::make_shared<FixedStatus>(c.state, c.origin));
    int result = core::ShowMessage("text", core::kMbYesNo | core::kMbIconQuestion, 7);
    EXPECT_EQ(result, c.shown ? core::kIdYes : 0);
    EXPECT_EQ(box->shown.size(), c.shown ? 1u : 0u);
    if (c.shown) {
        EXPECT_EQ(box->lastStyle, core::kMbYesNo | core::kMbIconQuestion);
        EXPECT_EQ(box->lastHelp, 7u);
    }
    core::SetMessageBox(nullptr);
    core::SetScanStatus(nullptr);
}

INSTANTIATE_TEST_SUITE_P(Table, ShowMessageRule,
                         ::testing::Values(SuppressCase{core::ScanState::Running, core::kOriginNetworkPush, false},
                                           SuppressCase{core::ScanState::Starting, core::kOriginNetworkPush, false},
                                           SuppressCase{core::ScanState::Idle, core::kOriginNetworkPush, true},
                                           SuppressCase{core::ScanState::Modal, core::kOriginNetworkPush, true},
                                           SuppressCase{core::ScanState::Running, core::kOriginButton, true},
                                           SuppressCase{core::ScanState::Running, core::kOriginLocalPush, true}));

TEST(ShowMessage, WithoutBoxNothingIsShown) {
    core::SetMessageBox(nullptr);
    EXPECT_EQ(core::ShowMessage("x", core::kMbOk), 0);
}

} // namespace
