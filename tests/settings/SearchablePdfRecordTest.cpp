#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "SettingsFixture.h"
#include "settings/Profile.h"
#include "settings/Records.h"

namespace {

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

class SearchableRecord : public testsupport::SettingsFixture {
protected:
    void SetUp() override {
        SettingsFixture::SetUp();
        sets = settings::UserSettingsFilePath();
        settings::ResetSettingsHandler();
    }
    void Put(const char* key, const std::string& value) {
        ASSERT_TRUE(settings::WriteProfileString(sets, "Folder", key, value));
    }
    std::string sets;
};

struct StoredCase {
    const char* searchable; // null: key absent
    const char* languages;  // null: key absent
    const char* saveType;
    bool on;
    const char* forScan;
};
void PrintTo(const StoredCase& c, std::ostream* os) {
    *os << (c.searchable ? c.searchable : "-") << "/" << (c.languages ? c.languages : "-") << "/" << c.saveType;
}

class StoredOption : public SearchableRecord, public ::testing::WithParamInterface<StoredCase> {};

TEST_P(StoredOption, LoadedAndGivenToTheScanForPdfTypesOnly) {
    const StoredCase& c = GetParam();
    Put("Savetype", c.saveType);
    if (c.searchable) Put("SearchablePdf", c.searchable);
    if (c.languages) Put("OcrLanguages", c.languages);
    settings::FolderElements folder("Folder");
    folder.Load();
    EXPECT_EQ(folder.GetSearchablePdf(), c.on);
    EXPECT_EQ(folder.OcrLanguagesForScan(), c.forScan);
}

INSTANTIATE_TEST_SUITE_P(Keys, StoredOption,
                         ::testing::Values(StoredCase{nullptr, nullptr, "Multi-page PDF", false, ""},
                                           StoredCase{nullptr, "eng", "PDF", false, ""},
                                           StoredCase{"0", "eng", "PDF", false, ""},
                                           StoredCase{"1", "eng+deu", "PDF", true, "eng+deu"},
                                           StoredCase{"true", nullptr, "Multi-page PDF", true, "eng"},
                                           StoredCase{" 1 ", " fra ", "Multi-page PDF", true, "fra"},
                                           StoredCase{"1", "eng", "JPEG", true, ""},
                                           StoredCase{"1", "eng", "Multi-page TIFF", true, ""}));

// A record that never had the option saves exactly the keys it always had.
TEST_F(SearchableRecord, RecordWithoutTheOptionSavesNoNewKey) {
    settings::FolderElements folder("Folder");
    folder.Load();
    ASSERT_TRUE(folder.Save());
    const std::string text = Slurp(sets);
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(text.find("SearchablePdf"), std::string::npos);
    EXPECT_EQ(text.find("OcrLanguages"), std::string::npos);
}

TEST_F(SearchableRecord, TurnedOnAndOffAgainRoundTrips) {
    settings::FolderElements folder("Folder");
    folder.Load();
    folder.SetSearchablePdf(true);
    folder.SetOcrLanguages("eng+deu");
    ASSERT_TRUE(folder.Save());
    EXPECT_EQ(settings::ReadProfileString(sets, "Folder", "SearchablePdf"), "1");
    EXPECT_EQ(settings::ReadProfileString(sets, "Folder", "OcrLanguages"), "eng+deu");

    settings::FolderElements again("Folder");
    again.Load();
    EXPECT_TRUE(again.GetSearchablePdf());
    EXPECT_EQ(again.GetOcrLanguages(), "eng+deu");
    again.SetSearchablePdf(false);
    ASSERT_TRUE(again.Save());
    settings::FolderElements off("Folder");
    off.Load();
    EXPECT_FALSE(off.GetSearchablePdf());
    EXPECT_EQ(off.GetOcrLanguages(), "eng+deu"); // the choice of languages stays for next time
}

} // namespace
