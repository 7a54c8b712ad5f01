// libPushEventData.so: the push-event store. Four C functions keep two texts (the last
// device button event's name and its data source name) that every process of the same
// user sees: the values live in a small file in the user's runtime folder
// ($XDG_RUNTIME_DIR, else the temporary folder, with the user id in the name), which a
// change replaces in one rename, so that a reader never sees half a record.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/Text.h"

#define SU_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

constexpr const char* kEventKey = "EventName";
constexpr const char* kSourceKey = "TwainDSName";

std::string Folder() {
    for (const char* variable : {"XDG_RUNTIME_DIR", "TMPDIR"}) {
        const char* value = std::getenv(variable);
        if (value && value[0] == '/') return std::string(value) + "/";
    }
    return "/tmp/";
}

std::string StorePath() { return Folder() + "scanner-utility-push-event." + std::to_string(::geteuid()); }

std::string Escape(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\\') out += "\\\\";
        else if (c == '\n') out += "\\n";
        else out += c;
    }
    return out;
}

std::string Unescape(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size()) {
            out += text[i + 1] == 'n' ? '\n' : text[i + 1];
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

struct Record {
    std::string event;
    std::string source;
};

// The stored record; empty texts when there is none or the file is not the user's own.
Record Read() {
    Record record;
    const int fd = ::open(StorePath().c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return record;
    struct stat info {};
    std::string content;
    if (::fstat(fd, &info) == 0 && info.st_uid == ::geteuid() && S_ISREG(info.st_mode) && info.st_size < 65536) {
        char buffer[4096];
        ssize_t n = 0;
        while ((n = ::read(fd, buffer, sizeof buffer)) > 0) content.append(buffer, static_cast<size_t>(n));
    }
    ::close(fd);
    size_t start = 0;
    while (start < content.size()) {
        size_t end = content.find('\n', start);
        if (end == std::string::npos) end = content.size();
        const std::string line = content.substr(start, end - start);
        const size_t eq = line.find('=');
        if (eq != std::string::npos) {
            const std::string key = line.substr(0, eq);
            if (key == kEventKey) record.event = Unescape(line.substr(eq + 1));
            if (key == kSourceKey) record.source = Unescape(line.substr(eq + 1));
        }
        start = end + 1;
    }
    return record;
}

bool WriteAll(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

// Changes one text of the record. Two processes changing it at once are serialised by
// a lock file, so that neither loses the other's text.
void Change(bool event, const wchar_t* value) {
    const std::string path = StorePath();
    const int lock = ::open((path + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (lock < 0) return;
    while (::flock(lock, LOCK_EX) != 0) {}
    Record record = Read();
    const std::string text = platform::WideToUtf8(value ? std::wstring(value) : std::wstring());
    (event ? record.event : record.source) = text;
    std::string temp = path + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd >= 0) {
        const std::string content = std::string(kEventKey) + "=" + Escape(record.event) + "\n" + kSourceKey + "=" +
                                    Escape(record.source) + "\n";
        const bool written = WriteAll(fd, content) && ::fsync(fd) == 0;
        ::close(fd);
        if (!written || ::rename(temp.c_str(), path.c_str()) != 0) ::unlink(temp.c_str());
    }
    ::flock(lock, LOCK_UN);
    ::close(lock);
}

// The texts handed out stay valid until the same thread asks again.
const wchar_t* Hand(std::wstring value, bool event) {
    thread_local std::wstring eventName;
    thread_local std::wstring sourceName;
    std::wstring& kept = event ? eventName : sourceName;
    kept = std::move(value);
    return kept.c_str();
}

} // namespace

SU_EXPORT void SetPushEventName(const wchar_t* name) { Change(true, name); }

SU_EXPORT const wchar_t* GetPushEventName() { return Hand(platform::Utf8ToWide(Read().event), true); }

SU_EXPORT void SetPushEventTwainDSName(const wchar_t* name) { Change(false, name); }

SU_EXPORT const wchar_t* GetPushEventTwainDSName() { return Hand(platform::Utf8ToWide(Read().source), false); }
