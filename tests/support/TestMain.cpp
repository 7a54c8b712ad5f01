// Shared main for the test executables: run with no display and a private HOME, so
// that no test reads or writes the settings of the person running it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "support/TempFolder.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    testsupport::TempFolder home;
    ::setenv("HOME", home.path().c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (home.path() + ".config").c_str(), 1);
    ::unsetenv("XDG_PICTURES_DIR");
    return RUN_ALL_TESTS();
}
