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

// Large page buffers: mapped memory of their own, given back to the system when the
// page goes (a block is kept for the next page while other pages are still in use).
// Throws std::bad_alloc.
void* AllocatePageMemory(std::size_t bytes);
void FreePageMemory(void* block, std::size_t bytes);
// The most blocks of page memory in use at once (pages held in memory at the same time)
// since the last reset; `reset` starts the count again from those in use now.
int PageMemoryMostInUse(bool reset = false);

// The allocator of page buffers: bytes a buffer grows by are left as they are instead of
// being zeroed (a resize without a value; `assign` and a resize with a value still set
// them). A scanned page is filled by the scanner right after it is sized: zeroing it
// first would touch, and fault in, every memory page of tens of megabytes before the
// first row could arrive. Buffers of a megabyte and more take page memory, except in a
// build with the address sanitizer, which watches the heap's blocks only.
template <class T>
struct UninitialisedAllocator : std::allocator<T> {
    template <class U>
    struct rebind {
        using other = UninitialisedAllocator<U>;
    };
    UninitialisedAllocator() = default;
    template <class U>
    UninitialisedAllocator(const UninitialisedAllocator<U>&) noexcept {}
    T* allocate(std::size_t n) {
        if (Large(n)) return static_cast<T*>(AllocatePageMemory(n * sizeof(T)));
        return std::allocator<T>::allocate(n);
    }
    void deallocate(T* p, std::size_t n) {
        if (Large(n)) return FreePageMemory(p, n * sizeof(T));
        std::allocator<T>::deallocate(p, n);
    }
    template <class U>
    void construct(U* p) noexcept {
        ::new (static_cast<void*>(p)) U;
    }
    template <class U, class... Args>
    void construct(U* p, Args&&... args) {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }

private:
    static bool Large(std::size_t n) {
#if defined(__SANITIZE_ADDRESS__)
        (void)n;
        return false;
#else
        return n >= (std::size_t{1} << 20) / sizeof(T);
#endif
    }
};

using PixelBuffer = std::vector<std::uint8_t, UninitialisedAllocator<std::uint8_t>>;

// A page's JPEG data, which may still be in the making from the page's rows on a thread
// of its own: the scanner goes on to the next page meanwhile. Ending the object stops
// that thread, so it never reads rows that are gone.
class PageJpeg {
public:
    virtual ~PageJpeg() = default;
    // The complete data (waits for the rows still being encoded); null when the page
    // could not be made into it.
    virtual const codec::JpegData* Data() const = 0;
};

struct PageImage {
    long width = 0;         // pixels
    long height = 0;        // rows
    short bitsPerPixel = 0; // 1, 8 or 24
    long stride = 0;        // bytes per row
    float xResolution = 0;  // dots per inch
    float yResolution = 0;
    PixelBuffer pixels; // height * stride bytes
    // The page as JPEG data, made while it arrived, when the control was asked to
    // (CDynamictwain::EncodeArrivingPages); null otherwise. It may still be made from
    // `pixels`, so it ends before them (declared after them); a copy of the page has
    // the rows only (the data is only ever a shortcut to encoding them).
    std::unique_ptr<PageJpeg> jpeg;

    PageImage() = default;
    PageImage(const PageImage& other) { CopyRows(other); }
    PageImage& operator=(const PageImage& other) {
        if (this != &other) {
            jpeg.reset(); // before the rows it may read are let go
            CopyRows(other);
        }
        return *this;
    }
    PageImage(PageImage&&) = default;
    PageImage& operator=(PageImage&& other) noexcept {
        jpeg.reset();
        Geometry(other);
        pixels = std::move(other.pixels);
        jpeg = std::move(other.jpeg);
        return *this;
    }

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

private:
    void Geometry(const PageImage& other) {
        width = other.width;
        height = other.height;
        bitsPerPixel = other.bitsPerPixel;
        stride = other.stride;
        xResolution = other.xResolution;
        yResolution = other.yResolution;
    }
    void CopyRows(const PageImage& other) {
        Geometry(other);
        pixels = other.pixels;
    }
};

} // namespace scancontrol
