#pragma once
// Section-oriented access to the settings stores: INI files and the small key/value
// store that takes the place of the per-user registry.

#include <functional>
#include <string>
#include <vector>

#include "settings/Singleton.h"

namespace settings {

// Abstract access to one store. Callers go OpenSection, any number of ReadValue or
// WriteValue, CloseSection.
class ValueHandler {
public:
    virtual ~ValueHandler() = default;
    virtual bool OpenSection(const std::string& section) = 0;
    virtual bool CloseSection() = 0;
    // The value, or the empty text when absent.
    virtual std::string ReadValue(const std::string& key) = 0;
    virtual bool WriteValue(const std::string& key, const std::string& value) = 0;
    virtual bool IsAvailable() = 0;
};

// One section of one INI file.
class IniSection {
public:
    IniSection() = default;
    IniSection(std::string section, std::string path) : section_(std::move(section)), path_(std::move(path)) {}
    // The stored value (cut at 1023 characters) or the fallback.
    std::string Read(const std::string& key, const std::string& fallback = {}) const;
    bool Write(const std::string& key, const std::string& value) const;
    const std::string& Section() const { return section_; }
    const std::string& Path() const { return path_; }
private:
    std::string section_;
    std::string path_;
};

class IniHandler : public ValueHandler {
public:
    IniHandler() = default;
    explicit IniHandler(std::string path) : path_(std::move(path)) {}
    // Makes the section current; true when the file exists (the section becomes
    // current either way, so later writes create the file).
    bool OpenSection(const std::string& section) override;
    bool CloseSection() override { return true; }
    std::string ReadValue(const std::string& key) override;
    bool WriteValue(const std::string& key, const std::string& value) override;
    bool IsAvailable() override;
    void SetFilePath(const std::string& path) { path_ = path; }
    const std::string& FilePath() const { return path_; }
private:
    std::string path_;
    IniSection current_;
};

// The per-user key/value store that stands where the registry stood. Each root key is
// one INI file in the user's configuration folder; a sub key is a section, a value
// name a key, and the empty value name the key's default value (stored under "@").
class RegHandlerImp : public ValueHandler {
public:
    enum class Root { CurrentUser, LocalMachine, ClassesRoot };
    // Answers a read that finds nothing stored: (sub key, value name) -> text. The
    // default answers the mail client key from the desktop's mailto handler.
    using Fallback = std::function<std::string(const std::string& subKey, const std::string& name)>;

    RegHandlerImp();
    explicit RegHandlerImp(std::string storeFolder, Fallback fallback = nullptr);

    bool OpenSection(const std::string& subKey) override { return Open(Root::CurrentUser, subKey); }
    bool Open(Root root, const std::string& subKey);
    bool CloseSection() override;
    std::string ReadValue(const std::string& name) override;
    bool WriteValue(const std::string& name, const std::string& value) override;
    bool IsAvailable() override { return true; }

    static std::string DefaultStoreFolder();
private:
    std::string FileFor(Root root) const;
    std::string folder_;
    Fallback fallback_;
    bool open_ = false;
    Root root_ = Root::CurrentUser;
    std::string subKey_;
};

// File-level operations and the operating-system class.
class CApiWrapper : public IF_Singleton<CApiWrapper> {
public:
    void ListSections(const std::string& file, std::vector<std::string>& names) const;
    void ListKeys(const std::string& file, const std::string& section, std::vector<std::string>& names) const;
    // The OS version class; Linux reads as class 5. Raises std::runtime_error
    // "GetVersionEx Failed" when the system cannot be identified.
    int OsVersion() const;
};

// The process-wide handler bound to the user's settings file. Its path comes from the
// locator installed at start-up (the locator also provisions the file); the handler is
// created on first use.
using SettingsFileLocator = std::function<std::string()>;
void SetSettingsFileLocator(SettingsFileLocator locator);
IniHandler& GetSettingsHandler();
// Drops the handler so the next access binds anew (tests, and a changed user folder).
void ResetSettingsHandler();

// A "true"/"false" flag of the user's settings with the defaults file as fallback: the
// user's value when the key is listed in its section (any case), else the defaults
// file's; trimmed and lowered, it is false only when it reads "false".
bool ReadConfigFlag(const std::string& userFile, const std::string& defaultsFile, const std::string& section,
                    const std::string& key);
bool WriteConfigFlag(const std::string& userFile, const std::string& section, const std::string& key, bool value);

} // namespace settings
