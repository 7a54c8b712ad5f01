#pragma once
// Our own reader and writer of Windows bitmap files (BMP): the scanning control's page
// format. Reads uncompressed 1, 4, 8, 16, 24 and 32-bit files, top-down or bottom-up;
// run-length compressed bitmaps are refused as unsupported. Every size in the header is
// checked against the file, so a truncated file or a lying header is refused, never read
// beyond its end.

#include <string>

#include "codec/Image.h"

namespace codec {

// Decodes a BMP held in memory. 24-bit pages and 8-bit grey and 1-bit pages are used in
// place: `file` is moved into the image.
Status DecodeBmp(Buffer& file, Image& out);
Status LoadBmp(const std::string& path, Image& out);
Status ReadBmpInfo(const std::string& path, ImageInfo& info);
// Writes 24-bit colour, 8-bit grey (grey palette) or 1-bit (white, black palette), with
// the resolution in the header.
Status SaveBmp(const Image& image, const std::string& path);
Status SaveBmp(const ImageView& image, const std::string& path);

} // namespace codec
