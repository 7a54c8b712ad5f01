#pragma once
// A private program folder (copies of the shipped data files, editable per test), a
// private user configuration folder, the settings file bound to the user's Sets.dat, and
// a scripted scanner model.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>

#include "settings/IniStorage.h"
#include "settings/Placeholders.h"
#include "settings/Profile.h"
#include "settings/ProductData.h"
#include "settings/ScannerModel.h"
#include "support/TempFolder.h"

namespace testsupport {

class ScriptedMapping : public settings::IF_MappingHandler {
public:
    std::map<std::string, settings::ChoiceList> lists;
    settings::ChoiceList Get(const std::string& name) const {
        auto it = lists.find(name);
        return it == lists.end() ? settings::ChoiceList{} : it->second;
    }
    void GetPaperSizes(const std::string&, settings::ChoiceList& r) override { r = Get("PaperSize"); }
    void GetScanMethods(settings::ChoiceList& r) override { r = Get("ScanMethod"); }
    void GetColorModes(settings::ChoiceList& r) override { r = Get("ColorMode"); }
    void GetResolutions(settings::ChoiceList& r) override { r = Get("Resolution"); }
    void GetSaveTypes(settings::ChoiceList& r) override { r = Get("SaveType"); }
    void GetApplications1(settings::ChoiceList& r) override { r.clear(); }
    void GetApplications2(settings::ChoiceList& r) override { r.clear(); }
    void GetEmailClients(settings::ChoiceList& r) override { r.clear(); }
    void GetTifCompressions(settings::ChoiceList& r) override { r = Get("TifCompression"); }
    void GetColorPDFCompressions(settings::ChoiceList& r) override { r = Get("ColorPDFCompression"); }
    void GetSupportedSources(settings::ChoiceList& r) override { r.clear(); }
    void GetBindings(settings::ChoiceList& r) override { r = Get("Binding"); }
};

class ScriptedScanner : public settings::IScannerModel {
public:
    int driverKind = 0;
    std::map<int, settings::CapabilityInformation> info;
    std::map<std::string, settings::ChoiceList> lists;
    int CurrentDriverKind() override { return driverKind; }
    settings::CapabilityInformation QueryInfo(int kind) override {
        auto it = info.find(kind);
        return it == info.end() ? settings::CapabilityInformation{} : it->second;
    }
    std::unique_ptr<settings::IF_MappingHandler> CreateMappingHandler() override {
        auto m = std::make_unique<ScriptedMapping>();
        m->lists = lists;
        return m;
    }
};

inline settings::ChoiceList Choices(std::initializer_list<const char*> keys) {
    settings::ChoiceList list;
    for (const char* k : keys) list.emplace_back(k, k);
    return list;
}

// Turns a copy of the shipped product data (any maker, any model) into a maker's own: the
// SANE test backend's vendor and model family, so that only the models the lists name
// (and network families) are served.
inline void NameTheMaker(const std::string& productFile) {
    settings::WriteProfileString(productFile, "Common", "Manufacturer", "Noname");
    settings::WriteProfileString(productFile, "Common", "ProductFamily", "frontend-tester");
}

class SettingsFixture : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* f : {"Prdct.dat", "Def.dat", "Id.dat", "Mapping.dat", "Str.dat", "Sets.dat"})
            std::filesystem::copy_file(ProgramFolder() + f, program.path() + f);
        NameTheMaker(program / "Prdct.dat");
        const char* old = std::getenv("XDG_CONFIG_HOME");
        oldConfig_ = old ? old : "";
        ::setenv("XDG_CONFIG_HOME", (home.path() + "config").c_str(), 1);
        settings::SetProgramFolder(program.path());
        settings::SetSettingsFileLocator([] { return settings::UserSettingsFilePath(); });
        settings::ForgetCurrentSourceName();
        settings::SetPlaceholders({{"${MSPAINT}", "/usr/bin/env"},
                                   {"${CURRENT_USER_MYPIC}", pictures.path()},
                                   {"${DEFAULT_MAILCLIENT}", "mail.desktop"}});
        scanner = std::make_shared<ScriptedScanner>();
        settings::SetScannerModel(scanner);
    }
    void TearDown() override {
        settings::SetScannerModel(nullptr);
        settings::SetPlaceholders({});
        settings::SetSettingsFileLocator(nullptr);
        settings::ForgetCurrentSourceName();
        settings::SetProgramFolder("");
        if (oldConfig_.empty()) ::unsetenv("XDG_CONFIG_HOME");
        else ::setenv("XDG_CONFIG_HOME", oldConfig_.c_str(), 1);
    }
    std::string UserFolder() const { return home.path() + "config/ZAV/Quorin/"; }

    TempFolder program;
    TempFolder home;
    TempFolder pictures;
    std::shared_ptr<ScriptedScanner> scanner;

private:
    std::string oldConfig_;
};

} // namespace testsupport
