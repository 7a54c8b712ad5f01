#include "output/GdiplusImageSaver.h"

#include <cerrno>
#include <cstring>

#include "codec/Bmp.h"
#include "codec/Codecs.h"
#include "codec/FileIo.h"
#include "codec/Jpeg.h"
#include "codec/Png.h"
#include "codec/Tiff.h"
#include "platform/FileSystem.h"
#include "platform/Services.h"
#include "platform/Text.h"

namespace output {

// What the parameters ask of the encoders that read them. Parameters an output format
// has no use for are accepted and have no effect.
struct SaveSettings {
    bool hasDepth = false;
    int depth = 0;
    bool hasQuality = false;
    int quality = 75;
    bool hasCompression = false;
    int compression = EncoderValueCompressionLZW;
};

namespace {

int ResultOf(codec::Status status) {
    switch (status) {
        case codec::Status::Ok: return kImagingOk;
        case codec::Status::OutOfMemory: return kImagingOutOfMemory;
        case codec::Status::Busy: return kImagingObjectBusy;
        case codec::Status::AccessDenied: return kImagingAccessDenied;
        default: return kImagingFailed;
    }
}

bool ReadSettings(const std::vector<EncoderParameter>& parameters, SaveSettings& s) {
    for (const auto& p : parameters) {
        switch (p.name) {
            case EncoderParameterName::ColorDepth:
                if (p.value != 1 && p.value != 4 && p.value != 8 && p.value != 24 && p.value != 32) return false;
                s.hasDepth = true;
                s.depth = p.value == 4 ? 8 : p.value == 32 ? 24 : p.value;
                break;
            case EncoderParameterName::Quality:
                if (p.value < 0 || p.value > 100) return false;
                s.hasQuality = true;
                s.quality = p.value;
                break;
            case EncoderParameterName::Compression:
                if (p.value < EncoderValueCompressionLZW || p.value > EncoderValueCompressionNone) return false;
                s.hasCompression = true;
                s.compression = p.value;
                break;
            default: break;
        }
    }
    return true;
}

// The system error behind a failed result: the one a writer noted, else the one the
// result stands for.
int ErrorOf(int result) {
    if (result == kImagingOutOfMemory) return ENOMEM;
    if (const int noted = codec::LastWriteError()) return noted;
    switch (result) {
        case kImagingAccessDenied: return EACCES;
        case kImagingSourceMissing: return ENOENT;
        case kImagingObjectBusy: return EBUSY;
        default: return EIO;
    }
}

codec::TiffCompression TiffCompressionOf(int value) {
    switch (value) {
        case EncoderValueCompressionCCITT3: return codec::TiffCompression::CcittG3;
        case EncoderValueCompressionCCITT4: return codec::TiffCompression::CcittG4;
        case EncoderValueCompressionRle: return codec::TiffCompression::CcittRle;
        case EncoderValueCompressionNone: return codec::TiffCompression::None;
        default: return codec::TiffCompression::Lzw; // also the default when none is asked
    }
}

codec::PixelFormat FormatForDepth(int depth) {
    return depth == 1   ? codec::PixelFormat::Bilevel1
           : depth == 8 ? codec::PixelFormat::Gray8
                        : codec::PixelFormat::Rgb24;
}

} // namespace

std::string AppendParameters(const std::string& text, const std::string& extra) {
    return text.empty() ? extra : text + "," + extra;
}

GdiplusImageSaver::GdiplusImageSaver() = default;

GdiplusImageSaver::~GdiplusImageSaver() { Close(); }

int GdiplusImageSaver::Init(const std::string& parameterText) {
    decoderFormats_.clear();
    encoders_.clear();
    for (const auto& d : codec::Decoders()) decoderFormats_.push_back(d.formatName);
    for (const auto& e : codec::Encoders()) encoders_[e.mimeType] = e.formatName;
    if (decoderFormats_.empty() || encoders_.empty()) return kImagingCodecListUnreadable;
    parameterText_ = parameterText;
    encoderMime_.clear();
    pageCount_ = 0;
    isOpen_ = true;
    return kImagingOk;
}

int GdiplusImageSaver::PrepareOutput(const std::string& outputPath, const std::string& formatName) {
    if (!isOpen_) return kImagingNotPrepared;
    formatName_ = NormaliseFormatName(formatName.empty() ? platform::ExtensionOf(outputPath) : formatName);
    const std::string lower = platform::AsciiLower(formatName_);
    encoderMime_.clear();
    for (const std::string& mime : {"image/" + lower, "image/x-" + lower})
        if (encoders_.count(mime)) {
            encoderMime_ = mime;
            break;
        }
    if (encoderMime_.empty()) return kImagingNoEncoder;
    auto& fs = platform::FileSystem();
    if (fs.Exists(outputPath) && !fs.Remove(outputPath)) return kImagingCannotReplaceOutput;
    outputPath_ = outputPath;
    memory_ = nullptr;
    return kImagingOk;
}

int GdiplusImageSaver::PrepareOutput(std::vector<std::uint8_t>& out, const std::string& formatName) {
    if (!isOpen_) return kImagingNotPrepared;
    formatName_ = NormaliseFormatName(formatName);
    encoderMime_.clear();
    if (platform::AsciiLower(formatName_) != "jpeg" || !encoders_.count("image/jpeg")) return kImagingNoEncoder;
    encoderMime_ = "image/jpeg";
    outputPath_.clear();
    memory_ = &out;
    out.clear();
    return kImagingOk;
}

int GdiplusImageSaver::AddImage(const std::string& sourcePath, const std::string& parameterText,
                                const std::string& sourceFormat) {
    codec::ClearWriteError();
    const int result = AddImageNow(sourcePath, parameterText, sourceFormat);
    systemError_ = result == kImagingOk ? 0 : ErrorOf(result);
    return result;
}

int GdiplusImageSaver::AddImage(const codec::ImageView& page, const std::string& parameterText) {
    codec::ClearWriteError();
    SaveSettings settings;
    int result = PageSettings(parameterText, settings);
    if (result == kImagingOk) result = pageCount_ == 0 ? SaveFirst(page, settings) : AppendFrame(page, settings);
    if (result == kImagingOk) ++pageCount_;
    systemError_ = result == kImagingOk ? 0 : ErrorOf(result);
    return result;
}

int GdiplusImageSaver::PageSettings(const std::string& parameterText, SaveSettings& settings) {
    if (!isOpen_ || encoderMime_.empty()) return kImagingNotPrepared;
    if (!parameterText.empty()) parameterText_ = parameterText;
    const bool multiPage = encoderMime_ == "image/tiff";
    if (pageCount_ > 0 && !multiPage) return kImagingLaterImageRefused;
    const std::string parameters =
        pageCount_ == 0
            ? (multiPage ? AppendParameters(parameterText_, "EncoderSaveFlag,EncoderValueMultiFrame") : parameterText_)
            : AppendParameters(parameterText_, "EncoderSaveFlag,EncoderValueFrameDimensionPage");
    std::vector<EncoderParameter> parsed;
    if (!ParseEncoderParameters(parameters, parsed) || !ReadSettings(parsed, settings))
        return kImagingParametersRefused;
    return kImagingOk;
}

int GdiplusImageSaver::AddImageNow(const std::string& sourcePath, const std::string& parameterText,
                                   const std::string& sourceFormat) {
    if (!isOpen_ || encoderMime_.empty()) return kImagingNotPrepared;
    const std::string format = platform::AsciiLower(
        NormaliseFormatName(sourceFormat.empty() ? platform::ExtensionOf(sourcePath) : sourceFormat));
    bool decodable = false;
    for (const auto& d : decoderFormats_) decodable = decodable || platform::AsciiLower(d) == format;
    if (!decodable) return kImagingNoDecoder;
    auto& fs = platform::FileSystem();
    if (!fs.Exists(sourcePath)) return kImagingSourceMissing;
    const bool multiPage = encoderMime_ == "image/tiff";
    // The parameters are checked before the source is touched, so a refused text leaves
    // the page where it was.
    SaveSettings settings;
    if (const int checked = PageSettings(parameterText, settings); checked != kImagingOk) return checked;

    DeleteTemporarySources();
    const std::string loaded = sourcePath + (pageCount_ == 0 ? "FirstPage" : "CommonPage");
    fs.Remove(loaded);
    if (!fs.Rename(sourcePath, loaded)) return kImagingAccessDenied;
    (pageCount_ == 0 ? firstSourceName_ : commonSourceName_) = loaded;

    int frames = 1;
    int result = Load(loaded, 0, &frames);
    if (result != kImagingOk) return result;
    result = pageCount_ == 0 ? SaveFirst(image_, settings) : AppendFrame(image_, settings);
    if (result == kImagingOk && multiPage && frames > 1) result = AppendFrames(loaded, 1, frames, settings);
    if (result != kImagingOk) return result;
    ++pageCount_;
    return kImagingOk;
}

int GdiplusImageSaver::Load(const std::string& path, int frame, int* frameCount) {
    const codec::Status status = codec::LoadImage(path, image_, frame, frameCount);
    return status == codec::Status::NotFound ? kImagingSourceMissing : ResultOf(status);
}

namespace {

// An image of its own holding the rows of a view (for a change of form).
bool CopyOf(const codec::ImageView& view, codec::Image& out) {
    if (!out.Allocate(view.width, view.height, view.format)) return false;
    for (int y = 0; y < view.height; ++y) std::memcpy(out.Row(y), view.Row(y), view.RowBytes());
    out.xDpi = view.xDpi;
    out.yDpi = view.yDpi;
    return true;
}

codec::ImageView ViewOfPage(const codec::Image& image) { return codec::ViewOf(image); }
const codec::ImageView& ViewOfPage(const codec::ImageView& view) { return view; }

bool ConvertPage(const codec::Image& image, codec::PixelFormat format, codec::Image& out) {
    return codec::Convert(image, format, out);
}
bool ConvertPage(const codec::ImageView& view, codec::PixelFormat format, codec::Image& out) {
    codec::Image copy;
    return CopyOf(view, copy) && codec::Convert(copy, format, out);
}

} // namespace

template <class Page>
int GdiplusImageSaver::SaveFirst(const Page& image, const SaveSettings& s) {
    if (encoderMime_ == "image/tiff") {
        target_ = std::make_unique<codec::TiffWriter>();
        const codec::Status status = target_->Open(outputPath_);
        if (status != codec::Status::Ok) {
            target_.reset();
            return ResultOf(status);
        }
        return AppendFrame(image, s);
    }
    if (encoderMime_ == "image/jpeg") {
        codec::JpegOptions options;
        options.quality = s.quality;
        options.grey = s.hasDepth
                           ? s.depth != 24
                           : image.format == codec::PixelFormat::Gray8 || image.format == codec::PixelFormat::Bilevel1;
        if (memory_) return ResultOf(codec::EncodeJpeg(ViewOfPage(image), options, *memory_));
        return ResultOf(codec::SaveJpeg(image, outputPath_, options));
    }
    if (s.hasDepth && FormatForDepth(s.depth) != image.format &&
        !(s.depth == 24 && image.format == codec::PixelFormat::Bgr24)) {
        codec::Image converted;
        if (!ConvertPage(image, FormatForDepth(s.depth), converted)) return kImagingOutOfMemory;
        return SaveConverted(converted);
    }
    if (encoderMime_ == "image/png") return ResultOf(codec::SavePng(image, outputPath_));
    if (encoderMime_ == "image/bmp") return ResultOf(codec::SaveBmp(image, outputPath_));
    return kImagingNoEncoder;
}

int GdiplusImageSaver::SaveConverted(const codec::Image& page) {
    if (encoderMime_ == "image/png") return ResultOf(codec::SavePng(page, outputPath_));
    if (encoderMime_ == "image/bmp") return ResultOf(codec::SaveBmp(page, outputPath_));
    return kImagingNoEncoder;
}

template <class Page>
int GdiplusImageSaver::AppendFrame(const Page& image, const SaveSettings& s) {
    if (!target_ || !target_->IsOpen()) return kImagingNotPrepared;
    codec::TiffPageOptions options;
    options.compression = TiffCompressionOf(s.compression);
    options.depth = s.hasDepth ? s.depth : 0;
    return ResultOf(target_->AddPage(image, options));
}

int GdiplusImageSaver::AppendFrames(const std::string& loadedPath, int firstFrame, int frameCount,
                                    const SaveSettings& settings) {
    // The save flag is the only difference between a first page's text and a later
    // page's, and it asks nothing of the encoders: the settings hold for every frame.
    for (int frame = firstFrame; frame < frameCount; ++frame) {
        int result = Load(loadedPath, frame, nullptr);
        if (result == kImagingOk) result = AppendFrame(image_, settings);
        if (result != kImagingOk) return result;
    }
    return kImagingOk;
}

void GdiplusImageSaver::DeleteTemporarySources() {
    auto& fs = platform::FileSystem();
    for (std::string* name : {&firstSourceName_, &commonSourceName_}) {
        if (!name->empty()) fs.Remove(*name);
        name->clear();
    }
}

int GdiplusImageSaver::Close() {
    int result = kImagingOk;
    if (target_) {
        codec::ClearWriteError();
        if (target_->IsOpen() && target_->Close() != codec::Status::Ok) {
            result = kImagingFailed;
            systemError_ = ErrorOf(result);
        }
        target_.reset();
    }
    if (isOpen_ || !firstSourceName_.empty() || !commonSourceName_.empty()) DeleteTemporarySources();
    image_.pixels.Release();
    encoderMime_.clear();
    isOpen_ = false;
    return result;
}

} // namespace output
