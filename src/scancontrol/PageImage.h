#pragma once
// One transferred page as the control holds it: a top-down bitmap.
// Pixel layouts: 1 bit per pixel (most significant bit first, 1 = black, as SANE's
// line-art), 8 bits grey (0 = black), 24 bits RGB in that byte order. Rows are `stride`
// bytes apart (no padding beyond what `stride` says).

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace codec {
struct JpegData;
}

namespace scancontrol {

struct PageImage {
    long width = 0;         // pixels
    long height = 0;        // rows
    short bitsPerPixel = 0; // 1, 8 or 24
    long stride = 0;        // bytes per row
    float xResolution = 0;  // dots per inch
    float yResolution = 0;
    std::vector<std::uint8_t> pixels; // height * stride bytes
    // The page as JPEG data, made while it arrived, when the control was asked to
    // (CDynamictwain::EncodeArrivingPages); null otherwise.
    std::shared_ptr<const codec::JpegData> jpeg;

    short PixelType() const { return bitsPerPixel == 1 ? 0 : bitsPerPixel == 8 ? 1 : 2; }
    const std::uint8_t* Row(long y) const {
        return pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(stride);
    }
    std::uint8_t* Row(long y) { return pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(stride); }

    // A blank page of the given geometry (white), stride = the minimal row length.
    static PageImage Blank(long width, long height, short bitsPerPixel, float dpi);
    static long MinimalStride(long width, short bitsPerPixel) {
        return bitsPerPixel == 1 ? (width + 7) / 8 : width * (bitsPerPixel / 8);
    }
};

} // namespace scancontrol
