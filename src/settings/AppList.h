#pragma once
// The application lists of the two application destinations: entries, the provider that
// loads, searches, adds, changes, removes and saves them, and the add/modify modes of
// the application-entry dialog.
//
// Stored form: key "ListMapping" of the destination's section in the user's Sets.dat,
// every entry written as "<id>|<title>|<path>|". Paths may hold the placeholders of
// Placeholders.h; they are expanded on reading. The list is always read whole, past the
// 1023-character cut of ordinary profile values: a few entries with long paths pass
// that length, and a cut would drop the entries after it for good on the next save.

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace settings {

class AppLaunchInfo {
public:
    AppLaunchInfo() = default;
    AppLaunchInfo(int id, std::string title, std::string path)
        : id_(id), title_(std::move(title)), path_(std::move(path)) {}
    virtual ~AppLaunchInfo() = default;
    int GetId() const { return id_; }
    const std::string& GetTitle() const { return title_; }
    const std::string& GetPath() const { return path_; }
    void SetId(int id) { id_ = id; }
    void SetTitle(const std::string& t) { title_ = t; }
    void SetPath(const std::string& p) { path_ = p; }
private:
    int id_ = 0;
    std::string title_;
    std::string path_;
};

// The empty entry: identifier 0, no title, no path.
class NullAppLaunchInfo : public AppLaunchInfo {};

// Result codes of Add and Modify.
enum AppListResult : int {
    kAppListDone = 0,
    kAppListEmptyTitle = 1,
    kAppListBadPath = 2,
    kAppListFull = 3,
    kAppListTitleInUse = 4,
    kAppListBarInTitle = 5,
    kAppListGone = 6,     // the mode's entry no longer exists (modify only)
    kAppListNotSaved = 7, // the settings file could not be written; nothing changed
};

class AppListProvider {
public:
    // An empty provider for "Application1" or "Application2" of the given settings file
    // (the process-wide settings file when empty); reads the maximum count from Def.dat.
    explicit AppListProvider(std::string section, std::string settingsFile = {});

    // Replaces the entries with the stored ones (Def.dat's list when the settings file
    // does not exist). An entry without its third '|' is dropped.
    void Reload();
    // Writes "ListMapping"; false when the write failed.
    bool Save();
    // Identifier 0 gives a new NullAppLaunchInfo without reading. Otherwise reloads and
    // returns the entry; raises std::invalid_argument "Not existed id in AppLaunchInfo
    // list" when there is none. Callers that may meet a removed entry use Find.
    std::shared_ptr<AppLaunchInfo> GetById(int id);
    // Reloads and returns the entry, or null when there is none.
    std::shared_ptr<AppLaunchInfo> Find(int id);
    // Reloads; (identifier as decimal text, title) in stored order.
    std::vector<std::pair<std::string, std::string>> GetTitleList();
    // Add gives the entry its identifier (last identifier + 1) when it is accepted and
    // saved. A failed save answers kAppListNotSaved and leaves the entry, the entries
    // held and the stored list as they were.
    int Add(AppLaunchInfo& entry);
    // Raises like GetById when the entry's identifier is gone. A failed save answers
    // kAppListNotSaved, as Add does.
    int Modify(const AppLaunchInfo& entry);
    // False when the list could not be saved (the entries held are then the stored ones).
    bool Remove(int id);
    int Count() const { return static_cast<int>(entries_.size()); }
    int MaxCount() const { return maxCount_; }
    const std::vector<std::shared_ptr<AppLaunchInfo>>& Entries() const { return entries_; }
    const std::string& Section() const { return section_; }

    // The stored form of a list, and its parsing (placeholders expanded).
    static std::string Format(const std::vector<std::shared_ptr<AppLaunchInfo>>& entries);
    static std::vector<std::shared_ptr<AppLaunchInfo>> Parse(const std::string& text);

private:
    bool TitleInUse(const AppLaunchInfo& entry) const;
    int CheckEntry(const AppLaunchInfo& entry) const;
    // Saves the entries held; after a failed save they are read back from the file, so
    // what the provider holds never differs from what is stored.
    bool SaveOrReload();

    std::string readFile_;
    std::string writeFile_;
    std::vector<std::shared_ptr<AppLaunchInfo>> entries_;
    int maxCount_ = 0;
    std::string section_;
};

// How the application-entry dialog adds or changes an entry.
class AppOperateMode {
public:
    explicit AppOperateMode(std::shared_ptr<AppListProvider> provider) : provider_(std::move(provider)) {}
    virtual ~AppOperateMode() = default;
    virtual std::string GetCaption() const = 0;
    virtual int Apply(const std::string& title, const std::string& path) = 0;
    virtual std::string GetInitialTitle() const = 0;
    virtual std::string GetInitialPath() const = 0;
protected:
    std::shared_ptr<AppListProvider> provider_;
};

class AppOperateAddMode : public AppOperateMode {
public:
    using AppOperateMode::AppOperateMode;
    std::string GetCaption() const override; // UIString "AM_Add_Title"
    int Apply(const std::string& title, const std::string& path) override;
    std::string GetInitialTitle() const override { return {}; }
    std::string GetInitialPath() const override { return {}; }
};

class AppOperateModifyMode : public AppOperateMode {
public:
    AppOperateModifyMode(std::shared_ptr<AppListProvider> provider, int id)
        : AppOperateMode(std::move(provider)), id_(id) {}
    std::string GetCaption() const override; // UIString "AM_Modify_Title"
    // An entry removed meanwhile (Modify raises) is reported as kAppListGone and
    // nothing is written; the dialog shows no message for it and stays open.
    int Apply(const std::string& title, const std::string& path) override;
    std::string GetInitialTitle() const override;
    std::string GetInitialPath() const override;
private:
    int id_;
};

} // namespace settings
