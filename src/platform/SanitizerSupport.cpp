#include "platform/SanitizerSupport.h"

#if defined(__SANITIZE_ADDRESS__)
#include <dlfcn.h>

#include <cstdlib>
#include <fstream>
#include <string>
#endif

namespace platform {

void KeepSaneBackendsLoadedForLeakReports() {
#if defined(__SANITIZE_ADDRESS__) && defined(SU_SANE_BACKEND_DIR)
    const char* configured = std::getenv("SANE_CONFIG_DIR");
    std::string folder = configured && *configured ? configured : "/etc/sane.d";
    if (auto colon = folder.find(':'); colon != std::string::npos) folder.resize(colon);
    std::ifstream list(folder + "/dll.conf");
    for (std::string line; std::getline(list, line);) {
        auto start = line.find_first_not_of(" \t");
        if (start == std::string::npos || line[start] == '#') continue;
        std::string name = line.substr(start, line.find_first_of(" \t\r", start) - start);
        std::string path = std::string(SU_SANE_BACKEND_DIR) + "/libsane-" + name + ".so.1";
        // Deliberately never closed: the handle pins the backend for the leak report.
        (void)::dlopen(path.c_str(), RTLD_LAZY | RTLD_NODELETE);
    }
#endif
}

} // namespace platform
