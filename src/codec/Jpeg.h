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
// page of this geometry, form and resolution with these options, or the same encoded in
// parts (JpegPartsEncoder: the same pixels, with restart markers).
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

    // `restartRows`: rows of JPEG blocks (16 pixel rows in colour, 8 in grey) between
    // restart markers; 0, none.
    Status Begin(int width, int height, PixelFormat format, double xDpi, double yDpi, const JpegOptions& options,
                 int restartRows = 0);
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

// A page encoded in parts of about equal height that may be encoded at the same time,
// each on a thread of its own, and joined into one baseline file. The parts meet at a
// restart marker: the file holds the coefficients of the page encoded whole (it decodes
// to the same pixels), and it is byte for byte the page encoded whole with the same
// restart markers. With one part it is exactly JpegRowEncoder's data.
class JpegPartsEncoder {
public:
    JpegPartsEncoder();
    ~JpegPartsEncoder();
    JpegPartsEncoder(const JpegPartsEncoder&) = delete;
    JpegPartsEncoder& operator=(const JpegPartsEncoder&) = delete;

    // `parts`: 1 or 2 (a page too short for two has one).
    Status Begin(int width, int height, PixelFormat format, double xDpi, double yDpi, const JpegOptions& options,
                 int parts);
    int Parts() const;
    // The rows of a part: from `PartBegin` up to, not including, `PartEnd`.
    int PartBegin(int part) const;
    int PartEnd(int part) const;
    // A part's rows, top-down, as for JpegRowEncoder; one thread at a time per part.
    Status AddRows(int part, const uint8_t* first, std::ptrdiff_t rowStep, int rows);
    Status FinishPart(int part);
    // Once every part is finished: the file.
    Status Join(std::vector<uint8_t>& out);

private:
    struct Part {
        int begin = 0, end = 0;
        JpegRowEncoder encoder;
    };
    std::vector<std::unique_ptr<Part>> parts_;
    int restartRows_ = 0;    // block rows between restart markers
    int upperIntervals_ = 0; // restart intervals in the upper part
};

} // namespace codec
