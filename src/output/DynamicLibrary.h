#pragma once
// A shared library loaded by name for the duration of one use and released after it.

#include <string>

namespace output {

class DynamicLibrary {
public:
    // Looks in the program folder first (where the program's own libraries are
    // installed), then on the standard library search path; a name with '/' is used as
    // the path it is.
    // `keepLoaded`: the library stays in the process after release (a library whose
    // dependencies start threads of their own cannot safely be unmapped under them).
    explicit DynamicLibrary(const std::string& name, bool keepLoaded = false);
    ~DynamicLibrary();
    DynamicLibrary(const DynamicLibrary&) = delete;
    DynamicLibrary& operator=(const DynamicLibrary&) = delete;

    bool IsLoaded() const { return handle_ != nullptr; }
    // The address of an exported symbol, or nullptr.
    void* Symbol(const char* name) const;
private:
    void* handle_ = nullptr;
};

} // namespace output
