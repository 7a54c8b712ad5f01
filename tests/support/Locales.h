#pragma once
// A locale that writes numbers with a decimal comma, for checks that the files we write
// do not depend on the user's locale.

#include <string>

namespace testsupport {

// The name of a German UTF-8 locale ("de_DE.UTF-8") usable by this process and the
// programs it starts. When the system has not installed it, it is generated once with
// localedef into a folder beside the test programs, and LOCPATH is set to that folder.
// Empty when it cannot be had (no locale sources on the machine).
std::string DecimalCommaLocale();

// Sets LANG to the locale for the lifetime of the object (LC_ALL and LC_NUMERIC are
// cleared, so LANG decides), and puts the previous values back afterwards. The
// process's own C library locale is not changed.
class LocaleEnvironment {
public:
    explicit LocaleEnvironment(const std::string& locale);
    ~LocaleEnvironment();
    LocaleEnvironment(const LocaleEnvironment&) = delete;
    LocaleEnvironment& operator=(const LocaleEnvironment&) = delete;

private:
    struct Saved {
        const char* name;
        bool set;
        std::string value;
    };
    Saved saved_[3];
};

// Switches this process's C library locale (all categories) for the lifetime of the
// object, as an application object does at start-up, and puts the previous one back.
class ProcessLocale {
public:
    explicit ProcessLocale(const std::string& locale);
    ~ProcessLocale();
    ProcessLocale(const ProcessLocale&) = delete;
    ProcessLocale& operator=(const ProcessLocale&) = delete;
    // True when the switch took place.
    bool active() const { return active_; }
    // The decimal separator the C library now formats numbers with.
    static std::string DecimalPoint();

private:
    std::string previous_;
    bool active_ = false;
};

} // namespace testsupport
