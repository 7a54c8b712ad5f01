// The text recognition library: the recognition engine behind the page recogniser of
// searchable PDFs. Programs load it by name only when a document asks for a text layer,
// so that the engine and the libraries it needs (about fifty) are loaded by no other
// run. Only CreatePageRecogniser is exported.

#include <tesseract/baseapi.h>
#include <tesseract/ocrclass.h>
#include <tesseract/resultiterator.h>

#include <memory>
#include <string>
#include <vector>

#include "codec/Image.h"
#include "output/PageText.h"

namespace {

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

class EngineRecogniser final : public output::IF_PageRecogniser {
public:
    explicit EngineRecogniser(std::string dataFolder) : dataFolder_(std::move(dataFolder)) {}
    ~EngineRecogniser() override {
        if (api_) api_->End();
    }
    EngineRecogniser(const EngineRecogniser&) = delete;
    EngineRecogniser& operator=(const EngineRecogniser&) = delete;

    bool Load(const std::string& languages) override {
        if (api_ && languages == languages_) return true;
        api_.reset();
        languages_.clear();
        auto api = std::make_unique<tesseract::TessBaseAPI>();
        if (api->Init(dataFolder_.c_str(), languages.c_str(), tesseract::OEM_LSTM_ONLY) != 0) return false;
        // A scanned page is a page of running text: automatic layout without orientation
        // detection.
        api->SetPageSegMode(tesseract::PSM_AUTO);
        api_ = std::move(api);
        languages_ = languages;
        return true;
    }

    bool Recognise(const codec::Image& page, output::PageText& out, const std::atomic<bool>* cancel) override {
        out = output::PageText{};
        if (!api_ || page.width <= 0 || page.height <= 0) return false;
        if (page.format == codec::PixelFormat::Bilevel1) {
            // The engine takes packed bits with a set bit white: our pages set black.
            const size_t rowBytes = (static_cast<size_t>(page.width) + 7) / 8;
            bits_.resize(rowBytes * static_cast<size_t>(page.height));
            for (int y = 0; y < page.height; ++y) {
                const uint8_t* in = page.Row(y);
                unsigned char* row = bits_.data() + rowBytes * static_cast<size_t>(y);
                for (size_t i = 0; i < rowBytes; ++i) row[i] = static_cast<unsigned char>(~in[i]);
            }
            api_->SetImage(bits_.data(), page.width, page.height, 0, static_cast<int>(rowBytes));
        } else {
            ToGrey(page, grey_);
            api_->SetImage(grey_.data(), page.width, page.height, 1, page.width);
        }
        const int dpi = static_cast<int>(page.xDpi + 0.5);
        if (dpi > 0) api_->SetSourceResolution(dpi);
        // The engine asks its monitor now and then whether to stop.
        tesseract::ETEXT_DESC monitor;
        monitor.cancel = [](void* flag, int) { return static_cast<const std::atomic<bool>*>(flag)->load(); };
        monitor.cancel_this = const_cast<std::atomic<bool>*>(cancel);
        const bool recognised = api_->Recognize(cancel ? &monitor : nullptr) == 0 && !(cancel && *cancel);
        out.width = page.width;
        out.height = page.height;
        if (recognised) {
            std::unique_ptr<tesseract::ResultIterator> it(api_->GetIterator());
            if (it) {
                do {
                    std::unique_ptr<char[]> text(it->GetUTF8Text(tesseract::RIL_WORD));
                    output::RecognisedWord word;
                    if (!text ||
                        !it->BoundingBox(tesseract::RIL_WORD, &word.left, &word.top, &word.right, &word.bottom))
                        continue;
                    word.text = text.get();
                    if (word.text.find_first_not_of(" \t\r\n") == std::string::npos) continue;
                    out.words.push_back(std::move(word));
                } while (it->Next(tesseract::RIL_WORD));
            }
        }
        api_->Clear();
        return recognised;
    }

private:
    std::string dataFolder_;
    std::string languages_;
    std::unique_ptr<tesseract::TessBaseAPI> api_;
    std::vector<unsigned char> grey_;
    std::vector<unsigned char> bits_;
};

} // namespace

// A new recogniser reading its language data from `dataFolder` (ending in '/'); the
// caller owns it and deletes it through the interface. Null when out of memory.
extern "C" __attribute__((visibility("default"))) output::IF_PageRecogniser* CreatePageRecogniser(
    const char* dataFolder) {
    if (!dataFolder) return nullptr;
    try {
        return new EngineRecogniser(dataFolder);
    } catch (...) {
        return nullptr;
    }
}
