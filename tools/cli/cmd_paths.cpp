// `paths`: the folders and data files the program resolved.
#include <cstdio>

#include "Command.h"
#include "platform/Folders.h"
#include "platform/Services.h"
#include "settings/ProductData.h"

namespace {

int Run(const cli::Args&) {
    auto file = [](const char* label, const std::string& path) {
        bool present = platform::FileSystem().Exists(path);
        std::printf("%-18s %s%s\n", label, path.c_str(), present ? "" : "  (missing)");
    };
    std::printf("%-18s %s\n", "program folder", settings::ProgramFolder().c_str());
    std::printf("%-18s %s\n", "user folder", settings::UserFolder().c_str());
    std::printf("%-18s %s\n", "working images", settings::WorkingImageFolder().c_str());
    std::printf("%-18s %s\n", "pictures folder", settings::PicturesFolderPath().c_str());
    std::printf("%-18s %s\n", "temporary folder", platform::TempFolder().c_str());
    std::printf("%-18s %s\n", "skin images", settings::SkinImageFolder().c_str());
    file("Prdct.dat", settings::ProductFilePath());
    file("Sets.dat template", settings::SettingsTemplatePath());
    file("Def.dat", settings::DefaultsFilePath());
    file("Id.dat", settings::IdFilePath());
    file("Mapping.dat", settings::MappingFilePath());
    file("Str.dat", settings::TextFilePath());
    file("user Prdct.dat", settings::UserProductFilePath());
    file("user Sets.dat", settings::UserSettingsFilePath());
    return 0;
}

const cli::CliCommand command("paths", "  print the folders and data files in use", Run);

} // namespace
