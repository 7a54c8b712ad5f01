#pragma once
// JPEG through libjpeg-turbo. libjpeg reports errors by a long jump; that is caught
// inside this wrapper, and its warnings (premature end of data, corrupt segments) count
// as errors too, so a damaged file is refused instead of decoded into a grey tail.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "codec/Image.h"

namespace codec {

struct JpegOptions {
    int quality = 75;  // 0..100; 0 is the coarsest the library allows
    bool grey = false; // one component instead of three
};

// A page's JPEG data and what it was made of and with: the data SaveJpeg writes for a
// page of this geometry, form and resolution with these options.
struct JpegData {
    JpegOptions options;
    int width = 0;
    int height = 0;
    PixelFormat format = PixelFormat::Rgb24;
    double xDpi = 0;
    double yDpi = 0;
    std::vector<uint8_t> bytes;
    // True when the data is what SaveJpeg would write for the view with the options.
    bool Fits(const ImageView& view, const JpegOptions& wanted) const;
};

Status LoadJpeg(const std::string& path, Image& out);
Status DecodeJpeg(const Buffer& file, Image& out);
Status ReadJpegInfo(const std::string& path, ImageInfo& info);
// Writes a baseline JFIF file with the image's resolution in dots per inch.
Status SaveJpeg(const Image& image, const std::string& path, const JpegOptions& options);
// The same from rows held elsewhere (a page in the scanning control's memory).
Status SaveJpeg(const ImageView& image, const std::string& path, const JpegOptions& options);
// The same data in memory: exactly the bytes SaveJpeg writes to its file.
Status EncodeJpeg(const ImageView& image, const JpegOptions& options, std::vector<uint8_t>& out);
// What the header of JPEG data in memory says of its frame.
Status ReadJpegInfo(const uint8_t* data, size_t size, ImageInfo& info);

class FileWriter;

// A page encoded as its rows come (top-down), to the same data SaveJpeg writes for the
// whole page: for a page that arrives a few rows at a time, so that it is ready when
// its last row is. Begin, then AddRows until `height` rows are in, then Finish; the
// first failure ends the encoding (every later call answers it).
class JpegRowEncoder {
public:
    JpegRowEncoder();
    ~JpegRowEncoder();
    JpegRowEncoder(const JpegRowEncoder&) = delete;
    JpegRowEncoder& operator=(const JpegRowEncoder&) = delete;

    Status Begin(int width, int height, PixelFormat format, double xDpi, double yDpi, const JpegOptions& options);
    // `rows` rows, the first at `first`, each `rowStep` bytes after the one above it.
    Status AddRows(const uint8_t* first, std::ptrdiff_t rowStep, int rows);
    int RowsWritten() const;
    Status Finish();
    // The data once finished (memory output).
    std::vector<uint8_t> TakeBytes();
    // Sends the data to a file instead of memory (before Begin; null: memory again).
    void WriteTo(FileWriter* file);

    struct State;

private:
    std::unique_ptr<State> s_;
};

} // namespace codec
