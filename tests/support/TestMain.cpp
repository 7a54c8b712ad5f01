// Shared main for the test executables: run with no display, the repository's SANE
// configuration (the test backend) and a private HOME, so that no test reads or writes
// the settings of the person running it, depends on a desktop or prints.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "support/TempFolder.h"
#include "platform/Process.h"
#include "platform/SanitizerSupport.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    platform::KeepSaneBackendsLoadedForLeakReports();
    testsupport::TempFolder home;
    ::setenv("HOME", home.path().c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (home.path() + ".config").c_str(), 1);
    ::unsetenv("XDG_PICTURES_DIR");
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // No print server unless a test starts its own: nothing is ever sent to the
    // printers (or fax queues) of the machine.
    ::setenv("CUPS_SERVER", (home.path() + "no-print-server.sock").c_str(), 1);
    ::setenv("SU_SOURCE_DIR", SU_SOURCE_DIR_PATH, 1);
    ::setenv("SANE_CONFIG_DIR", SU_SOURCE_DIR_PATH "/data/sane", 1);
    const int result = RUN_ALL_TESTS();
    // The SANE test backend cancels its reading thread asynchronously, which can leave a
    // lock of the C library taken by a thread that is gone; the exit handlers that need
    // it (a library's finaliser freeing a locale) would then wait forever, after every
    // test has passed. The results are out: end within a minute whatever happens.
    platform::EndProcessWithin(60, result);
    return result;
}
