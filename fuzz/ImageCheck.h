#pragma once
// Reads every pixel byte of a decoded page, so that a page whose buffer is smaller than
// its geometry claims is caught by AddressSanitizer right where the decoder handed it out.

#include "FuzzTarget.h"
#include "codec/Image.h"

namespace fuzz {

inline void TouchPixels(const codec::Image& image) {
    if (image.width <= 0 || image.height <= 0) Fail("a decoded page without pixels");
    const size_t row = image.RowBytes();
    unsigned sum = 0;
    for (int y = 0; y < image.height; ++y) {
        const uint8_t* p = image.Row(y);
        for (size_t x = 0; x < row; ++x) sum += p[x];
    }
    // Keeps the reads from being optimised away.
    if (sum == 0xFFFFFFFFu) Fail("impossible pixel sum");
}

} // namespace fuzz
