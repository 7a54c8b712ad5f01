#include <cstdio>
#include <stdexcept>

#include "output/EncoderBase.h"
#include "output/FileNaming.h"
#include "output/GdiplusImageSaver.h"
#include "output/OutputHost.h"
#include "output/PdfCompressioner.h"
#include "platform/Services.h"

namespace output {

int EncoderBase::Begin(const CompressionRequest& request) {
    request_ = request;
    CreateDirectoryPath(request_.saveFolder);  // a failure shows when the output is written
    try {
        tempPageName_ = MakeSequencedFileName(request_.tempFolder, "~ImageTempFile", request_.tempExtension);
        outputName_ = MakeSequencedFileName(request_.saveFolder, request_.fileName, extension_);
    } catch (const std::range_error&) {
        return kBeginNamesExhausted;
    }
    const int result = BeginOutput();
    if (result != kBeginOk) return result;
    isOpen_ = true;
    firstPagePending_ = true;
    pageCount_ = 0;
    return kBeginOk;
}

void EncoderBase::DeleteFile(const std::string& path) const {
    if (!path.empty()) platform::FileSystem().Remove(path);
}

namespace {

// JPEG and TIFF output through the image saver; they differ in the parameter text and
// in how many pages a job takes.
class SaverEncoder : public EncoderBase {
public:
    int AddPage(const std::string& pagePath) override {
        if (!isOpen_) return kNoOpenJob;
        if (singlePage_ && pageCount_ >= 1) return kSaveFailed;
        const int result = saver_.AddImage(pagePath, "", "");
        if (result != kImagingOk) {
            // The user learns of any failed save through the system's out-of-memory text.
            ShowOutputMessage(OutOfMemoryText());
            return kSaveFailed;
        }
        DeleteFile(pagePath);
        firstPagePending_ = false;
        ++pageCount_;
        return kPageAdded;
    }

    void Abandon() override {
        if (!isOpen_) return;
        saver_.Close();
        DeleteFile(outputName_);
        DeleteFile(tempPageName_);  // a page the control wrote but nobody added
        pageCount_ = 0;
        isOpen_ = false;
    }

    int Finish() override {
        if (!isOpen_) return kPageAdded;
        const bool complete = saver_.Close() == kImagingOk;
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

protected:
    SaverEncoder(const char* extension, bool singlePage) : EncoderBase(extension), singlePage_(singlePage) {}

    int StartSaver(const std::string& parameterText) {
        if (saver_.Init(parameterText) != kImagingOk) return kBeginCannotPrepare;
        if (saver_.PrepareOutput(outputName_, "") != kImagingOk) {
            saver_.Close();
            return kBeginCannotPrepare;
        }
        return kBeginOk;
    }

private:
    GdiplusImageSaver saver_;
    bool singlePage_;
};

class JpegCompressioner final : public SaverEncoder {
public:
    JpegCompressioner() : SaverEncoder(".JPEG", true) {}

    // Colour depth by colour mode (24 colour, 8 grey, 1 black and white), quality 100
    // minus the compression level.
    static std::string ParameterText(int colourMode, int compressionLevel) {
        const int depth = colourMode == 0 ? 24 : colourMode == 1 ? 8 : colourMode == 2 ? 1 : 24;
        const int level = compressionLevel < 0 ? 0 : compressionLevel > 100 ? 100 : compressionLevel;
        char text[64];
        std::snprintf(text, sizeof text, "EncoderColorDepth,%d,EncoderQuality,%d", depth, 100 - level);
        return text;
    }

private:
    int BeginOutput() override { return StartSaver(ParameterText(request_.colourMode, request_.compressionLevel)); }
};

class TiffCompressioner final : public SaverEncoder {
public:
    TiffCompressioner() : SaverEncoder(".TIFF", false) {}

    // Black-and-white pages get the compression asked for; other pages none at all.
    static std::string ParameterText(int colourMode, int compressionKind) {
        if (colourMode != 2) return {};
        switch (compressionKind) {
        case 0: return "EncoderCompression,EncoderValueCompressionNone";
        case 1: return "EncoderCompression,EncoderValueCompressionCCITT3";
        case 2: return "EncoderCompression,EncoderValueCompressionCCITT4";
        default: return {};
        }
    }

private:
    int BeginOutput() override { return StartSaver(ParameterText(request_.colourMode, request_.compressionKind)); }
};

std::string Upper(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return s;
}

} // namespace

std::string JpegParameterText(int colourMode, int compressionLevel) {
    return JpegCompressioner::ParameterText(colourMode, compressionLevel);
}

std::string TiffParameterText(int colourMode, int compressionKind) {
    return TiffCompressioner::ParameterText(colourMode, compressionKind);
}

std::unique_ptr<IF_ImageCompressioner> CreateImageCompressioner(const std::string& fileTypeName) {
    if (fileTypeName.find("PDF") != std::string::npos) return MakePdfCompressioner();
    if (fileTypeName.find("TIFF") != std::string::npos) return std::make_unique<TiffCompressioner>();
    if (Upper(fileTypeName) == "JPEG") return std::make_unique<JpegCompressioner>();
    return nullptr;
}

} // namespace output
