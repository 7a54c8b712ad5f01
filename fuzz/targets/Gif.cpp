// The GIF reader: the first frames of a file, each decoded at its own size.
#include "FuzzTarget.h"
#include "ImageCheck.h"
#include "codec/Gif.h"

namespace {

int FuzzGif(const uint8_t* data, size_t size) {
    const std::string path = fuzz::WriteScratch("page.gif", data, size);
    codec::Image image;
    int frames = 0;
    if (codec::LoadGif(path, 0, image, &frames) != codec::Status::Ok) return 0;
    fuzz::TouchPixels(image);
    for (int frame = 1; frame < frames && frame < 4; ++frame)
        if (codec::LoadGif(path, frame, image, nullptr) == codec::Status::Ok) fuzz::TouchPixels(image);
    codec::ImageInfo info;
    codec::ReadGifInfo(path, info);
    return 0;
}

} // namespace

SU_FUZZ_TARGET(gif, FuzzGif)
