#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <sys/stat.h>

#include "platform/FileSystem.h"
#include "settings/ChoiceList.h"
#include "settings/DataTranslator.h"
#include "settings/ProductData.h"
#include "settings/Placeholders.h"
#include "support/TempFolder.h"

namespace {

using settings::DataTranslatorCommon;

struct ToTextCase {
    double value;
    int kind;
    bool ok;
    const char* text;
};
class ValueToText : public ::testing::TestWithParam<ToTextCase> {};

TEST_P(ValueToText, Table) {
    const auto& c = GetParam();
    DataTranslatorCommon t;
    std::string text = "unchanged";
    EXPECT_EQ(t.ValueToText(c.value, c.kind, text), c.ok);
    if (c.ok) {
        EXPECT_EQ(text, c.text);
    }
}

INSTANTIATE_TEST_SUITE_P(Kinds, ValueToText,
                         ::testing::Values(ToTextCase{5.9, 1, true, "5"},   // resolution: truncated decimal
                                           ToTextCase{-3.7, 7, true, "-3"}, // duplex: plain number
                                           ToTextCase{99, 2, false, ""},    // paper code without a name
                                           ToTextCase{201, 2, true, "A4LEF"}, ToTextCase{100, 3, true, "Halftone"},
                                           ToTextCase{6, 4, true, "Multi-page TIFF"}, ToTextCase{1, 8, true, "lowwer"},
                                           ToTextCase{1, 9, true, "top"}, ToTextCase{2, 0, true, "ADF"},
                                           ToTextCase{0, 10, false, ""},      // no kind
                                           ToTextCase{1e300, 2, false, ""})); // far out of range: no crash, no name

struct ToValueCase {
    const char* text;
    int kind;
    bool ok;
    double value;
};
class TextToValue : public ::testing::TestWithParam<ToValueCase> {};

TEST_P(TextToValue, Table) {
    const auto& c = GetParam();
    DataTranslatorCommon t;
    double value = -12345;
    EXPECT_EQ(t.TextToValue(c.text, c.kind, value), c.ok);
    if (c.ok) {
        EXPECT_EQ(value, c.value);
    }
}

INSTANTIATE_TEST_SUITE_P(Kinds, TextToValue,
                         ::testing::Values(ToValueCase{"halftone", 3, true, 100}, ToValueCase{"A4LEF", 2, true, 201},
                                           ToValueCase{"a4lef", 2, true, 201}, ToValueCase{"300", 1, true, 300},
                                           ToValueCase{"dpi", 1, true, 0}, // no digits: 0, still translated
                                           ToValueCase{"", 1, false, 0}, ToValueCase{"Color", 10, false, 0},
                                           ToValueCase{"Sepia", 3, false, 0},
                                           ToValueCase{"multi-page pdf", 4, true, 106}));

TEST(DecimalToInt, SkipsBlanksStopsAtLettersAndSaturates) {
    EXPECT_EQ(settings::DecimalToInt("  80abc"), 80);
    EXPECT_EQ(settings::DecimalToInt("abc"), 0);
    EXPECT_EQ(settings::DecimalToInt("-5"), -5);
    EXPECT_EQ(settings::DecimalToInt("99999999999999999999"), 2147483647);
}

TEST(Placeholders, ExpandedInPlaceFirstOccurrenceOnly) {
    settings::PlaceholderTable table = {{"${MSPAINT}", "/usr/bin/gimp"},
                                        {"${CURRENT_USER_MYPIC}", "/home/u/Pictures/"}};
    EXPECT_EQ(settings::ExpandPlaceholders("run ${MSPAINT} now", table), "run /usr/bin/gimp now");
    EXPECT_EQ(settings::ExpandPlaceholders("${CURRENT_USER_MYPIC}scans", table), "/home/u/Pictures/scans");
    // Matching is exact: another case is left alone; only the first occurrence is replaced.
    EXPECT_EQ(settings::ExpandPlaceholders("${mspaint}", table), "${mspaint}");
    EXPECT_EQ(settings::ExpandPlaceholders("${MSPAINT}${MSPAINT}", table), "/usr/bin/gimp${MSPAINT}");
}

TEST(Placeholders, ImageProgramIsAnAbsolutePath) {
    std::string program = settings::DesktopImageProgram();
    ASSERT_FALSE(program.empty());
    EXPECT_EQ(program[0], '/');
}

// The desktop's mail client is asked for through a helper program that starts dozens of
// processes: a text without its placeholder must not start it. A stand-in helper first
// on PATH counts its starts.
struct LookupCase {
    const char* text;
    const char* expanded; // "<pictures>" stands for the pictures folder
    int helperStarts;
};
std::ostream& operator<<(std::ostream& out, const LookupCase& c) { return out << c.text; }
class PlaceholderLookups : public ::testing::TestWithParam<LookupCase> {};

TEST_P(PlaceholderLookups, StartTheMailHelperOnlyWhenTheTextNeedsIt) {
    const auto& c = GetParam();
    testsupport::TempFolder bin;
    const std::string log = bin / "starts";
    const std::string helper = bin / "xdg-mime";
    ASSERT_TRUE(platform::PosixFileSystem().WriteFileAtomic(helper, "#!/bin/sh\necho \"$*\" >> '" + log +
                                                                        "'\necho stand-in-mail.desktop\n"));
    ASSERT_EQ(::chmod(helper.c_str(), 0755), 0);
    const char* oldPath = std::getenv("PATH");
    const std::string savedPath = oldPath ? oldPath : "/usr/bin:/bin";
    ::setenv("PATH", (bin.path() + ":" + savedPath).c_str(), 1);
    settings::SetPlaceholders({}); // found anew

    std::string expected = c.expanded;
    if (size_t at = expected.find("<pictures>"); at != std::string::npos)
        expected.replace(at, 10, settings::PicturesFolderPath());
    EXPECT_EQ(settings::ExpandPlaceholders(c.text), expected);
    EXPECT_EQ(settings::ExpandPlaceholders(c.text), expected); // found once per process
    std::string starts;
    platform::PosixFileSystem().ReadFile(log, starts);
    EXPECT_EQ(static_cast<int>(std::count(starts.begin(), starts.end(), '\n')), c.helperStarts) << starts;

    ::setenv("PATH", savedPath.c_str(), 1);
    settings::SetPlaceholders({});
}

INSTANTIATE_TEST_SUITE_P(Table, PlaceholderLookups,
                         ::testing::Values(LookupCase{"${CURRENT_USER_MYPIC}", "<pictures>", 0},
                                           LookupCase{"plain text", "plain text", 0},
                                           LookupCase{"${DEFAULT_MAILCLIENT}", "stand-in-mail.desktop", 1},
                                           LookupCase{"${CURRENT_USER_MYPIC}a ${DEFAULT_MAILCLIENT}",
                                                      "<pictures>a stand-in-mail.desktop", 1}));

TEST(ChoiceList, RemovesOnlyTheFirstExactKey) {
    settings::ChoiceList list = {{"Legal", "a"}, {"legal", "b"}, {"Legal", "c"}};
    settings::RemoveChoice(list, "Legal");
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].second, "b");
    EXPECT_EQ(settings::ChoiceText(list, "Legal"), "c");
}

} // namespace
