#pragma once
// The words recognised on a page, as the PDF writer lays them over the page image.

#include <string>
#include <vector>

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

} // namespace output
