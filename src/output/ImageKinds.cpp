#include "output/ImageKinds.h"

#include <mutex>

namespace output {
namespace {

struct KindTraits {
    const char* name;
    int32_t transferFormat;
    const char* extension;
    bool needsEncoder;
};

// One class per kind, each a direct SImageType, answering from its constant traits.
template <const KindTraits& T>
class FixedImageType final : public SImageType {
public:
    std::string GetName() const override { return T.name; }
    int32_t GetTransferFormat() const override { return T.transferFormat; }
    std::string GetExtension() const override { return T.extension; }
    bool NeedsEncoder() const override { return T.needsEncoder; }
};

constexpr KindTraits kBmp{"BMP", kBitmapTransferFormat, ".BMP", false};
constexpr KindTraits kJpg{"JPEG", kBitmapTransferFormat, ".BMP", true};
constexpr KindTraits kTif{"TIFF", kBitmapTransferFormat, ".BMP", true};
constexpr KindTraits kPng{"PNG", kPngTransferFormat, ".PNG", false};
constexpr KindTraits kPcx{"PCX", kBitmapTransferFormat, ".PCX", false};
constexpr KindTraits kGif{"GIF", kBitmapTransferFormat, ".GIF", false};
constexpr KindTraits kTga{"TGA", kBitmapTransferFormat, ".TGA", false};
constexpr KindTraits kWmf{"WMF", kBitmapTransferFormat, ".WMF", false};
constexpr KindTraits kEmf{"EMF", kBitmapTransferFormat, ".EMF", false};
constexpr KindTraits kPdf{"PDF", kBitmapTransferFormat, ".BMP", true};
constexpr KindTraits kMultiPdf{"Multi-page PDF", kBitmapTransferFormat, ".BMP", true};
constexpr KindTraits kMultiTif{"Multi-page TIFF", kBitmapTransferFormat, ".BMP", true};
constexpr KindTraits kPcxPlim{"PCX", 100, ".PCX", false};
constexpr KindTraits kGifPlim{"GIF", 101, ".GIF", false};
constexpr KindTraits kTgaPlim{"TGA", 102, ".TGA", false};
constexpr KindTraits kWmfPlim{"WMF", 103, ".WMF", false};
constexpr KindTraits kEmfPlim{"EMF", 104, ".EMF", false};

} // namespace

using BMPImage = FixedImageType<kBmp>;
using JPGImage = FixedImageType<kJpg>;
using TIFImage = FixedImageType<kTif>;
using PNGImage = FixedImageType<kPng>;
using PCXImage = FixedImageType<kPcx>;
using GIFImage = FixedImageType<kGif>;
using TGAImage = FixedImageType<kTga>;
using WMFImage = FixedImageType<kWmf>;
using EMFImage = FixedImageType<kEmf>;
using PDFImage = FixedImageType<kPdf>;
using MultiPagePDFImage = FixedImageType<kMultiPdf>;
using MultiPageTIFFImage = FixedImageType<kMultiTif>;
using PCXImageForPlim = FixedImageType<kPcxPlim>;
using GIFImageForPlim = FixedImageType<kGifPlim>;
using TGAImageForPlim = FixedImageType<kTgaPlim>;
using WMFImageForPlim = FixedImageType<kWmfPlim>;
using EMFImageForPlim = FixedImageType<kEmfPlim>;

// The kind for names nobody knows: a bitmap kind of its own, forwarding to one.
class DefaultImage final : public SImageType {
public:
    std::string GetName() const override { return bitmap_.GetName(); }
    int32_t GetTransferFormat() const override { return bitmap_.GetTransferFormat(); }
    std::string GetExtension() const override { return bitmap_.GetExtension(); }
    bool NeedsEncoder() const override { return bitmap_.NeedsEncoder(); }
private:
    BMPImage bitmap_;
};

namespace {

template <typename Kind>
const SImageType& Instance() {
    static const Kind kind;
    return kind;
}

std::mutex familyMutex;
std::shared_ptr<const ISourceFamily> sourceFamily;

} // namespace

const SImageType& ImageKindForType(const std::string& name) {
    if (name == "BMP") return Instance<BMPImage>();
    if (name == "JPEG") return Instance<JPGImage>();
    if (name == "TIFF") return Instance<TIFImage>();
    if (name == "PNG") return Instance<PNGImage>();
    if (name == "PCX") return Instance<PCXImage>();
    if (name == "GIF") return Instance<GIFImage>();
    if (name == "TGA") return Instance<TGAImage>();
    if (name == "WMF") return Instance<WMFImage>();
    if (name == "EMF") return Instance<EMFImage>();
    if (name == "PDF") return Instance<PDFImage>();
    if (name == "Multi-page PDF") return Instance<MultiPagePDFImage>();
    if (name == "Multi-page TIFF") return Instance<MultiPageTIFFImage>();
    return Instance<DefaultImage>();
}

void SetSourceFamily(std::shared_ptr<const ISourceFamily> family) {
    std::lock_guard<std::mutex> lock(familyMutex);
    sourceFamily = std::move(family);
}

const SImageType& ImageKindForSource(const std::string& name) {
    std::shared_ptr<const ISourceFamily> family;
    {
        std::lock_guard<std::mutex> lock(familyMutex);
        family = sourceFamily;
    }
    if (family && family->CurrentSourceHasOwnFormatCodes()) {
        if (name == "PCX") return Instance<PCXImageForPlim>();
        if (name == "GIF") return Instance<GIFImageForPlim>();
        if (name == "TGA") return Instance<TGAImageForPlim>();
        if (name == "WMF") return Instance<WMFImageForPlim>();
        if (name == "EMF") return Instance<EMFImageForPlim>();
    }
    return ImageKindForType(name);
}

} // namespace output
