#include "settings/Records.h"

#include <algorithm>

#include "platform/Services.h"
#include "settings/AppList.h"
#include "settings/DataTranslator.h"
#include "settings/IniStorage.h"
#include "settings/Persistence.h"
#include "settings/Profile.h"
#include "settings/ScannerModel.h"

namespace settings {
namespace {

std::string TrimBlanks(const std::string& text) {
    size_t b = text.find_first_not_of(" \t");
    if (b == std::string::npos) return {};
    size_t e = text.find_last_not_of(" \t");
    return text.substr(b, e - b + 1);
}

const size_t kMaxFileNameLength = 40;

const char* const kSearchablePdfKey = "SearchablePdf";
const char* const kOcrLanguagesKey = "OcrLanguages";
const char* const kDefaultOcrLanguage = "eng";

bool HasValue(const ChoiceList& allowed, const std::string& value) {
    return allowed.empty() || HasChoice(allowed, value);
}

// Puts a method into the list: replaces the element of the same name, or appends it
// when the list has none, so the list ends up with every method the model offers.
void PutMethod(ScanMethodArr& list, const std::shared_ptr<ScanMethod>& method) {
    if (!method) return;
    if (list.get(method->GetName())) list.set(method);
    else list.Append(method);
}

} // namespace

// ---- CommonSetting -------------------------------------------------------------------

void CommonSetting::Clear() {
    scanMethod_.clear();
    colorMode_.clear();
    resolution_ = 0;
    paperSize_.clear();
    compressionLevel_.clear();
    fileName_.clear();
    saveType_.clear();
    saveFolder_.clear();
    pdfCompression_.clear();
    tifCompression_.clear();
    searchablePdf_ = false;
    ocrLanguages_.clear();
    ocrKeysStored_ = false;
}

std::string CommonSetting::OcrLanguagesForScan() const {
    if (!searchablePdf_) return {};
    const std::string type = saveType_;
    const bool pdf = type.size() >= 3 && EqualsNoCase(type.substr(type.size() - 3), "PDF");
    if (!pdf) return {};
    return ocrLanguages_.empty() ? kDefaultOcrLanguage : ocrLanguages_;
}

bool CommonSetting::HasMissingValue() const {
    return colorMode_.empty() || compressionLevel_.empty() || fileName_.empty() || paperSize_.empty() ||
           saveFolder_.empty() || saveType_.empty() || resolution_ == 0;
}

void CommonSetting::SetSaveFolder(const std::string& v) {
    saveFolder_ = v;
    if (!saveFolder_.empty() && saveFolder_.back() != '/') saveFolder_ += '/';
}

bool CommonSetting::Load() {
    IniHandler& handler = GetSettingsHandler();
    if (!handler.OpenSection(section_)) return false;
    LoadExtra(handler);
    const std::string searchable = TrimBlanks(handler.ReadValue(kSearchablePdfKey));
    ocrLanguages_ = TrimBlanks(handler.ReadValue(kOcrLanguagesKey));
    ocrKeysStored_ = !searchable.empty() || !ocrLanguages_.empty();
    searchablePdf_ = searchable == "1" || EqualsNoCase(searchable, "true");
    handler.CloseSection();
    auto persistence = ClassInstanceFactory::GetInstance().CreateSettingPersistence();
    persistence->LoadSetting(*this);
    Validate();
    return !HasMissingValue();
}

bool CommonSetting::Save() {
    IniHandler& handler = GetSettingsHandler();
    handler.OpenSection(section_);
    bool ok = SaveExtra(handler);
    // The option's keys only once it has been used: a record that never had it keeps
    // exactly the keys it always had.
    if (searchablePdf_ || ocrKeysStored_ || !ocrLanguages_.empty()) {
        ok = handler.WriteValue(kSearchablePdfKey, searchablePdf_ ? "1" : "0") && ok;
        ok = handler.WriteValue(kOcrLanguagesKey, ocrLanguages_) && ok;
    }
    ok = handler.CloseSection() && ok;
    // A refused destination key must not cost the common keys their save: they are
    // written all the same, and the failure is still reported.
    auto persistence = ClassInstanceFactory::GetInstance().CreateSettingPersistence();
    return persistence->SaveSetting(*this) && ok;
}

void CommonSetting::RepairCommon(const CommonSetting& d, IF_MappingHandler& model) {
    ChoiceList list;
    model.GetResolutions(list);
    if (!HasValue(list, std::to_string(resolution_))) resolution_ = d.resolution_;
    model.GetPaperSizes(scanMethod_, list);
    if (!HasValue(list, paperSize_)) paperSize_ = d.paperSize_;
    model.GetColorModes(list);
    if (!HasValue(list, colorMode_)) colorMode_ = d.colorMode_;
    ChoiceList tif;
    model.GetTifCompressions(tif);
    if (!HasValue(tif, tifCompression_)) tifCompression_ = d.tifCompression_;
    model.GetColorPDFCompressions(list);
    auto pdf = Split(pdfCompression_, '|');
    if (pdf.size() < 2 || !HasValue(list, pdf[0]) || !HasValue(tif, pdf[1])) pdfCompression_ = d.pdfCompression_;
    model.GetSaveTypes(list);
    if (!HasValue(list, saveType_)) saveType_ = d.saveType_;
    ChoiceList methods;
    model.GetScanMethods(methods);
    if (!HasValue(methods, scanMethod_)) scanMethod_ = d.scanMethod_;

    // Per-method options. A record without a list gets the defaults' list later on.
    if (scanMethods_) {
        auto scanner = ScannerModel();
        ChoiceList bindings;
        model.GetBindings(bindings);
        auto defaultMethod = [&d](const std::string& name) {
            return d.scanMethods_ ? d.scanMethods_->get(name) : nullptr;
        };
        for (const auto& m : methods) {
            const std::string& name = m.first;
            auto method = scanMethods_->get(name);
            if (!method) {
                PutMethod(*scanMethods_, defaultMethod(name));
                continue;
            }
            CapabilityInformation orientation =
                scanner ? scanner->QueryInfo(kKindOrientation) : CapabilityInformation{};
            if (!orientation.valid) break;
            if (!HasChoice(orientation.values, method->direction ? method->direction->GetName() : std::string()))
                PutMethod(*scanMethods_, defaultMethod(name));
            method = scanMethods_->get(name);
            if (!method) continue;
            if (name != "ADF") {
                if (!method->duplexOff) PutMethod(*scanMethods_, defaultMethod(name));
                continue;
            }
            CapabilityInformation duplex = scanner ? scanner->QueryInfo(kKindDuplex) : CapabilityInformation{};
            if (!duplex.valid) break;
            if (method->duplexOff) continue;
            if (duplex.currentValue == "0") PutMethod(*scanMethods_, defaultMethod(name));
            else if (!bindings.empty() &&
                     !HasChoice(bindings, method->binding ? method->binding->GetName() : std::string()))
                PutMethod(*scanMethods_, defaultMethod(name));
        }
    }

    std::string level = TrimBlanks(compressionLevel_);
    if (level != "0") {
        int value = DecimalToInt(level);
        if (value <= 0 || value > 100) compressionLevel_ = d.compressionLevel_;
        else compressionLevel_ = std::to_string(value);
    }
    // A folder that is not absolute would be taken relative to wherever the program
    // happens to run; it counts as a folder that does not exist.
    if (saveFolder_.empty() || saveFolder_.front() != '/' || !platform::FileSystem().Exists(saveFolder_))
        SetSaveFolder(d.saveFolder_);
    std::string name = TrimBlanks(fileName_);
    if (name.find_first_of("/\\:*?\"<>|") != std::string::npos || name.size() > kMaxFileNameLength)
        fileName_ = d.fileName_;
}

void CommonSetting::FillEmptyFromDefaults(const CommonSetting& d) {
    if (fileName_.empty()) fileName_ = d.fileName_;
    if (saveFolder_.empty()) SetSaveFolder(d.saveFolder_);
}

// ---- AppElements ---------------------------------------------------------------------

void AppElements::Clear() {
    appName_.clear();
    appPath_.clear();
}

bool AppElements::LoadExtra(ValueHandler& handler) {
    appName_ = handler.ReadValue("AppName");
    appPath_ = handler.ReadValue("Appexepath");
    appListId_ = DecimalToInt(handler.ReadValue("AppListID"));
    return true;
}

bool AppElements::SaveExtra(ValueHandler& handler) {
    // Every key is attempted: one that is refused leaves the others written.
    bool ok = handler.WriteValue("Appexepath", appPath_);
    ok = handler.WriteValue("AppName", appName_) && ok;
    ok = handler.WriteValue("AppListID", std::to_string(appListId_)) && ok;
    return ok;
}

void AppElements::Validate() {
    auto& factory = ClassInstanceFactory::GetInstance();
    auto loader = factory.CreateDefaultLoader();
    auto model = factory.CreateMappingHandler();
    if (!loader || !model) return;
    AppElements d(GetSection() == "Application1" ? "Application1" : "Application2");
    if (GetSection() == "Application1") loader->LoadApplication1Defaults(d);
    else loader->LoadApplication2Defaults(d);
    RepairCommon(d, *model);
    FillEmptyFromDefaults(d);

    AppListProvider apps(GetSection() == "Application1" ? "Application1" : "Application2");
    auto titles = apps.GetTitleList();
    if (auto entry = apps.Find(appListId_)) {
        if (!EqualsNoCase(entry->GetTitle(), appName_)) {
            appName_ = entry->GetTitle();
            appPath_ = entry->GetPath();
        }
    } else if (!titles.empty()) {
        const auto& first = apps.Entries().front();
        appListId_ = first->GetId();
        appName_ = first->GetTitle();
        appPath_ = first->GetPath();
    }

    if (!GetScanMethodArr() || GetScanMethodArr()->ToText().empty())
        SetScanMethodArr(ScanMethodArr::FromText(d.GetScanMethodArr() ? d.GetScanMethodArr()->ToText() : ""));
    if (GetCompressionLevel().empty()) SetCompressionLevel(d.GetCompressionLevel());
}

// ---- FolderElements ------------------------------------------------------------------

bool FolderElements::HasMissingValue() const { return CommonSetting::HasMissingValue() || openFolder_.empty(); }

bool FolderElements::LoadExtra(ValueHandler& handler) {
    openFolder_ = handler.ReadValue("Openfileoption") == "true" ? "true" : "false";
    return true;
}

bool FolderElements::SaveExtra(ValueHandler& handler) { return handler.WriteValue("Openfileoption", openFolder_); }

void FolderElements::Validate() {
    auto& factory = ClassInstanceFactory::GetInstance();
    auto loader = factory.CreateDefaultLoader();
    auto model = factory.CreateMappingHandler();
    if (!loader || !model) return;
    FolderElements d("Folder");
    loader->LoadFolderDefaults(d);
    RepairCommon(d, *model);
    FillEmptyFromDefaults(d);
    if (!GetScanMethodArr() || GetScanMethodArr()->ToText().empty()) SetScanMethodArr(d.GetScanMethodArr());
    if (GetCompressionLevel().empty()) SetCompressionLevel(d.GetCompressionLevel());
}

void FaxElements::Validate() {
    auto& factory = ClassInstanceFactory::GetInstance();
    auto loader = factory.CreateDefaultLoader();
    auto model = factory.CreateMappingHandler();
    if (!loader || !model) return;
    FaxElements d("Fax");
    loader->LoadFaxDefaults(d);
    RepairCommon(d, *model);
    FillEmptyFromDefaults(d);
    if (!GetScanMethodArr() || GetScanMethodArr()->ToText().empty()) SetScanMethodArr(d.GetScanMethodArr());
    if (GetCompressionLevel().empty()) SetCompressionLevel(d.GetCompressionLevel());
    SetResolution(d.GetResolution());
    SetColorMode(d.GetColorMode());
}

// ---- DestinationSettings -------------------------------------------------------------

namespace {
const char* const kPageNames[] = {"TabApp1", "TabApp2", "TabFolder", "TabFax"};
}

DestinationSettings::DestinationSettings()
    : app1_(std::make_shared<AppElements>("Application1")), app2_(std::make_shared<AppElements>("Application2")),
      folder_(std::make_shared<FolderElements>("Folder")), fax_(std::make_shared<FaxElements>("Fax")), current_(app1_) {
}

void DestinationSettings::SetCurrentPage(int page) {
    page_ = page >= 0 && page <= 3 ? page : 0;
    switch (page_) {
        case 1: current_ = app2_; break;
        case 2: current_ = folder_; break;
        case 3: current_ = fax_; break;
        default: current_ = app1_; break;
    }
}

void DestinationSettings::LoadAll() {
    app1_->Clear();
    app2_->Clear();
    fax_->Clear();
    folder_->Clear();
    if (GetSettingsHandler().IsAvailable()) {
        app1_->Load();
        app2_->Load();
        fax_->Load();
        folder_->Load();
        LoadCurrentPage();
        return;
    }
    auto loader = ClassInstanceFactory::GetInstance().CreateDefaultLoader();
    loader->LoadApplication1Defaults(*app1_);
    loader->LoadApplication2Defaults(*app2_);
    loader->LoadFaxDefaults(*fax_);
    loader->LoadFolderDefaults(*folder_);
}

bool DestinationSettings::SaveAll() {
    ProfileWriteBatch batch(GetSettingsHandler().FilePath());
    bool ok = app1_->Save();
    ok = app2_->Save() && ok;
    ok = folder_->Save() && ok;
    ok = fax_->Save() && ok;
    ok = SaveCurrentPage() && ok;
    return batch.Commit() && ok;
}

bool DestinationSettings::SaveCurrentPage() {
    IniHandler& handler = GetSettingsHandler();
    handler.OpenSection("SetAll");
    const char* name = page_ >= 0 && page_ <= 3 ? kPageNames[page_] : kPageNames[0];
    bool ok = handler.WriteValue("Curdlg", name);
    return handler.CloseSection() && ok;
}

void DestinationSettings::LoadCurrentPage() {
    IniHandler& handler = GetSettingsHandler();
    handler.OpenSection("SetAll");
    std::string name = handler.ReadValue("CurDlg");
    handler.CloseSection();
    int page = 0;
    for (int i = 0; i < 4; ++i)
        if (name == kPageNames[i]) page = i;
    SetCurrentPage(page);
}

std::shared_ptr<CommonSetting> DestinationSettings::Select(const std::string& section) const {
    if (section == "Application1") return app1_;
    if (section == "Application2") return app2_;
    if (section == "Folder") return folder_;
    if (section == "Fax") return fax_;
    return nullptr;
}

} // namespace settings
