#include "FuzzTarget.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <map>

namespace fuzz {
namespace {

std::map<std::string, Entry>& Table() {
    static auto* table = new std::map<std::string, Entry>;
    return *table;
}

void RemoveTree(const std::string& path) {
    if (DIR* dir = ::opendir(path.c_str())) {
        while (const dirent* e = ::readdir(dir)) {
            const std::string name = e->d_name;
            if (name == "." || name == "..") continue;
            const std::string child = path + "/" + name;
            if (::unlink(child.c_str()) != 0) RemoveTree(child);
        }
        ::closedir(dir);
    }
    ::rmdir(path.c_str());
}

std::string* scratch = nullptr;

void RemoveScratch() {
    if (scratch) RemoveTree(*scratch);
}

} // namespace

bool Register(const char* name, Entry entry) {
    Table()[name] = entry;
    return true;
}

Entry Find(const std::string& name) {
    auto it = Table().find(name);
    return it == Table().end() ? nullptr : it->second;
}

std::vector<std::string> Names() {
    std::vector<std::string> names;
    for (const auto& entry : Table()) names.push_back(entry.first);
    return names;
}

const std::string& ScratchFolder() {
    if (!scratch) {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/su-fuzz-XXXXXX";
        if (!::mkdtemp(&pattern[0])) Fail("cannot make a scratch folder");
        scratch = new std::string(pattern + "/");
        std::atexit(RemoveScratch);
        ::setenv("HOME", scratch->c_str(), 1);
        const std::string config = *scratch + "config";
        ::mkdir(config.c_str(), 0700);
        ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    }
    return *scratch;
}

std::string WriteScratch(const std::string& name, const void* data, size_t size) {
    const std::string path = ScratchFolder() + name;
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) Fail("cannot write " + path);
    const auto* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd, p, size);
        if (n <= 0) Fail("cannot write " + path);
        p += n;
        size -= static_cast<size_t>(n);
    }
    ::close(fd);
    return path;
}

std::string ReadFileBytes(const std::string& path) {
    std::string content;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return content;
    char buffer[1 << 16];
    for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;) content.append(buffer, static_cast<size_t>(n));
    ::close(fd);
    return content;
}

void ClearScratch(const std::string& prefix) {
    DIR* dir = ::opendir(ScratchFolder().c_str());
    if (!dir) return;
    std::vector<std::string> doomed;
    while (const dirent* e = ::readdir(dir)) {
        const std::string name = e->d_name;
        if (name.compare(0, prefix.size(), prefix) == 0 && name != "." && name != "..") doomed.push_back(name);
    }
    ::closedir(dir);
    for (const auto& name : doomed) RemoveTree(ScratchFolder() + name);
}

void Fail(const std::string& message) {
    std::fprintf(stderr, "fuzz check failed: %s\n", message.c_str());
    std::abort();
}

uint8_t Input::Byte() { return pos_ < size_ ? data_[pos_++] : 0; }

std::string Input::Text(char separator) {
    std::string text;
    while (pos_ < size_) {
        const char c = static_cast<char>(data_[pos_++]);
        if (c == separator) break;
        text += c;
    }
    return text;
}

std::string Input::Rest() {
    std::string text(reinterpret_cast<const char*>(data_) + pos_, size_ - pos_);
    pos_ = size_;
    return text;
}

} // namespace fuzz
