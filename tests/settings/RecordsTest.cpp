#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <utility>

#include "SettingsFixture.h"
#include "settings/AppList.h"
#include "settings/Persistence.h"
#include "settings/Profile.h"
#include "settings/Records.h"

namespace {

using settings::ReadProfileString;
using testsupport::Choices;

class Records : public testsupport::SettingsFixture {
protected:
    void SetUp() override {
        SettingsFixture::SetUp();
        sets = settings::UserSettingsFilePath();
        settings::ResetSettingsHandler();
    }
    void Put(const char* section, const char* key, const std::string& value) {
        ASSERT_TRUE(settings::WriteProfileString(sets, section, key, value));
    }
    std::string sets;
};

struct LevelCase {
    const char* stored;
    const char* loaded;
};
class CompressionLevel : public Records, public ::testing::WithParamInterface<LevelCase> {};

TEST_P(CompressionLevel, RepairedAgainstTheDefault) {
    Put("Folder", "Compressionlevel", GetParam().stored);
    settings::FolderElements folder("Folder");
    folder.Load();
    EXPECT_EQ(folder.GetCompressionLevel(), GetParam().loaded);
}

INSTANTIATE_TEST_SUITE_P(Forms, CompressionLevel,
                         ::testing::Values(LevelCase{" 50 ", "50"}, LevelCase{"abc", "20"}, LevelCase{"150", "20"},
                                           LevelCase{"0", "0"}, LevelCase{"-5", "20"}, LevelCase{"100", "100"},
                                           LevelCase{"7x", "7"}));

struct NameCase {
    std::string stored;
    bool kept;
};
class FileName : public Records, public ::testing::WithParamInterface<NameCase> {};

TEST_P(FileName, LengthAndCharacters) {
    Put("Folder", "Filename", GetParam().stored);
    settings::FolderElements folder("Folder");
    folder.Load();
    EXPECT_EQ(folder.GetFileName(), GetParam().kept ? GetParam().stored : "Scan");
}

INSTANTIATE_TEST_SUITE_P(Forms, FileName,
                         ::testing::Values(NameCase{std::string(40, 'n'), true}, NameCase{std::string(41, 'n'), false},
                                           NameCase{"what?", false}, NameCase{"a/b", false}, NameCase{"c:d", false},
                                           NameCase{"plain name", true}));

TEST_F(Records, FolderExtrasAndDefaultFolder) {
    Put("Folder", "Openfileoption", "TRUE");
    Put("Folder", "Savefolder", "default");
    Put("Folder", "IsShowDriver", "True");
    settings::FolderElements folder("Folder");
    EXPECT_TRUE(folder.Load());
    EXPECT_EQ(folder.GetOpenFolder(), "false");
    EXPECT_EQ(folder.GetSaveFolder(), pictures.path());
    EXPECT_FALSE(folder.GetShowDriver());
    Put("Folder", "Openfileoption", "true");
    folder.Load();
    EXPECT_EQ(folder.GetOpenFolder(), "true");
}

TEST_F(Records, SaveFolderGetsATrailingSlashAndAMissingOneTheDefault) {
    settings::CommonSetting r("Folder");
    r.SetSaveFolder(home.path() + "typed");
    EXPECT_EQ(r.GetSaveFolder(), home.path() + "typed/");
    r.SetSaveFolder("");
    EXPECT_EQ(r.GetSaveFolder(), "");
    Put("Folder", "Savefolder", "/no/such/folder/");
    settings::FolderElements folder("Folder");
    folder.Load();
    EXPECT_EQ(folder.GetSaveFolder(), pictures.path());
}

// Runs the test with another current folder, as a program started elsewhere would.
struct CurrentFolder {
    explicit CurrentFolder(const std::string& folder) { std::filesystem::current_path(folder); }
    ~CurrentFolder() {
        std::error_code ignored;
        std::filesystem::current_path(old, ignored);
    }
    std::filesystem::path old = std::filesystem::current_path();
};

// (stored folder, whether it is kept)
using FolderCase = std::pair<std::string, bool>;
class SaveFolder : public Records, public ::testing::WithParamInterface<FolderCase> {};

// Only an absolute folder that exists is kept; "ABS" stands for an existing absolute one.
TEST_P(SaveFolder, RelativeCountsAsMissing) {
    home.Write("run/rel/sub/file", ""); // every relative folder below exists from "run"
    CurrentFolder here(home.path() + "run");
    auto [stored, kept] = GetParam();
    if (stored == "ABS") stored = home.path() + "run/rel/";
    Put("Folder", "Savefolder", stored);
    settings::FolderElements folder("Folder");
    folder.Load();
    EXPECT_EQ(folder.GetSaveFolder(), kept ? stored : pictures.path());
}

INSTANTIATE_TEST_SUITE_P(Forms, SaveFolder,
                         ::testing::Values(FolderCase{"rel/", false}, FolderCase{"rel", false},
                                           FolderCase{"./rel/", false}, FolderCase{"rel/sub/", false},
                                           FolderCase{"../run/rel/", false}, FolderCase{"ABS", true},
                                           FolderCase{"/no/such/folder/", false}));

TEST_F(Records, FaxAlwaysTakesTheDefaultResolutionAndColour) {
    Put("Fax", "Resolution", "300");
    Put("Fax", "Colormode", "Color");
    settings::FaxElements fax("Fax");
    EXPECT_TRUE(fax.Load());
    EXPECT_EQ(fax.GetResolution(), 200);
    EXPECT_EQ(fax.GetColorMode(), "BW");
}

TEST_F(Records, ModelListsReplaceValuesTheyDoNotOffer) {
    scanner->lists["Resolution"] = Choices({"100", "300"});
    scanner->lists["ColorMode"] = Choices({"Gray"});
    scanner->lists["SaveType"] = Choices({"PDF"});
    scanner->lists["ColorPDFCompression"] = Choices({"High"});
    Put("Folder", "Resolution", "300");
    Put("Folder", "Colormode", "Color");     // not offered: default "Color" again
    Put("Folder", "Savetype", "PNG");        // not offered: default "PDF"
    Put("Folder", "PDFCompression", "High"); // one part only: default
    settings::FolderElements folder("Folder");
    folder.Load();
    EXPECT_EQ(folder.GetResolution(), 300);
    EXPECT_EQ(folder.GetColorMode(), "Color");
    EXPECT_EQ(folder.GetSaveType(), "PDF");
    EXPECT_EQ(folder.GetPDFCompression(), "Middle|G4");
}

TEST_F(Records, CurrentPageKeyIsMatchedInAnyCase) {
    settings::DestinationSettings all;
    all.LoadAll();
    EXPECT_EQ(all.GetCurrentPage(), 0);
    Put("SetAll", "CurDlg", "TabFax");
    all.LoadAll();
    EXPECT_EQ(all.GetCurrentPage(), 3);
    EXPECT_EQ(&all.CurrentRecord(), &all.Fax());
    all.SetCurrentPage(2);
    EXPECT_TRUE(all.SaveCurrentPage());
    EXPECT_EQ(ReadProfileString(sets, "SetAll", "curdlg"), "TabFolder");
    EXPECT_EQ(all.Select("Folder").get(), &all.Folder());
    EXPECT_EQ(all.Select("folder"), nullptr);
}

TEST_F(Records, ApplicationFollowsTheListAndKeepsItsValuesWithoutOne) {
    Put("Application1", "ListMapping", "4|Editor|/bin/sh|");
    Put("Application1", "AppListID", "2"); // gone from the list
    settings::AppElements app("Application1");
    EXPECT_TRUE(app.Load());
    EXPECT_EQ(app.GetAppListId(), 4);
    EXPECT_EQ(app.GetAppName(), "Editor");
    EXPECT_EQ(app.GetAppPath(), "/bin/sh");
    Put("Application1", "ListMapping", "");
    Put("Application1", "AppName", "Mine");
    Put("Application1", "Appexepath", "/bin/true");
    app.Load();
    EXPECT_EQ(app.GetAppListId(), 2);
    EXPECT_EQ(app.GetAppName(), "Mine");
}

// A list of ten entries with long paths, longer than an ordinary profile value may be.
TEST_F(Records, ApplicationKeepsAnEntryFarDownALongList) {
    const std::string folder = "/opt/example-vendor/imaging-suite-professional-edition/current/lib/exec/";
    std::string list;
    for (int i = 1; i <= 10; ++i)
        list += std::to_string(i) + "|Tool " + std::to_string(i) + "|" + folder + "image-processing-tool-" +
                std::to_string(i) + "|";
    ASSERT_GT(list.size(), settings::kProfileValueLimit);
    Put("Application1", "ListMapping", list);
    Put("Application1", "AppListID", "10");
    Put("Application1", "AppName", "Old title"); // the list's title and path win
    settings::AppElements app("Application1");
    app.Load();
    EXPECT_EQ(app.GetAppListId(), 10);
    EXPECT_EQ(app.GetAppName(), "Tool 10");
    EXPECT_EQ(app.GetAppPath(), folder + "image-processing-tool-10");
}

class RefusedKey : public Records, public ::testing::WithParamInterface<std::string> {};

// A value with a line break is refused by the settings file; the keys around it are
// still written, the common ones included, and the save reports the failure.
TEST_P(RefusedKey, OtherKeysAreStillWritten) {
    const std::string& refused = GetParam();
    const char* section = refused == "Openfileoption" || refused == "Filename" ? "Folder" : "Application1";
    std::map<std::string, std::string> values = {{"Filename", "Written"}};
    bool saved = false;
    if (refused == "Openfileoption" || refused == "Filename") {
        values["Savetype"] = "PDF";
        values["PDFCompression"] = "Raw";
        settings::FolderElements folder(section);
        folder.Load();
        folder.SetOpenFolder(refused == "Openfileoption" ? "tr\nue" : "true");
        folder.SetFileName(refused == "Filename" ? "Writ\nten" : values["Filename"]);
        folder.SetSaveType(values["Savetype"]);
        folder.SetPDFCompression(values["PDFCompression"]);
        saved = folder.Save();
    } else {
        values["Appexepath"] = "/bin/sh";
        values["AppName"] = "Shell";
        values["AppListID"] = "3";
        settings::AppElements app(section);
        app.Load();
        app.SetAppPath(refused == "Appexepath" ? "/bin/\nsh" : values["Appexepath"]);
        app.SetAppName(refused == "AppName" ? "Sh\nell" : values["AppName"]);
        app.SetAppListId(3);
        app.SetFileName(values["Filename"]);
        saved = app.Save();
    }
    EXPECT_FALSE(saved);
    for (const auto& kv : values) {
        if (kv.first == refused) continue;
        EXPECT_EQ(ReadProfileString(sets, section, kv.first), kv.second) << kv.first;
    }
}

INSTANTIATE_TEST_SUITE_P(Keys, RefusedKey, ::testing::Values("Appexepath", "AppName", "Openfileoption", "Filename"));

TEST_F(Records, SaveNormalisesTheLevelAndKestKeepsAStoredList) {
    settings::FolderElements folder("Folder");
    folder.Load();
    folder.SetCompressionLevel("80abc");
    folder.SetScanMethodArr(nullptr);
    Put("Folder", "ScanmethodArr", "Flatbed|upper|top|off|-");
    ASSERT_TRUE(folder.Save());
    EXPECT_EQ(folder.GetCompressionLevel(), "80");
    EXPECT_EQ(ReadProfileString(sets, "Folder", "Compressionlevel"), "80");
    EXPECT_EQ(ReadProfileString(sets, "Folder", "ScanmethodArr"), "Flatbed|upper|top|off|-");
}

TEST_F(Records, FactoryFollowsTheDriverKind) {
    auto& factory = settings::ClassInstanceFactory::GetInstance();
    EXPECT_NE(dynamic_cast<settings::SettingPersistenceForKest*>(factory.CreateSettingPersistence().get()), nullptr);
    EXPECT_EQ(dynamic_cast<settings::DefaultSettingLoaderCommon*>(factory.CreateDefaultLoader().get()), nullptr);
    scanner->driverKind = 1;
    EXPECT_NE(dynamic_cast<settings::SettingPersistenceForCommon*>(factory.CreateSettingPersistence().get()), nullptr);
    EXPECT_NE(dynamic_cast<settings::DefaultSettingLoaderCommon*>(factory.CreateDefaultLoader().get()), nullptr);
    settings::SetScannerModel(nullptr); // unknown scanner: common variants, no model lists
    EXPECT_NE(dynamic_cast<settings::SettingPersistenceForCommon*>(factory.CreateSettingPersistence().get()), nullptr);
    EXPECT_EQ(factory.CreateMappingHandler(), nullptr);
}

// ---- per-method options against the scanner's orientation and duplex answers --------

class MethodRepair : public Records {
protected:
    void SetUp() override {
        Records::SetUp();
        scanner->lists["ScanMethod"] = Choices({"Flatbed", "ADF", "Auto"});
        scanner->lists["Binding"] = Choices({"lr"});
        settings::CapabilityInformation orientation;
        orientation.valid = true;
        orientation.values = Choices({"left"});
        scanner->info[settings::kKindOrientation] = orientation;
        duplex.valid = true;
        duplex.currentValue = "2";
        scanner->info[settings::kKindDuplex] = duplex;
    }
    std::string Loaded(const std::string& stored) {
        Put("Folder", "ScanmethodArr", stored);
        settings::FolderElements folder("Folder");
        folder.Load();
        return folder.GetScanMethodArr()->ToText();
    }
    settings::CapabilityInformation duplex;
};

TEST_F(MethodRepair, DirectionDuplexAndBindingRules) {
    // upper is not offered: back to the default; Flatbed with duplex on: default; Auto
    // missing: the default's Auto is added.
    EXPECT_EQ(Loaded("Flatbed|upper|lr|off|-ADF|left|top|on|"),
              "Flatbed|left|lr|off|-ADF|left|lr|off|-Auto|left|lr|off|-");
    EXPECT_EQ(Loaded("Flatbed|left|lr|on|-ADF|left|lr|on|-Auto|left|lr|off|-"),
              "Flatbed|left|lr|off|-ADF|left|lr|on|-Auto|left|lr|off|-");
    duplex.currentValue = "0"; // no duplex unit: a two-sided ADF method is reset
    scanner->info[settings::kKindDuplex] = duplex;
    EXPECT_EQ(Loaded("Flatbed|left|lr|off|-ADF|left|lr|on|-Auto|left|lr|off|-"),
              "Flatbed|left|lr|off|-ADF|left|lr|off|-Auto|left|lr|off|-");
    scanner->info.erase(settings::kKindOrientation); // no answer: the options stay
    EXPECT_EQ(Loaded("Flatbed|upper|lr|on|-ADF|left|lr|on|-Auto|left|lr|off|-"),
              "Flatbed|upper|lr|on|-ADF|left|lr|on|-Auto|left|lr|off|-");
}

TEST_F(MethodRepair, DamagedListTextsFallBackToTheDefaults) {
    EXPECT_EQ(Loaded(""), "Flatbed|left|lr|off|-ADF|left|lr|off|-Auto|left|lr|off|-");
    EXPECT_EQ(Loaded("Bogus|x|-|||-Flatbed"), "Flatbed|left|lr|off|-ADF|left|lr|off|-Auto|left|lr|off|-");
}

TEST_F(Records, NotAnIniFileLoadsAsDefaults) {
    home.Write("config/ZAV/Quorin/Sets.dat", std::string("\x01\x02 binary \xff\n=====\n[[[", 22));
    scanner->lists["Resolution"] = Choices({"150", "200"});
    scanner->lists["ColorMode"] = Choices({"Color", "BW"});
    scanner->lists["SaveType"] = Choices({"PDF", "BMP", "JPEG", "Multi-page PDF"});
    scanner->lists["PaperSize"] = Choices({"A4"});
    settings::DestinationSettings all;
    all.LoadAll();
    EXPECT_EQ(all.Folder().GetFileName(), "Scan");
    EXPECT_EQ(all.Fax().GetResolution(), 200);
    EXPECT_EQ(all.Application1().GetAppName(), "Image Viewer");
    EXPECT_FALSE(all.Folder().HasMissingValue());
}

} // namespace
