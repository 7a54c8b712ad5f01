#pragma once
// The image formats this program reads and writes, chosen by the file's content (not
// its name) when reading, and listed with their format names and MIME types so that
// callers can select a decoder or an encoder by name.

#include <string>
#include <vector>

#include "codec/Image.h"

namespace codec {

enum class FileFormat { Unknown, Bmp, Jpeg, Tiff, Png, Gif };

// The format the first bytes of the file announce; Unknown for an empty or foreign file.
FileFormat DetectFormat(const std::string& path);

// Reads one frame (0 for the first); `frameCount` receives the number of frames.
Status LoadImage(const std::string& path, Image& out, int frame = 0, int* frameCount = nullptr);
// Reads only the header of the first frame.
Status ReadImageInfo(const std::string& path, ImageInfo& info);

struct CodecDescription {
    std::string formatName; // "BMP", "JPEG", ...
    std::string mimeType;   // "image/bmp", ...
};
// Formats that can be read, and formats that can be written.
const std::vector<CodecDescription>& Decoders();
const std::vector<CodecDescription>& Encoders();

} // namespace codec
