// The strip-table reader of black-and-white PDF pages: the table, and the strips copied
// out, whose size must be the table's sum.
#include <sys/stat.h>
#include <unistd.h>

#include "FuzzTarget.h"
#include "output/TiffStrips.h"

namespace {

int FuzzTiffStrips(const uint8_t* data, size_t size) {
    const std::string path = fuzz::WriteScratch("strips.tif", data, size);
    std::vector<output::TiffStrip> strips;
    const bool read = output::ReadTiffStripTable(path, strips);
    uint64_t total = 0;
    for (const auto& s : strips) {
        if (s.offset > size || s.length > size - s.offset) fuzz::Fail("a strip reaches past the end of the file");
        total += s.length;
    }
    const std::string out = fuzz::ScratchFolder() + "strips.out";
    ::unlink(out.c_str());
    const bool extracted = output::ExtractTiffStrips(path, out);
    struct stat st {};
    const bool present = ::stat(out.c_str(), &st) == 0;
    if (extracted != read) fuzz::Fail("the table was read but the strips not copied, or the other way round");
    if (extracted && (!present || static_cast<uint64_t>(st.st_size) != total))
        fuzz::Fail("the copied strips are not the table's length");
    if (!extracted && present) fuzz::Fail("a failed copy left its file");
    return 0;
}

} // namespace

SU_FUZZ_TARGET(tiff_strips, FuzzTiffStrips)
