#pragma once
// A fresh folder under the temporary folder, removed with everything in it at the end
// of the test.

#include <string>
#include <vector>

namespace testsupport {

class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // The folder, ending with '/'.
    const std::string& path() const { return path_; }
    // path() + name
    std::string operator/(const std::string& name) const { return path_ + name; }

    // Writes a file below the folder (parents created) and returns its full path.
    std::string Write(const std::string& name, const std::string& content) const;
    std::string Read(const std::string& name) const;

private:
    std::string path_;
};

// The names of the entries of a folder, sorted (none when it cannot be read).
std::vector<std::string> SortedNames(const std::string& folder);

// The folder of the test executable (build/bin), where the data files are copied.
std::string ProgramFolder();

} // namespace testsupport
