// The PNG reader, through a file as the program reads pages.
#include "FuzzTarget.h"
#include "ImageCheck.h"
#include "codec/Png.h"

namespace {

int FuzzPng(const uint8_t* data, size_t size) {
    const std::string path = fuzz::WriteScratch("page.png", data, size);
    codec::Image image;
    const codec::Status decoded = codec::LoadPng(path, image);
    if (decoded == codec::Status::Ok) fuzz::TouchPixels(image);
    codec::ImageInfo info;
    if (codec::ReadPngInfo(path, info) == codec::Status::Ok && decoded == codec::Status::Ok &&
        (info.width != image.width || info.height != image.height))
        fuzz::Fail("the header read and the page disagree on the size");
    return 0;
}

} // namespace

SU_FUZZ_TARGET(png, FuzzPng)
