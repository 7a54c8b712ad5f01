#include <gtest/gtest.h>

#include "platform/Environment.h"
#include "platform/FileSystem.h"
#include "platform/Folders.h"
#include "support/TempFolder.h"

namespace {

using testsupport::TempFolder;

TEST(Folders, ConfigHomeFollowsXdgAndFallsBackToHome) {
    platform::MapEnvironment env({{"HOME", "/home/u"}});
    EXPECT_EQ(platform::ConfigHomeFolder(env), "/home/u/.config/");
    env.Set("XDG_CONFIG_HOME", "relative/path"); // not absolute: ignored
    EXPECT_EQ(platform::ConfigHomeFolder(env), "/home/u/.config/");
    env.Set("XDG_CONFIG_HOME", "/cfg");
    EXPECT_EQ(platform::ConfigHomeFolder(env), "/cfg/");
}

TEST(Folders, TempAndRuntimeFolders) {
    platform::MapEnvironment env;
    EXPECT_EQ(platform::TempFolder(env), "/tmp/");
    EXPECT_EQ(platform::RuntimeFolder(env), "/tmp/");
    env.Set("TMPDIR", "/var/tmp");
    env.Set("XDG_RUNTIME_DIR", "/run/user/1000/");
    EXPECT_EQ(platform::TempFolder(env), "/var/tmp/");
    EXPECT_EQ(platform::RuntimeFolder(env), "/run/user/1000/");
}

TEST(Folders, PicturesFromUserDirsWithHomeExpanded) {
    TempFolder home;
    std::string homeNoSlash = home.path().substr(0, home.path().size() - 1);
    home.Write(".config/user-dirs.dirs",
               "# comment\nXDG_DESKTOP_DIR=\"$HOME/Desktop\"\nXDG_PICTURES_DIR=\"$HOME/Bilder\"\n");
    platform::MapEnvironment env({{"HOME", homeNoSlash}});
    platform::PosixFileSystem fs;
    EXPECT_EQ(platform::PicturesFolder(env, fs), home / "Bilder/");
    EXPECT_TRUE(fs.IsDirectory(home / "Bilder"));
}

TEST(Folders, PicturesFallsBackToHomePictures) {
    TempFolder home;
    platform::MapEnvironment env({{"HOME", home.path()}});
    platform::PosixFileSystem fs;
    EXPECT_EQ(platform::PicturesFolder(env, fs), home / "Pictures/");
    // An entry that names the home folder itself means there is no pictures folder.
    home.Write(".config/user-dirs.dirs", "XDG_PICTURES_DIR=\"$HOME/\"\n");
    EXPECT_EQ(platform::PicturesFolder(env, fs), home / "Pictures/");
}

TEST(Folders, ExecutableFolderIsTheTestsFolder) {
    std::string folder = platform::ExecutableFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), '/');
    EXPECT_EQ(folder.substr(folder.size() - 5), "/bin/");
}

} // namespace
