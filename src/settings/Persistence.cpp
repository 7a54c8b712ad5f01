#include "settings/Persistence.h"

#include <mutex>

#include "settings/IniStorage.h"
#include "settings/Records.h"

namespace settings {
namespace {

std::mutex& ModelLock() {
    static std::mutex lock;
    return lock;
}
std::shared_ptr<IScannerModel>& ModelSlot() {
    static std::shared_ptr<IScannerModel> model;
    return model;
}

// The save folder of the destination's defaults ("Application1", "Application2",
// "Folder"; anything else reads the fax defaults).
std::string DefaultSaveFolder(const std::string& section) {
    auto loader = ClassInstanceFactory::GetInstance().CreateDefaultLoader();
    auto defaults = LoadDefaultsFor(*loader, section);
    return defaults->GetSaveFolder();
}

bool SharedLoad(CommonSetting& record) {
    IniHandler& h = GetSettingsHandler();
    record.SetScanMethodArr(ScanMethodArr::FromText(h.ReadValue("ScanmethodArr")));
    record.SetScanMethod(h.ReadValue("Scanmethod"));
    record.SetColorMode(h.ReadValue("Colormode"));
    record.SetResolution(DecimalToInt(h.ReadValue("Resolution")));
    record.SetPaperSize(h.ReadValue("Papersize"));
    record.SetFileName(h.ReadValue("Filename"));
    record.SetCompressionLevel(h.ReadValue("Compressionlevel"));
    std::string folder = h.ReadValue("Savefolder");
    if (folder.empty() || folder == "default") {
        // Reading the defaults may use other handlers; the settings handler's current
        // section stays as it is.
        folder = DefaultSaveFolder(record.GetSection());
    }
    record.SetSaveFolder(folder);
    record.SetSaveType(h.ReadValue("Savetype"));
    record.SetShowDriver(h.ReadValue("IsShowDriver") == "true");
    record.SetPDFCompression(h.ReadValue("PDFCompression"));
    record.SetTifCompression(h.ReadValue("TifCompression"));
    return true;
}

bool SharedSave(CommonSetting& record, bool writeEmptyList) {
    IniHandler& h = GetSettingsHandler();
    h.OpenSection(record.GetSection());
    // Every key is attempted: one refused value must not leave the keys after it stale.
    bool ok = h.WriteValue("Scanmethod", record.GetScanMethod());
    if (record.GetScanMethodArr()) ok = h.WriteValue("ScanmethodArr", record.GetScanMethodArr()->ToText()) && ok;
    else if (writeEmptyList) ok = h.WriteValue("ScanmethodArr", "") && ok;
    ok = h.WriteValue("Colormode", record.GetColorMode()) && ok;
    ok = h.WriteValue("Resolution", std::to_string(record.GetResolution())) && ok;
    ok = h.WriteValue("Papersize", record.GetPaperSize()) && ok;
    ok = h.WriteValue("Filename", record.GetFileName()) && ok;
    record.SetCompressionLevel(std::to_string(DecimalToInt(record.GetCompressionLevel())));
    ok = h.WriteValue("Compressionlevel", record.GetCompressionLevel()) && ok;
    ok = h.WriteValue("Savefolder", record.GetSaveFolder()) && ok;
    ok = h.WriteValue("Savetype", record.GetSaveType()) && ok;
    ok = h.WriteValue("IsShowDriver", record.GetShowDriver() ? "true" : "false") && ok;
    ok = h.WriteValue("PDFCompression", record.GetPDFCompression()) && ok;
    ok = h.WriteValue("TifCompression", record.GetTifCompression()) && ok;
    return h.CloseSection() && ok;
}

} // namespace

std::shared_ptr<IScannerModel> ScannerModel() {
    std::lock_guard<std::mutex> guard(ModelLock());
    return ModelSlot();
}

void SetScannerModel(std::shared_ptr<IScannerModel> model) {
    std::lock_guard<std::mutex> guard(ModelLock());
    ModelSlot() = std::move(model);
}

bool SettingPersistenceForKest::LoadSetting(CommonSetting& record) { return SharedLoad(record); }
bool SettingPersistenceForKest::SaveSetting(CommonSetting& record) { return SharedSave(record, false); }
bool SettingPersistenceForCommon::LoadSetting(CommonSetting& record) { return SharedLoad(record); }
bool SettingPersistenceForCommon::SaveSetting(CommonSetting& record) { return SharedSave(record, false); }

int ClassInstanceFactory::CurrentDriverKind() const {
    auto model = ScannerModel();
    return model ? model->CurrentDriverKind() : 2;
}

std::unique_ptr<IF_SettingPersistence> ClassInstanceFactory::CreateSettingPersistence() const {
    if (CurrentDriverKind() == 0) return std::make_unique<SettingPersistenceForKest>();
    return std::make_unique<SettingPersistenceForCommon>();
}

std::unique_ptr<IF_DefaultSettingLoader> ClassInstanceFactory::CreateDefaultLoader() const {
    if (CurrentDriverKind() == 0) return std::make_unique<DefaultSettingLoader>();
    return std::make_unique<DefaultSettingLoaderCommon>();
}

std::unique_ptr<IF_MappingHandler> ClassInstanceFactory::CreateMappingHandler() const {
    auto model = ScannerModel();
    return model ? model->CreateMappingHandler() : nullptr;
}

std::unique_ptr<IF_DataTranslator> ClassInstanceFactory::CreateDataTranslator() const {
    return std::make_unique<DataTranslatorCommon>();
}

} // namespace settings
