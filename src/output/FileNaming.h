#pragma once
// Names of the files written into a folder: one numbered series per folder, base name,
// extension and local day, "<folder><base>(<y>-<m>-<d>)<nnnn><ext>".

#include <string>

namespace platform {
class IClock;
class IFileSystem;
} // namespace platform

namespace output {

// The next free name of the series: one above the highest number present (gaps are
// not reused), 0001 for an empty or missing folder. The folder must end with '/'.
// Reads the folder once; creates nothing. Raises std::range_error
// "The number bigger than 9999" when the series is full.
std::string MakeSequencedFileName(const std::string& folder, const std::string& baseName, const std::string& extension);
std::string MakeSequencedFileName(const std::string& folder, const std::string& baseName, const std::string& extension,
                                  const platform::IClock& clock, const platform::IFileSystem& fs);

// "<base>(<year>-<month>-<day>)" for today's local date, months and days unpadded.
std::string SeriesStem(const std::string& baseName, const platform::IClock& clock);
// True when the path exists by both the access test and a stat.
bool PathIsPresent(const std::string& path);

} // namespace output
