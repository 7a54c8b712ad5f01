#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <tuple>
#include <vector>

#include "SettingsFixture.h"
#include "platform/Services.h"
#include "settings/AppList.h"
#include "settings/Profile.h"

namespace {

using settings::AppLaunchInfo;
using settings::AppListProvider;

class AppList : public testsupport::SettingsFixture {
protected:
    void SetUp() override {
        SettingsFixture::SetUp();
        file = home.path() + "Sets.dat";
        exe = home.Write("bin/tool", "#!/bin/sh\n");
        SetMax(5);
        Store(""); // the settings file exists, with an empty list
    }
    void SetMax(int n) {
        settings::WriteProfileString(program / "Def.dat", "Config", "MaxAppListCount", std::to_string(n));
    }
    void Store(const std::string& list) { settings::WriteProfileString(file, "Application1", "ListMapping", list); }
    std::string Stored() { return settings::ReadProfileStringWhole(file, "Application1", "ListMapping"); }
    int Add(AppListProvider& p, const std::string& title, const std::string& path) {
        AppLaunchInfo e(0, title, path);
        return p.Add(e);
    }
    std::string file;
    std::string exe;
};

TEST_F(AppList, IdentifiersFollowTheLastEntry) {
    AppListProvider p("Application1", file);
    EXPECT_EQ(Add(p, "One", exe), 0);
    EXPECT_EQ(Add(p, "Two", exe), 0);
    EXPECT_EQ(Add(p, "Three", exe), 0);
    EXPECT_EQ(Stored(), "1|One|" + exe + "|2|Two|" + exe + "|3|Three|" + exe + "|");
    p.Remove(2); // a middle entry: identifiers keep increasing
    EXPECT_EQ(Add(p, "Four", exe), 0);
    EXPECT_EQ(p.Entries().back()->GetId(), 4);
    p.Remove(4); // the last entry: its identifier comes back
    EXPECT_EQ(Add(p, "Five", exe), 0);
    EXPECT_EQ(p.Entries().back()->GetId(), 4);
}

TEST_F(AppList, MaximumCountStopsAddingButNotModifying) {
    Store("1|A|" + exe + "|2|B|" + exe + "|3|C|" + exe + "|4|D|" + exe + "|5|E|" + exe + "|");
    AppListProvider p("Application1", file);
    EXPECT_EQ(Add(p, "F", exe), settings::kAppListFull);
    EXPECT_EQ(p.Modify(AppLaunchInfo(3, "C2", exe)), 0);
    EXPECT_EQ(p.GetById(3)->GetTitle(), "C2");
}

struct TitleCase {
    const char* title;
    const char* path;
    int code;
};
class AppListTitles : public AppList, public ::testing::WithParamInterface<TitleCase> {};

TEST_P(AppListTitles, AddRules) {
    Store("1|Viewer|" + exe + "|");
    AppListProvider p("Application1", file);
    const auto& c = GetParam();
    std::string before = Stored();
    int code = Add(p, c.title, std::string(c.path) == "EXE" ? exe : c.path);
    EXPECT_EQ(code, c.code);
    if (code != 0) {
        EXPECT_EQ(Stored(), before); // refusals leave the file alone
    }
}

INSTANTIATE_TEST_SUITE_P(Table, AppListTitles,
                         ::testing::Values(TitleCase{"viewer", "EXE", 0}, // differs only in case: accepted
                                           TitleCase{"Viewer", "EXE", settings::kAppListTitleInUse},
                                           TitleCase{"a|b", "EXE", settings::kAppListBarInTitle},
                                           TitleCase{"   ", "EXE", settings::kAppListEmptyTitle},
                                           TitleCase{" Lead", "EXE", 0},
                                           TitleCase{"Gone", "/no/such/program", settings::kAppListBadPath},
                                           TitleCase{"Bar", "/usr/bin|x", settings::kAppListBadPath}));

TEST_F(AppList, LeadingBlankIsStoredAndOwnTitleIsNotInUse) {
    AppListProvider p("Application1", file);
    ASSERT_EQ(Add(p, " Lead", exe), 0);
    EXPECT_EQ(p.GetById(1)->GetTitle(), " Lead");
    EXPECT_EQ(p.Modify(AppLaunchInfo(1, " Lead", exe)), 0);
}

TEST_F(AppList, TruncatedLastEntryIsDroppedAndPlaceholdersExpand) {
    Store("1|Paint|${MSPAINT}|2|Broken|/usr/bin/x");
    AppListProvider p("Application1", file);
    p.Reload();
    ASSERT_EQ(p.Count(), 1);
    EXPECT_EQ(p.Entries()[0]->GetPath(), "/usr/bin/env");
}

// Ten programs in a deep packaged-software folder: their list passes the 1023 characters
// an ordinary profile value is cut at.
TEST_F(AppList, LongListKeepsEveryEntry) {
    SetMax(12);
    const std::string folder = "opt/example-vendor/imaging-suite-professional-edition/current/lib/exec/";
    std::vector<std::string> paths;
    AppListProvider p("Application1", file);
    for (int i = 1; i <= 10; ++i) {
        paths.push_back(home.Write(folder + "image-processing-tool-number-" + std::to_string(i), ""));
        ASSERT_EQ(Add(p, "Tool " + std::to_string(i), paths.back()), 0) << i;
    }
    ASSERT_GT(Stored().size(), settings::kProfileValueLimit);

    AppListProvider fresh("Application1", file);
    ASSERT_EQ(fresh.GetTitleList().size(), 10u);
    EXPECT_EQ(fresh.GetById(10)->GetPath(), paths[9]);
    ASSERT_TRUE(fresh.Remove(1)); // a save after the reload keeps the tail
    AppListProvider after("Application1", file);
    after.Reload();
    ASSERT_EQ(after.Count(), 9);
    EXPECT_EQ(after.Entries().back()->GetId(), 10);
    EXPECT_EQ(after.Entries().back()->GetPath(), paths[9]);
}

// The real file system, except that no file can be replaced (a full or read-only disk).
class RefusingWrites : public platform::PosixFileSystem {
public:
    bool WriteFileAtomic(const std::string&, const std::string&) override { return false; }
};

// (change, title, whether the disk refuses every write)
using SaveFailureCase = std::tuple<std::string, std::string, bool>;
class AppListSaveFailure : public AppList, public ::testing::WithParamInterface<SaveFailureCase> {};

TEST_P(AppListSaveFailure, IsReportedAndChangesNothing) {
    const auto& [change, title, diskRefuses] = GetParam();
    Store("1|One|" + exe + "|");
    const std::string before = Stored();
    AppListProvider p("Application1", file);
    {
        std::unique_ptr<platform::ScopedService<platform::IFileSystem>> disk;
        if (diskRefuses)
            disk = std::make_unique<platform::ScopedService<platform::IFileSystem>>(std::make_shared<RefusingWrites>());
        AppLaunchInfo entry(change == "modify" ? 1 : 0, title, exe);
        if (change == "add") {
            EXPECT_EQ(p.Add(entry), settings::kAppListNotSaved);
            EXPECT_EQ(entry.GetId(), 0);
        } else if (change == "modify") {
            EXPECT_EQ(p.Modify(entry), settings::kAppListNotSaved);
        } else {
            EXPECT_FALSE(p.Remove(1));
        }
    }
    EXPECT_EQ(Stored(), before);
    EXPECT_EQ(AppListProvider::Format(p.Entries()), before); // what it holds is what is stored
}

INSTANTIATE_TEST_SUITE_P(
    Table, AppListSaveFailure,
    ::testing::Values(SaveFailureCase{"add", "Two", true}, SaveFailureCase{"modify", "One again", true},
                      SaveFailureCase{"remove", "", true},
                      // Titles the settings file refuses to hold (they would add a line of their own).
                      SaveFailureCase{"add", "Two\nLines", false}, SaveFailureCase{"modify", "One\nMore", false}));

TEST_F(AppList, GetByIdZeroIsEmptyAndMissingRaises) {
    AppListProvider p("Application1", home.path() + "missing/Sets.dat");
    auto empty = p.GetById(0);
    EXPECT_EQ(empty->GetId(), 0);
    EXPECT_TRUE(empty->GetTitle().empty());
    try {
        p.GetById(7);
        FAIL() << "no error";
    } catch (const std::invalid_argument& e) {
        EXPECT_STREQ(e.what(), "Not existed id in AppLaunchInfo list");
    }
    EXPECT_EQ(p.Find(7), nullptr);
}

TEST_F(AppList, MissingSettingsFileReadsTheInstalledList) {
    AppListProvider p("Application1", home.path() + "missing/Sets.dat");
    auto titles = p.GetTitleList();
    ASSERT_EQ(titles.size(), 1u);
    EXPECT_EQ(titles[0].first, "1");
    EXPECT_EQ(titles[0].second, "Image Viewer");
}

TEST_F(AppList, ModesAddAndChangeAndReportAGoneEntry) {
    auto p = std::make_shared<AppListProvider>("Application1", file);
    settings::AppOperateAddMode add(p);
    EXPECT_EQ(add.GetCaption(), "Add Application");
    EXPECT_EQ(add.Apply("Tool", exe), 0);
    settings::AppOperateModifyMode modify(p, 1);
    EXPECT_EQ(modify.GetCaption(), "Modify Application");
    EXPECT_EQ(modify.GetInitialTitle(), "Tool");
    EXPECT_EQ(modify.Apply("Tool 2", exe), 0);
    p->Remove(1);
    EXPECT_EQ(modify.Apply("Tool 3", exe), settings::kAppListGone);
    EXPECT_EQ(modify.GetInitialTitle(), "");
}

} // namespace
