#include "codec/Png.h"

#include <csetjmp>
#include <cstdio>
#include <vector>

#include <png.h>

#include "codec/FileIo.h"

namespace codec {
namespace {

void OnError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void OnWarning(png_structp, png_const_charp) {}

double Dpi(png_uint_32 ppu, int unit) { return unit == PNG_RESOLUTION_METER ? DpiFromPixelsPerMetre(ppu) : 0; }

class File {
public:
    explicit File(const std::string& path) : f_(std::fopen(path.c_str(), "rb")) {}
    ~File() {
        if (f_) std::fclose(f_);
    }
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    std::FILE* get() const { return f_; }
private:
    std::FILE* f_;
};

struct ReadState {
    png_structp png = nullptr;
    png_infop info = nullptr;
    ~ReadState() { png_destroy_read_struct(&png, info ? &info : nullptr, nullptr); }
};

// All long jumps land here; `rows` is sized before the jump point is set.
Status Read(std::FILE* f, bool headerOnly, Image* out, ImageInfo* infoOut, std::vector<png_bytep>& rows) {
    ReadState s;
    s.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, OnError, OnWarning);
    if (!s.png) return Status::OutOfMemory;
    s.info = png_create_info_struct(s.png);
    if (!s.info) return Status::OutOfMemory;
    if (setjmp(png_jmpbuf(s.png))) return Status::Corrupt;
    png_init_io(s.png, f);
    png_set_user_limits(s.png, kMaxSide, kMaxSide);
    png_read_info(s.png, s.info);
    const png_uint_32 w = png_get_image_width(s.png, s.info), h = png_get_image_height(s.png, s.info);
    const int depth = png_get_bit_depth(s.png, s.info);
    const int type = png_get_color_type(s.png, s.info);
    png_uint_32 xppu = 0, yppu = 0;
    int unit = 0;
    png_get_pHYs(s.png, s.info, &xppu, &yppu, &unit);
    const bool bilevel = type == PNG_COLOR_TYPE_GRAY && depth == 1 && !png_get_valid(s.png, s.info, PNG_INFO_tRNS);
    const bool grey = !bilevel && (type & PNG_COLOR_MASK_COLOR) == 0;
    const PixelFormat format = bilevel ? PixelFormat::Bilevel1 : grey ? PixelFormat::Gray8 : PixelFormat::Rgb24;
    if (!SizeIsAcceptable(static_cast<int>(w), static_cast<int>(h), format)) return Status::Corrupt;
    if (headerOnly) {
        *infoOut = ImageInfo{static_cast<int>(w), static_cast<int>(h), format, Dpi(xppu, unit), Dpi(yppu, unit)};
        return Status::Ok;
    }
    if (bilevel) {
        png_set_invert_mono(s.png); // PNG stores 0 as black; a set bit is black here
    } else {
        png_set_expand(s.png);
        png_set_strip_16(s.png);
        png_set_strip_alpha(s.png);
    }
    png_set_interlace_handling(s.png);
    png_read_update_info(s.png, s.info);
    if (!out->Allocate(static_cast<int>(w), static_cast<int>(h), format)) return Status::OutOfMemory;
    if (png_get_rowbytes(s.png, s.info) != out->RowBytes()) return Status::Unsupported;
    out->xDpi = Dpi(xppu, unit);
    out->yDpi = Dpi(yppu, unit);
    rows.resize(h); // owned by the caller's frame, so a long jump leaks nothing
    for (png_uint_32 y = 0; y < h; ++y) rows[y] = out->Row(static_cast<int>(y));
    png_read_image(s.png, rows.data());
    png_read_end(s.png, nullptr);
    return Status::Ok;
}

void WriteData(png_structp png, png_bytep data, size_t size) {
    static_cast<FileWriter*>(png_get_io_ptr(png))->Write(data, size);
}
void FlushData(png_structp) {}

struct WriteState {
    png_structp png = nullptr;
    png_infop info = nullptr;
    ~WriteState() { png_destroy_write_struct(&png, info ? &info : nullptr); }
};

Status Write(const ImageView& image, FileWriter& file) {
    WriteState s;
    s.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, OnError, OnWarning);
    if (!s.png) return Status::OutOfMemory;
    s.info = png_create_info_struct(s.png);
    if (!s.info) return Status::OutOfMemory;
    if (setjmp(png_jmpbuf(s.png))) return Status::WriteFailed;
    png_set_write_fn(s.png, &file, WriteData, FlushData);
    const int type = ComponentsOf(image.format) == 3 ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_GRAY;
    const int depth = image.format == PixelFormat::Bilevel1 ? 1 : 8;
    png_set_IHDR(s.png, s.info, static_cast<png_uint_32>(image.width), static_cast<png_uint_32>(image.height), depth,
                 type, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (image.xDpi > 0) {
        const double y = image.yDpi > 0 ? image.yDpi : image.xDpi;
        png_set_pHYs(s.png, s.info, static_cast<png_uint_32>(image.xDpi / 0.0254 + 0.5),
                     static_cast<png_uint_32>(y / 0.0254 + 0.5), PNG_RESOLUTION_METER);
    }
    png_write_info(s.png, s.info);
    if (image.format == PixelFormat::Bilevel1) png_set_invert_mono(s.png);
    if (image.format == PixelFormat::Bgr24) png_set_bgr(s.png);
    for (int y = 0; y < image.height; ++y) png_write_row(s.png, image.Row(y));
    png_write_end(s.png, nullptr);
    return Status::Ok;
}

} // namespace

Status LoadPng(const std::string& path, Image& out) {
    File f(path);
    if (!f.get()) return Status::NotFound;
    std::vector<png_bytep> rows;
    return Read(f.get(), false, &out, nullptr, rows);
}

Status ReadPngInfo(const std::string& path, ImageInfo& info) {
    File f(path);
    if (!f.get()) return Status::NotFound;
    std::vector<png_bytep> rows;
    return Read(f.get(), true, nullptr, &info, rows);
}

Status SavePng(const Image& image, const std::string& path) { return SavePng(ViewOf(image), path); }

Status SavePng(const ImageView& image, const std::string& path) {
    FileWriter file;
    Status status = file.Open(path);
    if (status != Status::Ok) return status;
    status = Write(image, file);
    if (status != Status::Ok) return status;
    return file.Commit();
}

} // namespace codec
