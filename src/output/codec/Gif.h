#pragma once
// GIF through giflib (reading only): each frame is read at its own size as colour, or
// as grey when its colour table is grey.

#include <string>

#include "output/codec/Image.h"

namespace codec {

Status LoadGif(const std::string& path, int frame, Image& out, int* frameCount);
Status ReadGifInfo(const std::string& path, ImageInfo& info);

} // namespace codec
