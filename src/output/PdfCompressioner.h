#pragma once
// The PDF encoder: colour and grey pages become JPEG images, black-and-white pages the
// fax-coded (or raw) strips of the TIFF generator library; each page is streamed into
// a PdfPageWriter. A document takes at most 500 pages.

#include <memory>

#include "output/ImageCompressioner.h"

namespace output {

std::unique_ptr<IF_ImageCompressioner> MakePdfCompressioner();

// The name of the function the TIFF generator library exports, and its type: source
// image path, destination TIFF path, TIFF compression number (1 none, 3 CCITT group 3,
// 4 CCITT group 4); a negative result is a failure.
constexpr const char* kGenerateTiffEntry = "GenerateTIFF";
using GenerateTiffFunction = int (*)(const char* source, const char* destination, int compression);

} // namespace output
