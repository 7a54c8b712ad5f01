#pragma once
// A PDF document drawn page by page by the system's 2D drawing library (cairo), whose
// bytes go to a sink as the document is produced: each page's data leaves when the page
// ends, the closing tables when the document is finished. The library is loaded on the
// first document and kept for the rest of the process, so programs that never fax
// never load it. No type of the library appears here.

#include <cstddef>
#include <functional>
#include <memory>

#include "codec/Image.h"

namespace delivery {

class DrawnPdf {
public:
    // Takes the next bytes of the document; false stops the document (it then fails).
    using Sink = std::function<bool(const unsigned char* data, size_t size)>;

    explicit DrawnPdf(Sink sink);
    ~DrawnPdf();

    // Loads the drawing library now (once per process); false when it is missing.
    static bool LoadLibrary();
    DrawnPdf(const DrawnPdf&) = delete;
    DrawnPdf& operator=(const DrawnPdf&) = delete;

    // Opens the document with pages of the given size in points; false when the
    // library is missing or refuses.
    bool Open(double pageWidth, double pageHeight, const char* title);
    // A page can be drawn: the document is open and has not failed.
    bool StartPage();
    // Draws the whole image stretched into the rectangle (points from the page's
    // top-left corner), pixel for pixel without smoothing.
    bool DrawImage(const codec::ImageView& image, double x, double y, double width, double height);
    // Ends the page: its data goes to the sink. False when drawing or sending failed.
    bool EndPage();
    // Writes the document's closing tables; false when anything failed on the way.
    bool Finish();
    int PagesEnded() const { return pages_; }

private:
    struct Surface;
    std::unique_ptr<Surface> surface_;
    Sink sink_;
    int pages_ = 0;
};

} // namespace delivery
