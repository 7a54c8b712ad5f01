#pragma once
// Optical character recognition of a page image: the words on the page with their
// boxes, for the text layer of a searchable PDF. The recognition engine's own types
// stay inside TextRecognizer.cpp.

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "codec/Image.h"
#include "output/PageText.h"

namespace output {

// The recognition languages installed on this system ("eng", "deu", ...), sorted; the
// orientation-detection data is not a language and is left out.
std::vector<std::string> InstalledOcrLanguages();

// True when every language of a '+'-separated list ("eng+deu") is installed.
bool OcrLanguagesInstalled(const std::string& languages);

// Installs TextRecognizer as the recogniser of searchable PDFs.
void EnableTextRecognition();

class TextRecognizer final : public IF_PageRecogniser {
public:
    TextRecognizer();
    ~TextRecognizer() override;
    TextRecognizer(const TextRecognizer&) = delete;
    TextRecognizer& operator=(const TextRecognizer&) = delete;

    // Loads the languages ('+'-separated, as "eng+deu"); false when one is missing or
    // the engine cannot start. Loading again with the same list keeps the engine.
    bool Load(const std::string& languages) override;
    // Recognises a page at the resolution it was scanned at. Black-and-white pages are
    // read as they are; colour and grey pages as grey. False when the engine is not
    // loaded or the page cannot be read, or when `cancel` turned true meanwhile.
    bool Recognise(const codec::Image& page, PageText& out, const std::atomic<bool>* cancel = nullptr) override;

private:
    struct Engine;
    std::unique_ptr<Engine> engine_;
    std::string languages_;
};

} // namespace output
