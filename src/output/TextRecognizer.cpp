#include "output/TextRecognizer.h"

#include <algorithm>
#include <cstdlib>
#include <memory>

#include "output/DynamicLibrary.h"
#include "platform/Services.h"

namespace output {

const char* const kTextRecognitionLibrary = "libTextRecognition.so";

namespace {

// Where Debian's language packages put their data, unless TESSDATA_PREFIX says
// otherwise.
std::string DataFolder() {
    if (const char* prefix = std::getenv("TESSDATA_PREFIX"); prefix && *prefix) {
        std::string folder = prefix;
        if (folder.back() != '/') folder += '/';
        return folder;
    }
    for (const char* folder : {"/usr/share/tesseract-ocr/5/tessdata/", "/usr/share/tesseract-ocr/4.00/tessdata/"})
        if (platform::FileSystem().Exists(folder)) return folder;
    return "/usr/share/tesseract-ocr/5/tessdata/";
}

std::vector<std::string> SplitLanguages(const std::string& list) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= list.size()) {
        const size_t end = std::min(list.find('+', start), list.size());
        if (end > start) parts.push_back(list.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

// The engine of the recognition library, asked for languages only once they are known
// to be installed (the engine's own failure for a missing one is slow and noisy).
class LibraryRecogniser final : public IF_PageRecogniser {
public:
    explicit LibraryRecogniser(std::unique_ptr<IF_PageRecogniser> engine) : engine_(std::move(engine)) {}
    bool Load(const std::string& languages) override {
        return OcrLanguagesInstalled(languages) && engine_->Load(languages);
    }
    bool Recognise(const codec::Image& page, PageText& out, const std::atomic<bool>* cancel) override {
        return engine_->Recognise(page, out, cancel);
    }

private:
    std::unique_ptr<IF_PageRecogniser> engine_;
};

std::unique_ptr<IF_PageRecogniser> MakeLibraryRecogniser() {
    // Loaded once and kept: the engine's libraries run threads of their own.
    static const DynamicLibrary library(kTextRecognitionLibrary, true);
    using Create = IF_PageRecogniser* (*)(const char*);
    const auto create = reinterpret_cast<Create>(library.Symbol("CreatePageRecogniser"));
    if (!create) return nullptr;
    std::unique_ptr<IF_PageRecogniser> engine(create(DataFolder().c_str()));
    if (!engine) return nullptr;
    return std::make_unique<LibraryRecogniser>(std::move(engine));
}

} // namespace

std::vector<std::string> InstalledOcrLanguages() {
    std::vector<std::string> names, languages;
    platform::FileSystem().ListFolder(DataFolder(), names);
    const std::string suffix = ".traineddata";
    for (const auto& name : names) {
        if (name.size() <= suffix.size() || name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
            continue;
        std::string language = name.substr(0, name.size() - suffix.size());
        if (language != "osd" && language != "equ") languages.push_back(language);
    }
    std::sort(languages.begin(), languages.end());
    return languages;
}

bool OcrLanguagesInstalled(const std::string& list) {
    const auto wanted = SplitLanguages(list);
    if (wanted.empty()) return false;
    const auto installed = InstalledOcrLanguages();
    for (const auto& language : wanted)
        if (!std::binary_search(installed.begin(), installed.end(), language)) return false;
    return true;
}

void EnableTextRecognition() {
    if (!HasPageRecogniserFactory()) SetPageRecogniserFactory(MakeLibraryRecogniser);
}

} // namespace output
