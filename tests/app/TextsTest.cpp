#include <gtest/gtest.h>

#include "app/DataFiles.h"
#include "app/Texts.h"
#include "support/TempFolder.h"

namespace {

using testsupport::TempFolder;

class RecordingBox : public app::IMessageBox {
public:
    int Show(const std::string& text, unsigned style, unsigned help) override {
        shown.push_back(text);
        lastStyle = style;
        lastHelp = help;
        return app::kIdYes;
    }
    std::vector<std::string> shown;
    unsigned lastStyle = 0;
    unsigned lastHelp = 0;
};

class FixedStatus : public app::IScanStatus {
public:
    FixedStatus(app::ScanState s, int o) : state(s), origin(o) {}
    app::ScanState GetScanState() const override { return state; }
    int CurrentOrigin() const override { return origin; }
    app::ScanState state;
    int origin;
};

TEST(Texts, ShippedCatalogueHasTheExactTexts) {
    app::SetProgramFolder("");
    EXPECT_EQ(app::LoadMessageText(113),
              "Number of scanned files has exceeded the max allowed number, please check the folder and scan again.");
    EXPECT_EQ(app::LoadMessageText(118), "save path is not exit,\\n try to create now?");
    EXPECT_EQ(app::LoadMessageText(153), "The avaiable device is not found.");
    EXPECT_EQ(app::LoadMessageText(106), "Please enter an integer between %d and %d.");
    EXPECT_FALSE(app::LoadMessageText(210).empty());
    EXPECT_FALSE(app::LoadMessageText(211).empty());
    EXPECT_EQ(app::LoadMessageText(999), "");
    EXPECT_FALSE(app::LoadUIString("MD_Caption").empty());
}

TEST(Texts, KeysArePlainDecimalAndMissingFileGivesEmpty) {
    TempFolder dir;
    dir.Write("Str.dat", "[Messages]\n0113=padded\n113=plain\n[UIString]\nMD_App1=Application 1\n");
    app::SetProgramFolder(dir.path());
    EXPECT_EQ(app::LoadMessageText(113), "plain");
    EXPECT_EQ(app::LoadUIString("md_app1"), "Application 1");
    EXPECT_EQ(app::LoadUIString("MD_App2"), "");
    TempFolder empty;
    app::SetProgramFolder(empty.path());
    EXPECT_EQ(app::LoadMessageText(113), "");
    EXPECT_EQ(app::LoadUIString("MD_App1"), "");
    app::SetProgramFolder("");
}

struct SuppressCase { app::ScanState state; int origin; bool shown; };
class ShowMessageRule : public ::testing::TestWithParam<SuppressCase> {};

TEST_P(ShowMessageRule, SuppressedOnlyDuringNetworkPush) {
    auto box = std::make_shared<RecordingBox>();
    const auto& c = GetParam();
    app::SetMessageBox(box);
    app::SetScanStatus(std::make_shared<FixedStatus>(c.state, c.origin));
    int result = app::ShowMessage("text", app::kMbYesNo | app::kMbIconQuestion, 7);
    EXPECT_EQ(result, c.shown ? app::kIdYes : 0);
    EXPECT_EQ(box->shown.size(), c.shown ? 1u : 0u);
    if (c.shown) {
        EXPECT_EQ(box->lastStyle, app::kMbYesNo | app::kMbIconQuestion);
        EXPECT_EQ(box->lastHelp, 7u);
    }
    app::SetMessageBox(nullptr);
    app::SetScanStatus(nullptr);
}

INSTANTIATE_TEST_SUITE_P(Table, ShowMessageRule, ::testing::Values(
    SuppressCase{app::ScanState::Running, app::kOriginNetworkPush, false},
    SuppressCase{app::ScanState::Starting, app::kOriginNetworkPush, false},
    SuppressCase{app::ScanState::Idle, app::kOriginNetworkPush, true},
    SuppressCase{app::ScanState::Modal, app::kOriginNetworkPush, true},
    SuppressCase{app::ScanState::Running, app::kOriginButton, true},
    SuppressCase{app::ScanState::Running, app::kOriginLocalPush, true}));

TEST(ShowMessage, WithoutBoxNothingIsShown) {
    app::SetMessageBox(nullptr);
    EXPECT_EQ(app::ShowMessage("x", app::kMbOk), 0);
}

} // namespace
