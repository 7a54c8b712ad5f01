#pragma once
// Writes one page image in one of the control's file formats: TWFF_BMP (1, 8 or 24 bits,
// resolution in the header), TWFF_PNG (with pHYs), FF_PCX, FF_GIF, FF_TGA, FF_WMF and
// FF_EMF (metafiles holding the bitmap as one stretch-DIB record). Used by the controls'
// SaveImageToFile. BMP, PNG and GIF are written by the codec layer (src/codec).

#include <string>

#include "codec/Image.h"
#include "scancontrol/PageImage.h"

namespace scancontrol {

// True when written. On failure the partly written file is removed and `error` says why.
bool WriteImageFile(const PageImage& page, const std::string& path, long format, std::string* error = nullptr);

// The page's rows as the codec layer sees them (the same pixel conventions), not copied;
// with the page's JPEG data when it came with some and `withJpeg` asks for it (waiting
// for the data to be complete).
codec::ImageView PageView(const PageImage& page, bool withJpeg = true);

// True for the format codes WriteImageFile knows.
bool IsSupportedFileFormat(long format);

} // namespace scancontrol
