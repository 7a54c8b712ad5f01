#include "output/PdfCompressioner.h"

#include <cerrno>
#include <cmath>
#include <cstdio>

#include "codec/Codecs.h"
#include "core/Ids.h"
#include "output/DynamicLibrary.h"
#include "output/EncoderBase.h"
#include "output/GdiplusImageSaver.h"
#include "output/OutputHost.h"
#include "output/PdfPageWriter.h"
#include "output/TextRecognizer.h"
#include "output/TiffStrips.h"
#include "platform/FileSystem.h"
#include "platform/Services.h"

namespace output {
namespace {

int RoundHalfUp(double value) { return static_cast<int>(std::floor(value + 0.5)); }

class PdfCompressioner final : public EncoderBase {
public:
    PdfCompressioner() : EncoderBase(".PDF") {}

    int AddPage(const std::string& pagePath) override {
        if (!isOpen_) return kNoOpenJob;
        failureError_ = 0;
        if (pageCount_ >= kMaxPdfPages) return kDocumentFull;
        if (damaged_) return Failed(kDocumentWriteFailed, writer_.error() ? writer_.error() : EIO);
        const std::string format = PageFormat(pagePath);
        // The page under a name of this job's own, removed whatever becomes of it.
        struct Taken {
            const PdfCompressioner& owner;
            const std::string path;
            ~Taken() { owner.DeleteFile(path); }
        } taken{*this, TakePage(pagePath, true)};
        const std::string& page = taken.path;

        codec::ImageInfo info;
        const codec::Status read = codec::ReadImageInfo(page, info);
        if (read != codec::Status::Ok)
            return Failed(kPageInfoUnreadable, read == codec::Status::NotFound      ? ENOENT
                                               : read == codec::Status::OutOfMemory ? ENOMEM
                                                                                    : EIO);
        const int dpi = RoundHalfUp(info.xDpi);
        // A page needs a resolution that gives it a page box of at least one point.
        if (dpi < 1 || PdfPageWriter::PointsFor(info.width, dpi) < 1 ||
            PdfPageWriter::PointsFor(info.height, dpi) < 1 || PdfPageWriter::PointsFor(info.width, dpi) > INT32_MAX ||
            PdfPageWriter::PointsFor(info.height, dpi) > INT32_MAX)
            return Failed(kNoUsableResolution, EINVAL);
        writer_.SetPageSize(info.width, info.height);
        writer_.SetResolution(dpi);
        RecognisePage(page, dpi);

        const std::string& working = workingPage_;
        int result;
        if (request_.colourMode == core::kEncoderColour || request_.colourMode == core::kEncoderGrey)
            result = AddJpegPage(page, format, working);
        else if (request_.colourMode == core::kEncoderBlackWhite) result = AddFaxPage(page, working);
        else return Failed(kPageInfoUnreadable, EINVAL); // no form for this colour mode: the page is not taken
        if (result != kPageAdded) return result;
        if (writer_.failed()) {
            damaged_ = true;
            return Failed(kDocumentWriteFailed, writer_.error() ? writer_.error() : EIO);
        }
        ++pageCount_;
        firstPagePending_ = false;
        return pageCount_ >= kMaxPdfPages ? kDocumentFull : kPageAdded;
    }

    bool CloseOutput() override { return writer_.Finish() && !damaged_; }
    int OutputError() const override { return writer_.error() ? writer_.error() : EIO; }
    void DeleteWorkingFiles() override { DeleteFile(workingPage_); }

private:
    // The page's words for its text layer when the job asks for one. A page whose text
    // cannot be recognised is still added, as an image only.
    void RecognisePage(const std::string& page, int dpi) {
        pageText_ = PageText{};
        writer_.SetPageText(nullptr);
        if (request_.ocrLanguages.empty() || !recognizer_.Load(request_.ocrLanguages)) return;
        codec::Image image;
        if (codec::LoadImage(page, image) != codec::Status::Ok) return;
        image.xDpi = image.yDpi = dpi;
        if (recognizer_.Recognise(image, pageText_)) writer_.SetPageText(&pageText_);
    }

    // A failed AddPage: the result, with the system error the user is to learn.
    int Failed(int result, int error) {
        failureError_ = error;
        return result;
    }

    int BeginOutput() override {
        damaged_ = false;
        // The converted page of this job: a name of its own, so that two programs
        // scanning at once never convert into the same file.
        workingPage_ = platform::HiddenWorkingName(WorkingImageFolder() + "~ImageTempFile");
        writer_.SetFileName(document_.WorkingPath());
        if (!writer_.Open()) {
            failureError_ = writer_.error();
            return kBeginCannotPrepare;
        }
        writer_.SetColourKind(core::FromEncoderColour(request_.colourMode));
        return kBeginOk;
    }

    // K for the image: 0 (one-dimensional group 3) for compression kind 1, -1 otherwise.
    int K() const { return request_.compressionKind == 1 ? 0 : -1; }

    int AddJpegPage(const std::string& pagePath, const std::string& format, const std::string& working) {
        std::string text =
            request_.colourMode == core::kEncoderColour ? "EncoderColorDepth,24," : "EncoderColorDepth,8,";
        if (request_.compressionKind == 0) text += "EncoderQuality,30";
        else if (request_.compressionKind == 1) text += "EncoderQuality,50";
        else if (request_.compressionKind == 2) text += "EncoderQuality,80";
        int converted;
        {
            GdiplusImageSaver saver;
            if (saver.Init(text) != kImagingOk) return Failed(kJpegConversionFailed, EIO);
            const int prepared = saver.PrepareOutput(working, "JPEG");
            if (prepared == kImagingNoEncoder) return Failed(kNoJpegEncoder, EIO);
            if (prepared == kImagingCannotReplaceOutput) return Failed(kPageExtractFailed, EACCES);
            if (prepared != kImagingOk) return Failed(kJpegConversionFailed, EIO);
            converted = saver.AddImage(pagePath, "", format);
            if (converted != kImagingOk) {
                // The system's text for the cause: running out of memory, a full disk.
                ShowOutputMessage(SystemErrorText(saver.systemError()));
                failureError_ = 0; // told
            }
            saver.Close();
        }
        DeleteFile(pagePath);
        if (converted != kImagingOk) {
            DeleteFile(working);
            return kJpegConversionFailed;
        }
        // Declare the colour space the JPEG data really has.
        codec::ImageInfo jpeg;
        if (codec::ReadImageInfo(working, jpeg) != codec::Status::Ok) {
            DeleteFile(working);
            return Failed(kJpegConversionFailed, EIO);
        }
        writer_.SetImageComponents(codec::ComponentsOf(jpeg.format));
        writer_.SetCompressed(1);
        const int result = StreamImage(working);
        DeleteFile(working);
        return result;
    }

    int AddFaxPage(const std::string& pagePath, const std::string& working) {
        const int code = request_.compressionKind == 1 ? 3 : request_.compressionKind == 2 ? 4 : 1;
        {
            DynamicLibrary library(TiffGeneratorLibrary());
            if (!library.IsLoaded()) return Failed(kPageExtractFailed, ELIBACC);
            auto generate = reinterpret_cast<GenerateTiffFunction>(library.Symbol(kGenerateTiffEntry));
            if (!generate) return Failed(kPageInfoUnreadable, ELIBBAD);
            errno = 0;
            const int generated = generate(pagePath.c_str(), working.c_str(), code);
            const int cause = errno;
            DeleteFile(pagePath);
            if (generated < 0) {
                DeleteFile(working);
                return Failed(kSaveFailed, cause ? cause : EIO);
            }
        }
        const std::string strips = working + "~TempTemp";
        errno = 0;
        const bool extracted = ExtractTiffStrips(working, strips);
        const int cause = errno;
        DeleteFile(working);
        if (!extracted || !platform::FileSystem().Rename(strips, working)) {
            const int renameCause = errno;
            DeleteFile(strips);
            return Failed(kPageExtractFailed, !extracted ? (cause ? cause : EIO) : renameCause ? renameCause : EIO);
        }
        writer_.SetCompressed(request_.compressionKind == 0 ? 0 : 1);
        const int result = StreamImage(working);
        DeleteFile(working);
        return result;
    }

    // Copies the prepared image data into the page's image stream in 1 KiB chunks.
    int StreamImage(const std::string& path) {
        std::FILE* in = std::fopen(path.c_str(), "rb");
        if (!in) return Failed(kPageExtractFailed, errno);
        if (!writer_.BeginPage(K())) {
            std::fclose(in);
            return kDocumentFull;
        }
        char chunk[1024];
        bool complete = true;
        for (;;) {
            const size_t n = std::fread(chunk, 1, sizeof chunk, in);
            if (n > 0) writer_.WriteImageData(chunk, n);
            if (n < sizeof chunk) {
                complete = !std::ferror(in);
                break;
            }
        }
        std::fclose(in);
        if (!complete) {
            // The page is half written; the document can no longer be completed.
            damaged_ = true;
            return Failed(kPageDataShort, EIO);
        }
        writer_.EndImage();
        return kPageAdded;
    }

    PdfPageWriter writer_;
    TextRecognizer recognizer_;
    PageText pageText_;
    std::string workingPage_;
    bool damaged_ = false;
};

} // namespace

std::unique_ptr<IF_ImageCompressioner> MakePdfCompressioner() { return std::make_unique<PdfCompressioner>(); }

} // namespace output
