#pragma once
// Moving the common fields of a destination record between the user's Sets.dat and
// memory, and the factory that picks the variants for the selected scanner.
//
// Key order written for a destination section: Scanmethod, ScanmethodArr, Colormode,
// Resolution, Papersize, Filename, Compressionlevel, Savefolder, Savetype,
// IsShowDriver, PDFCompression, TifCompression (an existing key is replaced where it
// stands).

#include <memory>

#include "settings/DataTranslator.h"
#include "settings/DefaultLoader.h"
#include "settings/ScannerModel.h"
#include "settings/Singleton.h"

namespace settings {

class CommonSetting;

class IF_SettingPersistence {
public:
    virtual ~IF_SettingPersistence() = default;
    // Reads the common fields; the record's section must be the settings handler's
    // current section.
    virtual bool LoadSetting(CommonSetting& record) = 0;
    // Writes the common fields into the record's section; stops at the first failed
    // write and returns false.
    virtual bool SaveSetting(CommonSetting& record) = 0;
};

// Driver kind 0: a record without a scan method list leaves "ScanmethodArr" as it is in
// the file.
class SettingPersistenceForKest : public IF_SettingPersistence {
public:
    bool LoadSetting(CommonSetting& record) override;
    bool SaveSetting(CommonSetting& record) override;
};

// Other driver kinds: "ScanmethodArr" is always written. A record without a list (only
// a record that skipped the repair can have none) leaves the stored list untouched
// rather than erasing it.
class SettingPersistenceForCommon : public IF_SettingPersistence {
public:
    bool LoadSetting(CommonSetting& record) override;
    bool SaveSetting(CommonSetting& record) override;
};

// Creates, for the current scanner's driver kind, the objects the settings use. Each
// call gives a new object owned by the caller. An unknown scanner (or no scanner model
// installed) counts as driver kind 2.
class ClassInstanceFactory : public IF_Singleton<ClassInstanceFactory> {
public:
    std::unique_ptr<IF_SettingPersistence> CreateSettingPersistence() const;
    std::unique_ptr<IF_DefaultSettingLoader> CreateDefaultLoader() const;
    // Null when no scanner model is installed.
    std::unique_ptr<IF_MappingHandler> CreateMappingHandler() const;
    std::unique_ptr<IF_DataTranslator> CreateDataTranslator() const;
    int CurrentDriverKind() const;
};

} // namespace settings
