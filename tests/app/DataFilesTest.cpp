#include <gtest/gtest.h>

#include "app/DataFiles.h"
#include "platform/Services.h"
#include "support/TempFolder.h"

namespace {

using testsupport::TempFolder;

TEST(DataFiles, FilesAreInTheProgramFolderAndShipped) {
    app::SetProgramFolder("");
    std::string folder = app::ProgramFolder();
    ASSERT_EQ(folder.back(), '/');
    for (const std::string& path : {app::ProductFilePath(), app::SettingsTemplatePath(), app::DefaultsFilePath(),
                                    app::IdFilePath(), app::MappingFilePath(), app::TextFilePath()}) {
        EXPECT_EQ(path.rfind(folder, 0), 0u) << path;
        EXPECT_TRUE(platform::FileSystem().Exists(path)) << path << " is not shipped";
    }
}

TEST(DataFiles, UserFolderIsCompanyThenQuorinUnderConfigHome) {
    TempFolder program;
    program.Write("Prdct.dat", "[Common]\nCompanyPathSection=Acme Imaging\n");
    app::SetProgramFolder(program.path());
    std::string user = app::UserFolder();
    std::string config = std::string(std::getenv("XDG_CONFIG_HOME")) + "/";
    EXPECT_EQ(user, config + "Acme Imaging/Quorin/");
    EXPECT_TRUE(platform::FileSystem().IsDirectory(user));
    EXPECT_EQ(app::WorkingImageFolder(), user + "TempImage/");
    EXPECT_TRUE(platform::FileSystem().IsDirectory(user + "TempImage"));
    // A company value that would leave the configuration folder is not used.
    program.Write("Prdct.dat", "[Common]\nCompanyPathSection=../../etc\n");
    EXPECT_EQ(app::UserFolder().rfind(config, 0), 0u);
    EXPECT_EQ(app::UserFolder().find(".."), std::string::npos);
    app::SetProgramFolder("");
}

} // namespace
