#include "codec/Jpeg.h"

#include <algorithm>
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

// libjpeg destination writing in 64 KiB blocks through a FileWriter, or appending to
// bytes in memory.
struct Destination {
    jpeg_destination_mgr mgr;
    FileWriter* file = nullptr;
    std::vector<uint8_t>* memory = nullptr;
    uint8_t block[65536];

    void Put(size_t count) {
        if (file) file->Write(block, count);
        else memory->insert(memory->end(), block, block + count);
    }
};

void InitDest(j_compress_ptr cinfo) {
    auto* d = reinterpret_cast<Destination*>(cinfo->dest);
    d->mgr.next_output_byte = d->block;
    d->mgr.free_in_buffer = sizeof d->block;
}

boolean EmptyDest(j_compress_ptr cinfo) {
    auto* d = reinterpret_cast<Destination*>(cinfo->dest);
    d->Put(sizeof d->block);
    d->mgr.next_output_byte = d->block;
    d->mgr.free_in_buffer = sizeof d->block;
    return TRUE;
}

void TermDest(j_compress_ptr cinfo) {
    auto* d = reinterpret_cast<Destination*>(cinfo->dest);
    d->Put(sizeof d->block - d->mgr.free_in_buffer);
}

uint16_t Density(double dpi) {
    const double rounded = dpi + 0.5;
    return rounded >= 65535 ? 65535 : rounded < 1 ? 0 : static_cast<uint16_t>(rounded);
}

} // namespace

// One page's encoding, row by row: every writer of this file goes through it, so the
// data is the same whether the rows come all at once or as a scanner delivers them.
// Each step that calls the library sets its own jump point, and no C++ object is
// created after it.
struct JpegRowEncoder::State {
    jpeg_compress_struct cinfo;
    ErrorBridge bridge;
    Destination dest;
    std::vector<uint8_t> expanded; // grey and black-and-white rows widened for the library
    std::vector<uint8_t> bytes;    // the data, when it goes to memory
    PixelFormat format = PixelFormat::Rgb24;
    bool grey = false;
    bool colourIn = false;
    bool created = false;
    Status failure = Status::Ok;

    Status Fail() {
        jpeg_destroy_compress(&cinfo);
        created = false;
        failure = bridge.outOfMemory ? Status::OutOfMemory : Status::WriteFailed;
        return failure;
    }
};

JpegRowEncoder::JpegRowEncoder() : s_(std::make_unique<State>()) { s_->dest.memory = &s_->bytes; }

JpegRowEncoder::~JpegRowEncoder() {
    if (s_->created) jpeg_destroy_compress(&s_->cinfo);
}

void JpegRowEncoder::WriteTo(FileWriter* file) {
    s_->dest.file = file;
    s_->dest.memory = file ? nullptr : &s_->bytes;
}

Status JpegRowEncoder::Begin(int width, int height, PixelFormat format, double xDpi, double yDpi,
                             const JpegOptions& options, int restartRows) {
    State& e = *s_;
    if (e.created || e.failure != Status::Ok) return Status::Busy;
    if (width <= 0 || height <= 0) return e.failure = Status::Unsupported;
    e.format = format;
    e.grey = options.grey;
    e.colourIn = format == PixelFormat::Rgb24 || format == PixelFormat::Bgr24;
    e.bytes.clear();
    // Room for the data at once when it goes to memory (a quarter of the raw rows, more
    // than a scanned page usually takes): growing it step by step would copy it again
    // and again. Only the part written is ever touched.
    if (e.dest.memory) e.bytes.reserve(size_t(width) * size_t(height) * (e.colourIn ? 3 : 1) / 4 + 65536);
    if (!e.colourIn) e.expanded.resize(size_t(width) * 3);
    e.cinfo.err = &e.bridge.mgr;
    InstallBridge(e.bridge);
    jpeg_create_compress(&e.cinfo);
    e.created = true;
    if (setjmp(e.bridge.jump)) return e.Fail();
    e.cinfo.dest = &e.dest.mgr;
    e.dest.mgr.init_destination = InitDest;
    e.dest.mgr.empty_output_buffer = EmptyDest;
    e.dest.mgr.term_destination = TermDest;
    e.cinfo.image_width = static_cast<JDIMENSION>(width);
    e.cinfo.image_height = static_cast<JDIMENSION>(height);
    // Colour rows go to the library as they are stored; grey and black-and-white rows
    // are widened to grey (or to RGB for a colour file) in `expanded`.
    if (e.colourIn) {
        e.cinfo.input_components = 3;
        e.cinfo.in_color_space = format == PixelFormat::Bgr24 ? JCS_EXT_BGR : JCS_RGB;
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
    e.cinfo.restart_in_rows = restartRows > 0 ? restartRows : 0;
    e.cinfo.write_JFIF_header = TRUE;
    const uint16_t xd = Density(xDpi), yd = Density(yDpi);
    if (xd && yd) {
        e.cinfo.density_unit = 1;
        e.cinfo.X_density = xd;
        e.cinfo.Y_density = yd;
    }
    jpeg_start_compress(&e.cinfo, TRUE);
    return Status::Ok;
}

Status JpegRowEncoder::AddRows(const uint8_t* first, std::ptrdiff_t rowStep, int rows) {
    State& e = *s_;
    if (!e.created) return e.failure != Status::Ok ? e.failure : Status::Busy;
    if (rows < 0 || e.cinfo.next_scanline + static_cast<JDIMENSION>(rows) > e.cinfo.image_height) return Status::Busy;
    if (setjmp(e.bridge.jump)) return e.Fail();
    const int width = static_cast<int>(e.cinfo.image_width);
    for (int r = 0; r < rows; ++r) {
        const uint8_t* src = first + rowStep * r;
        JSAMPROW row = const_cast<JSAMPROW>(src);
        if (!e.colourIn && (e.format == PixelFormat::Bilevel1 || !e.grey)) {
            uint8_t* expanded = e.expanded.data();
            for (int x = 0; x < width; ++x) {
                const uint8_t v = e.format == PixelFormat::Gray8 ? src[x] : (src[x >> 3] & (0x80 >> (x & 7))) ? 0 : 255;
                if (!e.grey) expanded[3 * x] = expanded[3 * x + 1] = expanded[3 * x + 2] = v;
                else expanded[x] = v;
            }
            row = expanded;
        }
        JSAMPROW one[1] = {row};
        jpeg_write_scanlines(&e.cinfo, one, 1);
    }
    return Status::Ok;
}

int JpegRowEncoder::RowsWritten() const { return s_->created ? static_cast<int>(s_->cinfo.next_scanline) : 0; }

Status JpegRowEncoder::Finish() {
    State& e = *s_;
    if (!e.created) return e.failure != Status::Ok ? e.failure : Status::Busy;
    if (e.cinfo.next_scanline < e.cinfo.image_height) return Status::Busy;
    if (setjmp(e.bridge.jump)) return e.Fail();
    jpeg_finish_compress(&e.cinfo);
    jpeg_destroy_compress(&e.cinfo);
    e.created = false;
    return Status::Ok;
}

std::vector<uint8_t> JpegRowEncoder::TakeBytes() { return std::move(s_->bytes); }

namespace {

// The file's layout as JpegRowEncoder writes it: markers up to the start of scan, the
// scan's entropy-coded data, the end marker.
struct JpegLayout {
    size_t frameHeight = 0; // offset of the frame header's height
    size_t scanData = 0;    // first byte after the start-of-scan header
    size_t scanEnd = 0;     // the end-of-image marker
};

bool ReadLayout(const std::vector<uint8_t>& f, JpegLayout& out) {
    if (f.size() < 4 || f[0] != 0xFF || f[1] != 0xD8 || f[f.size() - 2] != 0xFF || f[f.size() - 1] != 0xD9)
        return false;
    size_t at = 2;
    while (at + 4 <= f.size()) {
        if (f[at] != 0xFF) return false;
        const uint8_t marker = f[at + 1];
        const size_t length = (size_t(f[at + 2]) << 8) | f[at + 3];
        if (length < 2 || at + 2 + length > f.size()) return false;
        if (marker == 0xC0 || marker == 0xC1) {
            if (length < 7) return false;
            out.frameHeight = at + 5;
        }
        if (marker == 0xDA) {
            out.scanData = at + 2 + length;
            out.scanEnd = f.size() - 2;
            return out.frameHeight != 0 && out.scanData <= out.scanEnd;
        }
        at += 2 + length;
    }
    return false;
}

} // namespace

JpegPartsEncoder::JpegPartsEncoder() = default;
JpegPartsEncoder::~JpegPartsEncoder() = default;

Status JpegPartsEncoder::Begin(int width, int height, PixelFormat format, double xDpi, double yDpi,
                               const JpegOptions& options, int parts) {
    if (!parts_.empty()) return Status::Busy;
    if (width <= 0 || height <= 0 || parts < 1 || parts > 2) return Status::Unsupported;
    // Blocks (the units restart intervals count): 16 pixels square in colour (chroma at
    // half the size), 8 in grey.
    const int block = options.grey ? 8 : 16;
    const int blockRows = (height + block - 1) / block;
    const int blocksPerRow = (width + block - 1) / block;
    // The interval is counted in blocks, at most 65535: the upper part ends on an
    // interval's end, and takes about half of the page.
    const int longest = std::max(1, 65535 / blocksPerRow);
    restartRows_ = 0;
    int split = 0; // block rows of the upper part
    if (parts == 2 && blockRows >= 2) {
        restartRows_ = std::min((blockRows + 1) / 2, longest);
        split = ((blockRows + 1) / 2) / restartRows_ * restartRows_;
    }
    upperIntervals_ = restartRows_ > 0 ? split / restartRows_ : 0;
    const int splitRow = split * block;
    const int bounds[3] = {0, split > 0 ? splitRow : height, height};
    const int count = split > 0 ? 2 : 1;
    for (int i = 0; i < count; ++i) {
        auto part = std::make_unique<Part>();
        part->begin = bounds[i];
        part->end = bounds[i + 1];
        const Status status =
            part->encoder.Begin(width, part->end - part->begin, format, xDpi, yDpi, options, restartRows_);
        if (status != Status::Ok) {
            parts_.clear();
            return status;
        }
        parts_.push_back(std::move(part));
    }
    return Status::Ok;
}

int JpegPartsEncoder::Parts() const { return static_cast<int>(parts_.size()); }
int JpegPartsEncoder::PartBegin(int part) const { return parts_[static_cast<size_t>(part)]->begin; }
int JpegPartsEncoder::PartEnd(int part) const { return parts_[static_cast<size_t>(part)]->end; }

Status JpegPartsEncoder::AddRows(int part, const uint8_t* first, std::ptrdiff_t rowStep, int rows) {
    return parts_[static_cast<size_t>(part)]->encoder.AddRows(first, rowStep, rows);
}

Status JpegPartsEncoder::FinishPart(int part) { return parts_[static_cast<size_t>(part)]->encoder.Finish(); }

Status JpegPartsEncoder::Join(std::vector<uint8_t>& out) {
    if (parts_.empty()) return Status::Busy;
    std::vector<uint8_t> upper = parts_[0]->encoder.TakeBytes();
    if (parts_.size() == 1) {
        out = std::move(upper);
        return out.empty() ? Status::Busy : Status::Ok;
    }
    const std::vector<uint8_t> lower = parts_[1]->encoder.TakeBytes();
    JpegLayout u, l;
    if (!ReadLayout(upper, u) || !ReadLayout(lower, l)) return Status::Busy;
    // The frame is the whole page's.
    const int height = parts_[1]->end;
    upper[u.frameHeight] = static_cast<uint8_t>(height >> 8);
    upper[u.frameHeight + 1] = static_cast<uint8_t>(height & 0xFF);
    // Restart markers count 0..7 over: the marker between the parts follows the upper
    // part's own, and the lower part's go on from it.
    // The lower part's data goes on in the upper part's block (which has room to spare
    // as a rule).
    const int before = upperIntervals_; // markers before the lower part's data
    out = std::move(upper);
    out.resize(u.scanEnd);
    out.push_back(0xFF);
    out.push_back(static_cast<uint8_t>(0xD0 + (before - 1) % 8));
    const size_t from = out.size();
    out.insert(out.end(), lower.begin() + static_cast<std::ptrdiff_t>(l.scanData),
               lower.begin() + static_cast<std::ptrdiff_t>(l.scanEnd));
    for (size_t i = from; i + 1 < out.size(); ++i) {
        if (out[i] != 0xFF) continue;
        const uint8_t next = out[i + 1];
        if (next >= 0xD0 && next <= 0xD7) out[i + 1] = static_cast<uint8_t>(0xD0 + (next - 0xD0 + before) % 8);
        ++i; // a stuffed zero or a marker: either way not the start of another
    }
    out.push_back(0xFF);
    out.push_back(0xD9);
    return Status::Ok;
}

namespace {

// `Page` is an Image or an ImageView: both give the geometry, the form and the rows.
template <class Page>
Status Encode(JpegRowEncoder& encoder, const Page& image, const JpegOptions& options) {
    Status status = encoder.Begin(image.width, image.height, image.format, image.xDpi, image.yDpi, options);
    for (int y = 0; status == Status::Ok && y < image.height; ++y) status = encoder.AddRows(image.Row(y), 0, 1);
    return status == Status::Ok ? encoder.Finish() : status;
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
    FileWriter file;
    Status status = file.Open(path);
    if (status != Status::Ok) return status;
    JpegRowEncoder encoder;
    encoder.WriteTo(&file);
    status = Encode(encoder, image, options);
    if (status != Status::Ok) return status; // the writer removes the partial file
    return file.Commit();
}

} // namespace

Status SaveJpeg(const Image& image, const std::string& path, const JpegOptions& options) {
    return SavePage(image, path, options);
}

namespace {
int ClampedQuality(int quality) { return quality < 0 ? 0 : quality > 100 ? 100 : quality; }
} // namespace

bool JpegData::Fits(const ImageView& view, const JpegOptions& wanted) const {
    return !bytes.empty() && ClampedQuality(options.quality) == ClampedQuality(wanted.quality) &&
           options.grey == wanted.grey && width == view.width && height == view.height && format == view.format &&
           Density(xDpi) == Density(view.xDpi) && Density(yDpi) == Density(view.yDpi);
}

Status SaveJpeg(const ImageView& image, const std::string& path, const JpegOptions& options) {
    if (image.jpeg && image.jpeg->Fits(image, options)) {
        FileWriter file;
        Status status = file.Open(path);
        if (status != Status::Ok) return status;
        file.Write(image.jpeg->bytes.data(), image.jpeg->bytes.size());
        return file.Commit();
    }
    return SavePage(image, path, options);
}

Status EncodeJpeg(const ImageView& image, const JpegOptions& options, std::vector<uint8_t>& out) {
    if (image.jpeg && image.jpeg->Fits(image, options)) {
        out = image.jpeg->bytes;
        return Status::Ok;
    }
    JpegRowEncoder encoder;
    const Status status = Encode(encoder, image, options);
    out = status == Status::Ok ? encoder.TakeBytes() : std::vector<uint8_t>();
    return status;
}

Status ReadJpegInfo(const uint8_t* data, size_t size, ImageInfo& info) {
    Decoder d;
    return Decode(d, data, size, true, nullptr, &info);
}

} // namespace codec
