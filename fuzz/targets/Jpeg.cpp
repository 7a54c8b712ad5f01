// The JPEG reader: pages from memory, and the header read of the same bytes as a file.
#include <cstring>

#include "FuzzTarget.h"
#include "ImageCheck.h"
#include "codec/Jpeg.h"

namespace {

int FuzzJpeg(const uint8_t* data, size_t size) {
    codec::Buffer file;
    if (!file.Resize(size)) return 0;
    if (size > 0) std::memcpy(file.data(), data, size);
    codec::Image image;
    const codec::Status decoded = codec::DecodeJpeg(file, image);
    if (decoded == codec::Status::Ok) fuzz::TouchPixels(image);
    codec::ImageInfo info;
    const std::string path = fuzz::WriteScratch("page.jpg", data, size);
    if (codec::ReadJpegInfo(path, info) == codec::Status::Ok && decoded == codec::Status::Ok &&
        (info.width != image.width || info.height != image.height))
        fuzz::Fail("the header read and the page disagree on the size");
    return 0;
}

} // namespace

SU_FUZZ_TARGET(jpeg, FuzzJpeg)
