#pragma once
// Reads the strip table of the first directory of a little-endian TIFF file and copies
// the strips' data, in order, into a file of its own: the fax-coded (or raw) bits of a
// black-and-white page, ready for a PDF image stream. Files it would misread are refused:
// big-endian files, directories, tables or strips that reach beyond the end of the file,
// and tables whose offset and byte-count lists disagree.

#include <cstdint>
#include <string>
#include <vector>

namespace output {

struct TiffStrip {
    uint64_t offset = 0;
    uint64_t length = 0;
};

bool ReadTiffStripTable(const std::string& tiffPath, std::vector<TiffStrip>& strips);
// Creates `stripPath` anew with the strips' data; false (and no file) on any failure.
bool ExtractTiffStrips(const std::string& tiffPath, const std::string& stripPath);

} // namespace output
