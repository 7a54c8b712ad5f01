#include <gtest/gtest.h>

#include "SettingsFixture.h"
#include "platform/FileSystem.h"
#include "settings/Profile.h"
#include "settings/ProductData.h"

namespace {

using settings::ReadProfileString;

class Provisioning : public testsupport::SettingsFixture {};

TEST_F(Provisioning, FirstRunCopiesBothFilesAndTheDefaultLists) {
    std::string sets = settings::UserSettingsFilePath();
    std::string product = settings::UserProductFilePath();
    EXPECT_EQ(sets, UserFolder() + "Sets.dat");
    EXPECT_EQ(product, UserFolder() + "Prdct.dat");
    EXPECT_EQ(home.Read("config/ZAV/Quorin/Prdct.dat"), program.Read("Prdct.dat"));
    EXPECT_EQ(ReadProfileString(sets, "Application1", "ListMapping"),
              ReadProfileString(program / "Def.dat", "Application1", "ListMapping"));
    EXPECT_EQ(ReadProfileString(sets, "Folder", "Savefolder"), "default"); // not a folder to create
    EXPECT_EQ(ReadProfileString(sets, "Fax", "Filename"), "Fax");
}

TEST_F(Provisioning, InstalledListsAreCopiedWhole) {
    std::string list;
    for (int i = 1; i <= 12; ++i)
        list += std::to_string(i) + "|Viewer " + std::to_string(i) + "|/opt/example/viewer-" + std::to_string(i) +
                "/bin/a-rather-long-program-name-for-a-packaged-image-viewer|";
    ASSERT_GT(list.size(), settings::kProfileValueLimit);
    settings::WriteProfileString(program / "Def.dat", "Application2", "ListMapping", list);
    std::string sets = settings::UserSettingsFilePath(); // first run: from the template
    EXPECT_EQ(settings::ReadProfileStringWhole(sets, "Application2", "ListMapping"), list);
    ASSERT_TRUE(settings::DeleteProfileKey(sets, "Application2", "ListMapping"));
    settings::UserSettingsFilePath(); // a later run restores the missing list
    EXPECT_EQ(settings::ReadProfileStringWhole(sets, "Application2", "ListMapping"), list);
}

TEST_F(Provisioning, UnreachableSaveFolderTakesTheDefaultOnFirstRunOnly) {
    std::string blocker = home.Write("blocker", "a file, not a folder");
    settings::WriteProfileString(program / "Sets.dat", "Folder", "Savefolder", blocker + "/sub/");
    settings::WriteProfileString(program / "Sets.dat", "Fax", "Savefolder", home.path() + "made/here/");
    std::string sets = settings::UserSettingsFilePath();
    EXPECT_EQ(ReadProfileString(sets, "Folder", "Savefolder"), "${CURRENT_USER_MYPIC}");
    EXPECT_EQ(ReadProfileString(sets, "Fax", "Savefolder"), home.path() + "made/here/");
    EXPECT_TRUE(std::filesystem::is_directory(home.path() + "made/here"));
    // Later runs leave a stored folder alone, reachable or not.
    settings::WriteProfileString(sets, "Folder", "Savefolder", blocker + "/again/");
    settings::UserSettingsFilePath();
    EXPECT_EQ(ReadProfileString(sets, "Folder", "Savefolder"), blocker + "/again/");
}

TEST_F(Provisioning, ExistingFileGetsOnlyMissingListMappings) {
    std::string user = UserFolder();
    platform::CreateFolderPath(user);
    const std::string mine = "; mine\n[Application1]\nListMapping=3|Mine|/bin/sh|\n[Folder]\nSavefolder=/nowhere/\n";
    home.Write("config/ZAV/Quorin/Sets.dat", mine);
    settings::UserSettingsFilePath();
    std::string after = home.Read("config/ZAV/Quorin/Sets.dat");
    EXPECT_EQ(after.substr(0, mine.size()), mine); // every existing line kept as it was
    EXPECT_EQ(ReadProfileString(user + "Sets.dat", "Application2", "ListMapping"),
              ReadProfileString(program / "Def.dat", "Application2", "ListMapping"));
    settings::UserSettingsFilePath();
    EXPECT_EQ(home.Read("config/ZAV/Quorin/Sets.dat"), after); // nothing more to add
}

TEST_F(Provisioning, MissingTemplateCreatesAnEmptyFileWithTheLists) {
    std::filesystem::remove(program / "Sets.dat");
    std::string sets = settings::UserSettingsFilePath();
    EXPECT_TRUE(std::filesystem::exists(sets));
    EXPECT_FALSE(ReadProfileString(sets, "Application1", "ListMapping").empty());
    EXPECT_TRUE(ReadProfileString(sets, "Folder", "Savefolder").empty());
}

TEST_F(Provisioning, CurrentSourceIsKeptInTheUserProductFile) {
    EXPECT_EQ(settings::CurrentSourceName(), "");
    ASSERT_TRUE(settings::SetCurrentSource("test:1"));
    EXPECT_EQ(settings::CurrentSourceName(), "test:1");
    EXPECT_EQ(ReadProfileString(UserFolder() + "Prdct.dat", "Common", "SourceName"), "test:1");
    EXPECT_EQ(ReadProfileString(program / "Prdct.dat", "Common", "SourceName"), ""); // program copy untouched
    settings::ForgetCurrentSourceName();
    EXPECT_EQ(settings::CurrentSourceName(), "test:1");
    // A name that would add lines to the file is refused by the file, kept in memory.
    EXPECT_FALSE(settings::SetCurrentSource("evil\n[Common]"));
    EXPECT_EQ(settings::ReadCurrentSourceName(), "test:1");
}

} // namespace
