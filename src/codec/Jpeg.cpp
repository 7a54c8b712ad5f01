#include "codec/Jpeg.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

#include <jpeglib.h>
#include <jerror.h>

#include "codec/FileIo.h"

namespace codec {
namespace {

struct ErrorBridge {
    jpeg_error_mgr mgr;
    std::jmp_buf jump;
    bool outOfMemory = false;
};

[[noreturn]] void OnError(j_common_ptr cinfo) {
    auto* bridge = reinterpret_cast<ErrorBridge*>(cinfo->err);
    bridge->outOfMemory = cinfo->err->msg_code == JERR_OUT_OF_MEMORY;
    std::longjmp(bridge->jump, 1);
}

// Warnings mean damaged data (libjpeg pads a truncated scan and goes on); refuse.
void OnMessage(j_common_ptr cinfo, int level) {
    if (level < 0) OnError(cinfo);
}

void InstallBridge(ErrorBridge& bridge) {
    jpeg_std_error(&bridge.mgr);
    bridge.mgr.error_exit = OnError;
    bridge.mgr.emit_message = OnMessage;
}

double DpiFromDensity(int unit, int density) {
    if (unit == 1) return density;
    if (unit == 2) return density * 2.54;
    return 0;
}

struct Decoder {
    jpeg_decompress_struct cinfo;
    ErrorBridge bridge;
};

// Everything that can long-jump runs here, with no C++ object created after setjmp.
Status Decode(Decoder& d, const uint8_t* data, size_t size, bool headerOnly, Image* out, ImageInfo* info) {
    d.cinfo.err = &d.bridge.mgr;
    InstallBridge(d.bridge);
    jpeg_create_decompress(&d.cinfo);
    if (setjmp(d.bridge.jump)) {
        jpeg_destroy_decompress(&d.cinfo);
        return d.bridge.outOfMemory ? Status::OutOfMemory : Status::Corrupt;
    }
    jpeg_mem_src(&d.cinfo, data, static_cast<unsigned long>(size));
    if (jpeg_read_header(&d.cinfo, TRUE) != JPEG_HEADER_OK) {
        jpeg_destroy_decompress(&d.cinfo);
        return Status::Corrupt;
    }
    const int comps = d.cinfo.num_components;
    const PixelFormat format = comps == 1 ? PixelFormat::Gray8 : PixelFormat::Rgb24;
    const double xDpi = DpiFromDensity(d.cinfo.density_unit, d.cinfo.X_density);
    const double yDpi = DpiFromDensity(d.cinfo.density_unit, d.cinfo.Y_density);
    const int w = static_cast<int>(d.cinfo.image_width), h = static_cast<int>(d.cinfo.image_height);
    if (!SizeIsAcceptable(w, h, format)) {
        jpeg_destroy_decompress(&d.cinfo);
        return Status::Corrupt;
    }
    if (headerOnly) {
        *info = ImageInfo{w, h, format, xDpi, yDpi};
        jpeg_destroy_decompress(&d.cinfo);
        return Status::Ok;
    }
    const bool cmyk = comps == 4;
    d.cinfo.out_color_space = comps == 1 ? JCS_GRAYSCALE : cmyk ? JCS_CMYK : JCS_RGB;
    if (comps != 1 && comps != 3 && comps != 4) {
        jpeg_destroy_decompress(&d.cinfo);
        return Status::Unsupported;
    }
    if (!out->Allocate(w, h, format)) {
        jpeg_destroy_decompress(&d.cinfo);
        return Status::OutOfMemory;
    }
    out->xDpi = xDpi;
    out->yDpi = yDpi;
    jpeg_start_decompress(&d.cinfo);
    // CMYK rows are wider than the RGB rows they become; decode them into a side row
    // allocated by the library, so it is freed by jpeg_destroy on every path.
    JSAMPARRAY side = cmyk ? (*d.cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&d.cinfo), JPOOL_IMAGE,
                                                          static_cast<JDIMENSION>(w) * 4, 1)
                           : nullptr;
    const bool inverted = d.cinfo.saw_Adobe_marker;
    while (d.cinfo.output_scanline < d.cinfo.output_height) {
        uint8_t* row = out->Row(static_cast<int>(d.cinfo.output_scanline));
        if (!cmyk) {
            JSAMPROW rows[1] = {row};
            jpeg_read_scanlines(&d.cinfo, rows, 1);
            continue;
        }
        jpeg_read_scanlines(&d.cinfo, side, 1);
        const uint8_t* s = side[0];
        for (int x = 0; x < w; ++x) {
            int c = s[4 * x], m = s[4 * x + 1], yy = s[4 * x + 2], k = s[4 * x + 3];
            if (!inverted) {
                c = 255 - c;
                m = 255 - m;
                yy = 255 - yy;
                k = 255 - k;
            }
            row[3 * x] = static_cast<uint8_t>(c * k / 255);
            row[3 * x + 1] = static_cast<uint8_t>(m * k / 255);
            row[3 * x + 2] = static_cast<uint8_t>(yy * k / 255);
        }
    }
    jpeg_finish_decompress(&d.cinfo);
    jpeg_destroy_decompress(&d.cinfo);
    return Status::Ok;
}

// libjpeg destination writing through a FileWriter in 64 KiB blocks.
struct Destination {
    jpeg_destination_mgr mgr;
    FileWriter* file;
    uint8_t block[65536];
};

void InitDest(j_compress_ptr cinfo) {
    auto* d = reinterpret_cast<Destination*>(cinfo->dest);
    d->mgr.next_output_byte = d->block;
    d->mgr.free_in_buffer = sizeof d->block;
}

boolean EmptyDest(j_compress_ptr cinfo) {
    auto* d = reinterpret_cast<Destination*>(cinfo->dest);
    d->file->Write(d->block, sizeof d->block);
    d->mgr.next_output_byte = d->block;
    d->mgr.free_in_buffer = sizeof d->block;
    return TRUE;
}

void TermDest(j_compress_ptr cinfo) {
    auto* d = reinterpret_cast<Destination*>(cinfo->dest);
    d->file->Write(d->block, sizeof d->block - d->mgr.free_in_buffer);
}

struct Encoder {
    jpeg_compress_struct cinfo;
    ErrorBridge bridge;
    Destination dest;
};

uint16_t Density(double dpi) {
    const double rounded = dpi + 0.5;
    return rounded >= 65535 ? 65535 : rounded < 1 ? 0 : static_cast<uint16_t>(rounded);
}

// `Page` is an Image or an ImageView: both give the geometry, the form and the rows.
template <class Page>
Status Encode(Encoder& e, const Page& image, const JpegOptions& options, uint8_t* expanded) {
    e.cinfo.err = &e.bridge.mgr;
    InstallBridge(e.bridge);
    jpeg_create_compress(&e.cinfo);
    if (setjmp(e.bridge.jump)) {
        jpeg_destroy_compress(&e.cinfo);
        return e.bridge.outOfMemory ? Status::OutOfMemory : Status::WriteFailed;
    }
    e.cinfo.dest = &e.dest.mgr;
    e.dest.mgr.init_destination = InitDest;
    e.dest.mgr.empty_output_buffer = EmptyDest;
    e.dest.mgr.term_destination = TermDest;
    e.cinfo.image_width = static_cast<JDIMENSION>(image.width);
    e.cinfo.image_height = static_cast<JDIMENSION>(image.height);
    // Colour rows go to the library as they are stored; grey and black-and-white rows
    // are widened to grey (or to RGB for a colour file) in `expanded`.
    const bool colourIn = image.format == PixelFormat::Rgb24 || image.format == PixelFormat::Bgr24;
    if (colourIn) {
        e.cinfo.input_components = 3;
        e.cinfo.in_color_space = image.format == PixelFormat::Bgr24 ? JCS_EXT_BGR : JCS_RGB;
    } else if (options.grey) {
        e.cinfo.input_components = 1;
        e.cinfo.in_color_space = JCS_GRAYSCALE;
    } else {
        e.cinfo.input_components = 3;
        e.cinfo.in_color_space = JCS_RGB;
    }
    jpeg_set_defaults(&e.cinfo);
    if (options.grey) jpeg_set_colorspace(&e.cinfo, JCS_GRAYSCALE);
    jpeg_set_quality(&e.cinfo, options.quality < 0 ? 0 : options.quality > 100 ? 100 : options.quality, TRUE);
    e.cinfo.dct_method = JDCT_ISLOW;
    e.cinfo.write_JFIF_header = TRUE;
    const uint16_t xd = Density(image.xDpi), yd = Density(image.yDpi);
    if (xd && yd) {
        e.cinfo.density_unit = 1;
        e.cinfo.X_density = xd;
        e.cinfo.Y_density = yd;
    }
    jpeg_start_compress(&e.cinfo, TRUE);
    while (e.cinfo.next_scanline < e.cinfo.image_height) {
        const int y = static_cast<int>(e.cinfo.next_scanline);
        const uint8_t* src = image.Row(y);
        JSAMPROW row = const_cast<JSAMPROW>(src);
        if (!colourIn && (image.format == PixelFormat::Bilevel1 || !options.grey)) {
            const bool toRgb = !options.grey;
            for (int x = 0; x < image.width; ++x) {
                const uint8_t v = image.format == PixelFormat::Gray8  ? src[x]
                                  : (src[x >> 3] & (0x80 >> (x & 7))) ? 0
                                                                      : 255;
                if (toRgb) expanded[3 * x] = expanded[3 * x + 1] = expanded[3 * x + 2] = v;
                else expanded[x] = v;
            }
            row = expanded;
        }
        JSAMPROW rows[1] = {row};
        jpeg_write_scanlines(&e.cinfo, rows, 1);
    }
    jpeg_finish_compress(&e.cinfo);
    jpeg_destroy_compress(&e.cinfo);
    return Status::Ok;
}

} // namespace

Status DecodeJpeg(const Buffer& file, Image& out) {
    Decoder d;
    return Decode(d, file.data(), file.size(), false, &out, nullptr);
}

Status LoadJpeg(const std::string& path, Image& out) {
    Buffer file;
    Status status = ReadWholeFile(path, file);
    if (status != Status::Ok) return status;
    return DecodeJpeg(file, out);
}

Status ReadJpegInfo(const std::string& path, ImageInfo& info) {
    // The header usually sits in the first few kilobytes; metadata blocks can push it
    // further, in which case the whole file is read.
    std::string head;
    Status status = ReadHead(path, 256 * 1024, head);
    if (status != Status::Ok) return status;
    Decoder d;
    status = Decode(d, reinterpret_cast<const uint8_t*>(head.data()), head.size(), true, nullptr, &info);
    if (status == Status::Ok || head.size() < 256 * 1024) return status;
    Buffer file;
    status = ReadWholeFile(path, file);
    if (status != Status::Ok) return status;
    Decoder whole;
    return Decode(whole, file.data(), file.size(), true, nullptr, &info);
}

namespace {

template <class Page>
Status SavePage(const Page& image, const std::string& path, const JpegOptions& options) {
    std::vector<uint8_t> expanded(size_t(image.width) * 3);
    FileWriter file;
    Status status = file.Open(path);
    if (status != Status::Ok) return status;
    auto encoder = std::make_unique<Encoder>(); // holds a 64 KiB block: keep it off the stack
    encoder->dest.file = &file;
    status = Encode(*encoder, image, options, expanded.data());
    if (status != Status::Ok) return status; // the writer removes the partial file
    return file.Commit();
}

} // namespace

Status SaveJpeg(const Image& image, const std::string& path, const JpegOptions& options) {
    return SavePage(image, path, options);
}

Status SaveJpeg(const ImageView& image, const std::string& path, const JpegOptions& options) {
    return SavePage(image, path, options);
}

} // namespace codec
