// Replays committed inputs through the fuzz targets without libFuzzer:
//   fuzz_replay <target> <file or folder>...
// Every file (folders are read one level deep, in name order) is handed to the target's
// entry function once; a crash, a sanitizer report or a failed check ends the run. A run
// that finds no input at all fails too, so a corpus that went missing is noticed.

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "FuzzTarget.h"

namespace {

std::vector<std::string> FilesOf(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return {};
    if (!S_ISDIR(st.st_mode)) return {path};
    std::vector<std::string> files;
    if (DIR* dir = ::opendir(path.c_str())) {
        while (const dirent* e = ::readdir(dir)) {
            const std::string child = path + "/" + e->d_name;
            struct stat cs {};
            if (e->d_name[0] != '.' && ::stat(child.c_str(), &cs) == 0 && S_ISREG(cs.st_mode)) files.push_back(child);
        }
        ::closedir(dir);
    }
    std::sort(files.begin(), files.end());
    return files;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: fuzz_replay <target> <file or folder>...\ntargets:");
        for (const auto& name : fuzz::Names()) std::fprintf(stderr, " %s", name.c_str());
        std::fprintf(stderr, "\n");
        return 2;
    }
    const fuzz::Entry entry = fuzz::Find(argv[1]);
    if (!entry) {
        std::fprintf(stderr, "no fuzz target named %s\n", argv[1]);
        return 2;
    }
    size_t count = 0;
    for (int i = 2; i < argc; ++i) {
        for (const auto& file : FilesOf(argv[i])) {
            const std::string bytes = fuzz::ReadFileBytes(file);
            std::fprintf(stderr, "%s\n", file.c_str());
            entry(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
            ++count;
        }
    }
    std::printf("%s: %zu inputs replayed\n", argv[1], count);
    return count > 0 ? 0 : 1;
}
