#include "output/DynamicLibrary.h"

#include <dlfcn.h>

#include "platform/Folders.h"

namespace output {

DynamicLibrary::DynamicLibrary(const std::string& name) {
    if (name.find('/') == std::string::npos) {
        const std::string folder = platform::ExecutableFolder();
        if (!folder.empty()) handle_ = ::dlopen((folder + name).c_str(), RTLD_NOW | RTLD_LOCAL);
    }
    if (!handle_) handle_ = ::dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
}

DynamicLibrary::~DynamicLibrary() {
    if (handle_) ::dlclose(handle_);
}

void* DynamicLibrary::Symbol(const char* name) const { return handle_ ? ::dlsym(handle_, name) : nullptr; }

} // namespace output
