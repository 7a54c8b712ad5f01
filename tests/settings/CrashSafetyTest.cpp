// Saving the four destination records while being killed at random moments: after every
// kill Sets.dat is, byte for byte, the file before the save or the file after it, and no
// temporary file of the killed writer survives the next start.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <vector>

#include "SettingsFixture.h"
#include "platform/FileSystem.h"
#include "platform/Temporaries.h"
#include "settings/Records.h"
#include "support/KillAtRandom.h"

namespace {

using namespace std::chrono;

class SettingsKilled : public testsupport::SettingsFixture {
protected:
    void SetUp() override {
        SettingsFixture::SetUp();
        sets = settings::UserSettingsFilePath();
        settings::ResetSettingsHandler();
        records.LoadAll();
    }
    // Two recognisable versions of all four records (different lengths, so a mixture
    // could not pass for either).
    void Fill(bool second) {
        for (settings::CommonSetting* r : {static_cast<settings::CommonSetting*>(&records.Application1()),
                                           static_cast<settings::CommonSetting*>(&records.Application2()),
                                           static_cast<settings::CommonSetting*>(&records.Folder()),
                                           static_cast<settings::CommonSetting*>(&records.Fax())}) {
            r->SetFileName(second ? "SecondVersionOfTheName" : "First");
            r->SetResolution(second ? 600 : 150);
            r->SetColorMode(second ? "Gray" : "Color");
        }
        records.SetCurrentPage(second ? 2 : 1);
    }
    std::string Content() const {
        std::string content;
        platform::PosixFileSystem().ReadFile(sets, content);
        return content;
    }
    // Files of the user folder that are neither data nor folders.
    std::vector<std::string> Leftovers() const {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(UserFolder())) {
            const std::string name = e.path().filename();
            if (name != "Sets.dat" && name != "Prdct.dat" && !e.is_directory()) names.push_back(name);
        }
        return names;
    }
    std::string sets;
    settings::DestinationSettings records;
};

TEST_F(SettingsKilled, SetsDatIsAlwaysTheOldOrTheNewFile) {
    // The two files the saves alternate between, each saved over the other.
    Fill(false);
    ASSERT_TRUE(records.SaveAll());
    Fill(true);
    ASSERT_TRUE(records.SaveAll());
    Fill(false);
    ASSERT_TRUE(records.SaveAll());
    const std::string first = Content();
    const auto started = steady_clock::now();
    Fill(true);
    ASSERT_TRUE(records.SaveAll());
    const auto saveTime = duration_cast<microseconds>(steady_clock::now() - started);
    const std::string second = Content();
    ASSERT_NE(first, second);
    ASSERT_EQ(Leftovers(), std::vector<std::string>{});

    std::mt19937 random(20261208);
    // Kills spread over a few saves, landing before, during and between them.
    const microseconds longest = std::max(microseconds(200), saveTime * 4);
    int sawFirst = 0, sawSecond = 0, leftBehind = 0;
    for (int kill = 0; kill < 500; ++kill) {
        ASSERT_TRUE(testsupport::KillAtRandom(random, longest,
                                              [&] {
                                                  for (bool version = false;; version = !version) {
                                                      Fill(version);
                                                      records.SaveAll();
                                                  }
                                              }))
            << "kill " << kill;
        const std::string now = Content();
        ASSERT_TRUE(now == first || now == second)
            << "kill " << kill << " left a Sets.dat of " << now.size() << " bytes that is neither version";
        (now == first ? sawFirst : sawSecond)++;
        // The next start removes what the killed writer left.
        leftBehind += static_cast<int>(Leftovers().size());
        platform::SweepOrphanedTemporaries(UserFolder());
        ASSERT_EQ(Leftovers(), std::vector<std::string>{}) << "kill " << kill;
    }
    // Both versions were seen: the kills landed in the middle of the save loop.
    EXPECT_GT(sawFirst, 0);
    EXPECT_GT(sawSecond, 0);
    std::printf("500 kills (each within %lld us): old file %d times, new file %d times, %d temporary files swept\n",
                static_cast<long long>(longest.count()), sawFirst, sawSecond, leftBehind);
}

// What a killed writer of an earlier kind left: temporary names with its process id are
// removed once that process is gone, those of a living process and foreign files stay.
TEST_F(SettingsKilled, OnlyTemporariesOfGoneWritersAreSwept) {
    testsupport::TempFolder folder;
    const pid_t gone = [] {
        const pid_t child = ::fork();
        if (child == 0) ::_exit(0);
        int status;
        ::waitpid(child, &status, 0);
        return child;
    }();
    const std::string me = std::to_string(::getpid());
    const std::string dead = std::to_string(gone);
    const std::vector<std::pair<std::string, bool>> files = {
        {"Sets.dat.tmp" + dead + "-abc123", true},
        {".Prdct.dat." + dead + "-x1y2z3.part", true},
        {"Sets.dat.tmp" + me + "-abc123", false},
        {".Prdct.dat." + me + "-x1y2z3.part", false},
        {"Sets.dat", false},
        {"notes.tmp" + dead + "-abc", false}, // not our suffix
        {"Sets.dat.tmp123456", false},        // an earlier version's, but recent
        {"." + dead + "-abcdef.part", false}, // no name in front
    };
    for (const auto& f : files) folder.Write(f.first, "x");
    EXPECT_EQ(platform::SweepOrphanedTemporaries(folder.path()), 2);
    for (const auto& f : files) EXPECT_EQ(std::filesystem::exists(folder / f.first), !f.second) << f.first;
}

} // namespace
