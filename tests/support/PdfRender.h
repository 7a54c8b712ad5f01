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

} // namespace testsupport
