#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "platform/Services.h"
#include "settings/ProductData.h"
#include "support/TempFolder.h"

namespace {

using testsupport::TempFolder;

TEST(DataFiles, FilesAreInTheProgramFolderAndShipped) {
    settings::SetProgramFolder("");
    std::string folder = settings::ProgramFolder();
    ASSERT_EQ(folder.back(), '/');
    for (const std::string& path :
         {settings::ProductFilePath(), settings::SettingsTemplatePath(), settings::DefaultsFilePath(),
          settings::IdFilePath(), settings::MappingFilePath(), settings::TextFilePath()}) {
        EXPECT_EQ(path.rfind(folder, 0), 0u) << path;
        EXPECT_TRUE(platform::FileSystem().Exists(path)) << path << " is not shipped";
    }
}

TEST(DataFiles, UserFolderIsCompanyThenQuorinUnderConfigHome) {
    TempFolder program;
    program.Write("Prdct.dat", "[Common]\nCompanyPathSection=Acme Imaging\n");
    settings::SetProgramFolder(program.path());
    std::string user = settings::UserFolder();
    std::string config = std::string(std::getenv("XDG_CONFIG_HOME")) + "/";
    EXPECT_EQ(user, config + "Acme Imaging/Quorin/");
    EXPECT_TRUE(platform::FileSystem().IsDirectory(user));
    EXPECT_EQ(settings::WorkingImageFolder(), user + "TempImage/");
    EXPECT_TRUE(platform::FileSystem().IsDirectory(user + "TempImage"));
    // A company value that would leave the configuration folder is not used.
    program.Write("Prdct.dat", "[Common]\nCompanyPathSection=../../etc\n");
    EXPECT_EQ(settings::UserFolder().rfind(config, 0), 0u);
    EXPECT_EQ(settings::UserFolder().find(".."), std::string::npos);
    settings::SetProgramFolder("");
}

} // namespace

// ---- the shipped data files agree with each other -------------------------------------

#include "core/Texts.h"
#include "settings/Profile.h"
#include "settings/ScanSettingValues.h"

namespace {

std::vector<std::string> ListOf(const std::string& key) {
    std::vector<std::string> items;
    for (auto& item : settings::Split(settings::ReadProfileString(settings::IdFilePath(), "Basic", key), ','))
        if (!item.empty()) items.push_back(item);
    return items;
}

bool Contains(const std::vector<std::string>& list, const std::string& item) {
    return std::find(list.begin(), list.end(), item) != list.end();
}

TEST(ShippedData, EveryCatalogueMessageAndLabelIsPresent) {
    settings::SetProgramFolder("");
    const int numbers[] = {102, 103, 104, 105, 106, 108, 109, 110, 113, 116, 118, 119, 125,
                           126, 127, 128, 129, 130, 131, 132, 133, 134, 136, 137, 138, 140,
                           141, 142, 143, 144, 145, 146, 147, 148, 150, 152, 153, 210, 211};
    for (int n : numbers) EXPECT_FALSE(core::LoadMessageText(n).empty()) << "message " << n;
    std::vector<std::string> keys = {"MD_Caption",
                                     "MD_App1",
                                     "MD_App2",
                                     "MD_Folder",
                                     "MD_Fax",
                                     "Option",
                                     "Setting",
                                     "SelectScanner",
                                     "ShowTips",
                                     "Exit",
                                     "Help",
                                     "HelpTopic",
                                     "About",
                                     "DS_Caption",
                                     "DS_LabelSource",
                                     "DS_OK",
                                     "DS_Cancel",
                                     "AM_Add_Title",
                                     "AM_Modify_Title",
                                     "AM_Label_Title",
                                     "AM_Label_Path",
                                     "AM_Btn_Browse",
                                     "AM_OK",
                                     "AM_Cancel",
                                     "SD_Caption",
                                     "SD_App1",
                                     "SD_App2",
                                     "SD_Folder",
                                     "SD_Fax",
                                     "SMOption_Title",
                                     "SMOption_lblDirection",
                                     "SMOption_Left",
                                     "SMOption_Upper",
                                     "SMOption_lblDuplexScan",
                                     "SMOption_DuplexOff",
                                     "SMOption_LRBinding",
                                     "SMOption_TopBinding",
                                     "SMOption_HelpLink",
                                     "SMOption_OK",
                                     "SMOption_Cancel",
                                     "AD_Caption",
                                     "AD_SoftwareName",
                                     "AD_Version",
                                     "AD_Copyright",
                                     "AD_OK_Button"};
    // Every destination page has these; the pages add their own controls' keys.
    const char* shared[] = {"Title",        "Info_Link", "GB_Input",   "GB_Output", "ScanMethod",
                            "ColorMode",    "PaperSize", "Resolution", "FileName",  "SaveFolder",
                            "BrowseFolder", "Default",   "OK",         "Cancel",    "Option"};
    for (const char* prefix : {"AD1_", "AD2_", "FD_", "FAD_"})
        for (const char* suffix : shared) keys.push_back(std::string(prefix) + suffix);
    for (const char* k :
         {"AD1_Info1", "AD1_Info2", "AD2_Info", "FD_Info", "FAD_Info", "FD_IsOpenFolder", "FD_Viewfolder"})
        keys.push_back(k);
    for (const char* prefix : {"AD1_", "AD2_", "FD_"})
        for (const char* suffix : {"IsShowDriver", "SaveType", "Compress"})
            keys.push_back(std::string(prefix) + suffix);
    for (const char* prefix : {"AD1_", "AD2_"})
        for (const char* suffix : {"Application", "BtnAdd", "BtnModify", "BtnDelete"})
            keys.push_back(std::string(prefix) + suffix);
    for (const auto& key : keys) EXPECT_FALSE(core::LoadUIString(key).empty()) << key;
    // A leading blank of a label survives the file's quoting.
    EXPECT_EQ(core::LoadUIString("FD_IsShowDriver"), " Display the scanner driver");
}

TEST(ShippedData, ModelListsHaveDisplayTextsAndDefaultsAreAllowed) {
    settings::SetProgramFolder("");
    for (const char* list : {"ScanMethod", "ColorMode", "Resolution", "SaveType", "EmailClients", "ColorPDFCompression",
                             "TifCompression"}) {
        auto items = ListOf(list);
        EXPECT_FALSE(items.empty()) << list;
        for (const auto& item : items)
            EXPECT_FALSE(settings::ReadProfileString(settings::MappingFilePath(), list, item).empty())
                << list << " " << item;
    }
    for (const char* seq : {"CommonSequence", "SequenceForKest", "SequenceForVorn"})
        for (auto& paper :
             settings::Split(settings::ReadProfileString(settings::IdFilePath(), "PaperSize_Sequence", seq), ','))
            EXPECT_FALSE(settings::ReadProfileString(settings::MappingFilePath(), "PaperSize", paper).empty()) << paper;
    const std::string def = settings::DefaultsFilePath();
    for (const char* section : {"Application1", "Application2", "Folder", "Fax"}) {
        SCOPED_TRACE(section);
        EXPECT_TRUE(Contains(ListOf("ScanMethod"), settings::ReadProfileString(def, section, "Scanmethod")));
        EXPECT_TRUE(Contains(ListOf("ColorMode"), settings::ReadProfileString(def, section, "Colormode")));
        EXPECT_TRUE(Contains(ListOf("Resolution"), settings::ReadProfileString(def, section, "Resolution")));
        EXPECT_TRUE(Contains(ListOf("SaveType"), settings::ReadProfileString(def, section, "Savetype")));
        EXPECT_TRUE(Contains(ListOf("TifCompression"), settings::ReadProfileString(def, section, "TifCompression")));
        auto pdf = settings::Split(settings::ReadProfileString(def, section, "PDFCompression"), '|');
        ASSERT_EQ(pdf.size(), 2u);
        EXPECT_TRUE(Contains(ListOf("ColorPDFCompression"), pdf[0]));
        EXPECT_TRUE(Contains(ListOf("TifCompression"), pdf[1]));
        auto methods = settings::ScanMethodArr::FromText(settings::ReadProfileString(def, section, "ScanmethodArr"));
        for (const auto& name : ListOf("ScanMethod")) EXPECT_TRUE(methods->get(name)) << name;
    }
    EXPECT_GT(std::atoi(settings::ReadProfileString(def, "Config", "MaxAppListCount").c_str()), 0);
}

} // namespace
