#pragma once
// PNG through libpng; libpng's long jump on error is caught inside this wrapper.

#include <string>

#include "codec/Image.h"

namespace codec {

Status LoadPng(const std::string& path, Image& out);
Status ReadPngInfo(const std::string& path, ImageInfo& info);
// Writes the page as it is (1-bit, grey or colour) with its resolution.
Status SavePng(const Image& image, const std::string& path);
Status SavePng(const ImageView& image, const std::string& path);

} // namespace codec
