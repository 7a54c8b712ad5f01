#pragma once
// JPEG through libjpeg-turbo. libjpeg reports errors by a long jump; that is caught
// inside this wrapper, and its warnings (premature end of data, corrupt segments) count
// as errors too, so a damaged file is refused instead of decoded into a grey tail.

#include <string>

#include "codec/Image.h"

namespace codec {

struct JpegOptions {
    int quality = 75;  // 0..100; 0 is the coarsest the library allows
    bool grey = false; // one component instead of three
};

Status LoadJpeg(const std::string& path, Image& out);
Status DecodeJpeg(const Buffer& file, Image& out);
Status ReadJpegInfo(const std::string& path, ImageInfo& info);
// Writes a baseline JFIF file with the image's resolution in dots per inch.
Status SaveJpeg(const Image& image, const std::string& path, const JpegOptions& options);
// The same from rows held elsewhere (a page in the scanning control's memory).
Status SaveJpeg(const ImageView& image, const std::string& path, const JpegOptions& options);

} // namespace codec
