#include "output/codec/Gif.h"

#include <gif_lib.h>

namespace codec {
namespace {

class GifFile {
public:
    explicit GifFile(const std::string& path) {
        int error = 0;
        gif_ = DGifOpenFileName(path.c_str(), &error);
        openError_ = error;
    }
    ~GifFile() {
        int error = 0;
        if (gif_) DGifCloseFile(gif_, &error);
    }
    GifFile(const GifFile&) = delete;
    GifFile& operator=(const GifFile&) = delete;
    GifFileType* get() const { return gif_; }
    Status OpenStatus() const { return openError_ == D_GIF_ERR_OPEN_FAILED ? Status::NotFound : Status::Corrupt; }
private:
    GifFileType* gif_ = nullptr;
    int openError_ = 0;
};

} // namespace

Status LoadGif(const std::string& path, int frame, Image& out, int* frameCount) {
    GifFile file(path);
    GifFileType* gif = file.get();
    if (!gif) return file.OpenStatus();
    if (DGifSlurp(gif) != GIF_OK) return Status::Corrupt;
    if (frameCount) *frameCount = gif->ImageCount;
    if (frame < 0 || frame >= gif->ImageCount) return Status::Corrupt;
    const SavedImage& image = gif->SavedImages[frame];
    const ColorMapObject* map = image.ImageDesc.ColorMap ? image.ImageDesc.ColorMap : gif->SColorMap;
    const int w = image.ImageDesc.Width, h = image.ImageDesc.Height;
    if (!map || !image.RasterBits) return Status::Corrupt;
    bool grey = true;
    for (int i = 0; i < map->ColorCount; ++i)
        grey = grey && map->Colors[i].Red == map->Colors[i].Green && map->Colors[i].Red == map->Colors[i].Blue;
    const PixelFormat format = grey ? PixelFormat::Gray8 : PixelFormat::Rgb24;
    if (!SizeIsAcceptable(w, h, format)) return Status::Corrupt;
    if (!out.Allocate(w, h, format)) return Status::OutOfMemory;
    out.xDpi = out.yDpi = 0;  // GIF carries no resolution
    for (int y = 0; y < h; ++y) {
        uint8_t* row = out.Row(y);
        const GifByteType* s = image.RasterBits + size_t(y) * size_t(w);
        for (int x = 0; x < w; ++x) {
            const int index = s[x] < map->ColorCount ? s[x] : 0;
            const GifColorType& c = map->Colors[index];
            if (grey) {
                row[x] = c.Red;
            } else {
                row[3 * x] = c.Red;
                row[3 * x + 1] = c.Green;
                row[3 * x + 2] = c.Blue;
            }
        }
    }
    return Status::Ok;
}

Status ReadGifInfo(const std::string& path, ImageInfo& info) {
    GifFile file(path);
    GifFileType* gif = file.get();
    if (!gif) return file.OpenStatus();
    if (gif->SWidth <= 0 || gif->SHeight <= 0) return Status::Corrupt;
    info = ImageInfo{gif->SWidth, gif->SHeight, PixelFormat::Rgb24, 0, 0};
    return Status::Ok;
}

} // namespace codec
