#include "output/TiffStrips.h"

#include <cstdio>
#include <memory>

namespace output {
namespace {

constexpr uint16_t kStripOffsets = 273;
constexpr uint16_t kStripByteCounts = 279;
constexpr uint16_t kTypeShort = 3, kTypeLong = 4;

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

uint32_t Le32(const unsigned char* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
uint16_t Le16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

bool ReadAt(std::FILE* f, uint64_t offset, void* into, size_t size, uint64_t fileSize) {
    if (offset > fileSize || size > fileSize - offset) return false;
    return std::fseek(f, static_cast<long>(offset), SEEK_SET) == 0 && std::fread(into, 1, size, f) == size;
}

struct Entry {
    bool seen = false;
    uint16_t type = 0;
    uint32_t count = 0;
    unsigned char value[4] = {0, 0, 0, 0};
};

// The entry's values: from the entry itself when they fit in its 4 value bytes, from
// the offset it holds otherwise.
bool Values(std::FILE* f, const Entry& e, uint64_t fileSize, std::vector<uint64_t>& out) {
    if (e.type != kTypeShort && e.type != kTypeLong) return false;
    const size_t width = e.type == kTypeLong ? 4 : 2;
    const uint64_t bytes = uint64_t(e.count) * width;
    if (bytes > fileSize) return false;
    std::vector<unsigned char> raw(static_cast<size_t>(bytes));
    if (bytes <= 4) std::copy(e.value, e.value + bytes, raw.begin());
    else if (!ReadAt(f, Le32(e.value), raw.data(), raw.size(), fileSize)) return false;
    out.resize(e.count);
    for (size_t i = 0; i < e.count; ++i) out[i] = width == 4 ? Le32(&raw[4 * i]) : Le16(&raw[2 * i]);
    return true;
}

} // namespace

bool ReadTiffStripTable(const std::string& tiffPath, std::vector<TiffStrip>& strips) {
    strips.clear();
    File f(std::fopen(tiffPath.c_str(), "rb"));
    if (!f || std::fseek(f.get(), 0, SEEK_END) != 0) return false;
    const long end = std::ftell(f.get());
    if (end < 8) return false;
    const uint64_t size = static_cast<uint64_t>(end);
    unsigned char header[8];
    if (!ReadAt(f.get(), 0, header, 8, size)) return false;
    if (header[0] != 'I' || header[1] != 'I' || Le16(header + 2) != 42) return false; // little-endian only
    const uint64_t directory = Le32(header + 4);
    unsigned char countBytes[2];
    if (!ReadAt(f.get(), directory, countBytes, 2, size)) return false;
    const uint16_t count = Le16(countBytes);
    if (count == 0) return false;
    Entry offsets, lengths;
    for (uint16_t i = 0; i < count && !(offsets.seen && lengths.seen); ++i) {
        unsigned char e[12];
        if (!ReadAt(f.get(), directory + 2 + 12ull * i, e, 12, size)) return false;
        const uint16_t tag = Le16(e);
        Entry* target = tag == kStripOffsets ? &offsets : tag == kStripByteCounts ? &lengths : nullptr;
        if (!target) continue;
        target->seen = true;
        target->type = Le16(e + 2);
        target->count = Le32(e + 4);
        std::copy(e + 8, e + 12, target->value);
    }
    if (!offsets.seen || !lengths.seen || offsets.count == 0 || offsets.count != lengths.count) return false;
    std::vector<uint64_t> starts, lens;
    if (!Values(f.get(), lengths, size, lens) || !Values(f.get(), offsets, size, starts)) return false;
    for (size_t i = 0; i < starts.size(); ++i) {
        if (starts[i] > size || lens[i] > size - starts[i]) return false;
        strips.push_back({starts[i], lens[i]});
    }
    return true;
}

bool ExtractTiffStrips(const std::string& tiffPath, const std::string& stripPath) {
    std::vector<TiffStrip> strips;
    if (!ReadTiffStripTable(tiffPath, strips)) return false;
    File in(std::fopen(tiffPath.c_str(), "rb"));
    File out(std::fopen(stripPath.c_str(), "wb"));
    if (!in || !out) {
        if (out) std::remove(stripPath.c_str());
        return false;
    }
    bool ok = true;
    char chunk[1024];
    for (const TiffStrip& s : strips) {
        if (!ok || std::fseek(in.get(), static_cast<long>(s.offset), SEEK_SET) != 0) {
            ok = false;
            break;
        }
        for (uint64_t left = s.length; left > 0 && ok;) {
            const size_t n = static_cast<size_t>(left < sizeof chunk ? left : sizeof chunk);
            ok = std::fread(chunk, 1, n, in.get()) == n && std::fwrite(chunk, 1, n, out.get()) == n;
            left -= n;
        }
    }
    ok = std::fclose(out.release()) == 0 && ok;
    if (!ok) std::remove(stripPath.c_str());
    return ok;
}

} // namespace output
