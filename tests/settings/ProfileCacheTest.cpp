// Profile reads are served from a parsed copy of each file; these tests prove that no
// change of the file, by us or by anyone else, is ever answered from a stale copy, and
// that the copy is really used while the file stays as it was.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <set>
#include <thread>

#include "platform/Services.h"
#include "settings/Profile.h"
#include "support/TempFolder.h"

namespace {

using namespace settings;
using testsupport::TempFolder;

// The real disk, counting the reads of file content. With `settleAll` every read counts
// as settled, as it would for files left alone for a while: copies are kept at once,
// so only the version check stands between a change and a stale read.
class CountingDisk : public platform::PosixFileSystem {
public:
    explicit CountingDisk(bool settleAll) : settleAll_(settleAll) {}
    bool ReadFileVersion(const std::string& path, std::string& content, platform::FileVersion& version) const override {
        ++reads;
        bool ok = PosixFileSystem::ReadFileVersion(path, content, version);
        if (settleAll_) version.settled = ok;
        return ok;
    }
    bool VersionOf(const std::string& path, platform::FileVersion& version) const override {
        ++looks;
        return PosixFileSystem::VersionOf(path, version);
    }
    mutable std::atomic<int> reads{0};
    mutable std::atomic<int> looks{0}; // version checks without reading
private:
    bool settleAll_;
};

// Sets a file's modification time to a fixed moment in the past.
void AgeFile(const std::string& path, long seconds = 1000000000) {
    timespec times[2] = {{seconds, 0}, {seconds, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

struct Change {
    const char* name;
    std::function<void(TempFolder&, const std::string&)> apply;
    std::string expected; // what k of [A] reads afterwards ("d" is the fallback)
    // Seen only through the settle rule: a same-size write that restores the modification
    // time within one tick of the file system's clock leaves the version as it was.
    bool onlyByItsTimes;
};

std::ostream& operator<<(std::ostream& out, const Change& c) { return out << c.name; }

const Change kChanges[] = {
    {"own write", [](TempFolder&, const std::string& f) { ASSERT_TRUE(WriteProfileString(f, "A", "k", "2")); }, "2",
     false},
    {"own key removal", [](TempFolder&, const std::string& f) { ASSERT_TRUE(DeleteProfileKey(f, "A", "k")); }, "d",
     false},
    {"rewritten in place, same size", [](TempFolder& d, const std::string&) { d.Write("p.ini", "[A]\nk=2\n"); }, "2",
     false},
    {"rewritten in place, other size", [](TempFolder& d, const std::string&) { d.Write("p.ini", "[A]\nk=22\n"); }, "22",
     false},
    {"rewritten in place, same size and modification time",
     [](TempFolder& d, const std::string& f) {
         d.Write("p.ini", "[A]\nk=2\n");
         AgeFile(f);
     },
     "2", true},
    {"replaced by another file",
     [](TempFolder& d, const std::string& f) {
         std::string other = d.Write("other.ini", "[A]\nk=3\n");
         AgeFile(other);
         ASSERT_EQ(std::rename(other.c_str(), f.c_str()), 0);
     },
     "3", false},
    {"removed", [](TempFolder&, const std::string& f) { ASSERT_EQ(std::remove(f.c_str()), 0); }, "d", false},
    {"removed and written again",
     [](TempFolder& d, const std::string& f) {
         ASSERT_EQ(std::remove(f.c_str()), 0);
         d.Write("p.ini", "[A]\nk=4\n");
     },
     "4", false},
};

// (the change, whether every read counts as settled)
class ProfileChange : public ::testing::TestWithParam<std::tuple<Change, bool>> {};

TEST_P(ProfileChange, IsSeenByTheNextRead) {
    const auto& [change, settled] = GetParam();
    platform::ScopedService<platform::IFileSystem> scoped(std::make_shared<CountingDisk>(settled));

    TempFolder dir;
    std::string f = dir.Write("p.ini", "[A]\nk=1\n");
    AgeFile(f);
    for (int i = 0; i < 3; ++i) ASSERT_EQ(ReadProfileString(f, "a", "K", "d"), "1");
    EXPECT_EQ(ListProfileKeys(f, "A"), std::vector<std::string>{"k"});

    change.apply(dir, f);
    EXPECT_EQ(ReadProfileString(f, "A", "k", "d"), change.expected);
    EXPECT_EQ(ReadProfileStringWhole(f, "A", "k", "d"), change.expected);
    EXPECT_EQ(ListProfileKeys(f, "A").size(), change.expected == "d" ? 0u : 1u);
}

// Every change on the real disk; on the disk that calls every read settled, every change
// but the one only the settle rule can see.
std::vector<std::tuple<Change, bool>> ChangeCases() {
    std::vector<std::tuple<Change, bool>> cases;
    for (const Change& c : kChanges) {
        cases.emplace_back(c, false);
        if (!c.onlyByItsTimes) cases.emplace_back(c, true);
    }
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Table, ProfileChange, ::testing::ValuesIn(ChangeCases()));

TEST(ProfileCopy, IsReadOnceWhileTheFileStaysAsItWas) {
    auto disk = std::make_shared<CountingDisk>(true);
    platform::ScopedService<platform::IFileSystem> scoped(disk);
    TempFolder dir;
    std::string f = dir.Write("p.ini", "[A]\nk=1\nj=" + std::string(1500, 'v') + "\n[B]\nk=x\n[a]\nk=late\n");
    AgeFile(f);
    for (int i = 0; i < 50; ++i) {
        // Cut, whole reads, first occurrence and case rules all hold on the kept copy.
        ASSERT_EQ(ReadProfileString(f, "a", "K"), "1");
        ASSERT_EQ(ReadProfileString(f, "A", "j").size(), kProfileValueLimit);
        ASSERT_EQ(ReadProfileStringWhole(f, "A", "J").size(), 1500u);
        ASSERT_EQ(ListProfileSections(f), (std::vector<std::string>{"A", "B"}));
    }
    EXPECT_EQ(disk->reads, 1);

    dir.Write("p.ini", "[A]\nk=2\n");
    EXPECT_EQ(ReadProfileString(f, "A", "k"), "2");
    EXPECT_EQ(disk->reads, 2);
}

TEST(ProfileCopy, IsNotKeptForAFileThatMayStillChangeUnseen) {
    // On the real disk a file just written is read again each time: a write within the
    // same tick of the file system's clock would leave its version as it was.
    auto disk = std::make_shared<CountingDisk>(false);
    platform::ScopedService<platform::IFileSystem> scoped(disk);
    TempFolder dir;
    std::string f = dir.Write("p.ini", "[A]\nk=1\n");
    AgeFile(f);
    for (int i = 0; i < 3; ++i) ASSERT_EQ(ReadProfileString(f, "A", "k"), "1");
    EXPECT_EQ(disk->reads, 3);
}

// A disk on which a file's version never changes: only dropping the copy on our own
// writes keeps those writes visible.
class VersionlessDisk : public CountingDisk {
public:
    VersionlessDisk() : CountingDisk(true) {}
    bool VersionOf(const std::string& path, platform::FileVersion& version) const override {
        platform::FileVersion real;
        bool exists = PosixFileSystem::VersionOf(path, real);
        version = {};
        return exists;
    }
    bool ReadFileVersion(const std::string& path, std::string& content, platform::FileVersion& version) const override {
        bool ok = CountingDisk::ReadFileVersion(path, content, version);
        bool settled = version.settled;
        version = {};
        version.settled = settled;
        return ok;
    }
};

TEST(ProfileCopy, IsDroppedByOurOwnWrites) {
    auto disk = std::make_shared<VersionlessDisk>();
    platform::ScopedService<platform::IFileSystem> scoped(disk);
    TempFolder dir;
    std::string f = dir.Write("p.ini", "[A]\nk=1\n");
    ASSERT_EQ(ReadProfileString(f, "A", "k"), "1");
    ASSERT_TRUE(WriteProfileString(f, "A", "k", "2"));
    EXPECT_EQ(ReadProfileString(f, "A", "k"), "2");
    ASSERT_TRUE(DeleteProfileKey(f, "A", "k"));
    EXPECT_EQ(ReadProfileString(f, "A", "k", "gone"), "gone");
}

TEST(ProfileCopy, ReadersInSeveralThreadsSeeOnlyWrittenValues) {
    auto disk = std::make_shared<CountingDisk>(true);
    platform::ScopedService<platform::IFileSystem> scoped(disk);
    TempFolder dir;
    std::string f = dir.Write("p.ini", "[A]\nk=v0\n");
    const int kWrites = 40;
    std::set<std::string> written{"v0"};
    for (int i = 1; i <= kWrites; ++i) written.insert("v" + std::string(static_cast<size_t>(i), 'x'));

    std::atomic<bool> done{false};
    std::atomic<int> unexpected{0};
    std::vector<std::thread> readers;
    for (int t = 0; t < 3; ++t)
        readers.emplace_back([&] {
            while (!done)
                if (!written.count(ReadProfileString(f, "A", "k"))) ++unexpected;
        });
    for (int i = 1; i <= kWrites; ++i)
        ASSERT_TRUE(WriteProfileString(f, "A", "k", "v" + std::string(static_cast<size_t>(i), 'x')));
    done = true;
    for (auto& r : readers) r.join();
    EXPECT_EQ(unexpected, 0);
    EXPECT_EQ(ReadProfileString(f, "A", "k"), "v" + std::string(kWrites, 'x'));
}

// ---- snapshots: one look at each file per operation ---------------------------------

// Another program rewrites the file (a shell, not this process's profile layer).
void RewriteElsewhere(const std::string& file, const std::string& content) {
    const std::string command = "printf '" + content + "' > '" + file + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);
}

// (whether every read counts as settled)
class ProfileSnapshotCase : public ::testing::TestWithParam<bool> {};

TEST_P(ProfileSnapshotCase, LooksAtEachFileOnceWhileItIsOpen) {
    auto disk = std::make_shared<CountingDisk>(GetParam());
    platform::ScopedService<platform::IFileSystem> scoped(disk);
    TempFolder dir;
    std::string f = dir.Write("p.ini", "[A]\nk=1\nj=" + std::string(1500, 'v') + "\n[a]\nk=late\n");
    std::string g = dir.Write("q.ini", "[B]\nk=2\n");
    {
        ProfileSnapshot snapshot;
        for (int i = 0; i < 50; ++i) {
            // The INI rules hold on the snapshot's copy as on any other.
            ASSERT_EQ(ReadProfileString(f, "a", "K"), "1");
            ASSERT_EQ(ReadProfileString(f, "A", "j").size(), kProfileValueLimit);
            ASSERT_EQ(ReadProfileStringWhole(f, "A", "J").size(), 1500u);
            ASSERT_EQ(ReadProfileString(g, "b", "k"), "2");
        }
        EXPECT_LE(disk->looks + disk->reads, 4) << "looks " << disk->looks << ", reads " << disk->reads;
        EXPECT_EQ(disk->reads, 2);
    }
    // Without a snapshot every read looks again.
    const int before = disk->looks + disk->reads;
    for (int i = 0; i < 3; ++i) ASSERT_EQ(ReadProfileString(f, "A", "k"), "1");
    EXPECT_GE(disk->looks + disk->reads - before, 3);
}

TEST_P(ProfileSnapshotCase, SeesOurOwnWritesAtOnceAndOthersAfterItsEnd) {
    platform::ScopedService<platform::IFileSystem> scoped(std::make_shared<CountingDisk>(GetParam()));
    TempFolder dir;
    std::string f = dir.Write("p.ini", "[A]\nk=1\n");
    AgeFile(f);
    {
        ProfileSnapshot snapshot;
        ASSERT_EQ(ReadProfileString(f, "A", "k"), "1");
        ASSERT_TRUE(WriteProfileString(f, "A", "k", "2"));
        EXPECT_EQ(ReadProfileString(f, "A", "k"), "2");
        ASSERT_TRUE(DeleteProfileKey(f, "A", "k"));
        EXPECT_EQ(ReadProfileString(f, "A", "k", "d"), "d");
        ASSERT_TRUE(WriteProfileString(f, "A", "k", "3"));
        ASSERT_EQ(ReadProfileString(f, "A", "k"), "3");
        // Another program's change during the operation waits for its end.
        RewriteElsewhere(f, "[A]\\nk=44\\n");
        EXPECT_EQ(ReadProfileString(f, "A", "k"), "3");
    }
    EXPECT_EQ(ReadProfileString(f, "A", "k"), "44");
    // The next operation sees a change made between the two.
    RewriteElsewhere(f, "[A]\\nk=5\\n");
    ProfileSnapshot next;
    EXPECT_EQ(ReadProfileString(f, "A", "k"), "5");
    EXPECT_EQ(ListProfileKeys(f, "A"), std::vector<std::string>{"k"});
}

INSTANTIATE_TEST_SUITE_P(Settled, ProfileSnapshotCase, ::testing::Bool());

TEST(ProfileSnapshot, OverlappingSnapshotsLookAgainOnlyOnceAllHaveEnded) {
    auto disk = std::make_shared<CountingDisk>(true);
    platform::ScopedService<platform::IFileSystem> scoped(disk);
    TempFolder dir;
    std::string f = dir.Write("p.ini", "[A]\nk=1\n");
    AgeFile(f);
    auto outer = std::make_unique<ProfileSnapshot>();
    ASSERT_EQ(ReadProfileString(f, "A", "k"), "1");
    RewriteElsewhere(f, "[A]\\nk=2\\n");
    // A snapshot begun on another thread while the first is open shares its copies.
    std::thread other([&] {
        ProfileSnapshot inner;
        EXPECT_EQ(ReadProfileString(f, "A", "k"), "1");
    });
    other.join();
    EXPECT_EQ(ReadProfileString(f, "A", "k"), "1");
    outer.reset();
    EXPECT_EQ(ReadProfileString(f, "A", "k"), "2");
}

} // namespace
