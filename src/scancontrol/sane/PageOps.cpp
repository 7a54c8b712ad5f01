// Software page steps. See PageOps.h.
#include "scancontrol/sane/PageOps.h"

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

namespace scancontrol::sanectl {

void ColorToGray(PageImage& page) {
    if (page.bitsPerPixel != 24) return;
    const long newStride = page.width;
    for (long y = 0; y < page.height; ++y) {
        const uint8_t* src = page.Row(y);
        uint8_t* dst = page.pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(newStride);
        for (long x = 0; x < page.width; ++x) // ITU-R BT.601 luma, integer weights summing to 256
            dst[x] = static_cast<uint8_t>((77 * src[3 * x] + 150 * src[3 * x + 1] + 29 * src[3 * x + 2]) >> 8);
    }
    page.bitsPerPixel = 8;
    page.stride = newStride;
    page.pixels.resize(static_cast<size_t>(newStride) * static_cast<size_t>(page.height));
    page.pixels.shrink_to_fit();
}

void GrayToBlackWhite(PageImage& page, bool halftone) {
    if (page.bitsPerPixel == 24) ColorToGray(page);
    if (page.bitsPerPixel != 8) return;
    // 8x8 Bayer matrix, thresholds spread over 0..255.
    static const uint8_t bayer[8][8] = {{0, 32, 8, 40, 2, 34, 10, 42},  {48, 16, 56, 24, 50, 18, 58, 26},
                                        {12, 44, 4, 36, 14, 46, 6, 38}, {60, 28, 52, 20, 62, 30, 54, 22},
                                        {3, 35, 11, 43, 1, 33, 9, 41},  {51, 19, 59, 27, 49, 17, 57, 25},
                                        {15, 47, 7, 39, 13, 45, 5, 37}, {63, 31, 55, 23, 61, 29, 53, 21}};
    const long newStride = PageImage::MinimalStride(page.width, 1);
    for (long y = 0; y < page.height; ++y) {
        const uint8_t* src = page.Row(y);
        // The 1-bit row is never longer than the grey row before it: writing it into the
        // same buffer only overwrites bytes already read.
        uint8_t* dst = page.pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(newStride);
        for (long xb = 0; xb < newStride; ++xb) {
            uint8_t bits = 0;
            for (int k = 0; k < 8; ++k) {
                const long x = xb * 8 + k;
                if (x >= page.width) break;
                const int t = halftone ? bayer[y & 7][x & 7] * 4 + 2 : 128;
                if (src[x] < t) bits |= static_cast<uint8_t>(0x80 >> k); // 1 = black
            }
            dst[xb] = bits;
        }
    }
    page.bitsPerPixel = 1;
    page.stride = newStride;
    page.pixels.resize(static_cast<size_t>(newStride) * static_cast<size_t>(page.height));
    page.pixels.shrink_to_fit();
}

namespace {

bool GetBit(const uint8_t* row, long x) { return (row[x >> 3] >> (7 - (x & 7))) & 1; }
void SetBit(uint8_t* row, long x) { row[x >> 3] |= static_cast<uint8_t>(0x80 >> (x & 7)); }

void Rotate180(PageImage& p) {
    const int bpp = p.bitsPerPixel / 8;
    for (long top = 0, bottom = p.height - 1; top <= bottom; ++top, --bottom) {
        uint8_t* a = p.Row(top);
        uint8_t* b = p.Row(bottom);
        if (p.bitsPerPixel == 1) {
            std::vector<uint8_t> ra(a, a + p.stride), rb(b, b + p.stride);
            std::memset(a, 0, static_cast<size_t>(p.stride));
            if (top != bottom) std::memset(b, 0, static_cast<size_t>(p.stride));
            for (long x = 0; x < p.width; ++x) {
                if (GetBit(rb.data(), x)) SetBit(a, p.width - 1 - x);
                if (top != bottom && GetBit(ra.data(), x)) SetBit(b, p.width - 1 - x);
            }
            continue;
        }
        for (long x = 0; x < p.width; ++x) {
            long xr = p.width - 1 - x;
            if (top == bottom && x >= xr) break;
            for (int c = 0; c < bpp; ++c) std::swap(a[x * bpp + c], b[xr * bpp + c]);
        }
    }
}

void RotateQuarter(PageImage& p, bool clockwise) {
    PageImage r;
    r.width = p.height;
    r.height = p.width;
    r.bitsPerPixel = p.bitsPerPixel;
    r.stride = PageImage::MinimalStride(r.width, r.bitsPerPixel);
    r.xResolution = p.yResolution;
    r.yResolution = p.xResolution;
    r.pixels.assign(static_cast<size_t>(r.stride) * static_cast<size_t>(r.height), 0);
    const int bpp = p.bitsPerPixel / 8;
    for (long y = 0; y < p.height; ++y) {
        const uint8_t* src = p.Row(y);
        for (long x = 0; x < p.width; ++x) {
            // Clockwise: (x, y) -> (H-1-y, x); counter-clockwise: (x, y) -> (y, W-1-x).
            const long nx = clockwise ? p.height - 1 - y : y;
            const long ny = clockwise ? x : p.width - 1 - x;
            uint8_t* dst = r.Row(ny);
            if (p.bitsPerPixel == 1) {
                if (GetBit(src, x)) SetBit(dst, nx);
            } else {
                std::memcpy(dst + nx * bpp, src + x * bpp, static_cast<size_t>(bpp));
            }
        }
    }
    p = std::move(r);
}

} // namespace

void Rotate(PageImage& page, int degrees) {
    degrees = ((degrees % 360) + 360) % 360;
    if (degrees == 180) Rotate180(page);
    else if (degrees == 90) RotateQuarter(page, true);
    else if (degrees == 270) RotateQuarter(page, false);
}

} // namespace scancontrol::sanectl
