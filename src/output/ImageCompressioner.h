#pragma once
// Encoders: turn the pages of one scan into the output file the user asked for, one
// JPEG file, one (multi-page) TIFF file or one (multi-page) PDF file. A job is begun
// with a request, pages are added one by one, and the job is finished (kept) or
// abandoned. The scanning control writes each page to TempPageName() (read it again for
// every page: it changes when another program took the name meanwhile); after Finish the
// document is OutputName().
//
// The document is written under a hidden name in the save folder and appears under
// OutputName() only when Finish completes it, never replacing a file: when that name
// was taken in the meantime, the document gets the next free number and OutputName()
// says which.

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

namespace codec {
struct ImageView;
struct JpegOptions;
} // namespace codec

namespace output {

// Shared by a PDF job that recognises text and whoever watches it from another thread:
// how far recognition has come, and a request to stop it. A stopped job keeps nothing.
struct RecognitionWatch {
    std::atomic<int> pages{0};      // pages handed to recognition so far
    std::atomic<int> recognised{0}; // of them, done with (recognised, or dropped)
    std::atomic<bool> cancel{false};
};

struct CompressionRequest {
    std::string tempFolder;       // temporary page files; ends with '/'
    std::string saveFolder;       // destination folder; ends with '/'
    std::string fileName;         // base name of the output file
    std::string tempExtension;    // extension of the temporary page files, dot included
    int32_t pageWidth = 0;        // carried along for the caller; not read here
    int32_t pageLength = 0;       // carried along; not read
    int32_t compressionKind = 0;  // 0, 1 or 2
    int32_t colourMode = 0;       // core::EncoderColour: 0 colour, 1 grey, 2 black and white
    int32_t pageResolution = 0;   // carried along; not read
    int32_t compressionLevel = 0; // 0..100, the JPEG compression setting
    // PDF only: recognition languages ("eng", "eng+deu") for a searchable text layer;
    // empty for image-only pages.
    std::string ocrLanguages;
    // Optional: recognition progress and cancel for a watcher (PDF with recognition).
    std::shared_ptr<RecognitionWatch> watch;
};

// Results of Begin.
enum BeginResult : int {
    kBeginOk = 0,
    kBeginCannotPrepare = 1,  // the saver or the output file cannot be set up
    kBeginNamesExhausted = 5, // the day's numbering of a name is full
};

// Results of AddPage (and of Finish for the last one).
enum AddPageResult : int {
    kPageAdded = 0,
    kPageInfoUnreadable = 1, // PDF: the page cannot be read; the generator has no entry point
    kNoOpenJob = 2,
    kDocumentFull = 3,         // PDF: the 500th page is in the file; no more are taken
    kPageDataShort = 4,        // PDF: page data not read completely
    kPageExtractFailed = 5,    // PDF: generator missing, strips unreadable, working file not replaceable
    kNoJpegEncoder = 6,        // PDF
    kJpegConversionFailed = 7, // PDF
    kSaveFailed = 8,           // JPEG second page or save failure; TIFF save failure; PDF generator failure
    kDocumentWriteFailed = 9,  // the output file could not be written; the document is lost
    kNoUsableResolution = 10,  // PDF: the page has no resolution (or one that gives no page box)
};

class IF_ImageCompressioner {
public:
    virtual ~IF_ImageCompressioner() = default;
    virtual int Begin(const CompressionRequest& request) = 0;
    // On success the page file is deleted.
    virtual int AddPage(const std::string& pagePath) = 0;
    // The same for a page held in memory (the scanning control's page, not copied); the
    // file written is the one AddPage writes for that page read back from a bitmap file.
    // The rows need to stay valid only for the call.
    virtual int AddPageImage(const codec::ImageView& page) = 0;
    // Ends the job and deletes the output file and the temporary page file.
    virtual void Abandon() = 0;
    // Ends the job. The output is kept when it holds at least one page and was written
    // completely (0); a document without pages is deleted (0); a document whose file
    // could not be written completely is deleted too, and kDocumentWriteFailed answered.
    virtual int Finish() = 0;
    virtual const std::string& TempPageName() const = 0;
    virtual const std::string& OutputName() const = 0;
    // The system error number (errno value) of the last failure of Begin, AddPage or
    // Finish that the encoder has not shown to the user itself: ENOSPC for a full disk,
    // ERANGE when the day's numbering of the name ran out while publishing. 0 when none.
    virtual int FailureError() const = 0;
};

// "...PDF..." gives the PDF encoder, else "...TIFF..." the TIFF encoder, else "JPEG" in
// any case the JPEG encoder; other names give none.
std::unique_ptr<IF_ImageCompressioner> CreateImageCompressioner(const std::string& fileTypeName);

// The JPEG data the encoder for this file type makes of each page of a job with this
// colour mode and compression kind, in `options`: for a scanning control that can make
// pages into that data while they arrive. False when it makes none (TIFF, black and
// white) or when it is not known beforehand.
bool PageJpegForm(const std::string& fileTypeName, int colourMode, int compressionKind, codec::JpegOptions& options);

// Most pages one PDF document takes.
constexpr int kMaxPdfPages = 500;

} // namespace output
