#pragma once
// A PDF page as an independent renderer (poppler's pdftoppm) draws it.

#include <string>

namespace testsupport {

struct Render {
    int darkest = 256;      // the darkest grey level drawn; 255 or more when nothing was
    std::string complaints; // what the renderer wrote to its error stream
};

// Renders the first page at 20 dpi in grey; the files go to `prefix`-*.pgm.
Render RenderFirstPage(const std::string& pdf, const std::string& prefix);

// The box of the dark pixels (below half grey) of one page rendered at xDpi × yDpi, in
// rendered pixels; right and bottom are exclusive, all -1 when nothing dark was drawn.
struct DarkBox {
    int left = -1, top = -1, right = -1, bottom = -1;
};
DarkBox RenderDarkBox(const std::string& pdf, int page, int xDpi, int yDpi, const std::string& prefix);

} // namespace testsupport
