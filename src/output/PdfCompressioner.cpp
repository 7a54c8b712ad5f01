#include "output/PdfCompressioner.h"

#include <cmath>
#include <cstdio>

#include "output/DynamicLibrary.h"
#include "output/EncoderBase.h"
#include "output/GdiplusImageSaver.h"
#include "output/OutputHost.h"
#include "output/PdfPageWriter.h"
#include "output/TiffStrips.h"
#include "output/codec/Codecs.h"
#include "platform/Services.h"

namespace output {
namespace {

int RoundHalfUp(double value) { return static_cast<int>(std::floor(value + 0.5)); }

class PdfCompressioner final : public EncoderBase {
public:
    PdfCompressioner() : EncoderBase(".PDF") {}

    int AddPage(const std::string& pagePath) override {
        if (!isOpen_) return kNoOpenJob;
        if (pageCount_ >= kMaxPdfPages) return kDocumentFull;
        if (damaged_) return kDocumentWriteFailed;

        codec::ImageInfo info;
        if (codec::ReadImageInfo(pagePath, info) != codec::Status::Ok) return kPageInfoUnreadable;
        const int dpi = RoundHalfUp(info.xDpi);
        // A page needs a resolution that gives it a page box of at least one point.
        if (dpi < 1 || PdfPageWriter::PointsFor(info.width, dpi) < 1 || PdfPageWriter::PointsFor(info.height, dpi) < 1 ||
            PdfPageWriter::PointsFor(info.width, dpi) > INT32_MAX || PdfPageWriter::PointsFor(info.height, dpi) > INT32_MAX)
            return kNoUsableResolution;
        writer_.SetPageSize(info.width, info.height);
        writer_.SetResolution(dpi);

        const std::string working = WorkingImageFolder() + "~ImageTempFile";
        int result;
        if (request_.colourMode == 0 || request_.colourMode == 1) result = AddJpegPage(pagePath, working);
        else if (request_.colourMode == 2) result = AddFaxPage(pagePath, working);
        else return kPageInfoUnreadable;  // no form for this colour mode: the page is not taken
        if (result != kPageAdded) return result;
        if (writer_.failed()) {
            damaged_ = true;
            return kDocumentWriteFailed;
        }
        ++pageCount_;
        firstPagePending_ = false;
        return pageCount_ >= kMaxPdfPages ? kDocumentFull : kPageAdded;
    }

    void Abandon() override {
        if (!isOpen_) return;
        writer_.Finish();
        DeleteFile(outputName_);
        DeleteFile(tempPageName_);
        pageCount_ = 0;
        isOpen_ = false;
    }

    int Finish() override {
        if (!isOpen_) return kPageAdded;
        const bool complete = writer_.Finish() && !damaged_;
        int result = kPageAdded;
        if (pageCount_ == 0) {
            DeleteFile(outputName_);
        } else if (!complete) {
            DeleteFile(outputName_);
            result = kDocumentWriteFailed;
        }
        DeleteFile(tempPageName_);
        pageCount_ = 0;
        isOpen_ = false;
        return result;
    }

private:
    int BeginOutput() override {
        damaged_ = false;
        writer_.SetFileName(outputName_);
        if (!writer_.Open()) {
            DeleteFile(outputName_);
            return kBeginCannotPrepare;
        }
        writer_.SetColourKind(request_.colourMode == 1 ? 1 : request_.colourMode == 2 ? 2 : 0);
        return kBeginOk;
    }

    // K for the image: 0 (one-dimensional group 3) for compression kind 1, -1 otherwise.
    int K() const { return request_.compressionKind == 1 ? 0 : -1; }

    int AddJpegPage(const std::string& pagePath, const std::string& working) {
        std::string text = request_.colourMode == 0 ? "EncoderColorDepth,24," : "EncoderColorDepth,8,";
        if (request_.compressionKind == 0) text += "EncoderQuality,30";
        else if (request_.compressionKind == 1) text += "EncoderQuality,50";
        else if (request_.compressionKind == 2) text += "EncoderQuality,80";
        int converted;
        {
            GdiplusImageSaver saver;
            if (saver.Init(text) != kImagingOk) return kJpegConversionFailed;
            const int prepared = saver.PrepareOutput(working, "JPEG");
            if (prepared == kImagingNoEncoder) return kNoJpegEncoder;
            if (prepared == kImagingCannotReplaceOutput) return kPageExtractFailed;
            if (prepared != kImagingOk) return kJpegConversionFailed;
            converted = saver.AddImage(pagePath, "", "");
            if (converted != kImagingOk) ShowOutputMessage(OutOfMemoryText());
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
            return kJpegConversionFailed;
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
            if (!library.IsLoaded()) return kPageExtractFailed;
            auto generate = reinterpret_cast<GenerateTiffFunction>(library.Symbol(kGenerateTiffEntry));
            if (!generate) return kPageInfoUnreadable;
            const int generated = generate(pagePath.c_str(), working.c_str(), code);
            DeleteFile(pagePath);
            if (generated < 0) {
                DeleteFile(working);
                return kSaveFailed;
            }
        }
        const std::string strips = working + "~TempTemp";
        const bool extracted = ExtractTiffStrips(working, strips);
        DeleteFile(working);
        if (!extracted || !platform::FileSystem().Rename(strips, working)) {
            DeleteFile(strips);
            return kPageExtractFailed;
        }
        writer_.SetCompressed(request_.compressionKind == 0 ? 0 : 1);
        const int result = StreamImage(working);
        DeleteFile(working);
        return result;
    }

    // Copies the prepared image data into the page's image stream in 1 KiB chunks.
    int StreamImage(const std::string& path) {
        std::FILE* in = std::fopen(path.c_str(), "rb");
        if (!in) return kPageExtractFailed;
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
            return kPageDataShort;
        }
        writer_.EndImage();
        return kPageAdded;
    }

    PdfPageWriter writer_;
    bool damaged_ = false;
};

} // namespace

std::unique_ptr<IF_ImageCompressioner> MakePdfCompressioner() { return std::make_unique<PdfCompressioner>(); }

} // namespace output
