#include "settings/Profile.h"

#include <cctype>
#include <cstdint>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "platform/Services.h"
#include "platform/Text.h"

namespace settings {
namespace {

// One line of the file with its parsed meaning.
struct Line {
    enum Kind { Other, Section, Entry } kind = Other;
    std::string name;  // section or key name, trimmed
    std::string value; // entry value, trimmed, enclosing quotes removed
    size_t begin = 0;  // byte range of the line in the file, without its line end
    size_t end = 0;
    size_t next = 0; // start of the following line
};

std::string Trim(const std::string& text) {
    size_t b = text.find_first_not_of(" \t");
    if (b == std::string::npos) return {};
    size_t e = text.find_last_not_of(" \t");
    return text.substr(b, e - b + 1);
}

std::vector<Line> Parse(const std::string& content) {
    std::vector<Line> lines;
    size_t pos = 0;
    while (pos < content.size()) {
        Line line;
        line.begin = pos;
        size_t nl = content.find('\n', pos);
        line.next = nl == std::string::npos ? content.size() : nl + 1;
        line.end = nl == std::string::npos ? content.size() : nl;
        if (line.end > line.begin && content[line.end - 1] == '\r') --line.end;
        std::string text = Trim(content.substr(line.begin, line.end - line.begin));
        if (!text.empty() && text[0] == '[') {
            size_t close = text.find(']');
            if (close != std::string::npos) {
                line.kind = Line::Section;
                line.name = Trim(text.substr(1, close - 1));
            }
        } else if (!text.empty() && text[0] != ';') {
            size_t eq = text.find('=');
            if (eq != std::string::npos) {
                line.kind = Line::Entry;
                line.name = Trim(text.substr(0, eq));
                line.value = Trim(text.substr(eq + 1));
                if (line.value.size() >= 2 && line.value.front() == '"' && line.value.back() == '"')
                    line.value = line.value.substr(1, line.value.size() - 2);
            }
        }
        lines.push_back(std::move(line));
        pos = lines.back().next;
    }
    return lines;
}

// Index of the first section line with this name, or lines.size().
size_t FindSection(const std::vector<Line>& lines, const std::string& section) {
    for (size_t i = 0; i < lines.size(); ++i)
        if (lines[i].kind == Line::Section && EqualsNoCase(lines[i].name, section)) return i;
    return lines.size();
}

// One past the last line belonging to the section that starts at index s.
size_t SectionEnd(const std::vector<Line>& lines, size_t s) {
    size_t i = s + 1;
    while (i < lines.size() && lines[i].kind != Line::Section) ++i;
    return i;
}

bool HasLineBreak(const std::string& text) { return text.find_first_of("\r\n") != std::string::npos; }

std::string LineEndOf(const std::string& content) {
    size_t nl = content.find('\n');
    return nl != std::string::npos && nl > 0 && content[nl - 1] == '\r' ? "\r\n" : "\n";
}

bool Load(const std::string& file, std::string& content) { return platform::FileSystem().ReadFile(file, content); }

using ParsedFile = std::shared_ptr<const std::vector<Line>>;

// The parsed lines of each file read, kept while the file's version is the one read.
// A copy is kept only when the read was settled (the file's times lie well before the
// read, so no later write can leave the version as it was); our own writes drop it.
// While a snapshot is open, a copy checked (or read) since the snapshot began is used
// without looking at the file again, settled or not; a new snapshot checks each file
// once more. Reads come from several threads (push listeners, launch workers): the
// table is guarded by one mutex, and the parsed lines are shared read-only.
class ParsedFiles {
public:
    // The file's lines, or null when it cannot be read.
    ParsedFile Get(const std::string& file) {
        const platform::IFileSystem& fs = platform::FileSystem();
        std::uint64_t writesBefore;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            auto it = entries_.find(file);
            if (snapshots_ > 0 && it != entries_.end() && it->second.checkedIn == snapshot_) return it->second.lines;
        }
        {
            platform::FileVersion now;
            bool known = fs.VersionOf(file, now);
            std::lock_guard<std::mutex> lock(mutex_);
            writesBefore = writes_;
            auto it = entries_.find(file);
            if (known && it != entries_.end() && it->second.version.settled && it->second.version.SameAs(now)) {
                it->second.checkedIn = snapshots_ > 0 ? snapshot_ : 0;
                return it->second.lines;
            }
        }
        std::string content;
        platform::FileVersion read;
        bool loaded = fs.ReadFileVersion(file, content, read);
        ParsedFile lines = loaded ? std::make_shared<const std::vector<Line>>(Parse(content)) : nullptr;
        std::lock_guard<std::mutex> lock(mutex_);
        // A write of ours during the read may have left a version that looks the same.
        if (loaded && (read.settled || snapshots_ > 0) && writes_ == writesBefore)
            entries_[file] = Entry{read, lines, snapshots_ > 0 ? snapshot_ : 0};
        else entries_.erase(file);
        return lines;
    }

    // Called after each write of ours, whether or not it succeeded.
    void Forget(const std::string& file) {
        std::lock_guard<std::mutex> lock(mutex_);
        ++writes_;
        entries_.erase(file);
    }

    void OpenSnapshot() {
        std::lock_guard<std::mutex> lock(mutex_);
        // Only the outermost snapshot starts a new round of checks.
        if (snapshots_++ == 0) ++snapshot_;
    }
    void CloseSnapshot() {
        std::lock_guard<std::mutex> lock(mutex_);
        if (snapshots_ > 0) --snapshots_;
    }

private:
    struct Entry {
        platform::FileVersion version;
        ParsedFile lines;
        std::uint64_t checkedIn = 0; // the snapshot in which the copy was last checked, 0 none
    };
    std::mutex mutex_;
    std::unordered_map<std::string, Entry> entries_;
    std::uint64_t writes_ = 0;
    int snapshots_ = 0;          // snapshots open now
    std::uint64_t snapshot_ = 0; // the current round of snapshots (1, 2, ...)
};

// Never destroyed: threads still reading while the process ends find it intact.
ParsedFiles& Cache() {
    static ParsedFiles* cache = new ParsedFiles;
    return *cache;
}

// Writes the new content, then drops the kept copy of the file.
bool Store(const std::string& file, const std::string& content) {
    bool written = platform::FileSystem().WriteFileAtomic(file, content);
    Cache().Forget(file);
    return written;
}

} // namespace

struct ProfileWriteBatch::Pending {
    std::string file;
    bool loaded = false; // content holds the file (as read at the first edit) and the edits
    bool existed = false;
    std::string original;
    std::string content;
};

namespace {

thread_local ProfileWriteBatch::Pending* currentBatch = nullptr;

// The open batch of this thread when it is for that file.
ProfileWriteBatch::Pending* BatchFor(const std::string& file) {
    return currentBatch && currentBatch->file == file ? currentBatch : nullptr;
}

// The content a write starts from: the batch's pending content, else the file.
bool LoadForEdit(const std::string& file, std::string& content) {
    if (auto* batch = BatchFor(file)) {
        if (!batch->loaded) {
            batch->existed = Load(file, batch->original);
            batch->content = batch->original;
            batch->loaded = true;
        }
        content = batch->content;
        return batch->existed || !content.empty();
    }
    return Load(file, content);
}

// Where a write's result goes: the batch, else the file.
bool Replace(const std::string& file, const std::string& content) {
    if (auto* batch = BatchFor(file)) {
        batch->content = content;
        return true;
    }
    return Store(file, content);
}

// The parsed lines a read looks at: the batch's pending content, else the file's.
ParsedFile LinesOf(const std::string& file) {
    if (auto* batch = BatchFor(file); batch && batch->loaded)
        return std::make_shared<const std::vector<Line>>(Parse(batch->content));
    return Cache().Get(file);
}

} // namespace

ProfileWriteBatch::ProfileWriteBatch(const std::string& file) : pending_(new Pending) {
    pending_->file = file;
    if (!currentBatch) currentBatch = pending_;
}

ProfileWriteBatch::~ProfileWriteBatch() {
    if (currentBatch == pending_) currentBatch = nullptr;
    delete pending_;
}

bool ProfileWriteBatch::Commit() {
    const bool mine = currentBatch == pending_;
    if (mine) currentBatch = nullptr;
    if (!mine || !pending_->loaded) return true;
    pending_->loaded = false;
    if (pending_->content == pending_->original) return true;
    return Store(pending_->file, pending_->content);
}

ProfileSnapshot::ProfileSnapshot() { Cache().OpenSnapshot(); }

ProfileSnapshot::~ProfileSnapshot() { Cache().CloseSnapshot(); }

bool EqualsNoCase(const std::string& a, const std::string& b) { return platform::EqualsIgnoringAsciiCase(a, b); }

std::string ReadProfileStringWhole(const std::string& file, const std::string& section, const std::string& key,
                                   const std::string& fallback) {
    ParsedFile parsed = LinesOf(file);
    if (!parsed) return fallback;
    const std::vector<Line>& lines = *parsed;
    size_t s = FindSection(lines, Trim(section));
    if (s == lines.size()) return fallback;
    size_t end = SectionEnd(lines, s);
    for (size_t i = s + 1; i < end; ++i)
        if (lines[i].kind == Line::Entry && EqualsNoCase(lines[i].name, Trim(key))) return lines[i].value;
    return fallback;
}

std::string ReadProfileString(const std::string& file, const std::string& section, const std::string& key,
                              const std::string& fallback) {
    return ReadProfileStringWhole(file, section, key, fallback).substr(0, kProfileValueLimit);
}

bool WriteProfileString(const std::string& file, const std::string& sectionName, const std::string& keyName,
                        const std::string& value) {
    std::string section = Trim(sectionName);
    std::string key = Trim(keyName);
    if (section.empty() || key.empty()) return false;
    if (HasLineBreak(section) || HasLineBreak(key) || HasLineBreak(value)) return false;
    if (key.find('=') != std::string::npos || key[0] == '[' || key[0] == ';') return false;
    if (section.find(']') != std::string::npos) return false;

    std::string content;
    const bool existed = LoadForEdit(file, content); // a missing file is written from nothing
    const std::string eol = LineEndOf(content);
    const std::string entry = key + "=" + value;
    auto lines = Parse(content);
    size_t s = FindSection(lines, section);

    std::string result;
    if (s == lines.size()) {
        result = content;
        // A last line without its line end gets one (a bare CR is completed to CR LF).
        if (!result.empty() && result.back() == '\r') result += '\n';
        else if (!result.empty() && result.back() != '\n') result += eol;
        result += "[" + section + "]" + eol + entry + eol;
    } else {
        size_t end = SectionEnd(lines, s);
        size_t found = end;
        size_t lastEntry = s;
        for (size_t i = s + 1; i < end; ++i) {
            if (lines[i].kind != Line::Entry) continue;
            lastEntry = i;
            if (found == end && EqualsNoCase(lines[i].name, key)) found = i;
        }
        if (found != end) {
            result = content.substr(0, lines[found].begin) + entry + content.substr(lines[found].end);
        } else {
            // A new key goes right after the section's last entry (or its header), so
            // blank lines and comments before the next section stay where they are.
            const Line& after = lines[lastEntry];
            result = content.substr(0, after.next);
            // The last line had no line end: nothing after it, or a bare CR (which the
            // reader does not take as one). Without one the entry would join that line;
            // a bare CR is completed to CR LF, so the line reads as it did.
            if (after.next > 0 && content[after.next - 1] == '\r') result += '\n';
            else if (after.next == 0 || content[after.next - 1] != '\n') result += eol;
            result += entry + eol + content.substr(after.next);
        }
    }
    // The file already says exactly this: replacing it (and flushing it to disk) would
    // change nothing but its times.
    if (existed && result == content) return true;
    return Replace(file, result);
}

bool DeleteProfileKey(const std::string& file, const std::string& section, const std::string& key) {
    std::string content;
    if (!LoadForEdit(file, content)) return true;
    auto lines = Parse(content);
    size_t s = FindSection(lines, Trim(section));
    if (s == lines.size()) return true;
    size_t end = SectionEnd(lines, s);
    std::string result = content.substr(0, lines[s].next);
    bool removed = false;
    for (size_t i = s + 1; i < end; ++i) {
        if (lines[i].kind == Line::Entry && EqualsNoCase(lines[i].name, Trim(key))) {
            removed = true;
            continue;
        }
        result += content.substr(lines[i].begin, lines[i].next - lines[i].begin);
    }
    if (!removed) return true;
    if (end < lines.size()) result += content.substr(lines[end].begin);
    return Replace(file, result);
}

std::vector<std::string> ListProfileSections(const std::string& file) {
    std::vector<std::string> names;
    ParsedFile parsed = LinesOf(file);
    if (!parsed) return names;
    for (const auto& line : *parsed) {
        if (line.kind != Line::Section || line.name.empty()) continue;
        bool seen = false;
        for (const auto& n : names) seen = seen || EqualsNoCase(n, line.name);
        if (!seen) names.push_back(line.name);
    }
    return names;
}

std::vector<std::string> ListProfileKeys(const std::string& file, const std::string& section) {
    std::vector<std::string> names;
    ParsedFile parsed = LinesOf(file);
    if (!parsed) return names;
    const std::vector<Line>& lines = *parsed;
    size_t s = FindSection(lines, Trim(section));
    if (s == lines.size()) return names;
    size_t end = SectionEnd(lines, s);
    for (size_t i = s + 1; i < end; ++i) {
        if (lines[i].kind != Line::Entry || lines[i].name.empty()) continue;
        bool seen = false;
        for (const auto& n : names) seen = seen || EqualsNoCase(n, lines[i].name);
        if (!seen) names.push_back(lines[i].name);
    }
    return names;
}

} // namespace settings
