#include "codec/Tiff.h"

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstring>
#include <vector>

#include <tiffio.h>

#include "codec/FileIo.h"

namespace codec {
namespace {

struct Messages {
    bool error = false;
    int systemError = 0; // errno when the first error was reported (a failed write's cause)
};

int OnError(TIFF*, void* user, const char*, const char*, va_list) {
    auto* messages = static_cast<Messages*>(user);
    if (!messages->error) messages->systemError = errno;
    messages->error = true;
    return 1; // handled: nothing reaches the process-wide handler
}

int OnWarning(TIFF*, void*, const char*, const char*, va_list) { return 1; }

TIFF* OpenTiff(const std::string& path, const char* mode, Messages& messages) {
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    if (!options) return nullptr;
    TIFFOpenOptionsSetErrorHandlerExtR(options, OnError, &messages);
    TIFFOpenOptionsSetWarningHandlerExtR(options, OnWarning, &messages);
    TIFF* tif = TIFFOpenExt(path.c_str(), mode, options);
    TIFFOpenOptionsFree(options);
    return tif;
}

class Reader {
public:
    explicit Reader(const std::string& path) : tif_(OpenTiff(path, "r", messages_)) {}
    ~Reader() {
        if (tif_) TIFFClose(tif_);
    }
    Reader(const Reader&) = delete;
    Reader& operator=(const Reader&) = delete;
    TIFF* get() const { return tif_; }
    bool failed() const { return messages_.error; }
private:
    Messages messages_;
    TIFF* tif_;
};

void Resolution(TIFF* tif, double& xDpi, double& yDpi) {
    float x = 0, y = 0;
    uint16_t unit = RESUNIT_INCH;
    TIFFGetFieldDefaulted(tif, TIFFTAG_RESOLUTIONUNIT, &unit);
    if (!TIFFGetField(tif, TIFFTAG_XRESOLUTION, &x)) x = 0;
    if (!TIFFGetField(tif, TIFFTAG_YRESOLUTION, &y)) y = x;
    const double factor = unit == RESUNIT_CENTIMETER ? 2.54 : unit == RESUNIT_INCH ? 1.0 : 0.0;
    xDpi = x > 0 ? x * factor : 0;
    yDpi = y > 0 ? y * factor : 0;
}

struct Layout {
    uint32_t width = 0, height = 0;
    uint16_t bits = 1, samples = 1, photometric = PHOTOMETRIC_MINISWHITE, planar = PLANARCONFIG_CONTIG;
};

Layout ReadLayout(TIFF* tif) {
    Layout l;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &l.width);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &l.height);
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &l.bits);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &l.samples);
    TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &l.planar);
    if (!TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &l.photometric)) l.photometric = PHOTOMETRIC_MINISWHITE;
    return l;
}

// The form a frame is read into: black and white and grey as they are, everything else
// as colour.
PixelFormat FormatOf(const Layout& l) {
    const bool single =
        l.samples == 1 && (l.photometric == PHOTOMETRIC_MINISWHITE || l.photometric == PHOTOMETRIC_MINISBLACK);
    if (single && l.bits == 1) return PixelFormat::Bilevel1;
    if (single && l.bits == 8) return PixelFormat::Gray8;
    return PixelFormat::Rgb24;
}

Status ReadFrame(TIFF* tif, const Reader& reader, Image& out) {
    const Layout l = ReadLayout(tif);
    if (l.width > uint32_t(kMaxSide) || l.height > uint32_t(kMaxSide)) return Status::Corrupt;
    const int w = static_cast<int>(l.width), h = static_cast<int>(l.height);
    const PixelFormat format = FormatOf(l);
    if (!SizeIsAcceptable(w, h, format)) return Status::Corrupt;
    if (!out.Allocate(w, h, format)) return Status::OutOfMemory;
    Resolution(tif, out.xDpi, out.yDpi);
    const bool direct =
        !TIFFIsTiled(tif) && l.planar == PLANARCONFIG_CONTIG &&
        (format != PixelFormat::Rgb24 || (l.bits == 8 && l.samples == 3 && l.photometric == PHOTOMETRIC_RGB));
    if (direct) {
        if (static_cast<size_t>(TIFFScanlineSize(tif)) != out.RowBytes()) return Status::Corrupt;
        // A set bit means black here; 0-is-black files are inverted, as are grey files
        // stored with 0 as white.
        const bool invert = (format == PixelFormat::Bilevel1 && l.photometric == PHOTOMETRIC_MINISBLACK) ||
                            (format == PixelFormat::Gray8 && l.photometric == PHOTOMETRIC_MINISWHITE);
        for (int y = 0; y < h; ++y) {
            uint8_t* row = out.Row(y);
            if (TIFFReadScanline(tif, row, static_cast<uint32_t>(y), 0) < 0 || reader.failed()) return Status::Corrupt;
            if (invert)
                for (size_t i = 0; i < out.RowBytes(); ++i) row[i] = static_cast<uint8_t>(~row[i]);
        }
        return Status::Ok;
    }
    char message[1024];
    if (!TIFFRGBAImageOK(tif, message)) return Status::Unsupported;
    std::vector<uint32_t> rgba;
    try {
        rgba.resize(size_t(w) * size_t(h));
    } catch (const std::bad_alloc&) {
        return Status::OutOfMemory;
    }
    if (!TIFFReadRGBAImageOriented(tif, l.width, l.height, rgba.data(), ORIENTATION_TOPLEFT, 0) || reader.failed())
        return Status::Corrupt;
    // Tiled and plane-by-plane files come through libtiff's RGBA reader whatever their
    // kind; each pixel goes back into the frame's own format (a grey or black-and-white
    // pixel has R = G = B).
    for (int y = 0; y < h; ++y) {
        uint8_t* row = out.Row(y);
        const uint32_t* s = &rgba[size_t(y) * size_t(w)];
        switch (format) {
            case PixelFormat::Rgb24:
                for (int x = 0; x < w; ++x) {
                    row[3 * x] = static_cast<uint8_t>(TIFFGetR(s[x]));
                    row[3 * x + 1] = static_cast<uint8_t>(TIFFGetG(s[x]));
                    row[3 * x + 2] = static_cast<uint8_t>(TIFFGetB(s[x]));
                }
                break;
            case PixelFormat::Gray8:
                for (int x = 0; x < w; ++x) row[x] = static_cast<uint8_t>(TIFFGetR(s[x]));
                break;
            case PixelFormat::Bilevel1:
                std::fill(row, row + out.RowBytes(), uint8_t(0));
                for (int x = 0; x < w; ++x)
                    if (TIFFGetR(s[x]) < 128) row[x >> 3] |= static_cast<uint8_t>(0x80u >> (x & 7));
                break;
            case PixelFormat::Bgr24: return Status::Unsupported; // never a TIFF frame's format
        }
    }
    return Status::Ok;
}

} // namespace

Status LoadTiff(const std::string& path, int frame, Image& out, int* frameCount) {
    Reader reader(path);
    if (!reader.get()) return reader.failed() && errno != ENOENT ? Status::Corrupt : Status::NotFound;
    const int frames = TIFFNumberOfDirectories(reader.get());
    if (frameCount) *frameCount = frames;
    if (frame < 0 || frame >= frames) return Status::Corrupt;
    if (!TIFFSetDirectory(reader.get(), static_cast<tdir_t>(frame)) || reader.failed()) return Status::Corrupt;
    return ReadFrame(reader.get(), reader, out);
}

Status ReadTiffInfo(const std::string& path, ImageInfo& info) {
    Reader reader(path);
    if (!reader.get()) return reader.failed() && errno != ENOENT ? Status::Corrupt : Status::NotFound;
    const Layout l = ReadLayout(reader.get());
    if (l.width == 0 || l.height == 0 || l.width > uint32_t(kMaxSide) || l.height > uint32_t(kMaxSide))
        return Status::Corrupt;
    info.width = static_cast<int>(l.width);
    info.height = static_cast<int>(l.height);
    info.format = FormatOf(l);
    Resolution(reader.get(), info.xDpi, info.yDpi);
    return Status::Ok;
}

struct TiffWriter::Impl {
    Messages messages;
    TIFF* tif = nullptr;
    std::vector<uint8_t> row;
    Image converted;
};

TiffWriter::TiffWriter() : impl_(std::make_unique<Impl>()) {}

TiffWriter::~TiffWriter() {
    if (impl_->tif) TIFFClose(impl_->tif);
}

bool TiffWriter::IsOpen() const { return impl_->tif != nullptr; }

Status TiffWriter::Open(const std::string& path) {
    if (impl_->tif) return Status::Busy;
    impl_->messages.error = false;
    impl_->messages.systemError = 0;
    errno = 0;
    impl_->tif = OpenTiff(path, "w", impl_->messages);
    pages_ = 0;
    if (!impl_->tif) {
        NoteWriteError(errno);
        return errno ? StatusFromErrno(errno) : Status::WriteFailed;
    }
    return Status::Ok;
}

namespace {

// The form a page is written in: its own, or the one the options ask for.
PixelFormat TargetFormat(PixelFormat own, const TiffPageOptions& options) {
    const bool fax = options.compression == TiffCompression::CcittRle ||
                     options.compression == TiffCompression::CcittG3 || options.compression == TiffCompression::CcittG4;
    PixelFormat target = own == PixelFormat::Bgr24 ? PixelFormat::Rgb24 : own;
    if (fax || options.depth == 1) target = PixelFormat::Bilevel1;
    else if (options.depth == 8) target = PixelFormat::Gray8;
    else if (options.depth == 24) target = PixelFormat::Rgb24;
    return target;
}

bool NeedsConversion(PixelFormat own, PixelFormat target) {
    return target != own && !(target == PixelFormat::Rgb24 && own == PixelFormat::Bgr24);
}

} // namespace

Status TiffWriter::AddPage(const Image& image, const TiffPageOptions& options) {
    if (!impl_->tif) return Status::Busy;
    const PixelFormat target = TargetFormat(image.format, options);
    // Rows are converted one at a time when only the byte order differs; other changes
    // of form convert the page once.
    if (NeedsConversion(image.format, target)) {
        if (!Convert(image, target, impl_->converted)) return Status::OutOfMemory;
        return WritePage(impl_->converted, image.xDpi, image.yDpi, options);
    }
    return WritePage(image, image.xDpi, image.yDpi, options);
}

Status TiffWriter::AddPage(const ImageView& view, const TiffPageOptions& options) {
    if (!impl_->tif) return Status::Busy;
    const PixelFormat target = TargetFormat(view.format, options);
    if (NeedsConversion(view.format, target)) {
        // A change of form needs the page as an image of its own first.
        Image copy;
        if (!copy.Allocate(view.width, view.height, view.format)) return Status::OutOfMemory;
        for (int y = 0; y < view.height; ++y) std::memcpy(copy.Row(y), view.Row(y), view.RowBytes());
        copy.xDpi = view.xDpi;
        copy.yDpi = view.yDpi;
        return AddPage(copy, options);
    }
    return WritePage(view, view.xDpi, view.yDpi, options);
}

template <class Page>
Status TiffWriter::WritePage(const Page& pageRows, double pageXDpi, double pageYDpi, const TiffPageOptions& options) {
    TIFF* tif = impl_->tif;
    const bool fax = options.compression == TiffCompression::CcittRle ||
                     options.compression == TiffCompression::CcittG3 || options.compression == TiffCompression::CcittG4;
    const PixelFormat target = TargetFormat(pageRows.format, options);
    const Page* page = &pageRows;
    const bool bilevel = target == PixelFormat::Bilevel1;
    const bool blackIsZero = bilevel && options.blackIsZero && options.compression == TiffCompression::None;
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, static_cast<uint32_t>(page->width));
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, static_cast<uint32_t>(page->height));
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, static_cast<uint16_t>(bilevel ? 1 : 8));
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, static_cast<uint16_t>(target == PixelFormat::Rgb24 ? 3 : 1));
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC,
                 target == PixelFormat::Rgb24                  ? PHOTOMETRIC_RGB
                 : target == PixelFormat::Gray8 || blackIsZero ? PHOTOMETRIC_MINISBLACK
                                                               : PHOTOMETRIC_MINISWHITE);
    TIFFSetField(tif, TIFFTAG_FILLORDER, FILLORDER_MSB2LSB);
    TIFFSetField(tif, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
    uint16_t compression = COMPRESSION_NONE;
    switch (options.compression) {
        case TiffCompression::None: compression = COMPRESSION_NONE; break;
        case TiffCompression::Lzw: compression = COMPRESSION_LZW; break;
        case TiffCompression::CcittRle: compression = COMPRESSION_CCITTRLE; break;
        case TiffCompression::CcittG3: compression = COMPRESSION_CCITTFAX3; break;
        case TiffCompression::CcittG4: compression = COMPRESSION_CCITTFAX4; break;
    }
    TIFFSetField(tif, TIFFTAG_COMPRESSION, compression);
    if (options.compression == TiffCompression::CcittG3) {
        TIFFSetField(tif, TIFFTAG_GROUP3OPTIONS,
                     static_cast<uint32_t>(options.singleStripForPdf ? GROUP3OPT_FILLBITS : 0));
        if (options.singleStripForPdf) TIFFSetField(tif, TIFFTAG_FAXMODE, FAXMODE_NORTC);
    }
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP,
                 options.singleStripForPdf || fax ? static_cast<uint32_t>(page->height) : TIFFDefaultStripSize(tif, 0));
    const double xDpi = pageXDpi > 0 ? pageXDpi : 0, yDpi = pageYDpi > 0 ? pageYDpi : xDpi;
    if (xDpi > 0) {
        TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
        TIFFSetField(tif, TIFFTAG_XRESOLUTION, static_cast<float>(xDpi));
        TIFFSetField(tif, TIFFTAG_YRESOLUTION, static_cast<float>(yDpi));
    }
    // Each directory is one page of a multi-page document; the total is not known yet.
    TIFFSetField(tif, TIFFTAG_SUBFILETYPE, static_cast<uint32_t>(FILETYPE_PAGE));
    TIFFSetField(tif, TIFFTAG_PAGENUMBER, static_cast<uint16_t>(pages_), static_cast<uint16_t>(0));
    const size_t rowBytes = page->RowBytes();
    impl_->row.resize(rowBytes);
    const bool swap = page->format == PixelFormat::Bgr24;
    for (int y = 0; y < page->height; ++y) {
        const uint8_t* s = page->Row(y);
        uint8_t* r = impl_->row.data();
        if (swap) {
            for (int x = 0; x < page->width; ++x) {
                r[3 * x] = s[3 * x + 2];
                r[3 * x + 1] = s[3 * x + 1];
                r[3 * x + 2] = s[3 * x];
            }
        } else if (blackIsZero) {
            for (size_t i = 0; i < rowBytes; ++i) r[i] = static_cast<uint8_t>(~s[i]);
        } else {
            std::memcpy(r, s, rowBytes);
        }
        if (TIFFWriteScanline(tif, r, static_cast<uint32_t>(y), 0) < 0) {
            const int error = impl_->messages.systemError ? impl_->messages.systemError : errno;
            impl_->messages.error = true;
            NoteWriteError(error);
            return Status::WriteFailed;
        }
    }
    if (!TIFFWriteDirectory(tif) || impl_->messages.error) {
        const int error = impl_->messages.systemError ? impl_->messages.systemError : errno;
        impl_->messages.error = true;
        NoteWriteError(error);
        return Status::WriteFailed;
    }
    ++pages_;
    return Status::Ok;
}

Status TiffWriter::Close() {
    TIFF* tif = impl_->tif;
    if (!tif) return Status::Busy;
    const bool flushed = TIFFFlush(tif) != 0;
    if (!flushed || impl_->messages.error)
        NoteWriteError(impl_->messages.systemError ? impl_->messages.systemError : errno);
    TIFFClose(tif);
    impl_->tif = nullptr;
    impl_->converted.pixels.Release();
    return flushed && !impl_->messages.error ? Status::Ok : Status::WriteFailed;
}

} // namespace codec
