#include "support/Locales.h"

#include <locale.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "support/TempFolder.h"

namespace testsupport {
namespace {

constexpr const char* kLocale = "de_DE.UTF-8";

bool Usable(const char* name) {
    locale_t probe = ::newlocale(LC_ALL_MASK, name, nullptr);
    if (!probe) return false;
    ::freelocale(probe);
    return true;
}

std::string Generate() {
    namespace fs = std::filesystem;
    const std::string folder = ProgramFolder() + "test-locales";
    if (!fs::exists(folder + "/" + kLocale + "/LC_NUMERIC")) {
        // Built in a folder of its own and moved into place in one step, so that test
        // programs running at the same time never see half a locale.
        std::string building = folder + ".building-XXXXXX";
        if (!::mkdtemp(building.data())) return {};
        const std::string command =
            std::string("localedef -i de_DE -f UTF-8 '") + building + "/" + kLocale + "' >/dev/null 2>&1";
        const int status = std::system(command.c_str());
        std::error_code error;
        // localedef answers 1 for warnings while still writing a usable locale.
        if ((status != 0 && status != 256) || !fs::exists(building + "/" + kLocale + "/LC_NUMERIC")) {
            fs::remove_all(building, error);
            return {};
        }
        fs::rename(building, folder, error);
        if (error) fs::remove_all(building, error); // another program was faster
    }
    ::setenv("LOCPATH", folder.c_str(), 1);
    return Usable(kLocale) ? kLocale : std::string();
}

} // namespace

std::string DecimalCommaLocale() {
    static const std::string name = Usable(kLocale) ? std::string(kLocale) : Generate();
    return name;
}

LocaleEnvironment::LocaleEnvironment(const std::string& locale)
    : saved_{{"LANG", false, {}}, {"LC_ALL", false, {}}, {"LC_NUMERIC", false, {}}} {
    for (Saved& s : saved_) {
        const char* value = std::getenv(s.name);
        s.set = value != nullptr;
        if (value) s.value = value;
        ::unsetenv(s.name);
    }
    ::setenv("LANG", locale.c_str(), 1);
}

LocaleEnvironment::~LocaleEnvironment() {
    for (const Saved& s : saved_) {
        if (s.set) ::setenv(s.name, s.value.c_str(), 1);
        else ::unsetenv(s.name);
    }
}

ProcessLocale::ProcessLocale(const std::string& locale) {
    const char* current = ::setlocale(LC_ALL, nullptr);
    previous_ = current ? current : "C";
    active_ = !locale.empty() && ::setlocale(LC_ALL, locale.c_str()) != nullptr;
}

ProcessLocale::~ProcessLocale() { ::setlocale(LC_ALL, previous_.c_str()); }

std::string ProcessLocale::DecimalPoint() { return ::localeconv()->decimal_point; }

} // namespace testsupport
