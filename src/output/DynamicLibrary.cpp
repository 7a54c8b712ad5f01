#include "output/DynamicLibrary.h"

#include <dlfcn.h>

#include "platform/Folders.h"

namespace output {

DynamicLibrary::DynamicLibrary(const std::string& name, bool keepLoaded) {
    const int mode = RTLD_NOW | RTLD_LOCAL | (keepLoaded ? RTLD_NODELETE : 0);
    if (name.find('/') == std::string::npos) {
        const std::string folder = platform::ExecutableFolder();
        if (!folder.empty()) handle_ = ::dlopen((folder + name).c_str(), mode);
    }
    if (!handle_) handle_ = ::dlopen(name.c_str(), mode);
}

DynamicLibrary::~DynamicLibrary() {
    if (handle_) ::dlclose(handle_);
}

void* DynamicLibrary::Symbol(const char* name) const { return handle_ ? ::dlsym(handle_, name) : nullptr; }

} // namespace output
