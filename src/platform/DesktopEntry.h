#pragma once
// Desktop entries: the ".desktop" files through which a Linux desktop describes and starts
// its applications, and the lists that name the default application of a file type.
//
// An entry is started the way the desktop starts it: its Exec line is split into
// arguments by the entry format's quoting rules (no shell is involved), and the field
// codes are replaced — %f and %F by the file's path, %u and %U by its file:// URI, %i by
// "--icon" and the entry's icon, %c by its name, %k by the entry file's own path, %% by a
// percent sign; the deprecated %d %D %n %N %v %m are dropped. Forms such as
// "env NAME=value program %f" and "flatpak run … app @@u %U @@" therefore start as they
// do from the desktop: env and flatpak are ordinary programs that get their arguments.

#include <string>
#include <vector>

namespace platform {

class IEnvironment;

struct DesktopEntry {
    std::string file;    // where the entry was read from
    std::string type;    // "Application" for programs
    std::string name;    // the untranslated Name
    std::string exec;    // the Exec value, string escapes already resolved
    std::string tryExec; // a program that must be installed for the entry to count
    std::string icon;
    std::string path;      // the working folder the program wants, if any
    bool hidden = false;   // a deleted entry
    bool terminal = false; // the program needs a terminal
};

// True when the path names a desktop entry file (it ends in ".desktop").
bool IsDesktopEntryPath(const std::string& path);

// Reads the [Desktop Entry] group of a desktop entry's text. False when there is none.
bool ParseDesktopEntry(const std::string& content, DesktopEntry& entry);
// Reads the file; false when it cannot be read or holds no [Desktop Entry] group.
bool LoadDesktopEntry(const std::string& file, DesktopEntry& entry);

// Splits an Exec value into its arguments, quoting resolved and field codes kept. False
// when the value is not a command line the entry format allows without a shell (an
// unterminated quote, or an unquoted character a shell would interpret: ' \ > < ~ | & ;
// $ * ? # ( ) `).
bool SplitExec(const std::string& exec, std::vector<std::string>& words);

// The argument vector that starts the entry on one file (an empty file: on none), the
// program first. False when the Exec line is not valid (see SplitExec, or an unknown
// field code), is empty, or takes no file while one is given.
bool ExecArguments(const DesktopEntry& entry, const std::string& file, std::vector<std::string>& argv);

// True when the entry can be started on a file here: an application, not hidden, not
// needing a terminal, its TryExec program installed, its Exec line valid and taking a
// file, and its program found (for "env NAME=value program …" the program after env).
bool CanOpenFiles(const DesktopEntry& entry);

// The file of a desktop file id ("org.example.Viewer.desktop"), looked up in the
// "applications" folders of $XDG_DATA_HOME and $XDG_DATA_DIRS in that order (an id's
// '-' may stand for a sub-folder); the first file found is the entry. Empty when none.
std::string FindDesktopEntry(const std::string& desktopId, const IEnvironment& env);

// The desktop file ids named as the default application of a file type ("image/png") in
// the "Default Applications" groups of the mimeapps.list files, in the order the
// desktop consults them: the user's configuration, the system configuration, the
// user's data and the system data, each with the current desktop's own list first.
std::vector<std::string> DefaultApplications(const std::string& mimeType, const IEnvironment& env);

} // namespace platform
