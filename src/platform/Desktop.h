#pragma once
// Starting programs for the user and showing files in the desktop's file manager.

#include <memory>
#include <string>
#include <vector>

namespace platform {

class IDesktop {
public:
    virtual ~IDesktop() = default;
    // Starts a program (a path, or a name looked up on PATH) with the given arguments,
    // one argument each, in the working folder. The program is detached: it gets none
    // of our descriptors, runs in a session of its own and outlives us. False when it
    // could not be started. A path ending in ".desktop" that holds a desktop entry is
    // started the way the desktop starts it (DesktopEntry.h): its Exec line on the one
    // file given (at most one), in the entry's own working folder when it names one;
    // false when the entry cannot take the file.
    virtual bool StartProgram(const std::string& program, const std::vector<std::string>& args,
                              const std::string& workingFolder) = 0;
    // Opens a file-manager window on the file's folder with the file selected; falls
    // back to opening the folder. False when nothing could be started.
    virtual bool ShowInFileManager(const std::string& path) = 0;
};

// posix_spawn for programs; the session bus's org.freedesktop.FileManager1.ShowItems,
// else `xdg-open` on the folder, for the file manager.
class LinuxDesktop : public IDesktop {
public:
    bool StartProgram(const std::string& program, const std::vector<std::string>& args,
                      const std::string& workingFolder) override;
    bool ShowInFileManager(const std::string& path) override;
};

IDesktop& Desktop();
void SetDesktop(std::shared_ptr<IDesktop> desktop); // nullptr restores the real one

// "file://" URI of an absolute path, with the bytes outside the unreserved set
// percent-encoded.
std::string FileUri(const std::string& absolutePath);

} // namespace platform
