// How the next-name search grows with the number of files in the folder. The search
// lists the folder once per call, so the cost should grow linearly with the entries.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "output/FileNaming.h"
#include "platform/Clock.h"
#include "platform/FileSystem.h"

namespace {

// Counts folder listings, to show there is exactly one per call.
class CountingFileSystem : public platform::PosixFileSystem {
public:
    bool ListFolder(const std::string& path, std::vector<std::string>& names) const override {
        ++listings;
        return PosixFileSystem::ListFolder(path, names);
    }
    mutable long listings = 0;
};

void BM_MakeSequencedFileName(benchmark::State& state) {
    const long files = state.range(0);
    std::string folder = std::filesystem::temp_directory_path().string() + "/su-bench-naming-XXXXXX";
    if (!::mkdtemp(folder.data())) {
        state.SkipWithError("mkdtemp failed");
        return;
    }
    folder += "/";
    platform::FixedClock clock({2026, 12, 7, 12, 0, 0});
    // Half the files belong to the series, half are of other days, so matching and
    // rejecting are both exercised.
    for (long i = 1; i <= files; ++i) {
        char name[64];
        if (i % 2) std::snprintf(name, sizeof name, "Scan(2026-12-7)%04ld.JPEG", (i + 1) / 2);
        else std::snprintf(name, sizeof name, "Scan(2026-12-6)%04ld.JPEG", i / 2);
        std::ofstream(folder + name).put('x');
    }
    CountingFileSystem fs;
    for (auto _ : state) benchmark::DoNotOptimize(output::MakeSequencedFileName(folder, "Scan", ".JPEG", clock, fs));
    state.counters["files"] = static_cast<double>(files);
    state.counters["listings/call"] = static_cast<double>(fs.listings) / static_cast<double>(state.iterations());
    state.SetComplexityN(files);
    std::filesystem::remove_all(folder);
}

BENCHMARK(BM_MakeSequencedFileName)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond)->Complexity();

} // namespace

BENCHMARK_MAIN();
