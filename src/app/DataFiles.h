#pragma once
// Where the program's folders and data files are. Every folder ends with '/'.

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

// A value of the program folder's Prdct.dat; empty when missing.
std::string ReadProductValue(const std::string& section, const std::string& key);

} // namespace app
