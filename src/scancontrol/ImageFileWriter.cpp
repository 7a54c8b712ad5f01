// The control's page writers. BMP, PNG and GIF are the codec layer's writers, given a
// view of the page's own rows. PCX, TGA and the metafiles stream the page row by row
// through one buffered file sink. Either way a page is never copied whole, so writing a
// 26 MB colour page costs a row or a 1 MB buffer on top of the page itself.
//
// Pixel conventions of PageImage: 1 bit = black (SANE line-art), grey 0 = black,
// colour RGB. Each format's own convention is applied while streaming.
#include "scancontrol/ImageFileWriter.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "codec/Bmp.h"
#include "codec/Gif.h"
#include "codec/Png.h"
#include "scancontrol/Twain.h"

namespace scancontrol {

namespace {

// A write-only file with its own buffer; remembers the first error.
class Sink {
public:
    explicit Sink(const std::string& path) : path_(path) {
        fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd_ < 0) error_ = std::string("cannot create ") + path + ": " + std::strerror(errno);
        buffer_.resize(kBufferSize);
    }
    ~Sink() {
        if (fd_ >= 0) ::close(fd_);
    }
    Sink(const Sink&) = delete;
    Sink& operator=(const Sink&) = delete;

    bool ok() const { return error_.empty(); }
    const std::string& error() const { return error_; }
    uint64_t written() const { return total_; }

    void Write(const void* data, size_t n) {
        const auto* p = static_cast<const uint8_t*>(data);
        while (n > 0 && ok()) {
            size_t room = buffer_.size() - used_;
            size_t k = std::min(room, n);
            std::memcpy(buffer_.data() + used_, p, k);
            used_ += k;
            p += k;
            n -= k;
            if (used_ == buffer_.size()) Flush();
        }
    }
    // Space for `n` bytes written in place (n <= buffer size); Commit(n) afterwards.
    uint8_t* Reserve(size_t n) {
        if (buffer_.size() - used_ < n) Flush();
        if (buffer_.size() < n) buffer_.resize(n);
        return buffer_.data() + used_;
    }
    void Commit(size_t n) { used_ += n; }
    void U8(uint8_t v) { Write(&v, 1); }
    void U16(uint16_t v) {
        uint8_t b[2] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)};
        Write(b, 2);
    }
    void U32(uint32_t v) {
        uint8_t b[4] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
                        static_cast<uint8_t>(v >> 24)};
        Write(b, 4);
    }
    void I16(int16_t v) { U16(static_cast<uint16_t>(v)); }
    void I32(int32_t v) { U32(static_cast<uint32_t>(v)); }
    void Zeros(size_t n) {
        static const uint8_t z[64] = {};
        while (n > 0) {
            size_t k = std::min(n, sizeof z);
            Write(z, k);
            n -= k;
        }
    }

    void Flush() {
        size_t off = 0;
        while (off < used_ && ok()) {
            ssize_t w = ::write(fd_, buffer_.data() + off, used_ - off);
            if (w < 0) {
                if (errno == EINTR) continue;
                error_ = std::string("cannot write ") + path_ + ": " + std::strerror(errno);
                break;
            }
            off += static_cast<size_t>(w);
        }
        total_ += used_;
        used_ = 0;
    }
    bool Finish() {
        if (fd_ < 0) return false;
        Flush();
        if (::close(fd_) != 0 && ok()) error_ = std::string("cannot close ") + path_ + ": " + std::strerror(errno);
        fd_ = -1;
        return ok();
    }
    void Fail(const std::string& why) {
        if (ok()) error_ = why;
    }

private:
    static constexpr size_t kBufferSize = 1u << 20; // stays in cache between filling and writing
    std::string path_;
    int fd_ = -1;
    std::vector<uint8_t> buffer_;
    size_t used_ = 0;
    uint64_t total_ = 0;
    std::string error_;
};

uint32_t PixelsPerMeter(float dpi) { return static_cast<uint32_t>(std::lround(dpi / 0.0254)); }

// ---- DIB (device-independent bitmap) inside the WMF and EMF records ----

uint32_t DibRowBytes(const PageImage& p) {
    return ((static_cast<uint32_t>(p.width) * static_cast<uint32_t>(p.bitsPerPixel) + 31u) / 32u) * 4u;
}
uint32_t DibPaletteEntries(const PageImage& p) { return p.bitsPerPixel == 1 ? 2u : p.bitsPerPixel == 8 ? 256u : 0u; }
uint32_t DibInfoBytes(const PageImage& p) { return 40u + 4u * DibPaletteEntries(p); }
uint32_t DibBitsBytes(const PageImage& p) { return DibRowBytes(p) * static_cast<uint32_t>(p.height); }

// BITMAPINFOHEADER and palette. Line-art bits are stored as they are, with palette
// entry 0 white and 1 black, so no bit has to be turned.
void WriteDibInfo(Sink& s, const PageImage& p) {
    s.U32(40);
    s.I32(static_cast<int32_t>(p.width));
    s.I32(static_cast<int32_t>(p.height)); // positive: bottom-up rows
    s.U16(1);
    s.U16(static_cast<uint16_t>(p.bitsPerPixel));
    s.U32(0); // BI_RGB
    s.U32(DibBitsBytes(p));
    s.U32(PixelsPerMeter(p.xResolution));
    s.U32(PixelsPerMeter(p.yResolution));
    s.U32(DibPaletteEntries(p));
    s.U32(0);
    if (p.bitsPerPixel == 1) {
        s.U32(0x00FFFFFF);
        s.U32(0x00000000);
    } else if (p.bitsPerPixel == 8) {
        for (uint32_t i = 0; i < 256; ++i) s.U32(i | (i << 8) | (i << 16));
    }
}

void WriteDibBits(Sink& s, const PageImage& p) {
    const uint32_t rowBytes = DibRowBytes(p);
    const size_t copy = static_cast<size_t>(PageImage::MinimalStride(p.width, p.bitsPerPixel));
    for (long y = p.height - 1; y >= 0 && s.ok(); --y) {
        const uint8_t* src = p.Row(y);
        uint8_t* dst = s.Reserve(rowBytes);
        if (p.bitsPerPixel == 24) {
            codec::SwapRedBlue(src, dst, static_cast<size_t>(p.width));
        } else {
            std::memcpy(dst, src, copy);
            if (p.bitsPerPixel == 1 && (p.width % 8) != 0) // bits past the width: white
                dst[copy - 1] &= static_cast<uint8_t>(0xFF << (8 - p.width % 8));
        }
        std::memset(dst + copy, 0, rowBytes - copy);
        s.Commit(rowBytes);
    }
}

// ---- PCX (ZSoft version 5, run-length encoded) ----

void PcxEncodeRow(Sink& s, const uint8_t* row, size_t n) {
    size_t i = 0;
    while (i < n) {
        uint8_t v = row[i];
        size_t run = 1;
        while (i + run < n && run < 63 && row[i + run] == v) ++run;
        if (run > 1 || (v & 0xC0) == 0xC0) s.U8(static_cast<uint8_t>(0xC0 | run));
        s.U8(v);
        i += run;
    }
}

void WritePcx(Sink& s, const PageImage& p) {
    const bool color = p.bitsPerPixel == 24;
    const uint16_t bpp = p.bitsPerPixel == 1 ? 1 : 8;
    const uint8_t planes = color ? 3 : 1;
    uint16_t bytesPerLine = static_cast<uint16_t>(p.bitsPerPixel == 1 ? (p.width + 7) / 8 : p.width);
    if (bytesPerLine % 2) ++bytesPerLine;
    s.U8(10);
    s.U8(5);
    s.U8(1);
    s.U8(static_cast<uint8_t>(bpp));
    s.U16(0);
    s.U16(0);
    s.U16(static_cast<uint16_t>(p.width - 1));
    s.U16(static_cast<uint16_t>(p.height - 1));
    s.U16(static_cast<uint16_t>(std::lround(p.xResolution)));
    s.U16(static_cast<uint16_t>(std::lround(p.yResolution)));
    // 16-colour header palette: entry 0 black, entry 1 white (used by 1-bit images).
    uint8_t egaPalette[48] = {};
    egaPalette[3] = egaPalette[4] = egaPalette[5] = 0xFF;
    s.Write(egaPalette, sizeof egaPalette);
    s.U8(0);
    s.U8(planes);
    s.U16(bytesPerLine);
    s.U16(p.bitsPerPixel == 8 ? 2 : 1);
    s.U16(0);
    s.U16(0);
    s.Zeros(54);
    std::vector<uint8_t> line(bytesPerLine, 0);
    for (long y = 0; y < p.height && s.ok(); ++y) {
        const uint8_t* src = p.Row(y);
        if (color) {
            for (int c = 0; c < 3; ++c) {
                for (long x = 0; x < p.width; ++x) line[static_cast<size_t>(x)] = src[3 * x + c];
                PcxEncodeRow(s, line.data(), line.size());
            }
        } else if (p.bitsPerPixel == 1) {
            const size_t n = static_cast<size_t>((p.width + 7) / 8);
            for (size_t i = 0; i < n; ++i) line[i] = static_cast<uint8_t>(~src[i]); // PCX: 1 is white
            PcxEncodeRow(s, line.data(), line.size());
        } else {
            std::memcpy(line.data(), src, static_cast<size_t>(p.width));
            PcxEncodeRow(s, line.data(), line.size());
        }
    }
    if (p.bitsPerPixel == 8) { // 256-entry grey palette at the end
        s.U8(0x0C);
        for (int i = 0; i < 256; ++i) {
            s.U8(static_cast<uint8_t>(i));
            s.U8(static_cast<uint8_t>(i));
            s.U8(static_cast<uint8_t>(i));
        }
    }
}

// ---- TGA (uncompressed; top-left origin; line-art stored as 8-bit grey) ----

void WriteTga(Sink& s, const PageImage& p) {
    const bool color = p.bitsPerPixel == 24;
    s.U8(0);             // no image id
    s.U8(0);             // no colour map
    s.U8(color ? 2 : 3); // true colour / grey, uncompressed
    s.Zeros(5);          // colour map fields (none)
    s.U16(0);
    s.U16(0);
    s.U16(static_cast<uint16_t>(p.width));
    s.U16(static_cast<uint16_t>(p.height));
    s.U8(color ? 24 : 8);
    s.U8(0x20); // rows top to bottom
    const size_t rowBytes = static_cast<size_t>(p.width) * (color ? 3 : 1);
    for (long y = 0; y < p.height && s.ok(); ++y) {
        const uint8_t* src = p.Row(y);
        uint8_t* dst = s.Reserve(rowBytes);
        if (color) {
            codec::SwapRedBlue(src, dst, static_cast<size_t>(p.width));
        } else if (p.bitsPerPixel == 8) {
            std::memcpy(dst, src, rowBytes);
        } else {
            for (long x = 0; x < p.width; ++x) dst[x] = ((src[x >> 3] >> (7 - (x & 7))) & 1) ? 0 : 255;
        }
        s.Commit(rowBytes);
    }
}

// ---- WMF: placeable header, one META_STRETCHDIB record holding the page ----

void WriteWmf(Sink& s, const PageImage& p) {
    const uint32_t dibBytes = DibInfoBytes(p) + DibBitsBytes(p);
    const uint32_t stretchWords = (28u + dibBytes + 1u) / 2u; // 28 bytes of record fields
    const bool padDib = (dibBytes % 2) != 0;
    const uint32_t windowWords = 5; // SETWINDOWORG / SETWINDOWEXT
    const uint32_t eofWords = 3;
    const uint32_t totalWords = 9u + windowWords * 2u + stretchWords + eofWords;
    const int16_t w = static_cast<int16_t>(p.width), h = static_cast<int16_t>(p.height);
    // Placeable header: bounding box in logical units (pixels), units per inch = dpi.
    uint16_t header[11] = {0xCDD7,
                           0x9AC6,
                           0,
                           0,
                           0,
                           static_cast<uint16_t>(w),
                           static_cast<uint16_t>(h),
                           static_cast<uint16_t>(std::lround(p.xResolution)),
                           0,
                           0,
                           0};
    uint16_t checksum = 0;
    for (int i = 0; i < 10; ++i) checksum ^= header[i];
    header[10] = checksum;
    for (uint16_t v : header) s.U16(v);
    // METAHEADER
    s.U16(1); // memory metafile
    s.U16(9); // header size in words
    s.U16(0x0300);
    s.U32(totalWords);
    s.U16(0);            // no objects
    s.U32(stretchWords); // largest record
    s.U16(0);
    // META_SETWINDOWORG (y, x) and META_SETWINDOWEXT (height, width)
    s.U32(windowWords);
    s.U16(0x020B);
    s.I16(0);
    s.I16(0);
    s.U32(windowWords);
    s.U16(0x020C);
    s.I16(h);
    s.I16(w);
    // META_STRETCHDIB: parameters in the record's reversed order.
    s.U32(stretchWords);
    s.U16(0x0F43);
    s.U32(0x00CC0020); // SRCCOPY
    s.U16(0);          // DIB_RGB_COLORS
    s.I16(h);          // source height, width, y, x
    s.I16(w);
    s.I16(0);
    s.I16(0);
    s.I16(h); // destination height, width, y, x
    s.I16(w);
    s.I16(0);
    s.I16(0);
    WriteDibInfo(s, p);
    WriteDibBits(s, p);
    if (padDib) s.U8(0);
    // META_EOF
    s.U32(eofWords);
    s.U16(0);
}

// ---- EMF: header, one EMR_STRETCHDIBITS record holding the page, EOF ----

void WriteEmf(Sink& s, const PageImage& p) {
    const uint32_t infoBytes = DibInfoBytes(p), bitsBytes = DibBitsBytes(p);
    const uint32_t headerBytes = 108, stretchFixed = 80, eofBytes = 20;
    const uint32_t stretchBytes = stretchFixed + infoBytes + bitsBytes; // both multiples of 4
    const uint32_t total = headerBytes + stretchBytes + eofBytes;
    const int32_t w = static_cast<int32_t>(p.width), h = static_cast<int32_t>(p.height);
    // Frame in 0.01 mm from the page's resolution.
    const int32_t frameW = static_cast<int32_t>(std::lround(p.width / p.xResolution * 2540.0));
    const int32_t frameH = static_cast<int32_t>(std::lround(p.height / p.yResolution * 2540.0));
    // EMR_HEADER
    s.U32(1);
    s.U32(headerBytes);
    s.I32(0);
    s.I32(0);
    s.I32(w - 1);
    s.I32(h - 1); // bounds, device units
    s.I32(0);
    s.I32(0);
    s.I32(frameW - 1);
    s.I32(frameH - 1); // frame, 0.01 mm
    s.U32(0x464D4520); // " EMF"
    s.U32(0x00010000);
    s.U32(total);
    s.U32(3); // records
    s.U16(1); // handles (index 0 reserved)
    s.U16(0);
    s.U32(0); // no description
    s.U32(0);
    s.U32(0); // no palette
    // Reference device: the page itself, so its size in pixels over its size in mm
    // gives the page's resolution.
    s.I32(w);
    s.I32(h);
    s.I32(static_cast<int32_t>(std::lround(p.width / p.xResolution * 25.4)));
    s.I32(static_cast<int32_t>(std::lround(p.height / p.yResolution * 25.4)));
    // Header extensions 1 and 2: no pixel format, no OpenGL, and the reference device's
    // size in micrometres, which keeps the resolution exact for small pages too.
    s.U32(0);
    s.U32(0);
    s.U32(0);
    s.I32(static_cast<int32_t>(std::lround(p.width / p.xResolution * 25400.0)));
    s.I32(static_cast<int32_t>(std::lround(p.height / p.yResolution * 25400.0)));
    // EMR_STRETCHDIBITS
    s.U32(81);
    s.U32(stretchBytes);
    s.I32(0);
    s.I32(0);
    s.I32(w - 1);
    s.I32(h - 1); // bounds
    s.I32(0);
    s.I32(0); // destination x, y
    s.I32(0);
    s.I32(0); // source x, y
    s.I32(w);
    s.I32(h);            // source cx, cy
    s.U32(stretchFixed); // offBmiSrc
    s.U32(infoBytes);
    s.U32(stretchFixed + infoBytes); // offBitsSrc
    s.U32(bitsBytes);
    s.U32(0);          // DIB_RGB_COLORS
    s.U32(0x00CC0020); // SRCCOPY
    s.I32(w);
    s.I32(h); // destination cx, cy
    WriteDibInfo(s, p);
    WriteDibBits(s, p);
    // EMR_EOF
    s.U32(14);
    s.U32(eofBytes);
    s.U32(0);
    s.U32(16);
    s.U32(eofBytes);
}

} // namespace

// A look at the page's rows for the codec layer (same pixel conventions).
codec::ImageView PageView(const PageImage& p, bool withJpeg) {
    codec::ImageView v;
    v.width = static_cast<int>(p.width);
    v.height = static_cast<int>(p.height);
    v.format = p.bitsPerPixel == 1   ? codec::PixelFormat::Bilevel1
               : p.bitsPerPixel == 8 ? codec::PixelFormat::Gray8
                                     : codec::PixelFormat::Rgb24;
    v.xDpi = p.xResolution;
    v.yDpi = p.yResolution;
    v.top = p.pixels.data();
    v.rowStep = static_cast<std::ptrdiff_t>(p.stride);
    v.jpeg = withJpeg && p.jpeg ? p.jpeg->Data() : nullptr;
    return v;
}

bool IsSupportedFileFormat(long format) {
    switch (format) {
        case twain::TWFF_BMP:
        case twain::TWFF_PNG:
        case twain::FF_PCX:
        case twain::FF_GIF:
        case twain::FF_TGA:
        case twain::FF_WMF:
        case twain::FF_EMF: return true;
        default: return false;
    }
}

bool WriteImageFile(const PageImage& page, const std::string& path, long format, std::string* error) {
    auto fail = [&](const std::string& why) {
        if (error) *error = why;
        return false;
    };
    if (!IsSupportedFileFormat(format)) return fail("file format " + std::to_string(format) + " is not supported");
    if (page.width <= 0 || page.height <= 0 ||
        (page.bitsPerPixel != 1 && page.bitsPerPixel != 8 && page.bitsPerPixel != 24) ||
        page.stride < PageImage::MinimalStride(page.width, page.bitsPerPixel) ||
        page.pixels.size() < static_cast<size_t>(page.stride) * static_cast<size_t>(page.height))
        return fail("no valid page image");
    if ((format == twain::FF_PCX || format == twain::FF_TGA || format == twain::FF_WMF) &&
        (page.width > 32767 || page.height > 32767))
        return fail("page too large for this format");
    if (path.empty()) return fail("no file name");
    if (format == twain::TWFF_BMP || format == twain::TWFF_PNG || format == twain::FF_GIF) {
        if (page.width > INT_MAX || page.height > INT_MAX) return fail("page too large for this format");
        const codec::ImageView view = PageView(page, false);
        errno = 0;
        const codec::Status status = format == twain::TWFF_BMP   ? codec::SaveBmp(view, path)
                                     : format == twain::TWFF_PNG ? codec::SavePng(view, path)
                                                                 : codec::SaveGif(view, path);
        const int cause = errno; // the failed open or write, when the system refused it
        // A failed codec writer has removed what it wrote.
        if (status != codec::Status::Ok)
            return fail("cannot write " + path + ": " + (cause ? std::strerror(cause) : codec::StatusText(status)));
        return true;
    }
    bool ok = false;
    std::string why;
    {
        Sink sink(path);
        if (sink.ok()) {
            switch (format) {
                case twain::FF_PCX: WritePcx(sink, page); break;
                case twain::FF_TGA: WriteTga(sink, page); break;
                case twain::FF_WMF: WriteWmf(sink, page); break;
                default: WriteEmf(sink, page); break;
            }
            ok = sink.Finish();
        }
        why = sink.error();
    }
    if (!ok) {
        ::unlink(path.c_str());
        return fail(why);
    }
    return true;
}

} // namespace scancontrol
