// The TIFF generator library: turns a page image into a black-and-white TIFF file whose
// one strip is the page's bit data in the form a PDF image stream takes as it stands:
//   1  uncompressed, 0 is black (a PDF grey image without a decode array);
//   3  CCITT group 3, one-dimensional, each row's end-of-line code byte-aligned, no
//      return-to-control sequence (PDF K 0, EndOfLine, EncodedByteAlign);
//   4  CCITT group 4 (PDF K -1), black coded as black.
// Pages that are not black and white already are thresholded at half brightness.
// The file is little-endian with one strip, as the PDF encoder's strip reader expects.

#include "codec/Codecs.h"
#include "codec/Tiff.h"

#include <cstdio>

extern "C" __attribute__((visibility("default"))) int GenerateTIFF(const char* source, const char* destination,
                                                                   int compression) {
    if (!source || !destination) return -1;
    codec::TiffPageOptions options;
    switch (compression) {
        case 1: options.compression = codec::TiffCompression::None; break;
        case 3: options.compression = codec::TiffCompression::CcittG3; break;
        case 4: options.compression = codec::TiffCompression::CcittG4; break;
        default: return -2;
    }
    options.depth = 1;
    options.blackIsZero = true;
    options.singleStripForPdf = true;

    codec::Image page;
    if (codec::LoadImage(source, page) != codec::Status::Ok) return -3;
    codec::TiffWriter writer;
    if (writer.Open(destination) != codec::Status::Ok) return -4;
    const codec::Status added = writer.AddPage(page, options);
    const codec::Status closed = writer.Close();
    if (added != codec::Status::Ok || closed != codec::Status::Ok) {
        std::remove(destination);
        return -5;
    }
    return 0;
}
