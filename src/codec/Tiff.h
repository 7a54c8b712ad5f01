#pragma once
// TIFF through libtiff: every frame of a file can be read, and pages are written one
// after another into one multi-page file. libtiff's messages go to a handler of each
// open file, never to the terminal, and any error it reports fails the operation.

#include <memory>
#include <string>

#include "codec/Image.h"

namespace codec {

enum class TiffCompression { None, Lzw, CcittRle, CcittG3, CcittG4 };

struct TiffPageOptions {
    TiffCompression compression = TiffCompression::None;
    // 0 keeps the page's own form; 1 black and white, 8 grey, 24 colour. The CCITT
    // compressions always write black and white.
    int depth = 0;
    // Black-and-white pages are written with 0 as white (the usual fax form). With this
    // flag an uncompressed page is written with 0 as black instead.
    bool blackIsZero = false;
    // One strip for the whole page; CCITT group 3 pages then carry byte-aligned end-of-line
    // codes and no return-to-control sequence, so that the strip data can be used as a
    // PDF fax stream as it stands.
    bool singleStripForPdf = false;
};

Status LoadTiff(const std::string& path, int frame, Image& out, int* frameCount);
Status ReadTiffInfo(const std::string& path, ImageInfo& info);

class TiffWriter {
public:
    TiffWriter();
    ~TiffWriter(); // closes the file if still open
    TiffWriter(const TiffWriter&) = delete;
    TiffWriter& operator=(const TiffWriter&) = delete;

    // Creates (replaces) the file.
    Status Open(const std::string& path);
    bool IsOpen() const;
    // Appends one page as a new directory, with the image's resolution in dots per inch.
    Status AddPage(const Image& image, const TiffPageOptions& options);
    // The same from rows held elsewhere (a page in the scanning control's memory).
    Status AddPage(const ImageView& image, const TiffPageOptions& options);
    // Flushes and closes; WriteFailed when any write of this file failed.
    Status Close();
    int pages() const { return pages_; }
private:
    template <class Page>
    Status WritePage(const Page& page, double xDpi, double yDpi, const TiffPageOptions& options);
    struct Impl;
    std::unique_ptr<Impl> impl_;
    int pages_ = 0;
};

} // namespace codec
