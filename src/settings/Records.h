#pragma once
// The destination records: what a destination scans and what it makes of the pages.
// One INI section of the user's Sets.dat each ("Application1", "Application2",
// "Folder", "Fax"), and the record set the settings dialog and the scan work on.
//
// Records are plain values; copying one gives an independent record except for the
// scan method list, which the copies share.

#include <memory>
#include <string>

#include "settings/ScanSettingValues.h"

namespace settings {

class ValueHandler;
class IF_DefaultSettingLoader;
class IF_MappingHandler;

class CommonSetting {
public:
    explicit CommonSetting(std::string section = {}) : section_(std::move(section)) {}
    virtual ~CommonSetting() = default;
    CommonSetting(const CommonSetting&) = default;
    CommonSetting& operator=(const CommonSetting&) = default;

    // Empties every text field and sets the resolution to 0; the scan method list and
    // the show-driver flag stay.
    virtual void Clear();
    // True when colour mode, compression level, file name, paper size, save folder or
    // save type is empty, or the resolution is 0.
    virtual bool HasMissingValue() const;
    // The destination's own keys, through a handler whose section is current.
    virtual bool LoadExtra(ValueHandler&) { return true; }
    virtual bool SaveExtra(ValueHandler&) { return true; }
    // Repairs the record against the model and the destination's defaults.
    virtual void Validate() {}

    // Loads the record from the settings file; true when it is complete afterwards.
    // False (record left as cleared) when the file does not exist.
    bool Load();
    // Writes the destination's own keys, each even when another one is refused, then
    // the common keys, which a refused own key does not skip. False when any write
    // failed.
    bool Save();

    const std::string& GetSection() const { return section_; }
    const std::string& GetScanMethod() const { return scanMethod_; }
    void SetScanMethod(const std::string& v) { scanMethod_ = v; }
    const std::shared_ptr<ScanMethodArr>& GetScanMethodArr() const { return scanMethods_; }
    void SetScanMethodArr(std::shared_ptr<ScanMethodArr> v) { scanMethods_ = std::move(v); }
    const std::string& GetColorMode() const { return colorMode_; }
    void SetColorMode(const std::string& v) { colorMode_ = v; }
    int GetResolution() const { return resolution_; }
    void SetResolution(int v) { resolution_ = v; }
    const std::string& GetPaperSize() const { return paperSize_; }
    void SetPaperSize(const std::string& v) { paperSize_ = v; }
    const std::string& GetCompressionLevel() const { return compressionLevel_; }
    void SetCompressionLevel(const std::string& v) { compressionLevel_ = v; }
    const std::string& GetFileName() const { return fileName_; }
    void SetFileName(const std::string& v) { fileName_ = v; }
    const std::string& GetSaveType() const { return saveType_; }
    void SetSaveType(const std::string& v) { saveType_ = v; }
    const std::string& GetSaveFolder() const { return saveFolder_; }
    // Stores the folder with a trailing '/' unless it is empty.
    void SetSaveFolder(const std::string& v);
    const std::string& GetPDFCompression() const { return pdfCompression_; }
    void SetPDFCompression(const std::string& v) { pdfCompression_ = v; }
    const std::string& GetTifCompression() const { return tifCompression_; }
    void SetTifCompression(const std::string& v) { tifCompression_ = v; }
    bool GetShowDriver() const { return showDriver_; }
    void SetShowDriver(bool v) { showDriver_ = v; }
    // Searchable PDFs: a text layer recognised in the given languages ('+'-separated,
    // "eng+deu") for the two PDF file types. Keys "SearchablePdf" and "OcrLanguages" of
    // the destination's section; absent keys mean off, and a record that never had the
    // option on saves without them.
    bool GetSearchablePdf() const { return searchablePdf_; }
    void SetSearchablePdf(bool v) { searchablePdf_ = v; }
    const std::string& GetOcrLanguages() const { return ocrLanguages_; }
    void SetOcrLanguages(const std::string& v) { ocrLanguages_ = v; }
    // The languages a scan of this record recognises in: empty unless the option is on
    // and the save type is a PDF one.
    std::string OcrLanguagesForScan() const;

protected:
    // The repair every destination shares: values the model does not allow, or that are
    // not well formed, are replaced by the defaults' values.
    void RepairCommon(const CommonSetting& defaults, IF_MappingHandler& model);
    // Steps every Validate shares after the common repair: empty file name, save folder
    // and compression level from the defaults.
    void FillEmptyFromDefaults(const CommonSetting& defaults);

private:
    std::string section_;
    std::string scanMethod_;
    std::shared_ptr<ScanMethodArr> scanMethods_;
    std::string colorMode_;
    int resolution_ = 75;
    std::string paperSize_;
    std::string compressionLevel_;
    std::string fileName_;
    std::string saveType_;
    std::string saveFolder_;
    std::string pdfCompression_;
    std::string tifCompression_;
    bool showDriver_ = false;
    bool searchablePdf_ = false;
    std::string ocrLanguages_;
    bool ocrKeysStored_ = false; // the section held the keys when loaded
};

class AppElements : public CommonSetting {
public:
    using CommonSetting::CommonSetting;
    void Clear() override;
    bool LoadExtra(ValueHandler& handler) override;
    bool SaveExtra(ValueHandler& handler) override;
    void Validate() override;

    const std::string& GetAppName() const { return appName_; }
    void SetAppName(const std::string& v) { appName_ = v; }
    const std::string& GetAppPath() const { return appPath_; }
    void SetAppPath(const std::string& v) { appPath_ = v; }
    int GetAppListId() const { return appListId_; }
    void SetAppListId(int v) { appListId_ = v; }
private:
    std::string appName_;
    std::string appPath_;
    int appListId_ = 0;
};

class FolderElements : public CommonSetting {
public:
    using CommonSetting::CommonSetting;
    bool HasMissingValue() const override;
    bool LoadExtra(ValueHandler& handler) override;
    bool SaveExtra(ValueHandler& handler) override;
    void Validate() override;
    // Always exactly "true" or "false" once loaded.
    const std::string& GetOpenFolder() const { return openFolder_; }
    void SetOpenFolder(const std::string& v) { openFolder_ = v; }
private:
    std::string openFolder_;
};

class FaxElements : public CommonSetting {
public:
    using CommonSetting::CommonSetting;
    void Validate() override;
};

// The four records the settings dialog and the scan work on, and the current page.
class DestinationSettings {
public:
    DestinationSettings();
    // Reloads every record: from the settings file when it exists (and the current
    // page), otherwise from the defaults, writing nothing.
    void LoadAll();
    // Saves the four records and the current page as one replacement of the settings
    // file: killed or crashing at any moment, the program leaves the file as it was or
    // with every record saved. False when a value was refused (the other values are
    // saved) or when the file could not be written (then nothing of this save is in it).
    bool SaveAll();
    // Section "SetAll", key "Curdlg": "TabApp1", "TabApp2", "TabFolder" or "TabFax".
    bool SaveCurrentPage();
    void LoadCurrentPage();
    int GetCurrentPage() const { return page_; }
    void SetCurrentPage(int page);
    CommonSetting& CurrentRecord() { return *current_; }
    // The record of that section (exact comparison), or null.
    std::shared_ptr<CommonSetting> Select(const std::string& section) const;

    AppElements& Application1() { return *app1_; }
    AppElements& Application2() { return *app2_; }
    FolderElements& Folder() { return *folder_; }
    FaxElements& Fax() { return *fax_; }

private:
    std::shared_ptr<AppElements> app1_;
    std::shared_ptr<AppElements> app2_;
    std::shared_ptr<FolderElements> folder_;
    std::shared_ptr<FaxElements> fax_;
    int page_ = 0;
    std::shared_ptr<CommonSetting> current_;
};

} // namespace settings
