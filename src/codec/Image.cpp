#include "codec/Image.h"

#include <cmath>
#include <cstring>
#include <new>
#include <vector>

namespace codec {

const char* StatusText(Status status) {
    switch (status) {
        case Status::Ok: return "ok";
        case Status::NotFound: return "file not found or unreadable";
        case Status::Unsupported: return "unsupported image form";
        case Status::Corrupt: return "damaged or truncated image data";
        case Status::OutOfMemory: return "out of memory";
        case Status::AccessDenied: return "access denied";
        case Status::WriteFailed: return "write failed";
        case Status::Busy: return "not valid in the current state";
    }
    return "unknown";
}

bool Buffer::Resize(size_t size) {
    if (size > capacity_) {
        // new[] of a scalar type without () leaves the bytes uninitialised: no zero-fill.
        std::unique_ptr<uint8_t[]> fresh(new (std::nothrow) uint8_t[size]);
        if (!fresh) return false;
        data_ = std::move(fresh);
        capacity_ = size;
    }
    size_ = size;
    return true;
}

void Buffer::Release() {
    data_.reset();
    size_ = capacity_ = 0;
}

double DpiFromPixelsPerMetre(double perMetre) {
    if (perMetre <= 0) return 0;
    const double dpi = perMetre * 0.0254;
    const double whole = std::floor(dpi + 0.5);
    return std::fabs(dpi - whole) < 0.05 ? whole : dpi;
}

size_t RowBytesFor(int width, PixelFormat format) {
    const size_t w = static_cast<size_t>(width);
    switch (format) {
        case PixelFormat::Bilevel1: return (w + 7) / 8;
        case PixelFormat::Gray8: return w;
        case PixelFormat::Rgb24:
        case PixelFormat::Bgr24: return w * 3;
    }
    return 0;
}

int ComponentsOf(PixelFormat format) { return (format == PixelFormat::Rgb24 || format == PixelFormat::Bgr24) ? 3 : 1; }

size_t Image::RowBytes() const { return RowBytesFor(width, format); }
size_t ImageView::RowBytes() const { return RowBytesFor(width, format); }

ImageView ViewOf(const Image& image) {
    ImageView view;
    view.width = image.width;
    view.height = image.height;
    view.format = image.format;
    view.xDpi = image.xDpi;
    view.yDpi = image.yDpi;
    view.top = image.pixels.data() + image.firstRow;
    view.rowStep = image.rowStep;
    return view;
}

namespace {

void SwapRedBlueScalar(const uint8_t* __restrict src, uint8_t* __restrict dst, size_t from, size_t pixels) {
    for (size_t x = from; x < pixels; ++x) {
        dst[3 * x] = src[3 * x + 2];
        dst[3 * x + 1] = src[3 * x + 1];
        dst[3 * x + 2] = src[3 * x];
    }
}

// Three bytes a pixel is a shape compilers do not vectorise; with SSSE3 five pixels are
// turned per byte shuffle (the 16th byte written is rewritten by the next step), which
// halves the cost of writing a colour bitmap.
#if defined(__x86_64__) || defined(__i386__)
typedef uint8_t Bytes16 __attribute__((vector_size(16)));

__attribute__((target("ssse3"))) void SwapRedBlueSsse3(const uint8_t* __restrict src, uint8_t* __restrict dst,
                                                       size_t pixels) {
#if !defined(__clang__)
    const Bytes16 order = {2, 1, 0, 5, 4, 3, 8, 7, 6, 11, 10, 9, 14, 13, 12, 15};
#endif
    size_t x = 0;
    for (; x + 6 <= pixels; x += 5) { // reads and writes 16 bytes within the row
        Bytes16 v;
        std::memcpy(&v, src + 3 * x, 16);
#if defined(__clang__) // the same shuffle in clang's spelling (fuzz builds)
        v = __builtin_shufflevector(v, v, 2, 1, 0, 5, 4, 3, 8, 7, 6, 11, 10, 9, 14, 13, 12, 15);
#else
        v = __builtin_shuffle(v, order);
#endif
        std::memcpy(dst + 3 * x, &v, 16);
    }
    SwapRedBlueScalar(src, dst, x, pixels);
}
#endif

} // namespace

void SwapRedBlue(const uint8_t* src, uint8_t* dst, size_t pixels) {
#if defined(__x86_64__) || defined(__i386__)
    static const bool ssse3 = __builtin_cpu_supports("ssse3");
    if (ssse3) return SwapRedBlueSsse3(src, dst, pixels);
#endif
    SwapRedBlueScalar(src, dst, 0, pixels);
}

bool SizeIsAcceptable(int width, int height, PixelFormat format) {
    if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide) return false;
    return uint64_t(RowBytesFor(width, format)) * uint64_t(height) <= kMaxPixelBytes;
}

bool Image::Allocate(int w, int h, PixelFormat f) {
    if (!SizeIsAcceptable(w, h, f)) return false;
    const size_t row = RowBytesFor(w, f);
    if (!pixels.Resize(row * static_cast<size_t>(h))) return false;
    width = w;
    height = h;
    format = f;
    firstRow = 0;
    rowStep = static_cast<std::ptrdiff_t>(row);
    return true;
}

namespace {

// One row of any format as red, green, blue triples.
void RowToRgb(const Image& in, int y, uint8_t* rgb) {
    const uint8_t* s = in.Row(y);
    const int w = in.width;
    switch (in.format) {
        case PixelFormat::Rgb24: std::memcpy(rgb, s, size_t(w) * 3); break;
        case PixelFormat::Bgr24:
            for (int x = 0; x < w; ++x) {
                rgb[3 * x] = s[3 * x + 2];
                rgb[3 * x + 1] = s[3 * x + 1];
                rgb[3 * x + 2] = s[3 * x];
            }
            break;
        case PixelFormat::Gray8:
            for (int x = 0; x < w; ++x) rgb[3 * x] = rgb[3 * x + 1] = rgb[3 * x + 2] = s[x];
            break;
        case PixelFormat::Bilevel1:
            for (int x = 0; x < w; ++x) {
                uint8_t v = (s[x >> 3] & (0x80 >> (x & 7))) ? 0 : 255;
                rgb[3 * x] = rgb[3 * x + 1] = rgb[3 * x + 2] = v;
            }
            break;
    }
}

inline uint8_t Luma(const uint8_t* p) { return static_cast<uint8_t>((77 * p[0] + 150 * p[1] + 29 * p[2] + 128) >> 8); }

void GrayRow(const Image& in, int y, uint8_t* gray, std::vector<uint8_t>& rgb) {
    if (in.format == PixelFormat::Gray8) {
        std::memcpy(gray, in.Row(y), size_t(in.width));
        return;
    }
    RowToRgb(in, y, rgb.data());
    for (int x = 0; x < in.width; ++x) gray[x] = Luma(&rgb[3 * size_t(x)]);
}

} // namespace

bool Convert(const Image& in, PixelFormat format, Image& out) {
    if (!out.Allocate(in.width, in.height, format)) return false;
    out.xDpi = in.xDpi;
    out.yDpi = in.yDpi;
    std::vector<uint8_t> rgb(size_t(in.width) * 3);
    std::vector<uint8_t> gray(size_t(in.width));
    for (int y = 0; y < in.height; ++y) {
        uint8_t* d = out.Row(y);
        if (format == in.format) {
            std::memcpy(d, in.Row(y), in.RowBytes());
            continue;
        }
        switch (format) {
            case PixelFormat::Rgb24: RowToRgb(in, y, d); break;
            case PixelFormat::Bgr24:
                RowToRgb(in, y, rgb.data());
                for (int x = 0; x < in.width; ++x) {
                    d[3 * x] = rgb[3 * x + 2];
                    d[3 * x + 1] = rgb[3 * x + 1];
                    d[3 * x + 2] = rgb[3 * x];
                }
                break;
            case PixelFormat::Gray8: GrayRow(in, y, d, rgb); break;
            case PixelFormat::Bilevel1:
                GrayRow(in, y, gray.data(), rgb);
                std::memset(d, 0, out.RowBytes());
                for (int x = 0; x < in.width; ++x)
                    if (gray[x] < 128) d[x >> 3] |= static_cast<uint8_t>(0x80 >> (x & 7));
                break;
        }
    }
    return true;
}

} // namespace codec
