// How often one headless scan lists the scanners, counted by SANE itself: the dll
// backend logs every sane_get_devices at debug level 3. Listing probes every configured
// backend and takes seconds on a desktop, so one scan lists once, whatever it checks.
#include <gtest/gtest.h>

#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/Process.h"
#include "settings/ProductData.h"
#include "settings/Profile.h"
#include "support/TempFolder.h"

namespace {

struct ListingCase {
    std::vector<std::string> source; // the --source argument, if any
    bool scans;                      // a file is delivered
};
void PrintTo(const ListingCase& c, std::ostream* os) {
    *os << (c.source.empty() ? std::string("no --source") : c.source.back());
}

class ScanListing : public ::testing::TestWithParam<ListingCase> {
protected:
    void SetUp() override {
        settings::ForgetCurrentSourceName();
        const std::string sets = settings::UserSettingsFilePath();
        ASSERT_FALSE(sets.empty());
        const std::vector<std::pair<const char*, std::string>> folder = {
            {"Savefolder", out.path()}, {"Savetype", "JPEG"},      {"Resolution", "75"},       {"Papersize", "A5"},
            {"Colormode", "Gray"},      {"Scanmethod", "Flatbed"}, {"Openfileoption", "false"}};
        for (const auto& [key, value] : folder) ASSERT_TRUE(settings::WriteProfileString(sets, "Folder", key, value));
    }
    testsupport::TempFolder out;
};

TEST_P(ScanListing, OneScanListsTheScannersOnce) {
    // The shell only joins SANE's log (standard error) to what we capture.
    std::vector<std::string> argv = {"sh", "-c", "SANE_DEBUG_DLL=3 exec \"$0\" scan --to folder \"$@\" 2>&1",
                                     testsupport::ProgramFolder() + "scanner-utility-cli"};
    for (const auto& a : GetParam().source) argv.push_back(a);
    std::string output;
    EXPECT_EQ(platform::CaptureOutput(argv, output, 120000), GetParam().scans) << output;
    int listings = 0;
    bool delivered = false;
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);) {
        const std::string logged = "[dll] sane_get_devices";
        if (line.size() >= logged.size() && line.compare(line.size() - logged.size(), logged.size(), logged) == 0)
            ++listings;
        delivered = delivered || line.rfind(out.path(), 0) == 0;
    }
    EXPECT_EQ(listings, 1) << output;
    EXPECT_EQ(delivered, GetParam().scans) << output;
}

INSTANTIATE_TEST_SUITE_P(Table, ScanListing,
                         ::testing::Values(ListingCase{{"--source", "test:0"}, true},
                                           ListingCase{{}, true}, // the first known scanner is chosen
                                           ListingCase{{"--source", "test:7"}, false})); // no such scanner: refused

} // namespace
