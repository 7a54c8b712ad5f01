#pragma once
// Where the program's data files are, the user's writable copies of two of them, and
// the current scanning source. Every folder returned ends with '/'.
//
// The program folder holds the read-only product data (Prdct.dat, Def.dat, Id.dat,
// Mapping.dat, Str.dat and the Sets.dat template). The user folder
// ($XDG_CONFIG_HOME/<CompanyPathSection>/Quorin/) holds the user's Prdct.dat (current
// source, duplex cache) and Sets.dat (the settings); both are copied from the program
// folder the first time they are needed.

#include <string>

namespace settings {

// The folder of the running executable, unless a test pointed it elsewhere.
std::string ProgramFolder();
// Points the program folder elsewhere; an empty text restores the real one.
void SetProgramFolder(const std::string& folder);

std::string ProductFilePath();      // program folder's Prdct.dat
std::string SettingsTemplatePath(); // program folder's Sets.dat
std::string DefaultsFilePath();     // Def.dat
std::string IdFilePath();           // Id.dat
std::string MappingFilePath();      // Mapping.dat
std::string TextFilePath();         // Str.dat
std::string SkinImageFolder();      // program folder's pics/
std::string HelpFolder();           // program folder's help/

// A value of the program folder's Prdct.dat; empty when missing.
std::string ReadProductValue(const std::string& section, const std::string& key);
// A value of section UIString of Str.dat; empty when missing. Read on every call.
std::string ReadUIText(const std::string& key);

// $XDG_CONFIG_HOME/<CompanyPathSection>/Quorin/, both folders created when missing. A
// company value that is empty or would leave the configuration folder is replaced by
// "scanner-utility". The first request of a process removes the temporary files that
// killed writers of Sets.dat and Prdct.dat left there.
std::string UserFolder();
// The user folder's TempImage/, created on every request: where pages wait to be encoded.
// The process counts as a user of the folder from its first request until it ends; the
// first user that finds no other removes the pages and working files left by users that
// are gone. Working files whose writer is gone are removed on every request.
std::string WorkingImageFolder();
// The user's pictures folder (XDG), else the home folder.
std::string PicturesFolderPath();

// The user's Prdct.dat, copied from the program folder first when it is missing (an
// existing copy is never overwritten).
std::string UserProductFilePath();

// The user's Sets.dat, provisioned on every call:
// - when it is missing and the template exists, the template is copied; after a
//   successful copy Def.dat's "ListMapping" of Application1 and Application2 is written
//   into it, and every destination's "Savefolder" that cannot be made to exist is
//   replaced by Def.dat's value;
// - the file is then created empty if still missing (never truncated), and a
//   "ListMapping" missing from Application1 or Application2 is copied from Def.dat.
// An existing file is never changed otherwise.
std::string UserSettingsFilePath();

// The current source name as read from the user's Prdct.dat [Common] SourceName (empty
// when missing).
std::string ReadCurrentSourceName();
// The process-wide current source name; read from the user's Prdct.dat on first use.
std::string CurrentSourceName();
// Stores the name in memory and in the user's Prdct.dat at once; false when the file
// could not be written (the name in memory changes anyway: it is the selected source).
bool SetCurrentSource(const std::string& name);
// Forgets the name held in memory so the next CurrentSourceName reads the file (tests,
// and a changed user folder).
void ForgetCurrentSourceName();

} // namespace settings
