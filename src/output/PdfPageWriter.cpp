#include "output/PdfPageWriter.h"

#include <cerrno>
#include <charconv>
#include <cstdarg>

namespace output {
namespace {

constexpr size_t kIoBuffer = 64 * 1024;
constexpr size_t kTemplateRoom = 32 * 1024; // the largest formatted template

// A number in fixed notation with six decimals ("1.000000") and a point whatever the
// C library's locale: PDF operands never take a decimal comma.
std::string Fixed6(double value) {
    char text[64];
    const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 6);
    return result.ec == std::errc() ? std::string(text, result.ptr) : std::string("1.000000");
}

} // namespace

PdfPageWriter::PdfPageWriter() = default;

PdfPageWriter::~PdfPageWriter() {
    if (file_) std::fclose(file_);
}

void PdfPageWriter::SetFileName(const std::string& path) { fileName_ = path; }

bool PdfPageWriter::Open() {
    if (file_) std::fclose(file_);
    file_ = std::fopen(fileName_.c_str(), "wb");
    lastObject_ = 4;
    nextEntry_ = 5;
    pageCount_ = 0;
    bytesWritten_ = 0;
    resolution_ = 100;
    compressed_ = 0;
    failed_ = false;
    error_ = 0;
    pageObjects_.clear();
    objectOffsets_.assign(5, 0);
    if (!file_) {
        failed_ = true;
        error_ = errno;
        return false;
    }
    // Writes leave in 64 KiB blocks; the byte counter, not the file position, gives
    // every offset, so buffering changes nothing in the file.
    ioBuffer_.resize(kIoBuffer);
    std::setvbuf(file_, ioBuffer_.data(), _IOFBF, ioBuffer_.size());
    Print("%%PDF-1.5\r\n");
    return !failed_;
}

void PdfPageWriter::SetColourKind(core::ColourKind kind) {
    colourKind_ = core::ToPdfColour(kind);
    bitsPerComponent_ = colourKind_ == core::kPdfBlackWhite ? 1 : 8;
    components_ = colourKind_ == core::kPdfColour ? 3 : 1;
}

void PdfPageWriter::SetImageComponents(int components) { components_ = components == 1 ? 1 : 3; }

void PdfPageWriter::SetPageSize(int width, int height) {
    pageWidth_ = imageWidth_ = width;
    pageHeight_ = imageHeight_ = height;
    scaleX_ = scaleY_ = 1.0;
}

void PdfPageWriter::SetResolution(int dpi) { resolution_ = dpi; }

void PdfPageWriter::SetCompressed(int flag) { compressed_ = flag; }

int64_t PdfPageWriter::PointsFor(int pixels, int dpi) {
    if (dpi <= 0) return 0;
    return static_cast<int64_t>(static_cast<double>(pixels) / dpi * 72.0);
}

void PdfPageWriter::Write(const char* data, size_t size) {
    if (!file_ || failed_) return;
    if (std::fwrite(data, 1, size, file_) != size) {
        failed_ = true;
        error_ = errno ? errno : EIO;
        return;
    }
    bytesWritten_ += static_cast<int64_t>(size);
}

void PdfPageWriter::Print(const char* format, ...) {
    char text[kTemplateRoom];
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    if (n < 0 || static_cast<size_t>(n) >= sizeof text) {
        if (!failed_) error_ = EOVERFLOW;
        failed_ = true;
        return;
    }
    Write(text, static_cast<size_t>(n));
}

int PdfPageWriter::Allocate() {
    if (static_cast<int>(objectOffsets_.size()) <= nextEntry_) objectOffsets_.resize(size_t(nextEntry_) + 1, 0);
    objectOffsets_[size_t(nextEntry_)] = bytesWritten_;
    ++nextEntry_;
    return ++lastObject_;
}

void PdfPageWriter::WriteLength(int number) {
    Print("%d 0 obj\r\n%lld\r\nendobj\r\n", number, static_cast<long long>(streamEnd_ - streamStart_));
}

bool PdfPageWriter::BeginPage(int k) {
    // A page takes six objects; the page list and the page count take two more.
    if (!file_ || lastObject_ + 6 + 2 > kMaxObjects) return false;
    const long long w = PointsFor(pageWidth_, resolution_);
    const long long h = PointsFor(pageHeight_, resolution_);
    const int page = Allocate();
    pageObjects_.push_back(page);
    ++pageCount_;
    Print(
        "%d 0 obj\r\n<</Type /Page\r\n/Parent 3 0 R\r\n/MediaBox [0 0 %lld %lld]\r\n/CropBox[0 0 %lld %lld]/Contents %d 0 R\r\n",
        page, w, h, w, h, page + 1);
    Print("/Resources<</XObject<</Im0 %d 0 R>>/ProcSet %d 0 R>>\r\n>>endobj\r\n", page + 4, page + 3);

    const int content = Allocate();
    Print("%d 0 obj\r\n<</Length %d 0 R>>\r\nstream\r\n", content, content + 1);
    streamStart_ = bytesWritten_;
    const long long iw = PointsFor(imageWidth_, resolution_);
    const long long ih = PointsFor(imageHeight_, resolution_);
    Print("q\r\n%lld 0 0 %lld 0 0 cm\r\n1 0 0 1 0 0 cm\r\n %s 0 0 %s 0 0 cm\r\n/Im0 Do\r\nQ", iw, ih,
          Fixed6(scaleX_).c_str(), Fixed6(scaleY_).c_str());
    streamEnd_ = bytesWritten_;
    Print("\r\nendstream\r\nendobj\r\n");
    WriteLength(Allocate());

    Print("%d 0 obj\r\n%s\r\nendobj\r\n", Allocate(),
          colourKind_ == core::kPdfColour ? "[/PDF /ImageC]" : "[/PDF /ImageB]");

    const int image = Allocate();
    const bool grey = colourKind_ == core::kPdfBlackWhite || components_ == 1;
    Print(
        "%d 0 obj\r\n<</Type /XObject\r\n/Subtype /Image\r\n/Width %d\r\n/Height %d\r\n/BitsPerComponent %d\r\n%s\r\n",
        image, imageWidth_, imageHeight_, bitsPerComponent_,
        grey ? "/ColorSpace /DeviceGray" : "/ColorSpace /DeviceRGB");
    if (compressed_ == 1) {
        if (colourKind_ != core::kPdfBlackWhite) Print("/Filter /DCTDecode\r\n");
        else if (k < 0)
            Print("/Filter /CCITTFaxDecode\r\n/DecodeParms <</K %d/Columns %d/Rows %d /BlackIs1 false>> ", k,
                  imageWidth_, imageHeight_);
        else
            Print("/Filter /CCITTFaxDecode\r\n/DecodeParms <</K %d/Columns %d /EndOfLine true /EncodedByteAlign true "
                  "/EndOfBlock false /DamagedRowsBeforeError %d>> ",
                  k, imageWidth_, imageHeight_);
    }
    Print("/Length %d 0 R\r\n>>\r\nstream\r\n", image + 1);
    streamStart_ = bytesWritten_;
    return true;
}

void PdfPageWriter::WriteImageData(const void* bytes, size_t count) { Write(static_cast<const char*>(bytes), count); }

void PdfPageWriter::EndImage() {
    streamEnd_ = bytesWritten_;
    Print("\r\nendstream\r\nendobj\r\n");
    WriteLength(Allocate());
}

bool PdfPageWriter::Finish() {
    if (!file_) return false;
    Print("%d 0 obj\r\n[", Allocate());
    for (int page : pageObjects_) Print("%d 0 R ", page);
    Print("]\r\nendobj\r\n");
    const int list = lastObject_;
    Print("%d 0 obj\r\n%d\r\nendobj\r\n", Allocate(), pageCount_);
    const int count = lastObject_;

    objectOffsets_[1] = bytesWritten_;
    Print("1 0 obj\r\n<</Type /Catalog\r\n/OutLins 2 0 R\r\n/Pages 3 0 R>>\r\nendobj\r\n");
    objectOffsets_[2] = bytesWritten_;
    Print("2 0 obj\r\n<</Type /OutLines\r\n/Count  0>>\r\nendobj\r\n");
    objectOffsets_[3] = bytesWritten_;
    Print("3 0 obj\r\n<</Type /Pages\r\n/Kids %d 0 R\r\n/Count %d 0 R>>\r\nendobj\r\n", list, count);
    // Object 4 is listed in the table but nothing refers to it; null is the one content
    // every reader takes without further meaning.
    objectOffsets_[4] = bytesWritten_;
    Print("4 0 obj\r\nnull\r\nendobj\r\n");

    const int64_t table = bytesWritten_;
    const int entries = lastObject_ + 1;
    Print("xref\r\n0 %d\r\n0000000000 65535 f\r\n", entries);
    for (int i = 1; i < entries; ++i) Print("%010lld 00000 n\r\n", static_cast<long long>(objectOffsets_[size_t(i)]));
    Print("trailer\r\n<</Size %d\r\n/Root 1 0 R>>\r\nstartxref\r\n%lld\r\n%%%%EOF", entries,
          static_cast<long long>(table));

    bool ok = !failed_;
    if (ok && std::fflush(file_) != 0) {
        error_ = errno ? errno : EIO;
        ok = false;
    }
    if (std::fclose(file_) != 0 && ok) {
        error_ = errno ? errno : EIO;
        ok = false;
    }
    file_ = nullptr;
    failed_ = failed_ || !ok;
    return ok;
}

} // namespace output
