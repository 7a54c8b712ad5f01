#include "output/PdfPageWriter.h"

#include <cerrno>
#include <charconv>
#include <algorithm>
#include <cstdarg>
#include <cstdint>
#include <map>

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

// The characters of a UTF-8 text; a byte that does not start a well-formed sequence
// stands for U+FFFD.
std::u32string DecodeUtf8(const std::string& text) {
    std::u32string out;
    for (size_t i = 0; i < text.size();) {
        const auto byte = static_cast<unsigned char>(text[i]);
        int extra = byte < 0x80 ? 0 : (byte >> 5) == 6 ? 1 : (byte >> 4) == 14 ? 2 : (byte >> 3) == 30 ? 3 : -1;
        char32_t c = extra == 0 ? byte : extra == 1 ? byte & 0x1F : extra == 2 ? byte & 0x0F : byte & 0x07;
        bool ok = extra >= 0 && i + size_t(extra) < text.size() + (extra == 0 ? 1 : 0);
        for (int k = 1; ok && k <= extra; ++k) {
            const auto next = static_cast<unsigned char>(text[i + size_t(k)]);
            if ((next >> 6) != 2) ok = false;
            else c = (c << 6) | (next & 0x3F);
        }
        if (ok && (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))) ok = false;
        out.push_back(ok ? c : char32_t(0xFFFD));
        i += ok ? size_t(extra) + 1 : 1;
    }
    return out;
}

// A character as UTF-16 code units in hex, as a character map gives them.
std::string Utf16Hex(char32_t c) {
    char text[16];
    if (c < 0x10000) {
        std::snprintf(text, sizeof text, "%04X", static_cast<unsigned>(c));
    } else {
        const unsigned v = static_cast<unsigned>(c) - 0x10000;
        std::snprintf(text, sizeof text, "%04X%04X", 0xD800 + (v >> 10), 0xDC00 + (v & 0x3FF));
    }
    return text;
}

// Characters per font: one-byte codes.
constexpr size_t kCodesPerFont = 256;

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
    PrepareText();
    // A page takes six objects, its text layer one and two per font; the page list and
    // the page count take two more.
    const int textObjects = fonts_.empty() ? 0 : 1 + 2 * static_cast<int>(fonts_.size());
    if (!file_ || lastObject_ + 6 + textObjects + 2 > kMaxObjects) return false;
    const long long w = PointsFor(pageWidth_, resolution_);
    const long long h = PointsFor(pageHeight_, resolution_);
    const int page = Allocate();
    pageObjects_.push_back(page);
    ++pageCount_;
    Print(
        "%d 0 obj\r\n<</Type /Page\r\n/Parent 3 0 R\r\n/MediaBox [0 0 %lld %lld]\r\n/CropBox[0 0 %lld %lld]/Contents %d 0 R\r\n",
        page, w, h, w, h, page + 1);
    if (fonts_.empty()) {
        Print("/Resources<</XObject<</Im0 %d 0 R>>/ProcSet %d 0 R>>\r\n>>endobj\r\n", page + 4, page + 3);
    } else {
        // The fonts follow the image's length: glyph procedure at page + 6, then each
        // font and its character map.
        Print("/Resources<</XObject<</Im0 %d 0 R>>/ProcSet %d 0 R/Font<<", page + 4, page + 3);
        for (size_t f = 0; f < fonts_.size(); ++f) Print("/F%zu %d 0 R", f, page + 7 + 2 * static_cast<int>(f));
        Print(">>>>\r\n>>endobj\r\n");
    }

    const int content = Allocate();
    Print("%d 0 obj\r\n<</Length %d 0 R>>\r\nstream\r\n", content, content + 1);
    streamStart_ = bytesWritten_;
    const long long iw = PointsFor(imageWidth_, resolution_);
    const long long ih = PointsFor(imageHeight_, resolution_);
    Print("q\r\n%lld 0 0 %lld 0 0 cm\r\n1 0 0 1 0 0 cm\r\n %s 0 0 %s 0 0 cm\r\n/Im0 Do\r\nQ", iw, ih,
          Fixed6(scaleX_).c_str(), Fixed6(scaleY_).c_str());
    Write(textOperations_.data(), textOperations_.size());
    streamEnd_ = bytesWritten_;
    Print("\r\nendstream\r\nendobj\r\n");
    WriteLength(Allocate());

    Print("%d 0 obj\r\n%s\r\nendobj\r\n", Allocate(),
          colourKind_ == core::kPdfColour ? (fonts_.empty() ? "[/PDF /ImageC]" : "[/PDF /Text /ImageC]")
                                          : (fonts_.empty() ? "[/PDF /ImageB]" : "[/PDF /Text /ImageB]"));

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
    if (!fonts_.empty()) WriteTextObjects(lastObject_ + 1);
    pageText_ = nullptr;
    fonts_.clear();
    textOperations_.clear();
}

void PdfPageWriter::PrepareText() {
    fonts_.clear();
    textOperations_.clear();
    if (!pageText_ || pageText_->words.empty() || imageWidth_ <= 0 || imageHeight_ <= 0) return;
    // Page points per image pixel, as the image is drawn.
    const double toX = static_cast<double>(PointsFor(imageWidth_, resolution_)) / imageWidth_;
    const double toY = static_cast<double>(PointsFor(imageHeight_, resolution_)) / imageHeight_;
    std::map<char32_t, size_t> index; // character -> its place among the page's characters
    std::string ops = "\r\nBT\r\n3 Tr\r\n";
    size_t currentFont = SIZE_MAX;
    for (const RecognisedWord& word : pageText_->words) {
        const std::u32string characters = DecodeUtf8(word.text);
        const int w = word.right - word.left, h = word.bottom - word.top;
        if (characters.empty() || w <= 0 || h <= 0) continue;
        // Every glyph is half a text unit wide (the width text extractors assume of an
        // average letter when they size a Type 3 font), so a horizontal scale of twice
        // the box width over the character count makes the word span its box; the
        // height is the font size and the baseline sits a fifth of it above the box's
        // bottom (the descenders).
        const double width = 2.0 * w * toX / static_cast<double>(characters.size());
        const double size = h * toY;
        const double x = word.left * toX;
        const double y = (imageHeight_ - word.bottom) * toY + 0.2 * size;
        ops += Fixed6(width) + " 0 0 " + Fixed6(size) + " " + Fixed6(x) + " " + Fixed6(y) + " Tm\r\n";
        std::string run;
        for (char32_t c : characters) {
            auto found = index.find(c);
            if (found == index.end()) found = index.emplace(c, index.size()).first;
            const size_t font = found->second / kCodesPerFont;
            if (font >= fonts_.size()) fonts_.resize(font + 1);
            if (found->second % kCodesPerFont == fonts_[font].size()) fonts_[font].push_back(c);
            if (font != currentFont) {
                if (!run.empty()) ops += "<" + run + "> Tj\r\n";
                run.clear();
                ops += "/F" + std::to_string(font) + " 1 Tf\r\n";
                currentFont = font;
            }
            char code[4];
            std::snprintf(code, sizeof code, "%02X", static_cast<unsigned>(found->second % kCodesPerFont));
            run += code;
        }
        ops += "<" + run + "> Tj\r\n";
    }
    ops += "ET";
    if (!fonts_.empty()) textOperations_ = std::move(ops);
}

void PdfPageWriter::WriteTextObjects(int first) {
    // One glyph procedure for every character: half a unit wide, drawing nothing.
    const std::string glyph = "500 0 0 0 0 0 d1";
    Print("%d 0 obj\r\n<</Length %zu>>\r\nstream\r\n%s\r\nendstream\r\nendobj\r\n", Allocate(), glyph.size(),
          glyph.c_str());
    for (const auto& characters : fonts_) {
        const int font = Allocate();
        std::string widths, differences;
        for (size_t i = 0; i < characters.size(); ++i) {
            widths += i ? " 500" : "500";
            differences += " /g";
        }
        Print("%d 0 obj\r\n<</Type /Font\r\n/Subtype /Type3\r\n/FontBBox [0 -200 1000 800]\r\n"
              "/FontMatrix [0.001 0 0 0.001 0 0]\r\n/CharProcs <</g %d 0 R>>\r\n/Resources <<>>\r\n"
              "/Encoding <</Type /Encoding /Differences [0",
              font, first);
        Write(differences.data(), differences.size());
        Print("]>>\r\n/FirstChar 0\r\n/LastChar %zu\r\n/Widths [", characters.size() - 1);
        Write(widths.data(), widths.size());
        Print("]\r\n/ToUnicode %d 0 R>>\r\nendobj\r\n", font + 1);

        // The character map: each one-byte code to the character it stands for.
        std::string map = "/CIDInit /ProcSet findresource begin\r\n12 dict begin\r\nbegincmap\r\n"
                          "/CIDSystemInfo <</Registry (Adobe) /Ordering (UCS) /Supplement 0>> def\r\n"
                          "/CMapName /Adobe-Identity-UCS def\r\n/CMapType 2 def\r\n"
                          "1 begincodespacerange\r\n<00> <FF>\r\nendcodespacerange\r\n";
        for (size_t start = 0; start < characters.size(); start += 100) {
            const size_t count = std::min<size_t>(100, characters.size() - start);
            map += std::to_string(count) + " beginbfchar\r\n";
            for (size_t i = start; i < start + count; ++i) {
                char code[4];
                std::snprintf(code, sizeof code, "%02X", static_cast<unsigned>(i));
                map += std::string("<") + code + "> <" + Utf16Hex(characters[i]) + ">\r\n";
            }
            map += "endbfchar\r\n";
        }
        map += "endcmap\r\nCMapName currentdict /CMap defineresource pop\r\nend\r\nend";
        Print("%d 0 obj\r\n<</Length %zu>>\r\nstream\r\n", Allocate(), map.size());
        Write(map.data(), map.size());
        Print("\r\nendstream\r\nendobj\r\n");
    }
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
