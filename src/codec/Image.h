#pragma once
// In-memory pages shared by every codec: a pixel buffer with its geometry, its pixel
// layout and its resolution, plus the results codecs answer with. No C library type
// appears here; each library stays inside its own wrapper.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>

namespace codec {

enum class PixelFormat {
    Bilevel1, // 1 bit a pixel, most significant bit first; a set bit is black
    Gray8,    // 0 black .. 255 white
    Rgb24,    // red, green, blue
    Bgr24,    // blue, green, red (the bitmap file order; kept to avoid a copy)
};

enum class Status {
    Ok,
    NotFound,     // the file does not exist or cannot be opened for reading
    Unsupported,  // a valid file in a form this layer does not handle
    Corrupt,      // damaged or truncated data, or a header that contradicts the file
    OutOfMemory,  // the page is too large to hold
    AccessDenied, // the output cannot be created for lack of permission
    WriteFailed,  // the output could not be written completely (disk full, I/O error)
    Busy,         // the operation is not valid in the writer's current state
};

const char* StatusText(Status status);

// A byte block that is reused from page to page: growing it does not zero-fill, and
// shrinking keeps the capacity, so a long run does not pay fresh page faults per page.
class Buffer {
public:
    Buffer() = default;
    Buffer(Buffer&& other) noexcept { *this = std::move(other); }
    Buffer& operator=(Buffer&& other) noexcept {
        data_ = std::move(other.data_);
        size_ = other.size_;
        capacity_ = other.capacity_;
        other.size_ = other.capacity_ = 0;
        return *this;
    }
    // Room for `size` bytes; false when it cannot be allocated. Content is undefined
    // unless the new size fits the old capacity, in which case it is kept.
    bool Resize(size_t size);
    void Release();
    uint8_t* data() { return data_.get(); }
    const uint8_t* data() const { return data_.get(); }
    size_t size() const { return size_; }
private:
    std::unique_ptr<uint8_t[]> data_;
    size_t size_ = 0;
    size_t capacity_ = 0;
};

// One page. Rows may run bottom-up in the buffer (a negative row step), as bitmap files
// store them, so that a bitmap read from disk is used in place.
struct Image {
    int width = 0;
    int height = 0;
    PixelFormat format = PixelFormat::Rgb24;
    double xDpi = 0; // 0 when the file gives no resolution
    double yDpi = 0;
    Buffer pixels;
    size_t firstRow = 0;        // offset of the top row in `pixels`
    std::ptrdiff_t rowStep = 0; // bytes from one row to the one below it

    const uint8_t* Row(int y) const { return pixels.data() + firstRow + rowStep * y; }
    uint8_t* Row(int y) { return pixels.data() + firstRow + rowStep * y; }
    // Bytes of pixel data in one row (without padding).
    size_t RowBytes() const;
    // Lays out a top-down image of the given size and format; false when too large.
    bool Allocate(int w, int h, PixelFormat f);
};

// A read-only look at rows held elsewhere: what the writers need of a page, so that a
// caller's own page buffer is written without being copied.
struct ImageView {
    int width = 0;
    int height = 0;
    PixelFormat format = PixelFormat::Rgb24;
    double xDpi = 0;
    double yDpi = 0;
    const uint8_t* top = nullptr; // the top row
    std::ptrdiff_t rowStep = 0;   // bytes from one row to the one below it
    // The JPEG data the page was already made into (while a scanner delivered it), or
    // null: a JPEG writer asked for that very data uses it instead of encoding the rows.
    const struct JpegData* jpeg = nullptr;

    const uint8_t* Row(int y) const { return top + rowStep * y; }
    size_t RowBytes() const;
};
ImageView ViewOf(const Image& image);

// What a file's header says of its first frame, without decoding the pixels.
struct ImageInfo {
    int width = 0;
    int height = 0;
    PixelFormat format = PixelFormat::Rgb24;
    double xDpi = 0;
    double yDpi = 0;
};

// Resolution from pixels per metre (bitmap and PNG files). Writers store whole dots
// per inch as the nearest whole number per metre (300 dpi as 11811), so values within
// 0.05 of a whole number are taken as that number. 0 for no resolution.
double DpiFromPixelsPerMetre(double perMetre);

size_t RowBytesFor(int width, PixelFormat format);
int ComponentsOf(PixelFormat format);

// Copies `pixels` three-byte pixels from `src` to `dst` (which must not overlap) with the
// first and third byte exchanged: red-green-blue to blue-green-red and back.
void SwapRedBlue(const uint8_t* src, uint8_t* dst, size_t pixels);

// Largest page the codecs accept: 2^16 pixels a side and 1 GiB of pixel data, well
// beyond any scanner page; larger claims in a header are treated as damage.
constexpr int kMaxSide = 65536;
constexpr uint64_t kMaxPixelBytes = uint64_t(1) << 30;
bool SizeIsAcceptable(int width, int height, PixelFormat format);

// Converts the image into `out` in the requested format. Grey from colour uses the
// usual luma weights; black and white from grey or colour is a threshold at half
// brightness. Returns false when memory runs out.
bool Convert(const Image& in, PixelFormat format, Image& out);

} // namespace codec
