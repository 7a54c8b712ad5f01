#pragma once
// The image saver the JPEG and TIFF encoders (and the PDF encoder's page conversion)
// write through: it picks an encoder by format name and MIME type, takes its encoder
// parameters as one line of text, and appends pages to a multi-page TIFF. It runs on
// the codec layer.

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "codec/Image.h"
#include "output/EncoderParameters.h"

namespace codec {
class TiffWriter;
}

namespace output {

// Result codes of the saver.
enum ImagingResult : int {
    kImagingOk = 0,
    kImagingLaterImageRefused = 3, // a second image for a single-image format
    kImagingNoDecoder = 23001,     // the source's format cannot be read
    kImagingNoEncoder = 23002,     // no encoder serves the output format
    kImagingSourceMissing = 23003,
    kImagingCannotReplaceOutput = 23004, // an existing output file cannot be deleted
    kImagingStartupFailed = 23005,
    kImagingCodecListUnreadable = 23006,
    kImagingOutOfMemory = 23007,
    kImagingObjectBusy = 23008,
    kImagingAccessDenied = 23009,
    kImagingParametersRefused = 23010, // the parameter text does not parse
    kImagingNotPrepared = 23011,       // no Init or no PrepareOutput before AddImage
    kImagingFailed = 23012,            // any other failure (damaged source, failed write)
};

// What a parameter text asks of the encoders (GdiplusImageSaver.cpp).
struct SaveSettings;

class GdiplusImageSaver {
public:
    GdiplusImageSaver();
    ~GdiplusImageSaver(); // closes
    GdiplusImageSaver(const GdiplusImageSaver&) = delete;
    GdiplusImageSaver& operator=(const GdiplusImageSaver&) = delete;

    // Reads the installed decoders and encoders and stores the parameter text.
    int Init(const std::string& parameterText);
    // Selects the encoder for the format (empty: the output path's extension) and
    // deletes an existing file of the output's name.
    int PrepareOutput(const std::string& outputPath, const std::string& formatName);
    // The same with the output going to `out` (which must outlive the job) instead of a
    // file: for a format written in one piece (JPEG); others answer kImagingNoEncoder.
    int PrepareOutput(std::vector<std::uint8_t>& out, const std::string& formatName);
    // Appends the source image to the output. A non-empty parameter text replaces the
    // stored one; an empty source format means the source's extension. The source file
    // is renamed to its name followed by "FirstPage" or "CommonPage" and read from there.
    int AddImage(const std::string& sourcePath, const std::string& parameterText, const std::string& sourceFormat);
    // Appends a page held in memory (no file is read, renamed or left behind); the
    // parameter text as above.
    int AddImage(const codec::ImageView& page, const std::string& parameterText);
    // Ends the job: finishes a multi-page output and deletes the temporary source names.
    // Answers kImagingFailed when the multi-page output could not be completed.
    int Close();

    int pageCount() const { return pageCount_; }
    bool isOpen() const { return isOpen_; }
    // The system error number behind the last failed AddImage or Close (ENOSPC for a
    // full disk), or the one its result stands for (ENOMEM for kImagingOutOfMemory,
    // ENOENT for a missing source, ...); EIO when a failure has no system cause.
    int systemError() const { return systemError_; }
    // The selected encoder's MIME type; empty before PrepareOutput.
    const std::string& encoderMimeType() const { return encoderMime_; }

private:
    int AddImageNow(const std::string& sourcePath, const std::string& parameterText, const std::string& sourceFormat);
    // The page's parameter text is read once, in AddImageNow; these take what it asks.
    // The settings a page's parameter text asks for (checked before anything is written).
    int PageSettings(const std::string& parameterText, SaveSettings& settings);
    template <class Page>
    int SaveFirst(const Page& image, const SaveSettings& settings);
    int SaveConverted(const codec::Image& page);
    int AppendFrames(const std::string& loadedPath, int firstFrame, int frameCount, const SaveSettings& settings);
    template <class Page>
    int AppendFrame(const Page& image, const SaveSettings& settings);
    int Load(const std::string& path, int frame, int* frameCount);
    void DeleteTemporarySources();

    std::vector<std::string> decoderFormats_;
    std::map<std::string, std::string> encoders_; // MIME type -> format name
    std::string encoderMime_;
    std::string parameterText_;
    std::string outputPath_;
    std::vector<std::uint8_t>* memory_ = nullptr; // the output, when it goes to memory
    std::string formatName_;
    std::unique_ptr<codec::TiffWriter> target_; // the open multi-page output
    std::string firstSourceName_;
    std::string commonSourceName_;
    codec::Image image_; // reused from page to page
    int pageCount_ = 0;
    bool isOpen_ = false;
    int systemError_ = 0;
};

// "text" + "," + "extra", or "extra" alone when the text is empty.
std::string AppendParameters(const std::string& text, const std::string& extra);

} // namespace output
