#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>

#include "platform/FileSystem.h"
#include "platform/Process.h"
#include "platform/Text.h"
#include "support/TempFolder.h"

namespace {

using testsupport::TempFolder;

TEST(PosixFileSystem, ListsDotEntriesAndFiles) {
    TempFolder dir;
    dir.Write("a.txt", "x");
    platform::PosixFileSystem fs;
    std::vector<std::string> names;
    ASSERT_TRUE(fs.ListFolder(dir.path(), names));
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{".", "..", "a.txt"}));
    EXPECT_FALSE(fs.ListFolder(dir / "missing/", names));
}

TEST(PosixFileSystem, CopyRefusesToOverwrite) {
    TempFolder dir;
    platform::PosixFileSystem fs;
    dir.Write("from", "new");
    dir.Write("to", "old");
    EXPECT_FALSE(fs.CopyNoOverwrite(dir / "from", dir / "to"));
    EXPECT_EQ(dir.Read("to"), "old");
    EXPECT_TRUE(fs.CopyNoOverwrite(dir / "from", dir / "copy"));
    EXPECT_EQ(dir.Read("copy"), "new");
    EXPECT_FALSE(fs.CopyNoOverwrite(dir / "absent", dir / "other"));
    EXPECT_FALSE(fs.Exists(dir / "other"));
    std::vector<std::string> names;
    ASSERT_TRUE(fs.ListFolder(dir.path(), names));
    EXPECT_EQ(names.size(), 5u) << "no working copy is left beside the targets";
}

TEST(PosixFileSystem, PublishNeverReplacesAndCreateNewNeverOpensAnExistingFile) {
    TempFolder dir;
    platform::PosixFileSystem fs;
    dir.Write("taken", "old");
    const std::string working = platform::HiddenWorkingName(dir / "taken");
    EXPECT_EQ(working.rfind(dir / ".taken.", 0), 0u) << working;
    EXPECT_EQ(working.substr(working.size() - 5), ".part");
    int error = 0;
    ASSERT_TRUE(fs.CreateNew(working, &error)) << error;
    EXPECT_FALSE(fs.CreateNew(working, &error));
    EXPECT_EQ(error, EEXIST);
    EXPECT_EQ(fs.PublishNoReplace(working, dir / "taken"), EEXIST);
    EXPECT_EQ(dir.Read("taken"), "old");
    EXPECT_TRUE(fs.Exists(working)) << "a refused publication changes nothing";
    EXPECT_EQ(fs.PublishNoReplace(working, dir / "free"), 0);
    EXPECT_TRUE(fs.Exists(dir / "free"));
    EXPECT_FALSE(fs.Exists(working));
    EXPECT_EQ(fs.PublishNoReplace(dir / "absent", dir / "other"), ENOENT);
}

TEST(PosixFileSystem, AtomicWriteReplacesWholeFileAndKeepsMode) {
    TempFolder dir;
    platform::PosixFileSystem fs;
    std::string path = dir.Write("settings.ini", "old content");
    ::chmod(path.c_str(), 0640);
    ASSERT_TRUE(fs.WriteFileAtomic(path, "new"));
    EXPECT_EQ(dir.Read("settings.ini"), "new");
    struct stat st;
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    std::vector<std::string> names;
    fs.ListFolder(dir.path(), names);
    EXPECT_EQ(names.size(), 3u) << "no temporary file may stay behind";
}

TEST(PosixFileSystem, FailedAtomicWriteLeavesNothing) {
    TempFolder dir;
    platform::PosixFileSystem fs;
    EXPECT_FALSE(fs.WriteFileAtomic(dir / "no/such/folder/file", "x"));
    // A folder in the target's place cannot be replaced by a file.
    ASSERT_TRUE(fs.CreateFolder(dir / "taken"));
    EXPECT_FALSE(fs.WriteFileAtomic(dir / "taken", "x"));
    std::vector<std::string> names;
    fs.ListFolder(dir.path(), names);
    EXPECT_EQ(names.size(), 3u);
}

TEST(PosixFileSystem, VersionOfAFileJustWrittenIsNotSettled) {
    TempFolder dir;
    platform::PosixFileSystem fs;
    std::string path = dir.Write("a.ini", "[A]\nk=1\n");
    std::string content;
    platform::FileVersion read, now;
    ASSERT_TRUE(fs.ReadFileVersion(path, content, read));
    EXPECT_EQ(content, "[A]\nk=1\n");
    EXPECT_EQ(read.size, 8);
    EXPECT_FALSE(read.settled) << "a write within the same clock tick could leave the version as it is";
    ASSERT_TRUE(fs.VersionOf(path, now));
    EXPECT_TRUE(now.SameAs(read));

    dir.Write("a.ini", "[A]\nk=22\n");
    ASSERT_TRUE(fs.VersionOf(path, now));
    EXPECT_FALSE(now.SameAs(read));
    ASSERT_TRUE(fs.WriteFileAtomic(path, "[A]\nk=1\n"));
    ASSERT_TRUE(fs.VersionOf(path, now));
    EXPECT_NE(now.inode, read.inode) << "a replaced file is another version even at the same size";

    EXPECT_FALSE(fs.VersionOf(dir / "absent", now));
    EXPECT_FALSE(fs.ReadFileVersion(dir / "absent", content, now));
    EXPECT_FALSE(fs.ReadFileVersion(dir.path(), content, now));
}

TEST(PosixFileSystem, VersionOfAnOldFileIsSettled) {
    platform::PosixFileSystem fs;
    const std::string path = "/usr/bin/env"; // installed with the system, never written since
    std::string content;
    platform::FileVersion read;
    ASSERT_TRUE(fs.ReadFileVersion(path, content, read));
    EXPECT_EQ(static_cast<std::int64_t>(content.size()), read.size);
    EXPECT_TRUE(read.settled);
}

TEST(Process, CapturesOutputAndStatus) {
    std::string out;
    EXPECT_TRUE(platform::CaptureOutput({"printf", "%s", "a b"}, out, 5000));
    EXPECT_EQ(out, "a b");
    EXPECT_FALSE(platform::CaptureOutput({"false"}, out, 5000));
    EXPECT_FALSE(platform::CaptureOutput({"/no/such/program"}, out, 5000));
    EXPECT_FALSE(platform::CaptureOutput({"sleep", "5"}, out, 100)) << "a program past its time is killed";
    EXPECT_TRUE(platform::IsOnPath("sh"));
    EXPECT_FALSE(platform::IsOnPath("no-such-program-here"));
}

TEST(CreateFolderPath, CreatesEveryMissingLevel) {
    TempFolder dir;
    platform::PosixFileSystem fs;
    fs.CreateFolder(dir / "a");
    EXPECT_TRUE(platform::CreateFolderPath(dir / "a/b/c/"));
    EXPECT_TRUE(fs.IsDirectory(dir / "a/b/c"));
    EXPECT_TRUE(platform::CreateFolderPath(dir / "a/b/c"));
    EXPECT_FALSE(fs.Exists(dir / "a/x"));
}

TEST(CreateFolderPath, FailsOnAFileUnderAFileAndForOverlongPaths) {
    TempFolder dir;
    dir.Write("file", "x");
    EXPECT_FALSE(platform::CreateFolderPath(dir / "file"));
    EXPECT_FALSE(platform::CreateFolderPath(dir / "file/sub/"));
    EXPECT_FALSE(platform::CreateFolderPath(dir / std::string(5000, 'x')));
    EXPECT_FALSE(platform::CreateFolderPath(""));
}

struct ExtensionCase {
    const char* path;
    const char* extension;
};
class Extensions : public ::testing::TestWithParam<ExtensionCase> {};

TEST_P(Extensions, FollowTheLastDotOfTheFileName) {
    EXPECT_EQ(platform::ExtensionOf(GetParam().path), GetParam().extension);
}

INSTANTIATE_TEST_SUITE_P(Table, Extensions,
                         ::testing::Values(ExtensionCase{"/a/Scan0001.PDF", "PDF"}, ExtensionCase{"page.tar.gz", "gz"},
                                           ExtensionCase{"/a.b/name", ""}, ExtensionCase{"/a/name.", ""},
                                           ExtensionCase{"noext", ""}));

TEST(AsciiText, LowersAndComparesAsciiLettersOnly) {
    EXPECT_EQ(platform::AsciiLower("JPEG Tiff-8"), "jpeg tiff-8");
    EXPECT_EQ(platform::AsciiLower("\xC4\xD6"), "\xC4\xD6"); // bytes above 127 stay as they are
    EXPECT_TRUE(platform::EqualsIgnoringAsciiCase("test:0", "TEST:0"));
    EXPECT_FALSE(platform::EqualsIgnoringAsciiCase("test:0", "test:00"));
}

} // namespace
