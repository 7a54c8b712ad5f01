// The TIFF reader through libtiff: the first frames of a file, and its header read.
#include "FuzzTarget.h"
#include "ImageCheck.h"
#include "codec/Tiff.h"

namespace {

int FuzzTiff(const uint8_t* data, size_t size) {
    const std::string path = fuzz::WriteScratch("page.tif", data, size);
    codec::ImageInfo info;
    codec::ReadTiffInfo(path, info);
    codec::Image image;
    int frames = 0;
    if (codec::LoadTiff(path, 0, image, &frames) != codec::Status::Ok) return 0;
    fuzz::TouchPixels(image);
    for (int frame = 1; frame < frames && frame < 4; ++frame)
        if (codec::LoadTiff(path, frame, image, nullptr) == codec::Status::Ok) fuzz::TouchPixels(image);
    return 0;
}

} // namespace

SU_FUZZ_TARGET(tiff, FuzzTiff)
