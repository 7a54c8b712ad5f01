#pragma once
// Where the desktop keeps things, following the XDG base-directory and user-dirs rules.
// Every folder returned ends with '/'.

#include <string>

namespace platform {

class IEnvironment;
class IFileSystem;

// The folder of the running executable (links followed), e.g. "/usr/lib/scanner-utility/".
// Empty when it cannot be resolved.
std::string ExecutableFolder();

// $HOME, else the password database's home; "/" when neither is known.
std::string HomeFolder(const IEnvironment& env);
// $XDG_CONFIG_HOME when absolute, else $HOME/.config/.
std::string ConfigHomeFolder(const IEnvironment& env);
// XDG_PICTURES_DIR from $XDG_CONFIG_HOME/user-dirs.dirs ("$HOME" expanded), else
// $HOME/Pictures/. Empty when neither exists or can be created.
std::string PicturesFolder(const IEnvironment& env, IFileSystem& fs);
// $TMPDIR when set and absolute, else /tmp/.
std::string TempFolder(const IEnvironment& env);
// $XDG_RUNTIME_DIR when set and absolute, else the temporary folder.
std::string RuntimeFolder(const IEnvironment& env);

// Appends '/' unless the text already ends with one.
std::string WithSlash(std::string folder);

// The same, on the process-wide services.
std::string ConfigHomeFolder();
std::string PicturesFolder();
std::string TempFolder();
std::string RuntimeFolder();

} // namespace platform
