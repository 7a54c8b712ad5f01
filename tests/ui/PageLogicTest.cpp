// The destination pages' rules without a window: what the user typed is checked with
// the message of its refusal, the two-part PDF compression, the paper size kept across
// a scan-method change and which controls are usable.
#include <gtest/gtest.h>

#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <ostream>
#include <string>

#include "core/Texts.h"
#include "platform/Services.h"
#include "platform/Volumes.h"
#include "support/RecordingMessageBox.h"
#include "support/TempFolder.h"
#include "ui/PageLogic.h"

namespace {

using core::MessageNumber;
using testsupport::RecordingMessageBox;
using testsupport::TempFolder;

std::string Text(MessageNumber n) { return core::LoadMessageText(n); }

// Every check shows its refusal through the program's message routine.
class PageLogicTest : public ::testing::Test {
protected:
    void Answer(int button) {
        box = std::make_shared<RecordingMessageBox>(button);
        core::SetMessageBox(box);
    }
    void SetUp() override { Answer(core::kIdOk); }
    void TearDown() override { core::SetMessageBox(nullptr); }
    std::shared_ptr<RecordingMessageBox> box;
};

struct PrefixCase {
    std::string text;
    bool valid;
};
void PrintTo(const PrefixCase& c, std::ostream* os) { *os << '"' << c.text << '"'; }
class Prefixes : public PageLogicTest, public ::testing::WithParamInterface<PrefixCase> {};

TEST_P(Prefixes, AreRefusedWithMessage104) {
    const PrefixCase& c = GetParam();
    EXPECT_EQ(ui::ValidateFilePrefix(c.text), c.valid) << c.text;
    if (c.valid) {
        EXPECT_TRUE(box->texts.empty());
    } else {
        ASSERT_EQ(box->texts.size(), 1u);
        EXPECT_EQ(box->texts[0], Text(MessageNumber::BadFileName));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, Prefixes,
    ::testing::Values(PrefixCase{std::string(40, 'a'), true}, PrefixCase{std::string(41, 'a'), false},
                      PrefixCase{"  " + std::string(40, 'a') + " ", true}, // trimmed before counting
                      PrefixCase{"Scan", true}, PrefixCase{"", false}, PrefixCase{"   ", false},
                      PrefixCase{"a:b", false}, PrefixCase{"a/b", false}, PrefixCase{"a\\b", false},
                      PrefixCase{"a*b", false}, PrefixCase{"a?b", false}, PrefixCase{"a\"b", false},
                      PrefixCase{"a<b", false}, PrefixCase{"a>b", false}, PrefixCase{"a|b", false}));

TEST(PrefixLength, CountsCharactersNotBytes) {
    std::string forty;
    for (int i = 0; i < 40; ++i) forty += "\xC3\xA9"; // é
    EXPECT_TRUE(ui::IsValidFilePrefix(forty));
    EXPECT_FALSE(ui::IsValidFilePrefix(forty + "\xC3\xA9"));
}

struct ShapeCase {
    std::string folder;
    bool shaped;
};
void PrintTo(const ShapeCase& c, std::ostream* os) { *os << c.folder; }
class FolderShapes : public ::testing::TestWithParam<ShapeCase> {};
TEST_P(FolderShapes, FollowTheRootThenPartsRule) {
    EXPECT_EQ(ui::HasFolderShape(GetParam().folder), GetParam().shaped) << GetParam().folder;
}
INSTANTIATE_TEST_SUITE_P(Table, FolderShapes,
                         ::testing::Values(ShapeCase{"/", true}, ShapeCase{"/home/u/Scans/", true},
                                           ShapeCase{"/a b/c-d.e/", true}, ShapeCase{"Scans/", false},
                                           ShapeCase{"./Scans/", false}, ShapeCase{"/a*/", false},
                                           ShapeCase{"/a?b/", false}, ShapeCase{"/a\\b/", false},
                                           ShapeCase{"/a//b/", false}, ShapeCase{"C:\\Scans\\", false}));

TEST_F(PageLogicTest, AnAbsoluteFolderIsStoredWithATrailingSlash) {
    TempFolder tmp;
    const std::string folder = tmp.path().substr(0, tmp.path().size() - 1);
    std::string stored;
    EXPECT_EQ(ui::ValidateSaveFolder(folder, stored), ui::FolderCheck::Accepted);
    EXPECT_EQ(stored, tmp.path());
    EXPECT_TRUE(box->texts.empty());
}

TEST_F(PageLogicTest, BadlyShapedOrEmptyFoldersAreRefusedWith105) {
    TempFolder tmp;
    for (const std::string& text : {std::string("Scans"), std::string(" "), std::string(), tmp.path() + "a*b"}) {
        box->texts.clear();
        std::string stored = "unchanged";
        EXPECT_EQ(ui::ValidateSaveFolder(text, stored), ui::FolderCheck::Refused) << text;
        EXPECT_EQ(stored, "unchanged");
        ASSERT_EQ(box->texts.size(), 1u) << text;
        EXPECT_EQ(box->texts[0], Text(MessageNumber::BadFolder));
    }
}

TEST_F(PageLogicTest, AMissingFolderAnsweredNoStaysMissing) {
    Answer(core::kIdNo);
    TempFolder tmp;
    std::string stored;
    EXPECT_EQ(ui::ValidateSaveFolder(tmp / "new/deeper", stored), ui::FolderCheck::Declined);
    ASSERT_EQ(box->texts.size(), 1u);
    EXPECT_EQ(box->texts[0], Text(MessageNumber::CreateFolderAsk));
    EXPECT_EQ(box->lastStyle & 0xF, core::kMbYesNo);
    struct stat st {};
    EXPECT_NE(::stat((tmp / "new").c_str(), &st), 0);
}

TEST_F(PageLogicTest, AMissingFolderAnsweredYesIsCreated) {
    Answer(core::kIdYes);
    TempFolder tmp;
    std::string stored;
    EXPECT_EQ(ui::ValidateSaveFolder(tmp / "new/deeper", stored), ui::FolderCheck::Accepted);
    EXPECT_EQ(stored, tmp / "new/deeper/");
    ASSERT_EQ(box->texts.size(), 1u);
    EXPECT_EQ(box->texts[0], Text(MessageNumber::CreateFolderAsk));
    struct stat st {};
    EXPECT_EQ(::stat((tmp / "new/deeper").c_str(), &st), 0);
}

TEST_F(PageLogicTest, AFolderThatCannotBeCreatedShows150) {
    Answer(core::kIdYes);
    TempFolder tmp;
    // A file where a folder of the path should be.
    tmp.Write("file", "x");
    std::string stored;
    EXPECT_EQ(ui::ValidateSaveFolder(tmp / "file/sub", stored), ui::FolderCheck::NotCreated);
    ASSERT_EQ(box->texts.size(), 2u);
    EXPECT_EQ(box->texts[1], Text(MessageNumber::FolderNotCreated));
}

// A disc file system (ISO 9660, UDF) cannot be mounted without an image; its answer is
// stood in for, as the volume service's contract allows.
class DiscVolumes : public platform::IVolumes {
public:
    bool VolumeOf(const std::string&, platform::VolumeInfo& info) const override {
        info.discLike = true;
        return true;
    }
};

TEST_F(PageLogicTest, AFolderOnADiscIsRefusedAsAnError) {
    platform::SetVolumes(std::make_shared<DiscVolumes>());
    TempFolder tmp;
    std::string stored;
    const ui::FolderCheck check = ui::ValidateSaveFolder(tmp.path(), stored);
    platform::SetVolumes(nullptr);
    EXPECT_EQ(check, ui::FolderCheck::Refused);
    ASSERT_EQ(box->texts.size(), 1u);
    EXPECT_EQ(box->texts[0], Text(MessageNumber::BadFolder));
    EXPECT_EQ(box->lastStyle & 0xF0, core::kMbIconStop);
}

TEST_F(PageLogicTest, AFolderOnAReadOnlyFileSystemIsRefusedWith105) {
    if (::geteuid() != 0) GTEST_SKIP() << "mounting a read-only file system needs root (CI runs as root)";
    TempFolder tmp;
    // In a child with a mount namespace of its own, so the mount never outlives it.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::unshare(CLONE_NEWNS) != 0 || ::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount("tmpfs", tmp.path().c_str(), "tmpfs", MS_RDONLY, "size=64k") != 0)
            ::_exit(2);
        Answer(core::kIdYes);
        std::string stored;
        // The folder's parent, the nearest existing folder, is on the read-only mount.
        const bool refused = ui::ValidateSaveFolder(tmp / "sub", stored) == ui::FolderCheck::Refused;
        const bool said = box->texts.size() == 1 && box->texts[0] == Text(MessageNumber::BadFolder);
        platform::VolumeInfo info;
        const bool seen = platform::Volumes().VolumeOf(tmp.path(), info) && info.readOnly;
        ::_exit(refused && said && seen ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_NE(WEXITSTATUS(status), 2) << "the read-only file system could not be mounted";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the folder was not refused with message 105";
}

struct LevelCase {
    std::string text;
    bool valid;
};
void PrintTo(const LevelCase& c, std::ostream* os) { *os << '"' << c.text << '"'; }
class Levels : public PageLogicTest, public ::testing::WithParamInterface<LevelCase> {};
TEST_P(Levels, OutsideZeroToHundredShow106WithTheRange) {
    EXPECT_EQ(ui::ValidateJpegLevel(GetParam().text), GetParam().valid) << GetParam().text;
    if (GetParam().valid) {
        EXPECT_TRUE(box->texts.empty());
    } else {
        ASSERT_EQ(box->texts.size(), 1u);
        EXPECT_EQ(box->texts[0], "Please enter an integer between 0 and 100.");
    }
}
INSTANTIATE_TEST_SUITE_P(Table, Levels,
                         ::testing::Values(LevelCase{"0", true}, LevelCase{"100", true}, LevelCase{"20", true},
                                           LevelCase{"101", false}, LevelCase{"-1", false}, LevelCase{"", false},
                                           LevelCase{"1e2", false}, LevelCase{"99999999999", false}));

TEST(CompressionControls, FollowTheFileType) {
    using ui::CompressionControl;
    EXPECT_EQ(ui::CompressionFor("JPEG"), CompressionControl::JpegLevel);
    EXPECT_EQ(ui::CompressionFor("TIFF"), CompressionControl::TiffList);
    EXPECT_EQ(ui::CompressionFor("Multi-page TIFF"), CompressionControl::TiffList);
    EXPECT_EQ(ui::CompressionFor("PDF"), CompressionControl::PdfList);
    EXPECT_EQ(ui::CompressionFor("Multi-page PDF"), CompressionControl::PdfList);
    EXPECT_EQ(ui::CompressionFor("BMP"), CompressionControl::None);
}

struct PairCase {
    std::string stored, mode, choice, part, after;
};
void PrintTo(const PairCase& c, std::ostream* os) { *os << c.stored << ' ' << c.mode << ' ' << c.choice; }
class PdfPairs : public ::testing::TestWithParam<PairCase> {};
TEST_P(PdfPairs, AChoiceChangesOnlyTheColourModesPart) {
    const PairCase& c = GetParam();
    EXPECT_EQ(ui::PdfPairPart(c.stored, c.mode), c.part);
    EXPECT_EQ(ui::ReplacePdfPairPart(c.stored, c.mode, c.choice), c.after);
}
INSTANTIATE_TEST_SUITE_P(Table, PdfPairs,
                         ::testing::Values(PairCase{"Middle|G4", "Gray", "High", "Middle", "High|G4"},
                                           PairCase{"Middle|G4", "Color", "Low", "Middle", "Low|G4"},
                                           PairCase{"Middle|G4", "BW", "Raw", "G4", "Middle|Raw"},
                                           PairCase{"Middle|G4", "Halftone", "Raw", "G4", "Middle|Raw"},
                                           PairCase{"Middle", "BW", "G4", "", "Middle|G4"},
                                           PairCase{"", "Color", "High", "", "High|"}));

TEST(PaperRefill, PrefersTheChosenThenTheStoredThenTheDefaultSize) {
    const settings::ChoiceList adf = {{"A4", "A4"}, {"Letter", "Letter"}, {"Legal", "Legal"}};
    const settings::ChoiceList flatbed = {{"A4", "A4"}, {"Letter", "Letter"}};
    EXPECT_EQ(ui::ChoosePaperSize(adf, "Legal", "Letter", "A4"), "Legal");
    EXPECT_EQ(ui::ChoosePaperSize(flatbed, "Legal", "Letter", "A4"), "Letter");
    EXPECT_EQ(ui::ChoosePaperSize(flatbed, "Legal", "Legal", "A4"), "A4");
    EXPECT_EQ(ui::ChoosePaperSize({{"B5", "B5"}}, "Legal", "Legal", "A4"), "B5");
    EXPECT_EQ(ui::ChoosePaperSize({}, "Legal", "Legal", "A4"), "");
}

struct StateCase {
    bool showDriver;
    int count, max;
    bool optionFlag;
    ui::PageStates expected;
};
void PrintTo(const StateCase& c, std::ostream* os) {
    *os << "driver " << c.showDriver << " apps " << c.count << '/' << c.max << " option " << c.optionFlag;
}
class States : public ::testing::TestWithParam<StateCase> {};
TEST_P(States, FollowTheDriverBoxTheListAndTheOptionFlag) {
    const StateCase& c = GetParam();
    const ui::PageStates s = ui::ComputePageStates(c.showDriver, c.count, c.max, c.optionFlag);
    EXPECT_EQ(s.inputEnabled, c.expected.inputEnabled);
    EXPECT_EQ(s.optionShown, c.expected.optionShown);
    EXPECT_EQ(s.addEnabled, c.expected.addEnabled);
    EXPECT_EQ(s.modifyEnabled, c.expected.modifyEnabled);
    EXPECT_EQ(s.deleteEnabled, c.expected.deleteEnabled);
}
INSTANTIATE_TEST_SUITE_P(Table, States,
                         ::testing::Values(StateCase{false, 0, 10, false, {true, false, true, false, false}},
                                           StateCase{true, 3, 10, true, {false, true, true, true, true}},
                                           StateCase{false, 10, 10, true, {true, true, false, true, true}},
                                           StateCase{false, 9, 10, false, {true, false, true, true, true}},
                                           StateCase{false, 0, 0, false, {true, false, true, false, false}}));

TEST_F(PageLogicTest, AChosenFolderLongerThanTheEditIsCutWith142) {
    const std::string fits = "/" + std::string(191, 'a');
    EXPECT_EQ(ui::CutChosenFolder(fits), fits);
    EXPECT_TRUE(box->texts.empty());
    EXPECT_EQ(ui::CutChosenFolder(fits + "bc"), fits);
    ASSERT_EQ(box->texts.size(), 1u);
    EXPECT_EQ(box->texts[0], Text(MessageNumber::FolderCut));
}

TEST(NearestExistingFolder, WalksUpToAFolderThatExists) {
    TempFolder tmp;
    EXPECT_EQ(platform::NearestExistingFolder(tmp / "a/b/c"), tmp.path());
    EXPECT_EQ(platform::NearestExistingFolder(tmp.path()), tmp.path());
    EXPECT_EQ(platform::NearestExistingFolder("/no-such-top-folder/x"), "/");
    EXPECT_EQ(platform::NearestExistingFolder("relative/x"), "");
}

} // namespace
