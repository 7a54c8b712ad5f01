#pragma once
// One transferred page as the control holds it: a top-down bitmap.
// Pixel layouts: 1 bit per pixel (most significant bit first, 1 = black, as SANE's
// line-art), 8 bits grey (0 = black), 24 bits RGB in that byte order. Rows are `stride`
// bytes apart (no padding beyond what `stride` says).

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <utility>
#include <vector>

namespace codec {
struct JpegData;
}

namespace scancontrol {

// The allocator of page buffers: bytes a buffer grows by are left as they are instead of
// being zeroed (a resize without a value; `assign` and a resize with a value still set
// them). A scanned page is filled by the scanner right after it is sized: zeroing it
// first would touch, and fault in, every memory page of tens of megabytes before the
// first row could arrive.
template <class T>
struct UninitialisedAllocator : std::allocator<T> {
    template <class U>
    struct rebind {
        using other = UninitialisedAllocator<U>;
    };
    UninitialisedAllocator() = default;
    template <class U>
    UninitialisedAllocator(const UninitialisedAllocator<U>&) noexcept {}
    template <class U>
    void construct(U* p) noexcept {
        ::new (static_cast<void*>(p)) U;
    }
    template <class U, class... Args>
    void construct(U* p, Args&&... args) {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
};

using PixelBuffer = std::vector<std::uint8_t, UninitialisedAllocator<std::uint8_t>>;

struct PageImage {
    long width = 0;         // pixels
    long height = 0;        // rows
    short bitsPerPixel = 0; // 1, 8 or 24
    long stride = 0;        // bytes per row
    float xResolution = 0;  // dots per inch
    float yResolution = 0;
    PixelBuffer pixels; // height * stride bytes
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
