// Per-page cost of the encoders inside the program (no process start-up): an A4
// 300-dpi page, colour or black and white, from the bitmap the scanning control writes
// to the finished JPEG, TIFF or PDF page. Pages come from SU_BENCH_PAGES (made by
// make_pages.sh: doc_color.bmp, doc_bw.bmp).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "output/ImageCompressioner.h"
#include "output/OutputHost.h"

namespace {

namespace fs = std::filesystem;

std::string PagePath(const char* name) {
    const char* folder = std::getenv("SU_BENCH_PAGES");
    return folder ? std::string(folder) + "/" + name : std::string();
}

struct Folder {
    Folder() {
        std::string pattern = (fs::temp_directory_path() / "su-bench-output-XXXXXX").string();
        if (::mkdtemp(pattern.data())) path = pattern + "/";
        fs::create_directories(path + "temp");
        fs::create_directories(path + "work");
        fs::create_directories(path + "out");
    }
    ~Folder() { fs::remove_all(path); }
    std::string path;
};

output::CompressionRequest Request(const Folder& f, int colour, int kind) {
    output::CompressionRequest r;
    r.tempFolder = f.path + "temp/";
    r.saveFolder = f.path + "out/";
    r.fileName = "Bench";
    r.tempExtension = ".BMP";
    r.colourMode = colour;
    r.compressionKind = kind;
    r.compressionLevel = 30;
    return r;
}

void Place(const std::string& page, const std::string& target) {
    std::error_code e;
    fs::create_hard_link(page, target, e);
    if (e) fs::copy_file(page, target, fs::copy_options::overwrite_existing);
}

// False (and the benchmark skipped) when the benchmark page is missing.
bool PageFound(benchmark::State& state, const std::string& source) {
    if (!source.empty() && fs::exists(source)) return true;
    state.SkipWithError("set SU_BENCH_PAGES to a folder made by make_pages.sh");
    return false;
}

// args: 0 JPEG, 1 TIFF; colour mode and compression kind.
void BM_SinglePageDocument(benchmark::State& state, const char* type, const char* page, int colour, int kind) {
    const std::string source = PagePath(page);
    if (!PageFound(state, source)) return;
    Folder folder;
    output::SetWorkingFolderProvider([&folder] { return folder.path + "work/"; });
    for (auto _ : state) {
        auto encoder = output::CreateImageCompressioner(type);
        encoder->Begin(Request(folder, colour, kind));
        Place(source, encoder->TempPageName());
        if (encoder->AddPage(encoder->TempPageName()) != 0) state.SkipWithError("page not added");
        encoder->Finish();
        state.PauseTiming();
        fs::remove(encoder->OutputName());
        state.ResumeTiming();
    }
    output::SetWorkingFolderProvider(nullptr);
}

// Pages added to one open multi-page document; a new document every 400 pages.
void BM_MultiPageDocument(benchmark::State& state, const char* type, const char* page, int colour, int kind) {
    const std::string source = PagePath(page);
    if (!PageFound(state, source)) return;
    Folder folder;
    output::SetWorkingFolderProvider([&folder] { return folder.path + "work/"; });
    std::unique_ptr<output::IF_ImageCompressioner> encoder;
    int pages = 0;
    for (auto _ : state) {
        if (!encoder || pages == 400) {
            state.PauseTiming();
            if (encoder) {
                encoder->Finish();
                fs::remove(encoder->OutputName());
            }
            encoder = output::CreateImageCompressioner(type);
            encoder->Begin(Request(folder, colour, kind));
            pages = 0;
            state.ResumeTiming();
        }
        Place(source, encoder->TempPageName());
        if (encoder->AddPage(encoder->TempPageName()) != 0) state.SkipWithError("page not added");
        ++pages;
    }
    if (encoder) encoder->Finish();
    output::SetWorkingFolderProvider(nullptr);
}

BENCHMARK_CAPTURE(BM_SinglePageDocument, jpeg_colour_q70, "JPEG", "doc_color.bmp", 0, 0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SinglePageDocument, tiff_bw_g4, "TIFF", "doc_bw.bmp", 2, 2)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SinglePageDocument, pdf_colour_q80, "PDF", "doc_color.bmp", 0, 2)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SinglePageDocument, pdf_bw_g4, "PDF", "doc_bw.bmp", 2, 2)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_MultiPageDocument, pdf_colour_q80_page, "Multi-page PDF", "doc_color.bmp", 0, 2)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_MultiPageDocument, pdf_bw_g4_page, "Multi-page PDF", "doc_bw.bmp", 2, 2)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_MultiPageDocument, tiff_bw_g4_page, "Multi-page TIFF", "doc_bw.bmp", 2, 2)
    ->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
