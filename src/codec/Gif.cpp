#include "codec/Gif.h"

#include <cstring>
#include <vector>

#include <gif_lib.h>

#include "codec/FileIo.h"

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

int WriteData(GifFileType* gif, const GifByteType* data, int size) {
    auto* file = static_cast<FileWriter*>(gif->UserData);
    file->Write(data, static_cast<size_t>(size));
    return file->failed() ? 0 : size;
}

void MakeTable(PixelFormat format, std::vector<GifColorType>& table) {
    table.resize(format == PixelFormat::Bilevel1 ? 2 : 256);
    for (size_t i = 0; i < table.size(); ++i) {
        GifColorType& c = table[i];
        if (format == PixelFormat::Bilevel1) {
            c.Red = c.Green = c.Blue = i == 0 ? 255 : 0; // index 1 black, as the page's bits
        } else if (format == PixelFormat::Gray8) {
            c.Red = c.Green = c.Blue = static_cast<GifByteType>(i);
        } else {
            c.Red = static_cast<GifByteType>(((i >> 5) & 7) * 255 / 7);
            c.Green = static_cast<GifByteType>(((i >> 2) & 7) * 255 / 7);
            c.Blue = static_cast<GifByteType>((i & 3) * 255 / 3);
        }
    }
}

// One row as indexes into the table of MakeTable.
void IndexRow(const ImageView& image, int y, GifPixelType* line) {
    const uint8_t* s = image.Row(y);
    const int w = image.width;
    switch (image.format) {
        case PixelFormat::Bilevel1:
            for (int x = 0; x < w; ++x) line[x] = (s[x >> 3] >> (7 - (x & 7))) & 1;
            break;
        case PixelFormat::Gray8: std::memcpy(line, s, size_t(w)); break;
        case PixelFormat::Rgb24:
        case PixelFormat::Bgr24: {
            const int r = image.format == PixelFormat::Rgb24 ? 0 : 2, b = 2 - r;
            for (int x = 0; x < w; ++x)
                line[x] = static_cast<GifPixelType>((((s[3 * x + r] * 7 + 127) / 255) << 5) |
                                                    (((s[3 * x + 1] * 7 + 127) / 255) << 2) |
                                                    ((s[3 * x + b] * 3 + 127) / 255));
            break;
        }
    }
}

Status Write(const ImageView& image, FileWriter& file) {
    int error = 0;
    GifFileType* gif = EGifOpen(&file, WriteData, &error);
    if (!gif) return Status::OutOfMemory;
    std::vector<GifColorType> table;
    MakeTable(image.format, table);
    ColorMapObject* map = GifMakeMapObject(static_cast<int>(table.size()), table.data());
    bool ok = map && EGifPutScreenDesc(gif, image.width, image.height, 8, 0, map) == GIF_OK &&
              EGifPutImageDesc(gif, 0, 0, image.width, image.height, false, nullptr) == GIF_OK;
    std::vector<GifPixelType> line(size_t(image.width));
    for (int y = 0; ok && y < image.height; ++y) {
        IndexRow(image, y, line.data());
        ok = EGifPutLine(gif, line.data(), image.width) == GIF_OK;
    }
    if (map) GifFreeMapObject(map);
    if (EGifCloseFile(gif, &error) != GIF_OK) ok = false;
    return ok ? Status::Ok : Status::WriteFailed;
}

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
    out.xDpi = out.yDpi = 0; // GIF carries no resolution
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

Status SaveGif(const ImageView& image, const std::string& path) {
    if (image.width <= 0 || image.height <= 0 || image.width > 65535 || image.height > 65535)
        return Status::Unsupported;
    FileWriter file;
    Status status = file.Open(path);
    if (status != Status::Ok) return status;
    status = Write(image, file);
    if (status != Status::Ok) return status; // the writer removes what it wrote
    return file.Commit();
}

} // namespace codec
