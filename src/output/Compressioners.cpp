#include <cerrno>
#include <cstdio>
#include <stdexcept>

#include "core/Ids.h"
#include "output/EncoderBase.h"
#include "output/FileNaming.h"
#include "output/GdiplusImageSaver.h"
#include "output/OutputHost.h"
#include "output/PdfCompressioner.h"
#include "platform/FileSystem.h"
#include "platform/Services.h"

namespace output {

void EncoderBase::Abandon() {
    if (!isOpen_) return;
    CancelOutput();
    CloseOutput();
    DiscardDocument();
    DeleteFile(tempPageName_); // a page the control wrote but nobody added
    DeleteWorkingFiles();
    pageCount_ = 0;
    isOpen_ = false;
}

int EncoderBase::Finish() {
    if (!isOpen_) return kPageAdded;
    const bool complete = CloseOutput();
    int result = kPageAdded;
    if (pageCount_ == 0) {
        DiscardDocument();
    } else if (!complete) {
        failureError_ = OutputError();
        DiscardDocument();
        result = kDocumentWriteFailed;
    } else if (!PublishDocument()) {
        result = kDocumentWriteFailed;
    }
    DeleteFile(tempPageName_);
    DeleteWorkingFiles();
    pageCount_ = 0;
    isOpen_ = false;
    return result;
}

int EncoderBase::Begin(const CompressionRequest& request) {
    request_ = request;
    failureError_ = 0;
    tempPageName_.clear();
    platform::CreateFolderPath(request_.saveFolder); // a failure shows when the document is reserved
    try {
        ReserveTempPage();
        if (!document_.Reserve(request_.saveFolder, request_.fileName, extension_)) {
            failureError_ = document_.error();
            DeleteFile(tempPageName_);
            return kBeginCannotPrepare;
        }
    } catch (const std::range_error&) {
        DeleteFile(tempPageName_);
        return kBeginNamesExhausted;
    }
    outputName_ = document_.FinalPath();
    const int result = BeginOutput();
    if (result != kBeginOk) {
        document_.Discard();
        DeleteFile(tempPageName_);
        return result;
    }
    isOpen_ = true;
    firstPagePending_ = true;
    pageCount_ = 0;
    return kBeginOk;
}

void EncoderBase::ReserveTempPage() {
    auto& fs = platform::FileSystem();
    for (int attempt = 0; attempt < 16; ++attempt) {
        int error = 0;
        if (!tempPageName_.empty() && fs.CreateNew(tempPageName_, &error)) return;
        // A temporary folder that cannot take the name keeps it: the page write fails
        // there and says why.
        if (!tempPageName_.empty() && error != EEXIST) return;
        tempPageName_ = MakeSequencedFileName(request_.tempFolder, "~ImageTempFile", request_.tempExtension);
    }
}

std::string EncoderBase::TakePage(const std::string& pagePath, bool morePages) {
    auto& fs = platform::FileSystem();
    std::string taken = platform::HiddenWorkingName(pagePath);
    if (!fs.Rename(pagePath, taken)) return pagePath;
    if (morePages && pagePath == tempPageName_) ReserveTempPage();
    return taken;
}

std::string EncoderBase::PageFormat(const std::string& pagePath) {
    const size_t dot = pagePath.find_last_of('.');
    const size_t slash = pagePath.find_last_of('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
    return pagePath.substr(dot + 1);
}

bool EncoderBase::PublishDocument() {
    if (document_.Publish()) {
        outputName_ = document_.FinalPath();
        return true;
    }
    failureError_ = document_.error();
    return false;
}

void EncoderBase::DiscardDocument() { document_.Discard(); }

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
        failureError_ = 0;
        if (singlePage_ && pageCount_ >= 1) return kSaveFailed;
        const std::string page = TakePage(pagePath, !singlePage_);
        const int result = saver_.AddImage(page, "", PageFormat(pagePath));
        if (result != kImagingOk) {
            DeleteFile(page);
            // The user learns of a failed save through the system's text for its cause:
            // running out of memory, a full disk, a refused file.
            ShowOutputMessage(SystemErrorText(saver_.systemError()));
            failureError_ = 0; // told
            return kSaveFailed;
        }
        DeleteFile(page);
        firstPagePending_ = false;
        ++pageCount_;
        return kPageAdded;
    }

    int AddPageImage(const codec::ImageView& page) override {
        if (!isOpen_) return kNoOpenJob;
        failureError_ = 0;
        if (singlePage_ && pageCount_ >= 1) return kSaveFailed;
        if (saver_.AddImage(page, "") != kImagingOk) {
            ShowOutputMessage(SystemErrorText(saver_.systemError()));
            failureError_ = 0; // told
            return kSaveFailed;
        }
        firstPagePending_ = false;
        ++pageCount_;
        return kPageAdded;
    }

    bool CloseOutput() override { return saver_.Close() == kImagingOk; }
    int OutputError() const override { return saver_.systemError(); }

protected:
    SaverEncoder(const char* extension, bool singlePage) : EncoderBase(extension), singlePage_(singlePage) {}

    int StartSaver(const std::string& parameterText) {
        if (saver_.Init(parameterText) != kImagingOk) return kBeginCannotPrepare;
        // The format comes from the final name; the file written is the hidden one.
        if (saver_.PrepareOutput(document_.WorkingPath(), Extension()) != kImagingOk) {
            saver_.Close();
            failureError_ = EACCES;
            return kBeginCannotPrepare;
        }
        return kBeginOk;
    }

    // The output format's name from the final name's extension ("JPEG", "TIFF").
    std::string Extension() const {
        const size_t dot = outputName_.find_last_of('.');
        return dot == std::string::npos ? std::string() : outputName_.substr(dot + 1);
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
        const int depth = core::BitDepthOf(core::FromEncoderColour(colourMode));
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
        if (colourMode != core::kEncoderBlackWhite) return {};
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
