#include "codec/Bmp.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "codec/FileIo.h"

namespace codec {
namespace {

constexpr size_t kFileHeader = 14;
constexpr uint32_t kRgb = 0, kBitFields = 3;

uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t U32(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

struct Header {
    int width = 0;
    int height = 0; // always positive here
    bool bottomUp = true;
    int bits = 0;
    uint32_t compression = kRgb;
    uint32_t masks[3] = {0, 0, 0};
    double xDpi = 0, yDpi = 0;
    size_t dataOffset = 0;
    size_t stride = 0;
    std::vector<uint8_t> palette; // blue, green, red triples
};

double DpiFromPelsPerMetre(int32_t ppm) { return DpiFromPixelsPerMetre(ppm); }

// Parses the headers and palette. With `whole` the pixel data must also lie inside
// `size` bytes; otherwise only the headers are checked (information reads).
Status ParseHeader(const uint8_t* d, size_t size, bool whole, Header& h) {
    if (size < kFileHeader + 12 || d[0] != 'B' || d[1] != 'M') return Status::Corrupt;
    h.dataOffset = U32(d + 10);
    const uint32_t infoSize = U32(d + 14);
    const uint8_t* info = d + kFileHeader;
    if (infoSize < 12 || infoSize > size - kFileHeader) return Status::Corrupt;
    int64_t height = 0;
    size_t paletteEntry = 4;
    if (infoSize == 12) { // the old core header: 16-bit sizes, 3-byte palette entries
        h.width = U16(info + 4);
        height = U16(info + 6);
        h.bits = U16(info + 10);
        paletteEntry = 3;
    } else if (infoSize >= 40) {
        h.width = static_cast<int32_t>(U32(info + 4));
        height = static_cast<int32_t>(U32(info + 8));
        h.bits = U16(info + 14);
        h.compression = U32(info + 16);
        h.xDpi = DpiFromPelsPerMetre(static_cast<int32_t>(U32(info + 24)));
        h.yDpi = DpiFromPelsPerMetre(static_cast<int32_t>(U32(info + 28)));
    } else {
        return Status::Corrupt;
    }
    h.bottomUp = height > 0;
    if (height < 0) height = -height;
    if (h.width <= 0 || height <= 0 || h.width > kMaxSide || height > kMaxSide) return Status::Corrupt;
    h.height = static_cast<int>(height);

    size_t afterInfo = kFileHeader + infoSize;
    if (h.compression == kBitFields && (h.bits == 16 || h.bits == 32)) {
        const uint8_t* m = info + 40;
        if (infoSize == 40) { // masks follow the short header
            if (size < afterInfo + 12) return Status::Corrupt;
            afterInfo += 12;
        } else if (infoSize < 52) {
            return Status::Corrupt; // a header that ends inside its own masks
        }
        for (int i = 0; i < 3; ++i) h.masks[i] = U32(m + 4 * i);
    } else if (h.compression != kRgb) {
        return Status::Unsupported; // run-length or embedded JPEG/PNG bitmaps
    }
    if (h.bits != 1 && h.bits != 4 && h.bits != 8 && h.bits != 16 && h.bits != 24 && h.bits != 32)
        return Status::Unsupported;

    if (h.bits <= 8) {
        uint32_t count = infoSize >= 40 ? U32(info + 32) : 0;
        const uint32_t full = 1u << h.bits;
        if (count == 0 || count > full) count = full;
        if (afterInfo + size_t(count) * paletteEntry > size) return Status::Corrupt;
        h.palette.assign(size_t(full) * 3, 0);
        for (uint32_t i = 0; i < count; ++i)
            std::memcpy(&h.palette[3 * i], d + afterInfo + size_t(i) * paletteEntry, 3);
    }
    h.stride = ((size_t(h.width) * size_t(h.bits) + 31) / 32) * 4;
    if (!whole) return Status::Ok;
    if (h.dataOffset < afterInfo || h.dataOffset > size) return Status::Corrupt;
    if (uint64_t(h.stride) * uint64_t(h.height) > uint64_t(size - h.dataOffset)) return Status::Corrupt;
    return Status::Ok;
}

uint8_t LumaBgr(const uint8_t* p) { return static_cast<uint8_t>((29 * p[0] + 150 * p[1] + 77 * p[2] + 128) >> 8); }

bool PaletteIsGrey(const Header& h) {
    for (size_t i = 0; i < h.palette.size(); i += 3)
        if (h.palette[i] != h.palette[i + 1] || h.palette[i] != h.palette[i + 2]) return false;
    return true;
}

const uint8_t* SourceRow(const uint8_t* d, const Header& h, int y) {
    const int fileRow = h.bottomUp ? h.height - 1 - y : y;
    return d + h.dataOffset + h.stride * size_t(fileRow);
}

// Uses the file buffer as the pixel buffer, rows in file order.
void InPlace(Buffer& file, const Header& h, PixelFormat format, Image& out) {
    out.pixels = std::move(file);
    out.width = h.width;
    out.height = h.height;
    out.format = format;
    const std::ptrdiff_t stride = static_cast<std::ptrdiff_t>(h.stride);
    out.firstRow = h.dataOffset + (h.bottomUp ? h.stride * size_t(h.height - 1) : 0);
    out.rowStep = h.bottomUp ? -stride : stride;
}

int ShiftOf(uint32_t mask) {
    int s = 0;
    while (mask && !(mask & 1)) {
        mask >>= 1;
        ++s;
    }
    return s;
}

uint8_t Scale(uint32_t value, uint32_t mask) {
    if (!mask) return 0;
    const uint32_t max = mask >> ShiftOf(mask);
    return static_cast<uint8_t>(((value & mask) >> ShiftOf(mask)) * 255 / max);
}

Status DecodePaletted(const uint8_t* d, const Header& h, Image& out) {
    const bool grey = PaletteIsGrey(h);
    if (!out.Allocate(h.width, h.height, grey ? PixelFormat::Gray8 : PixelFormat::Bgr24)) return Status::OutOfMemory;
    const int perByte = 8 / h.bits;
    const int mask = (1 << h.bits) - 1;
    for (int y = 0; y < h.height; ++y) {
        const uint8_t* s = SourceRow(d, h, y);
        uint8_t* o = out.Row(y);
        for (int x = 0; x < h.width; ++x) {
            const int shift = 8 - h.bits * (x % perByte + 1);
            const int index = (s[x / perByte] >> shift) & mask;
            const uint8_t* p = &h.palette[3 * size_t(index)];
            if (grey) o[x] = p[0];
            else std::memcpy(o + 3 * x, p, 3);
        }
    }
    return Status::Ok;
}

Status DecodeBilevel(Buffer& file, const Header& h, Image& out) {
    // A set bit must mean black: invert when palette entry 1 is the lighter one.
    const bool zeroBlack = LumaBgr(&h.palette[0]) < 128;
    const bool oneBlack = LumaBgr(&h.palette[3]) < 128;
    const size_t rowBytes = (size_t(h.width) + 7) / 8;
    uint8_t* d = file.data();
    for (int y = 0; y < h.height; ++y) {
        uint8_t* row = d + h.dataOffset + h.stride * size_t(y);
        if (zeroBlack && !oneBlack)
            for (size_t i = 0; i < rowBytes; ++i) row[i] = static_cast<uint8_t>(~row[i]);
        else if (zeroBlack && oneBlack) std::memset(row, 0xFF, rowBytes);
        else if (!zeroBlack && !oneBlack) std::memset(row, 0, rowBytes);
    }
    InPlace(file, h, PixelFormat::Bilevel1, out);
    return Status::Ok;
}

Status DecodeDeep(const uint8_t* d, const Header& h, Image& out) {
    if (!out.Allocate(h.width, h.height, PixelFormat::Bgr24)) return Status::OutOfMemory;
    uint32_t r = h.masks[0], g = h.masks[1], b = h.masks[2];
    if (h.compression != kBitFields) {
        if (h.bits == 16) {
            r = 0x7C00;
            g = 0x03E0;
            b = 0x001F;
        } else {
            r = 0xFF0000;
            g = 0xFF00;
            b = 0xFF;
        }
    }
    for (int y = 0; y < h.height; ++y) {
        const uint8_t* s = SourceRow(d, h, y);
        uint8_t* o = out.Row(y);
        for (int x = 0; x < h.width; ++x) {
            const uint32_t v = h.bits == 16 ? U16(s + 2 * x) : U32(s + 4 * x);
            o[3 * x] = Scale(v, b);
            o[3 * x + 1] = Scale(v, g);
            o[3 * x + 2] = Scale(v, r);
        }
    }
    return Status::Ok;
}

} // namespace

Status DecodeBmp(Buffer& file, Image& out) {
    Header h;
    Status status = ParseHeader(file.data(), file.size(), true, h);
    if (status != Status::Ok) return status;
    out.xDpi = h.xDpi;
    out.yDpi = h.yDpi;
    if (h.bits == 24) {
        InPlace(file, h, PixelFormat::Bgr24, out);
        return Status::Ok;
    }
    if (h.bits == 1) return DecodeBilevel(file, h, out);
    if (h.bits == 8 && PaletteIsGrey(h)) {
        bool identity = true;
        for (size_t i = 0; i < 256 && identity; ++i) identity = h.palette[3 * i] == i;
        if (identity) {
            InPlace(file, h, PixelFormat::Gray8, out);
            return Status::Ok;
        }
    }
    Image decoded;
    decoded.xDpi = h.xDpi;
    decoded.yDpi = h.yDpi;
    status = h.bits <= 8 ? DecodePaletted(file.data(), h, decoded) : DecodeDeep(file.data(), h, decoded);
    if (status == Status::Ok) out = std::move(decoded);
    return status;
}

Status LoadBmp(const std::string& path, Image& out) {
    Buffer file = std::move(out.pixels); // reuse the page buffer of the previous page
    Status status = ReadWholeFile(path, file);
    if (status != Status::Ok) return status;
    return DecodeBmp(file, out);
}

Status ReadBmpInfo(const std::string& path, ImageInfo& info) {
    std::string head;
    Status status = ReadHead(path, 4096, head);
    if (status != Status::Ok) return status;
    Header h;
    status = ParseHeader(reinterpret_cast<const uint8_t*>(head.data()), head.size(), false, h);
    if (status != Status::Ok) return status;
    info.width = h.width;
    info.height = h.height;
    info.xDpi = h.xDpi;
    info.yDpi = h.yDpi;
    info.format = h.bits == 1                         ? PixelFormat::Bilevel1
                  : (h.bits <= 8 && PaletteIsGrey(h)) ? PixelFormat::Gray8
                                                      : PixelFormat::Bgr24;
    return Status::Ok;
}

Status SaveBmp(const Image& image, const std::string& path) { return SaveBmp(ViewOf(image), path); }

Status SaveBmp(const ImageView& image, const std::string& path) {
    const int bits = image.format == PixelFormat::Bilevel1 ? 1 : image.format == PixelFormat::Gray8 ? 8 : 24;
    const size_t stride = ((size_t(image.width) * size_t(bits) + 31) / 32) * 4;
    const uint32_t paletteBytes = bits == 1 ? 8 : bits == 8 ? 1024 : 0;
    const uint64_t offset = 54 + paletteBytes;
    const uint64_t total = offset + uint64_t(stride) * uint64_t(image.height);
    if (total > 0xFFFFFFFFu) return Status::Unsupported;
    uint8_t header[54] = {'B', 'M'};
    auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) header[at + i] = uint8_t(v >> (8 * i));
    };
    auto put16 = [&](size_t at, uint16_t v) {
        header[at] = uint8_t(v);
        header[at + 1] = uint8_t(v >> 8);
    };
    put32(2, uint32_t(total));
    put32(10, uint32_t(offset));
    put32(14, 40);
    put32(18, uint32_t(image.width));
    put32(22, uint32_t(image.height));
    put16(26, 1);
    put16(28, uint16_t(bits));
    put32(34, uint32_t(stride * size_t(image.height)));
    put32(38, uint32_t(image.xDpi / 0.0254 + 0.5));
    put32(42, uint32_t(image.yDpi / 0.0254 + 0.5));
    put32(46, bits <= 8 ? (1u << bits) : 0);
    FileWriter out;
    Status status = out.Open(path);
    if (status != Status::Ok) return status;
    out.Write(header, sizeof header);
    if (bits == 1) {
        const uint8_t palette[8] = {255, 255, 255, 0, 0, 0, 0, 0}; // index 1 is black
        out.Write(palette, sizeof palette);
    } else if (bits == 8) {
        uint8_t palette[1024];
        for (int i = 0; i < 256; ++i) {
            palette[4 * i] = palette[4 * i + 1] = palette[4 * i + 2] = uint8_t(i);
            palette[4 * i + 3] = 0;
        }
        out.Write(palette, sizeof palette);
    }
    // Rows are gathered into blocks of about 1 MB: one write per block, not one or two
    // per row, keeps writing a large page cheap.
    const size_t rowsPerBlock = stride ? std::max<size_t>(1, (size_t(1) << 20) / stride) : 1;
    std::vector<uint8_t> block(stride * std::min(rowsPerBlock, size_t(image.height)), 0);
    const size_t rowBytes = image.RowBytes();
    const int spareBits = image.format == PixelFormat::Bilevel1 ? (8 - image.width % 8) % 8 : 0;
    size_t used = 0;
    for (int y = image.height - 1; y >= 0; --y) {
        const uint8_t* s = image.Row(y);
        uint8_t* row = block.data() + used;
        if (image.format == PixelFormat::Rgb24) {
            SwapRedBlue(s, row, size_t(image.width));
        } else {
            std::memcpy(row, s, rowBytes);
            // Bits past the width are not the page's: stored as 0, which is white.
            if (spareBits) row[rowBytes - 1] &= static_cast<uint8_t>(0xFF << spareBits);
        }
        used += stride; // the row's padding bytes stay 0
        if (used == block.size() || y == 0) {
            out.Write(block.data(), used);
            used = 0;
        }
    }
    return out.Commit();
}

} // namespace codec
