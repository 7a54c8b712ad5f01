#pragma once
// Where the program's folders and data files are. Every folder ends with '/'.
// The locations themselves are kept by the settings layer (settings/ProductData.h), which
// the scanning and settings code below the application reads too; these are the
// application's names for them.

#include <string>

namespace app {

// The folder of the running executable; the data files stand beside it.
std::string ProgramFolder();
// Points the program folder elsewhere (tests); an empty text restores the real one.
void SetProgramFolder(const std::string& folder);

// $XDG_CONFIG_HOME/<CompanyPathSection of Prdct.dat>/Quorin/, created when missing.
std::string UserFolder();
// The user folder's TempImage/, created on every request.
std::string WorkingImageFolder();
// The user's pictures folder (XDG), else the home folder.
std::string PicturesFolderPath();
// The program folder's pics/.
std::string SkinImageFolder();
// The program folder's help/.
std::string HelpFolder();

std::string ProductFilePath();      // program folder's Prdct.dat
std::string SettingsTemplatePath(); // program folder's Sets.dat
std::string DefaultsFilePath();     // Def.dat
std::string IdFilePath();           // Id.dat
std::string MappingFilePath();      // Mapping.dat
std::string TextFilePath();         // Str.dat

// The user's Prdct.dat, copied from the program folder when missing.
std::string UserProductFilePath();
// The user's Sets.dat, provisioned from the template and Def.dat (see
// settings::UserSettingsFilePath for the rules).
std::string UserSettingsFilePath();

// A value of the program folder's Prdct.dat; empty when missing.
std::string ReadProductValue(const std::string& section, const std::string& key);

// The current source name stored in the user's Prdct.dat (empty when missing).
std::string ReadCurrentSourceName();
// The process-wide current source name (read from the user's Prdct.dat on first use).
std::string CurrentSourceName();
// Stores the name in memory and in the user's Prdct.dat at once.
bool SetCurrentSource(const std::string& name);

// Binds the process-wide settings handler to the user's Sets.dat (provisioned on first
// use). Called once at start-up.
void BindSettingsFile();

} // namespace app
