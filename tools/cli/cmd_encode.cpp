// `encode`: runs the real encoder of a file type over page files, as a scan would feed
// it, and prints the path of every document written.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>

#include "Command.h"
#include "output/ImageCompressioner.h"
#include "output/ImageKinds.h"
#include "output/OutputHost.h"
#include "output/TextRecognizer.h"
#include "platform/Folders.h"

namespace {

namespace fs = std::filesystem;

const char* kUsage = "--type TYPE [--colour 0|1|2] [--compression 0|1|2] [--level N] [--name BASE] [--ocr LANG]\n"
                     "      --out DIR PAGE...\n"
                     "      encode page images into JPEG, TIFF or PDF files (TYPE: JPEG, TIFF, Multi-page TIFF, PDF,\n"
                     "      Multi-page PDF); colour 0 colour, 1 grey, 2 black and white (default 0); compression\n"
                     "      kind (default 0); JPEG compression level 0..100 (default 30); base name default Scan;\n"
                     "      --ocr: PDF only, a searchable text layer recognised in LANG (installed languages,\n"
                     "      '+'-separated, as eng+deu)";

bool ParseInt(const std::string& text, int& value) {
    if (text.empty()) return false;
    char* end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (*end != '\0' || v < -1000000 || v > 1000000) return false;
    value = static_cast<int>(v);
    return true;
}

// A private folder for the encoder's temporary page files and working images.
class Scratch {
public:
    Scratch() {
        std::string pattern = platform::TempFolder() + "scanner-utility-encode-XXXXXX";
        if (::mkdtemp(pattern.data())) path_ = pattern + "/";
    }
    ~Scratch() {
        std::error_code ignored;
        if (!path_.empty()) fs::remove_all(path_, ignored);
    }
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;
    const std::string& path() const { return path_; }
private:
    std::string path_;
};

// Puts the page where the scanning control would have written it. A hard link costs
// nothing and leaves the caller's file in place when the encoder consumes the page.
bool PlacePage(const std::string& page, const std::string& target) {
    std::error_code error;
    fs::remove(target, error);
    fs::create_hard_link(page, target, error);
    if (!error) return true;
    return fs::copy_file(page, target, fs::copy_options::overwrite_existing, error) && !error;
}

// ": <the system's reason>" for the encoder's last failure, when it has one to add.
std::string Reason(const output::IF_ImageCompressioner& encoder) {
    const int error = encoder.FailureError();
    return error ? ": " + output::SystemErrorText(error) : std::string();
}

int Run(const cli::Args& args) {
    cli::Options options(args);
    const std::string unknown =
        options.Unknown({}, {"--type", "--colour", "--compression", "--level", "--name", "--out", "--ocr"});
    const std::string type = options.Value("--type");
    std::string out = options.Value("--out");
    const auto& pages = options.Positional();
    output::CompressionRequest request;
    request.fileName = options.Value("--name", "Scan");
    request.compressionLevel = 30;
    if (!unknown.empty() || type.empty() || out.empty() || pages.empty() ||
        !ParseInt(options.Value("--colour", "0"), request.colourMode) ||
        !ParseInt(options.Value("--compression", "0"), request.compressionKind) ||
        !ParseInt(options.Value("--level", "30"), request.compressionLevel)) {
        std::fprintf(stderr, "usage: scanner-utility-cli encode %s\n", kUsage);
        return 2;
    }
    if (!output::CreateImageCompressioner(type)) {
        std::fprintf(stderr, "encode: '%s' is not a file type written through an encoder\n", type.c_str());
        return 2;
    }
    request.ocrLanguages = options.Value("--ocr");
    if (!request.ocrLanguages.empty()) {
        if (type.find("PDF") == std::string::npos) {
            std::fprintf(stderr, "encode: --ocr makes searchable PDF files only\n");
            return 2;
        }
        if (!output::OcrLanguagesInstalled(request.ocrLanguages)) {
            std::string installed;
            for (const auto& language : output::InstalledOcrLanguages()) installed += " " + language;
            std::fprintf(stderr, "encode: recognition language '%s' is not installed (installed:%s)\n",
                         request.ocrLanguages.c_str(), installed.empty() ? " none" : installed.c_str());
            return 2;
        }
        output::EnableTextRecognition();
    }
    // The temporary pages go to the scratch folder itself; the working folder, which only
    // PDF pages use, is made when first asked for (each folder made and removed costs).
    Scratch scratch;
    if (scratch.path().empty()) {
        std::fprintf(stderr, "encode: cannot create a temporary folder in %s\n", platform::TempFolder().c_str());
        return 1;
    }
    const std::string work = scratch.path() + "work/";
    output::SetWorkingFolderProvider([work] {
        std::error_code ignored;
        fs::create_directory(work, ignored);
        return work;
    });
    output::SetMessageSink([](const std::string& text) { std::fprintf(stderr, "encode: %s\n", text.c_str()); });
    request.tempFolder = scratch.path();
    request.saveFolder = platform::WithSlash(out);
    request.tempExtension = output::ImageKindForType(type).GetExtension();

    // Single-page types make one document per page, as a scan does.
    const bool multiPage = type.rfind("Multi-page", 0) == 0;
    int failures = 0;
    std::unique_ptr<output::IF_ImageCompressioner> encoder;
    bool full = false;
    auto finish = [&] {
        if (!encoder) return;
        const int result = encoder->Finish();
        if (result != 0) {
            std::fprintf(stderr, "encode: %s could not be written completely (%d)%s\n", encoder->OutputName().c_str(),
                         result, Reason(*encoder).c_str());
            ++failures;
        } else if (fs::exists(encoder->OutputName())) {
            std::printf("%s\n", encoder->OutputName().c_str());
        }
        encoder.reset();
        full = false;
    };
    for (const std::string& page : pages) {
        if (!encoder) {
            encoder = output::CreateImageCompressioner(type);
            const int begun = encoder->Begin(request);
            if (begun != 0) {
                std::fprintf(stderr, "encode: cannot begin a %s document in %s (%d)%s\n", type.c_str(),
                             request.saveFolder.c_str(), begun, Reason(*encoder).c_str());
                return 1;
            }
        }
        if (full) {
            std::fprintf(stderr, "encode: %s not added: the document is full\n", page.c_str());
            ++failures;
            continue;
        }
        if (!PlacePage(page, encoder->TempPageName())) {
            std::fprintf(stderr, "encode: cannot read %s\n", page.c_str());
            ++failures;
        } else {
            const int added = encoder->AddPage(encoder->TempPageName());
            if (added == output::kDocumentFull) {
                full = true; // the page is in; later pages are not taken
            } else if (added != 0) {
                std::fprintf(stderr, "encode: %s was not added (%d)%s\n", page.c_str(), added,
                             Reason(*encoder).c_str());
                ++failures;
            }
        }
        if (!multiPage) finish();
    }
    finish();
    output::SetWorkingFolderProvider(nullptr);
    return failures ? 1 : 0;
}

const cli::CliCommand command("encode", kUsage, Run);

} // namespace
