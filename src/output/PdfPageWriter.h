#pragma once
// Writes a PDF 1.5 file page by page, one image per page, straight to disk and never
// re-read: every byte comes from fixed templates and a running byte counter supplies
// the stream lengths and the cross-reference offsets. The caller streams the page image
// already encoded (a JPEG file, or CCITT fax or raw bits).
//
// Layout for P pages: objects 5+6i .. 10+6i are page i (page, content stream, its
// length, procedure set, image, its length); then the page list (5+6P) and the page
// count (6+6P); then the catalog (1), outlines (2), page tree (3) and object 4, which
// nothing refers to and which holds null; then the cross-reference table with 7+6P
// entries and the trailer. Lines end with CR LF.
//
// A page given a text layer (SetPageText) gets, after its image's length, one glyph
// procedure and per 256 distinct characters a font and its character map; the words
// are drawn invisibly (text render mode 3) over the image, so the page looks the same
// but its text can be searched and copied. Pages without one are written as above.

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "core/Ids.h"
#include "output/PageText.h"

namespace output {

class PdfPageWriter {
public:
    PdfPageWriter();
    ~PdfPageWriter(); // closes the file without completing it if Finish was not called
    PdfPageWriter(const PdfPageWriter&) = delete;
    PdfPageWriter& operator=(const PdfPageWriter&) = delete;

    void SetFileName(const std::string& path);
    // Creates the file (replacing one of the same name) and writes the header; false
    // when the file cannot be created.
    bool Open();
    // Colour: 8 bits, RGB; grey: 8 bits; black and white: 1 bit.
    void SetColourKind(core::ColourKind kind);
    // Colour components of the next page's image data: 3 declares RGB, 1 grey. Set by
    // SetColourKind (3 for colour, 1 otherwise) and adjustable per page, so that the
    // declared colour space is the one the JPEG data really has.
    void SetImageComponents(int components);
    void SetPageSize(int width, int height);
    void SetResolution(int dpi);
    void SetCompressed(int flag);
    // The words to lay over the next page's image, in that image's pixels; null or no
    // words for none. The text must stay valid until EndImage; the page after it has
    // none unless given one again.
    void SetPageText(const PageText* text) { pageText_ = text; }
    // Writes the page, its content, procedure set and the image head up to "stream".
    // k is the CCITT K parameter (below 0: group 4; 0: one-dimensional group 3). False,
    // writing nothing, when the object table is full.
    bool BeginPage(int k);
    void WriteImageData(const void* bytes, size_t count);
    void EndImage();
    // Writes the page list, page count, objects 1 to 4, the table and the trailer, and
    // closes the file. False when any write of this file failed.
    bool Finish();

    // True once a write has failed (the file is then incomplete).
    bool failed() const { return failed_; }
    // The system error number of the first failure (ENOSPC for a full disk), 0 when none.
    int error() const { return error_; }
    bool isOpen() const { return file_ != nullptr; }
    int64_t bytesWritten() const { return bytesWritten_; }
    int pageCount() const { return pageCount_; }

    // Page box side in points for a pixel count at a resolution: pixels / dpi * 72,
    // truncated toward zero.
    static int64_t PointsFor(int pixels, int dpi);

    // The object table holds 32 767 objects.
    static constexpr int kMaxObjects = 32767;

private:
    void Write(const char* data, size_t size);
    // Integers and texts only: a locale never changes them. Fractions are formatted
    // beforehand with a point as the decimal separator.
    void Print(const char* format, ...) __attribute__((format(printf, 2, 3)));
    int Allocate();
    void WriteLength(int number);
    // The page's text layer: the drawing operations, and per font the characters it
    // holds (code = index). Empty when the page has no words.
    void PrepareText();
    void WriteTextObjects(int first);

    const PageText* pageText_ = nullptr;
    std::string textOperations_;
    std::vector<std::vector<char32_t>> fonts_;

    std::FILE* file_ = nullptr;
    std::string fileName_;
    std::vector<char> ioBuffer_;
    int pageWidth_ = 0, pageHeight_ = 0;
    int imageWidth_ = 0, imageHeight_ = 0;
    int64_t bytesWritten_ = 0;
    int64_t streamStart_ = 0, streamEnd_ = 0;
    std::vector<int64_t> objectOffsets_;
    int lastObject_ = 4;
    int nextEntry_ = 5;
    int pageCount_ = 0;
    std::vector<int> pageObjects_;
    double scaleX_ = 1.0, scaleY_ = 1.0;
    int compressed_ = 0;
    int bitsPerComponent_ = 8;
    int colourKind_ = 1;
    int components_ = 3;
    int resolution_ = 100;
    bool failed_ = false;
    int error_ = 0;
};

} // namespace output
