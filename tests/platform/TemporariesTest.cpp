#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "platform/FileSystem.h"
#include "platform/Temporaries.h"
#include "support/TempFolder.h"

namespace {

using testsupport::TempFolder;

bool IsPage(const std::string& name) { return name.compare(0, 5, "page-") == 0; }

// Runs `body` in a child process and answers its exit status.
template <typename Body>
int InChild(Body body) {
    const pid_t child = ::fork();
    if (child == 0) ::_exit(body());
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Pages of a shared folder go only when no other process uses the folder.
TEST(Temporaries, SharedFolderIsCleanedByItsOnlyUser) {
    TempFolder dir;
    dir.Write("page-1.bmp", "left by a killed scan");
    dir.Write("notes.txt", "not ours");
    int holding[2], release[2];
    ASSERT_EQ(::pipe(holding), 0);
    ASSERT_EQ(::pipe(release), 0);
    const pid_t user = ::fork();
    if (user == 0) {
        // A process that uses the folder (and sweeps it, being the first) and keeps using it.
        const bool joined = platform::JoinSharedFolder(dir.path(), IsPage);
        char c = joined ? 1 : 0;
        if (::write(holding[1], &c, 1) != 1 || ::read(release[0], &c, 1) != 1) ::_exit(3);
        ::_exit(0);
    }
    char c = 0;
    ASSERT_EQ(::read(holding[0], &c, 1), 1);
    ASSERT_EQ(c, 1);
    EXPECT_FALSE(std::filesystem::exists(dir / "page-1.bmp"));
    dir.Write("page-2.bmp", "being written by the user");
    // A second user while the first is alive leaves its pages alone.
    EXPECT_EQ(InChild([&] { return platform::JoinSharedFolder(dir.path(), IsPage) ? 0 : 1; }), 0);
    EXPECT_TRUE(std::filesystem::exists(dir / "page-2.bmp"));
    ASSERT_EQ(::write(release[1], &c, 1), 1);
    int status = 0;
    ::waitpid(user, &status, 0);
    // The first user has ended: the next one removes its page, and only pages.
    EXPECT_EQ(InChild([&] { return platform::JoinSharedFolder(dir.path(), IsPage) ? 0 : 1; }), 0);
    EXPECT_FALSE(std::filesystem::exists(dir / "page-2.bmp"));
    EXPECT_TRUE(std::filesystem::exists(dir / "notes.txt"));
    for (int fd : {holding[0], holding[1], release[0], release[1]}) ::close(fd);
}

// A replacement and a working file name carry the writer's id.
TEST(Temporaries, NamesCarryTheWritersProcessId) {
    const long me = ::getpid();
    EXPECT_EQ(platform::WriterOfTemporary(platform::TemporaryNameFor("/x/Sets.dat").substr(3)), me);
    const std::string working = platform::HiddenWorkingName("/x/scan(2026-1-2)0001.PDF");
    EXPECT_EQ(platform::WriterOfTemporary(working.substr(3)), me);
    EXPECT_EQ(platform::WriterOfTemporary(working.substr(3) + "FirstPage"), me);
    EXPECT_EQ(platform::WriterOfTemporary("scan(2026-1-2)0001.PDF"), 0);
    EXPECT_FALSE(platform::ProcessIsGone(me));
}

// Replacing a file leaves no other name in its folder, whichever way it was written.
TEST(Temporaries, AtomicWriteLeavesOnlyTheFile) {
    TempFolder dir;
    platform::PosixFileSystem fs;
    ASSERT_TRUE(fs.WriteFileAtomic(dir / "Sets.dat", "one"));
    ASSERT_TRUE(fs.WriteFileAtomic(dir / "Sets.dat", "two"));
    ASSERT_TRUE(fs.CopyNoOverwrite(dir / "Sets.dat", dir / "copy.dat"));
    std::vector<std::string> names;
    ASSERT_TRUE(fs.ListFolder(dir.path(), names));
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{".", "..", "Sets.dat", "copy.dat"}));
    EXPECT_EQ(dir.Read("copy.dat"), "two");
}

} // namespace
