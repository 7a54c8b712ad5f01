// A SANE backend for tests that must hold a device listing under way: the SANE loader
// (dll) loads it as the backend "gate" when dll.conf names it and its folder is on
// LD_LIBRARY_PATH. Its listing waits while the file named by
// SU_SANE_GATE_HOLD exists, writing "<that file>.waiting" while it waits, and then
// lists no device. It opens no device.
#include <sane/sane.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

bool Exists(const std::string& path) { return !path.empty() && ::access(path.c_str(), F_OK) == 0; }

void Touch(const std::string& path) {
    if (FILE* f = std::fopen(path.c_str(), "w")) std::fclose(f);
}

} // namespace

extern "C" {

__attribute__((visibility("default"))) SANE_Status sane_gate_init(SANE_Int* version, SANE_Auth_Callback) {
    if (version) *version = SANE_VERSION_CODE(1, 0, 0);
    return SANE_STATUS_GOOD;
}

__attribute__((visibility("default"))) void sane_gate_exit() {}

__attribute__((visibility("default"))) SANE_Status sane_gate_get_devices(const SANE_Device*** list, SANE_Bool) {
    static const SANE_Device* none[] = {nullptr};
    const char* hold = std::getenv("SU_SANE_GATE_HOLD");
    const std::string gate = hold ? hold : "";
    if (Exists(gate)) {
        Touch(gate + ".waiting");
        while (Exists(gate)) ::usleep(10000);
        std::remove((gate + ".waiting").c_str());
    }
    *list = none;
    return SANE_STATUS_GOOD;
}

__attribute__((visibility("default"))) SANE_Status sane_gate_open(SANE_String_Const, SANE_Handle*) {
    return SANE_STATUS_INVAL;
}

} // extern "C"
