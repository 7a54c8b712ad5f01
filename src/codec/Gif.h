#pragma once
// GIF through giflib: each frame is read at its own size as colour, or as grey when its
// colour table is grey; one page is written as a single frame.

#include <string>

#include "codec/Image.h"

namespace codec {

Status LoadGif(const std::string& path, int frame, Image& out, int* frameCount);
Status ReadGifInfo(const std::string& path, ImageInfo& info);
// Writes the page as one frame: black and white with a two-entry table (index 1 black),
// grey with the 256 greys, colour reduced to the fixed 3-3-2 table (GIF holds 256
// colours). No resolution: GIF has none. Sides beyond 65535 are unsupported.
Status SaveGif(const ImageView& image, const std::string& path);

} // namespace codec
