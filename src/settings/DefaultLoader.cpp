#include "settings/DefaultLoader.h"

#include "settings/DataTranslator.h"
#include "settings/IniStorage.h"
#include "settings/Placeholders.h"
#include "settings/ProductData.h"
#include "settings/ScannerModel.h"

namespace settings {
namespace {

IniSection Defaults(const std::string& section) { return IniSection(section, DefaultsFilePath()); }

CapabilityInformation Query(int kind) {
    auto model = ScannerModel();
    return model ? model->QueryInfo(kind) : CapabilityInformation{};
}

} // namespace

void DefaultSettingLoader::LoadApplicationDefaults(AppElements& record, const std::string& section) {
    record = AppElements(section);
    LoadCommonDefaults(record, section);
    IniSection s = Defaults(section);
    record.SetAppPath(ExpandPlaceholders(s.Read("Appexepath")));
    record.SetAppName(s.Read("AppName"));
    record.SetAppListId(1);
}

void DefaultSettingLoader::LoadApplication1Defaults(AppElements& record) {
    LoadApplicationDefaults(record, "Application1");
}

void DefaultSettingLoader::LoadApplication2Defaults(AppElements& record) {
    LoadApplicationDefaults(record, "Application2");
}

void DefaultSettingLoader::LoadFolderDefaults(FolderElements& record) {
    record = FolderElements("Folder");
    LoadCommonDefaults(record, "Folder");
    record.SetOpenFolder(Defaults("Folder").Read("Openfileoption") == "true" ? "true" : "false");
}

void DefaultSettingLoader::LoadFaxDefaults(FaxElements& record) {
    record = FaxElements("Fax");
    LoadCommonDefaults(record, "Fax");
    IniSection s = Defaults("Fax");
    record.SetResolution(DecimalToInt(s.Read("Resolution")));
    record.SetColorMode(s.Read("ColorMode"));
}

void DefaultSettingLoader::LoadCommonDefaults(CommonSetting& record, const std::string& section) {
    IniSection s = Defaults(section);
    record.SetSaveFolder(ExpandPlaceholders(s.Read("Savefolder")));
    record.SetFileName(s.Read("Filename"));
    record.SetColorMode(s.Read("Colormode"));
    record.SetScanMethodArr(ScanMethodArr::FromText(s.Read("ScanmethodArr")));
    record.SetScanMethod(s.Read("Scanmethod"));
    record.SetPaperSize(s.Read("Papersize"));
    record.SetCompressionLevel(s.Read("Compressionlevel"));
    record.SetSaveType(s.Read("Savetype"));
    record.SetResolution(DecimalToInt(s.Read("Resolution")));
    record.SetShowDriver(s.Read("IsShowDriver") == "true");
    record.SetPDFCompression(s.Read("PDFCompression"));
    record.SetTifCompression(s.Read("TifCompression"));
}

void DefaultSettingLoaderCommon::LoadCommonDefaults(CommonSetting& record, const std::string& section) {
    IniSection s = Defaults(section);
    record.SetSaveFolder(ExpandPlaceholders(s.Read("Savefolder")));
    record.SetFileName(s.Read("Filename"));
    record.SetShowDriver(s.Read("IsShowDriver") == "true");
    record.SetCompressionLevel(s.Read("Compressionlevel"));

    CapabilityInformation orientation = Query(kKindOrientation);
    std::string direction = orientation.valid ? orientation.defaultValue : "left";
    CapabilityInformation flip = Query(kKindFlipRotation);
    std::string binding = flip.valid ? flip.defaultValue : "lr";

    CapabilityInformation mode = Query(kKindScanMode);
    std::string methods;
    if (mode.valid) {
        record.SetScanMethod(mode.defaultValue);
        for (const auto& v : mode.values) methods += v.first + "|" + direction + "|" + binding + "|off|-";
    }
    record.SetScanMethodArr(ScanMethodArr::FromText(methods));

    CapabilityInformation info = Query(kKindColorMode);
    if (info.valid) record.SetColorMode(info.defaultValue);
    info = Query(kKindPaperSize);
    if (info.valid) record.SetPaperSize(info.defaultValue);
    info = Query(kKindSaveType);
    if (info.valid) record.SetSaveType(info.defaultValue);
    info = Query(kKindResolution);
    if (info.valid) record.SetResolution(DecimalToInt(info.defaultValue));

    record.SetTifCompression(s.Read("TifCompression"));
    record.SetPDFCompression(s.Read("PDFCompression"));
}

std::unique_ptr<CommonSetting> LoadDefaultsFor(IF_DefaultSettingLoader& loader, const std::string& section) {
    if (section == "Application1" || section == "Application2") {
        auto record = std::make_unique<AppElements>(section);
        if (section == "Application1") loader.LoadApplication1Defaults(*record);
        else loader.LoadApplication2Defaults(*record);
        return record;
    }
    if (section == "Folder") {
        auto record = std::make_unique<FolderElements>("Folder");
        loader.LoadFolderDefaults(*record);
        return record;
    }
    auto record = std::make_unique<FaxElements>("Fax");
    loader.LoadFaxDefaults(*record);
    return record;
}

} // namespace settings
