// `paths`: the folders and data files the program resolved.
#include <cstdio>

#include "Command.h"
#include "app/DataFiles.h"
#include "platform/Folders.h"
#include "platform/Services.h"

namespace {

int Run(const cli::Args&) {
    auto file = [](const char* label, const std::string& path) {
        bool present = platform::FileSystem().Exists(path);
        std::printf("%-18s %s%s\n", label, path.c_str(), present ? "" : "  (missing)");
    };
    std::printf("%-18s %s\n", "program folder", app::ProgramFolder().c_str());
    std::printf("%-18s %s\n", "user folder", app::UserFolder().c_str());
    std::printf("%-18s %s\n", "working images", app::WorkingImageFolder().c_str());
    std::printf("%-18s %s\n", "pictures folder", app::PicturesFolderPath().c_str());
    std::printf("%-18s %s\n", "temporary folder", platform::TempFolder().c_str());
    std::printf("%-18s %s\n", "skin images", app::SkinImageFolder().c_str());
    file("Prdct.dat", app::ProductFilePath());
    file("Sets.dat template", app::SettingsTemplatePath());
    file("Def.dat", app::DefaultsFilePath());
    file("Id.dat", app::IdFilePath());
    file("Mapping.dat", app::MappingFilePath());
    file("Str.dat", app::TextFilePath());
    file("user Prdct.dat", app::UserProductFilePath());
    file("user Sets.dat", app::UserSettingsFilePath());
    return 0;
}

const cli::CliCommand command("paths", "  print the folders and data files in use", Run);

} // namespace
