#include "output/TextRecognizer.h"

#include <tesseract/baseapi.h>
#include <tesseract/ocrclass.h>
#include <tesseract/resultiterator.h>

#include <algorithm>
#include <cstdlib>

#include "platform/Services.h"

namespace output {
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

// Sets pixel rows of a grey page from any of the page forms: colour as the usual
// luminance weights, black and white as 0 or 255.
void ToGrey(const codec::Image& page, std::vector<unsigned char>& grey) {
    grey.resize(static_cast<size_t>(page.width) * static_cast<size_t>(page.height));
    for (int y = 0; y < page.height; ++y) {
        const uint8_t* in = page.Row(y);
        unsigned char* out = grey.data() + static_cast<size_t>(y) * static_cast<size_t>(page.width);
        for (int x = 0; x < page.width; ++x) {
            const uint8_t* p = in + 3 * x;
            switch (page.format) {
                case codec::PixelFormat::Gray8: out[x] = in[x]; break;
                case codec::PixelFormat::Rgb24:
                    out[x] = static_cast<unsigned char>((299 * p[0] + 587 * p[1] + 114 * p[2]) / 1000);
                    break;
                case codec::PixelFormat::Bgr24:
                    out[x] = static_cast<unsigned char>((299 * p[2] + 587 * p[1] + 114 * p[0]) / 1000);
                    break;
                case codec::PixelFormat::Bilevel1: out[x] = (in[x / 8] >> (7 - x % 8)) & 1 ? 0 : 255; break;
            }
        }
    }
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
    SetPageRecogniserFactory([]() -> std::unique_ptr<IF_PageRecogniser> { return std::make_unique<TextRecognizer>(); });
}

struct TextRecognizer::Engine {
    tesseract::TessBaseAPI api;
    std::vector<unsigned char> grey;
    std::vector<unsigned char> bits;
};

TextRecognizer::TextRecognizer() = default;

TextRecognizer::~TextRecognizer() {
    if (engine_) engine_->api.End();
}

bool TextRecognizer::Load(const std::string& languages) {
    if (engine_ && languages == languages_) return true;
    engine_.reset();
    languages_.clear();
    if (!OcrLanguagesInstalled(languages)) return false;
    auto engine = std::make_unique<Engine>();
    if (engine->api.Init(DataFolder().c_str(), languages.c_str(), tesseract::OEM_LSTM_ONLY) != 0) return false;
    // A scanned page is a page of running text: automatic layout without orientation
    // detection.
    engine->api.SetPageSegMode(tesseract::PSM_AUTO);
    engine_ = std::move(engine);
    languages_ = languages;
    return true;
}

bool TextRecognizer::Recognise(const codec::Image& page, PageText& out, const std::atomic<bool>* cancel) {
    out = PageText{};
    if (!engine_ || page.width <= 0 || page.height <= 0) return false;
    Engine& e = *engine_;
    if (page.format == codec::PixelFormat::Bilevel1) {
        // The engine takes packed bits with a set bit white: our pages set black.
        const size_t rowBytes = (static_cast<size_t>(page.width) + 7) / 8;
        e.bits.resize(rowBytes * static_cast<size_t>(page.height));
        for (int y = 0; y < page.height; ++y) {
            const uint8_t* in = page.Row(y);
            unsigned char* row = e.bits.data() + rowBytes * static_cast<size_t>(y);
            for (size_t i = 0; i < rowBytes; ++i) row[i] = static_cast<unsigned char>(~in[i]);
        }
        e.api.SetImage(e.bits.data(), page.width, page.height, 0, static_cast<int>(rowBytes));
    } else {
        ToGrey(page, e.grey);
        e.api.SetImage(e.grey.data(), page.width, page.height, 1, page.width);
    }
    const int dpi = static_cast<int>(page.xDpi + 0.5);
    if (dpi > 0) e.api.SetSourceResolution(dpi);
    // The engine asks its monitor now and then whether to stop.
    tesseract::ETEXT_DESC monitor;
    monitor.cancel = [](void* flag, int) { return static_cast<const std::atomic<bool>*>(flag)->load(); };
    monitor.cancel_this = const_cast<std::atomic<bool>*>(cancel);
    const bool recognised = e.api.Recognize(cancel ? &monitor : nullptr) == 0 && !(cancel && *cancel);
    out.width = page.width;
    out.height = page.height;
    if (recognised) {
        std::unique_ptr<tesseract::ResultIterator> it(e.api.GetIterator());
        if (it) {
            do {
                std::unique_ptr<char[]> text(it->GetUTF8Text(tesseract::RIL_WORD));
                RecognisedWord word;
                if (!text || !it->BoundingBox(tesseract::RIL_WORD, &word.left, &word.top, &word.right, &word.bottom))
                    continue;
                word.text = text.get();
                if (word.text.find_first_not_of(" \t\r\n") == std::string::npos) continue;
                out.words.push_back(std::move(word));
            } while (it->Next(tesseract::RIL_WORD));
        }
    }
    e.api.Clear();
    return recognised;
}

} // namespace output
