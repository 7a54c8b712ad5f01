#pragma once
// A SANE configuration whose test devices deliver their pages slowly: the test backend
// hands each page over in pieces of `pieceBytes`, waiting `pauseMicros` after each
// (its read-limit and read-delay settings). A 75 dpi grey A4 page then takes about a
// second: long enough to watch a scan under way, and the pauses make it at least that.

#include <string>

#include "support/TempFolder.h"

namespace testsupport {

// Writes dll.conf and test.conf into `folder` (from the repository's data/sane) and
// returns the folder, for SANE_CONFIG_DIR.
std::string WriteSlowSaneConfig(const TempFolder& folder, int pieceBytes = 16384, int pauseMicros = 30000);

} // namespace testsupport
