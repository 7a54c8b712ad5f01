// The bitmap reader: pages from memory and a file's header, which must agree.
#include <cstring>

#include "FuzzTarget.h"
#include "ImageCheck.h"
#include "codec/Bmp.h"

namespace {

int FuzzBmp(const uint8_t* data, size_t size) {
    codec::Buffer file;
    if (!file.Resize(size)) return 0;
    if (size > 0) std::memcpy(file.data(), data, size);
    codec::Image image;
    const codec::Status decoded = codec::DecodeBmp(file, image);
    if (decoded == codec::Status::Ok) fuzz::TouchPixels(image);
    codec::ImageInfo info;
    const std::string path = fuzz::WriteScratch("page.bmp", data, size);
    if (codec::ReadBmpInfo(path, info) == codec::Status::Ok && decoded == codec::Status::Ok &&
        (info.width != image.width || info.height != image.height || info.format != image.format))
        fuzz::Fail("the header read and the page disagree on the geometry");
    return 0;
}

} // namespace

SU_FUZZ_TARGET(bmp, FuzzBmp)
