#pragma once
// The words recognised on a page, as the PDF writer lays them over the page image.

#include <atomic>
#include <memory>
#include <string>
#include <vector>

namespace codec {
struct Image;
}

namespace output {

// One recognised word: its text in UTF-8 and its box in page pixels (left and top
// inclusive, right and bottom exclusive; rows counted from the top).
struct RecognisedWord {
    std::string text;
    int left = 0, top = 0, right = 0, bottom = 0;
};

// The words of one page in reading order, and the page they were found on.
struct PageText {
    int width = 0, height = 0; // pixels
    std::vector<RecognisedWord> words;
};

// Recognises the words of pages for the PDF writer's text layer. The recognition
// library supplies it (EnableTextRecognition in output/TextRecognizer.h), so that a
// program that never recognises text does not load that library.
class IF_PageRecogniser {
public:
    virtual ~IF_PageRecogniser() = default;
    // Loads the languages ('+'-separated); false when one is missing.
    virtual bool Load(const std::string& languages) = 0;
    // The page's words; false when it cannot be read or `cancel` turned true meanwhile.
    virtual bool Recognise(const codec::Image& page, PageText& out, const std::atomic<bool>* cancel) = 0;
};

using PageRecogniserFactory = std::unique_ptr<IF_PageRecogniser> (*)();
void SetPageRecogniserFactory(PageRecogniserFactory factory);
bool HasPageRecogniserFactory();
// A recogniser from the installed factory; null when none is installed.
std::unique_ptr<IF_PageRecogniser> MakePageRecogniser();

} // namespace output
