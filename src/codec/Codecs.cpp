#include "codec/Codecs.h"

#include <cstring>

#include "codec/Bmp.h"
#include "codec/FileIo.h"
#include "codec/Gif.h"
#include "codec/Jpeg.h"
#include "codec/Png.h"
#include "codec/Tiff.h"

namespace codec {

FileFormat DetectFormat(const std::string& path) {
    std::string head;
    if (ReadHead(path, 8, head) != Status::Ok || head.size() < 4) return FileFormat::Unknown;
    const auto* b = reinterpret_cast<const unsigned char*>(head.data());
    if (b[0] == 'B' && b[1] == 'M') return FileFormat::Bmp;
    if (b[0] == 0xFF && b[1] == 0xD8 && b[2] == 0xFF) return FileFormat::Jpeg;
    if ((b[0] == 'I' && b[1] == 'I' && b[2] == 42 && b[3] == 0) ||
        (b[0] == 'M' && b[1] == 'M' && b[2] == 0 && b[3] == 42))
        return FileFormat::Tiff;
    if (head.size() >= 8 && std::memcmp(b, "\x89PNG\r\n\x1a\n", 8) == 0) return FileFormat::Png;
    if (std::memcmp(b, "GIF8", 4) == 0) return FileFormat::Gif;
    return FileFormat::Unknown;
}

Status LoadImage(const std::string& path, Image& out, int frame, int* frameCount) {
    if (frameCount) *frameCount = 1;
    const FileFormat format = DetectFormat(path);
    if (format != FileFormat::Tiff && format != FileFormat::Gif && frame != 0) return Status::Corrupt;
    switch (format) {
        case FileFormat::Bmp: return LoadBmp(path, out);
        case FileFormat::Jpeg: return LoadJpeg(path, out);
        case FileFormat::Tiff: return LoadTiff(path, frame, out, frameCount);
        case FileFormat::Png: return LoadPng(path, out);
        case FileFormat::Gif: return LoadGif(path, frame, out, frameCount);
        case FileFormat::Unknown: break;
    }
    std::string probe;
    return ReadHead(path, 1, probe) == Status::Ok ? Status::Corrupt : Status::NotFound;
}

Status ReadImageInfo(const std::string& path, ImageInfo& info) {
    switch (DetectFormat(path)) {
        case FileFormat::Bmp: return ReadBmpInfo(path, info);
        case FileFormat::Jpeg: return ReadJpegInfo(path, info);
        case FileFormat::Tiff: return ReadTiffInfo(path, info);
        case FileFormat::Png: return ReadPngInfo(path, info);
        case FileFormat::Gif: return ReadGifInfo(path, info);
        case FileFormat::Unknown: break;
    }
    std::string probe;
    return ReadHead(path, 1, probe) == Status::Ok ? Status::Corrupt : Status::NotFound;
}

const std::vector<CodecDescription>& Decoders() {
    static const std::vector<CodecDescription> list = {{"BMP", "image/bmp"},
                                                       {"JPEG", "image/jpeg"},
                                                       {"GIF", "image/gif"},
                                                       {"TIFF", "image/tiff"},
                                                       {"PNG", "image/png"}};
    return list;
}

const std::vector<CodecDescription>& Encoders() {
    static const std::vector<CodecDescription> list = {
        {"BMP", "image/bmp"}, {"JPEG", "image/jpeg"}, {"TIFF", "image/tiff"}, {"PNG", "image/png"}};
    return list;
}

} // namespace codec
