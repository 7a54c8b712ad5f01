#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <thread>
#include <vector>

#include "settings/Profile.h"
#include "support/TempFolder.h"

namespace {

using namespace settings;
using testsupport::TempFolder;

TEST(Profile, NamesMatchWithoutRegardToCaseAndFirstOccurrenceWins) {
    TempFolder dir;
    std::string f = dir.Write(
        "a.ini",
        "; comment\r\n[Folder]\r\nCurDlg = 2 \r\ncurdlg=3\r\n[folder]\r\nCurDlg=9\r\n[Other]\r\nx=\"quoted\"\r\n");
    EXPECT_EQ(ReadProfileString(f, "FOLDER", "curdlg"), "2");
    EXPECT_EQ(ReadProfileString(f, "folder", "Curdlg"), "2");
    EXPECT_EQ(ReadProfileString(f, "Other", "x"), "quoted");
    EXPECT_EQ(ReadProfileString(f, "Other", "missing", "dflt"), "dflt");
    EXPECT_EQ(ReadProfileString(f, "Nowhere", "x", "dflt"), "dflt");
    EXPECT_EQ(ReadProfileString(dir / "absent.ini", "Folder", "CurDlg", "d"), "d");
}

TEST(Profile, ValuesAreCutAt1023Characters) {
    TempFolder dir;
    std::string f = dir / "long.ini";
    std::string value(1500, 'v');
    value[1022] = 'E';
    ASSERT_TRUE(WriteProfileString(f, "S", "k", value));
    std::string read = ReadProfileString(f, "S", "k");
    EXPECT_EQ(read.size(), 1023u);
    EXPECT_EQ(read.back(), 'E');
    EXPECT_EQ(ReadProfileString(f, "S", "k2", std::string(2000, 'd')).size(), 1023u);
    // The whole read gives back exactly what was written.
    EXPECT_EQ(ReadProfileStringWhole(f, "s", "K"), value);
    EXPECT_EQ(ReadProfileStringWhole(f, "S", "k2", "d"), "d");
}

TEST(Profile, WriteCreatesFileAndSection) {
    TempFolder dir;
    std::string f = dir / "new.ini";
    ASSERT_TRUE(WriteProfileString(f, "Folder", "CurDlg", "1"));
    ASSERT_TRUE(WriteProfileString(f, "Fax", "Colormode", "BW"));
    ASSERT_TRUE(WriteProfileString(f, "Folder", "Filetype", "PDF"));
    EXPECT_EQ(dir.Read("new.ini"), "[Folder]\nCurDlg=1\nFiletype=PDF\n[Fax]\nColormode=BW\n");
}

TEST(Profile, WriteReplacesInPlaceAndKeepsEverythingElse) {
    TempFolder dir;
    const std::string before =
        "; user settings\r\n[Application1]\r\nTitle=Viewer\r\n  CurDlg = 0\r\n\r\n; next\r\n[Folder]\r\nA=1\r\n";
    std::string f = dir.Write("s.ini", before);
    ASSERT_TRUE(WriteProfileString(f, "application1", "curdlg", "3"));
    EXPECT_EQ(dir.Read("s.ini"),
              "; user settings\r\n[Application1]\r\nTitle=Viewer\r\ncurdlg=3\r\n\r\n; next\r\n[Folder]\r\nA=1\r\n");
    ASSERT_TRUE(WriteProfileString(f, "Application1", "New", "x"));
    EXPECT_EQ(
        dir.Read("s.ini"),
        "; user settings\r\n[Application1]\r\nTitle=Viewer\r\ncurdlg=3\r\nNew=x\r\n\r\n; next\r\n[Folder]\r\nA=1\r\n");
}

TEST(Profile, WriteToFileWithoutFinalLineEnd) {
    TempFolder dir;
    std::string f = dir.Write("s.ini", "[A]\nk=1");
    ASSERT_TRUE(WriteProfileString(f, "A", "j", "2"));
    ASSERT_TRUE(WriteProfileString(f, "B", "m", "3"));
    EXPECT_EQ(dir.Read("s.ini"), "[A]\nk=1\nj=2\n[B]\nm=3\n");
}

struct RefusedWrite {
    const char* section;
    const char* key;
    const char* value;
};
class ProfileRefusal : public ::testing::TestWithParam<RefusedWrite> {};

TEST_P(ProfileRefusal, LineBreaksAndSeparatorsNeverReachTheFile) {
    TempFolder dir;
    std::string f = dir.Write("s.ini", "[A]\nk=1\n");
    const auto& p = GetParam();
    EXPECT_FALSE(WriteProfileString(f, p.section, p.key, p.value));
    EXPECT_EQ(dir.Read("s.ini"), "[A]\nk=1\n");
}

INSTANTIATE_TEST_SUITE_P(Injections, ProfileRefusal,
                         ::testing::Values(RefusedWrite{"A", "k", "x\n[Evil]\nk=1"}, RefusedWrite{"A", "k", "x\ry"},
                                           RefusedWrite{"A", "k\nz", "1"}, RefusedWrite{"A\n", "k", "1"},
                                           RefusedWrite{"A", "k=z", "1"}, RefusedWrite{"A]x", "k", "1"},
                                           RefusedWrite{"A", "", "1"}, RefusedWrite{"", "k", "1"}));

TEST(Profile, FailedWriteLeavesTheOldFileIntact) {
    TempFolder dir;
    const std::string before = "[A]\nk=old\n";
    std::string f = dir.Write("s.ini", before);
    // Let the process write no more than a few hundred bytes: the new content fails to
    // be written in full, as on a full disk.
    ::signal(SIGXFSZ, SIG_IGN);
    rlimit saved;
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = 200;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    bool written = WriteProfileString(f, "A", "k", std::string(1000, 'n'));
    ::setrlimit(RLIMIT_FSIZE, &saved);
    EXPECT_FALSE(written);
    EXPECT_EQ(dir.Read("s.ini"), before);
    EXPECT_EQ(ListProfileSections(f), std::vector<std::string>{"A"});
}

TEST(Profile, ListsSectionsAndKeysInFileOrder) {
    TempFolder dir;
    std::string body;
    for (int i = 0; i < 300; ++i) body += "[Section_with_a_long_name_" + std::to_string(i) + "]\nk=1\n";
    std::string f = dir.Write("many.ini", "[B]\nz=1\ny=2\nZ=3\n[A]\n" + body + "[b]\nq=1\n");
    auto sections = ListProfileSections(f);
    ASSERT_EQ(sections.size(), 302u) << "listing is not cut at any buffer size";
    EXPECT_EQ(sections[0], "B");
    EXPECT_EQ(sections[1], "A");
    EXPECT_EQ(ListProfileKeys(f, "b"), (std::vector<std::string>{"z", "y"}));
    EXPECT_TRUE(ListProfileSections(dir / "absent.ini").empty());
    EXPECT_TRUE(ListProfileKeys(f, "none").empty());
}

TEST(Profile, NonIniContentIsReadAsNothing) {
    TempFolder dir;
    std::string f = dir.Write("junk.dat", std::string("\x7f"
                                                      "ELF\0\0binary\nno sections here\n",
                                                      30));
    EXPECT_TRUE(ListProfileSections(f).empty());
    EXPECT_EQ(ReadProfileString(f, "A", "k", "d"), "d");
    ASSERT_TRUE(WriteProfileString(f, "A", "k", "v"));
    EXPECT_EQ(ReadProfileString(f, "A", "k"), "v");
}

TEST(Profile, WriteOfTheStoredValueLeavesTheFileUntouched) {
    TempFolder dir;
    std::string f = dir.Write("s.ini", "[A]\nk = 1\nj=2\n");
    struct stat before, after;
    ASSERT_EQ(::stat(f.c_str(), &before), 0);
    ASSERT_TRUE(WriteProfileString(f, "a", "j", "2"));
    ASSERT_EQ(::stat(f.c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino) << "the file was replaced";
    // A write that changes the spelling of the line is a change.
    ASSERT_TRUE(WriteProfileString(f, "A", "k", "1"));
    EXPECT_EQ(dir.Read("s.ini"), "[A]\nk=1\nj=2\n");
    // So is a write to a file that does not exist yet, even of nothing.
    ASSERT_TRUE(WriteProfileString(dir / "empty.ini", "A", "k", ""));
    EXPECT_EQ(dir.Read("empty.ini"), "[A]\nk=\n");
}

TEST(Profile, DeleteKeyRemovesOnlyThatKey) {
    TempFolder dir;
    std::string f = dir.Write("s.ini", "[A]\nk=1\nj=2\n[B]\nk=3\n");
    ASSERT_TRUE(DeleteProfileKey(f, "a", "K"));
    EXPECT_EQ(dir.Read("s.ini"), "[A]\nj=2\n[B]\nk=3\n");
}

// A batch changes the file once, at Commit; before that only the thread that writes sees
// the pending values, and a batch dropped without Commit changes nothing.
TEST(Profile, BatchWritesEverythingAtOnceOrNothing) {
    TempFolder dir;
    const std::string f = dir.Write("b.ini", "[A]\r\nk=old\r\n");
    {
        ProfileWriteBatch dropped(f);
        ASSERT_TRUE(WriteProfileString(f, "A", "k", "dropped"));
        EXPECT_EQ(ReadProfileString(f, "A", "k"), "dropped");
    }
    EXPECT_EQ(dir.Read("b.ini"), "[A]\r\nk=old\r\n");
    ProfileWriteBatch batch(f);
    ASSERT_TRUE(WriteProfileString(f, "A", "k", "new"));
    ASSERT_TRUE(WriteProfileString(f, "B", "j", "added"));
    EXPECT_TRUE(DeleteProfileKey(f, "A", "gone"));
    EXPECT_FALSE(WriteProfileString(f, "A", "bad", "line\nbreak"));
    EXPECT_EQ(ListProfileSections(f), (std::vector<std::string>{"A", "B"}));
    std::string seenElsewhere;
    std::thread([&] { seenElsewhere = ReadProfileString(f, "A", "k"); }).join();
    EXPECT_EQ(seenElsewhere, "old");
    EXPECT_EQ(dir.Read("b.ini"), "[A]\r\nk=old\r\n");
    ASSERT_TRUE(batch.Commit());
    EXPECT_EQ(dir.Read("b.ini"), "[A]\r\nk=new\r\n[B]\r\nj=added\r\n");
}

// A last line that ends with a bare CR (no LF): a key added after it, or a section added
// to the end, gets lines of its own, and the last line reads as before.
TEST(Profile, WriteAfterALastLineEndingWithABareCarriageReturn) {
    TempFolder dir;
    const std::string f = dir.Write("c.ini", "[A]\r\nk=v\r");
    ASSERT_TRUE(WriteProfileString(f, "A", "added", "x"));
    ASSERT_TRUE(WriteProfileString(f, "B", "other", "y"));
    EXPECT_EQ(ReadProfileString(f, "A", "k"), "v");
    EXPECT_EQ(ReadProfileString(f, "A", "added"), "x");
    EXPECT_EQ(ReadProfileString(f, "B", "other"), "y");
}

} // namespace
