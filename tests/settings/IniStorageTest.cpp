#include <gtest/gtest.h>

#include "settings/IniStorage.h"
#include "support/TempFolder.h"

namespace {

using namespace settings;
using testsupport::TempFolder;

TEST(IniHandler, OpenSectionOnMissingFileThenWriteCreatesIt) {
    TempFolder dir;
    IniHandler handler(dir / "Sets.dat");
    EXPECT_FALSE(handler.IsAvailable());
    EXPECT_FALSE(handler.OpenSection("Folder"));
    EXPECT_EQ(handler.ReadValue("CurDlg"), "");
    EXPECT_TRUE(handler.WriteValue("CurDlg", "2"));
    EXPECT_TRUE(handler.CloseSection());
    EXPECT_TRUE(handler.IsAvailable());
    EXPECT_TRUE(handler.OpenSection("FOLDER"));
    EXPECT_EQ(handler.ReadValue("curdlg"), "2");
    EXPECT_EQ(dir.Read("Sets.dat"), "[Folder]\nCurDlg=2\n");
}

TEST(IniHandler, SeparateHandlersSeeEachOthersWrites) {
    TempFolder dir;
    IniHandler a(dir / "f.ini"), b(dir / "f.ini");
    a.OpenSection("S");
    b.OpenSection("s");
    a.WriteValue("k", "1");
    EXPECT_EQ(b.ReadValue("K"), "1");
    b.WriteValue("K", "2");
    EXPECT_EQ(a.ReadValue("k"), "2");
}

TEST(IniSection, ReadGivesDefaultAndWriteReportsSuccess) {
    TempFolder dir;
    IniSection section("Common", dir / "Prdct.dat");
    EXPECT_EQ(section.Read("SourceName", "none"), "none");
    EXPECT_TRUE(section.Write("SourceName", "test:0"));
    EXPECT_EQ(section.Read("sourcename", "none"), "test:0");
    IniSection unwritable("Common", dir / "missing/folder/Prdct.dat");
    EXPECT_FALSE(unwritable.Write("SourceName", "x"));
}

TEST(RegHandlerImp, StoresValuesPerSubKeyWithFallbackForUnsetValues) {
    TempFolder dir;
    int fallbackCalls = 0;
    RegHandlerImp reg(dir / "store", [&](const std::string& subKey, const std::string& name) {
        ++fallbackCalls;
        return subKey == "software\\clients\\mail" && name.empty() ? std::string("mail.desktop") : std::string();
    });
    EXPECT_TRUE(reg.IsAvailable());
    EXPECT_EQ(reg.ReadValue("x"), "") << "nothing open reads empty";
    EXPECT_FALSE(reg.WriteValue("x", "1"));
    ASSERT_TRUE(reg.OpenSection("software\\clients\\mail"));
    EXPECT_EQ(reg.ReadValue(""), "mail.desktop");
    ASSERT_TRUE(reg.WriteValue("", "other.desktop"));
    EXPECT_EQ(reg.ReadValue(""), "other.desktop");
    EXPECT_TRUE(reg.CloseSection());
    ASSERT_TRUE(reg.OpenSection("Software\\Other"));
    EXPECT_TRUE(reg.WriteValue("Name", "v"));
    EXPECT_EQ(reg.ReadValue("name"), "v");
    EXPECT_EQ(fallbackCalls, 1);
    EXPECT_FALSE(reg.OpenSection("bad\nkey"));
}

TEST(CApiWrapper, ListsAndVersionClass) {
    TempFolder dir;
    std::string f = dir.Write("f.ini", "[One]\na=1\nb=2\n[Two]\n");
    std::vector<std::string> names;
    CApiWrapper::GetInstance().ListSections(f, names);
    EXPECT_EQ(names, (std::vector<std::string>{"One", "Two"}));
    names.clear();
    CApiWrapper::GetInstance().ListKeys(f, "one", names);
    EXPECT_EQ(names, (std::vector<std::string>{"a", "b"}));
    names.clear();
    CApiWrapper::GetInstance().ListSections(dir / "absent", names);
    EXPECT_TRUE(names.empty());
    EXPECT_EQ(CApiWrapper::GetInstance().OsVersion(), 5);
}

struct FlagCase {
    const char* user;
    const char* defaults;
    bool expected;
};
class ConfigFlag : public ::testing::TestWithParam<FlagCase> {};

TEST_P(ConfigFlag, UserValueWinsWhenListedElseDefaults) {
    TempFolder dir;
    const auto& c = GetParam();
    std::string user = dir.Write("Sets.dat", c.user);
    std::string defs = dir.Write("Def.dat", c.defaults);
    EXPECT_EQ(ReadConfigFlag(user, defs, "Config", "IsShowToolTips"), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ConfigFlag,
    ::testing::Values(FlagCase{"[Config]\nIsShowToolTips=  FALSE  \n", "[Config]\nIsShowToolTips=true\n", false},
                      FlagCase{"[config]\nisshowtooltips=true\n", "[Config]\nIsShowToolTips=false\n", true},
                      FlagCase{"[Config]\nIsShowToolTips=\n", "[Config]\nIsShowToolTips=false\n", true},
                      FlagCase{"[Config]\nOther=1\n", "[Config]\nIsShowToolTips=False\n", false},
                      FlagCase{"", "", true}, FlagCase{"[Config]\nIsShowToolTips=no\n", "", true}));

TEST(ConfigFlag, WriteStoresTrueOrFalse) {
    TempFolder dir;
    std::string user = dir / "Sets.dat";
    ASSERT_TRUE(WriteConfigFlag(user, "Config", "IsShowToolTips", false));
    EXPECT_FALSE(ReadConfigFlag(user, dir / "Def.dat", "Config", "IsShowToolTips"));
    ASSERT_TRUE(WriteConfigFlag(user, "Config", "IsShowToolTips", true));
    EXPECT_EQ(dir.Read("Sets.dat"), "[Config]\nIsShowToolTips=true\n");
}

TEST(SettingsHandler, BindsThroughTheLocatorOnFirstUse) {
    TempFolder dir;
    int located = 0;
    SetSettingsFileLocator([&] {
        ++located;
        return dir / "Sets.dat";
    });
    GetSettingsHandler().OpenSection("Folder");
    GetSettingsHandler().WriteValue("CurDlg", "1");
    EXPECT_EQ(GetSettingsHandler().FilePath(), dir / "Sets.dat");
    EXPECT_EQ(located, 1);
    ResetSettingsHandler();
    EXPECT_EQ(GetSettingsHandler().FilePath(), dir / "Sets.dat");
    EXPECT_EQ(located, 2);
    SetSettingsFileLocator(nullptr);
}

} // namespace
