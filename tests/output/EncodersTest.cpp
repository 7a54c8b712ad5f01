#include <gtest/gtest.h>

#include <sys/resource.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "Pages.h"
#include "codec/Codecs.h"
#include "codec/Jpeg.h"
#include "codec/Tiff.h"
#include "output/FileNaming.h"
#include "output/GdiplusImageSaver.h"
#include "output/ImageCompressioner.h"
#include "output/OutputHost.h"
#include "output/TiffStrips.h"
#include "platform/Services.h"
#include "support/TempFolder.h"

namespace {

using codec::PixelFormat;
using output::CompressionRequest;
using output::CreateImageCompressioner;
using testsupport::TempFolder;

bool Exists(const std::string& path) { return platform::FileSystem().Exists(path); }

// An encoder job in a private folder: pages are written where the scanning control
// would write them (the encoder's temporary page name) and then added.
class EncoderJob : public ::testing::Test {
protected:
    void SetUp() override {
        output::SetWorkingFolderProvider([this] { return dir_ / "work/"; });
        output::SetMessageSink([this](const std::string& text) { messages_.push_back(text); });
        platform::FileSystem().CreateFolder(dir_ / "work");
        platform::FileSystem().CreateFolder(dir_ / "temp");
    }
    void TearDown() override {
        output::SetWorkingFolderProvider(nullptr);
        output::SetMessageSink(nullptr);
        output::SetTiffGeneratorLibrary("");
    }

    CompressionRequest Request(int colourMode, int compressionKind, int level = 30) const {
        CompressionRequest r;
        r.tempFolder = dir_ / "temp/";
        r.saveFolder = dir_ / "out/";
        r.fileName = "Scan";
        r.tempExtension = ".BMP";
        r.colourMode = colourMode;
        r.compressionKind = compressionKind;
        r.compressionLevel = level;
        return r;
    }

    // Writes a page at the encoder's temporary name and adds it.
    int Add(output::IF_ImageCompressioner& e, int w, int h, PixelFormat format, double dpi, unsigned seed = 1) {
        testpages::WriteBmpPage(e.TempPageName(), w, h, format, dpi, seed);
        return e.AddPage(e.TempPageName());
    }

    std::vector<std::string> OutputFiles() const {
        std::vector<std::string> names, files;
        platform::FileSystem().ListFolder(dir_ / "out/", names);
        for (const auto& n : names)
            if (n != "." && n != "..") files.push_back(n);
        return files;
    }
    std::vector<std::string> LeftoverTemporaries() const {
        std::vector<std::string> left;
        for (const char* folder : {"temp/", "work/"}) {
            std::vector<std::string> names;
            platform::FileSystem().ListFolder(dir_ / folder, names);
            for (const auto& n : names)
                if (n != "." && n != "..") left.push_back(folder + n);
        }
        return left;
    }

    TempFolder dir_;
    std::vector<std::string> messages_;
};

// The quantisation value libjpeg derives from the standard luminance DC entry (16) at
// a quality, and the one a file actually carries in its first table.
int ExpectedDcQuant(int quality) {
    if (quality <= 0) quality = 1;
    const int scale = quality < 50 ? 5000 / quality : 200 - quality * 2;
    const int value = (16 * scale + 50) / 100;
    return value < 1 ? 1 : value > 255 ? 255 : value;
}

int FirstDcQuant(const std::string& jpeg) {
    const size_t at = jpeg.find("\xFF\xDB");
    if (at == std::string::npos || at + 5 >= jpeg.size()) return -1;
    return static_cast<unsigned char>(jpeg[at + 5]);
}

struct QualityRow {
    int level, quality;
};
void PrintTo(const QualityRow& r, std::ostream* os) { *os << "level" << r.level; }

class JpegQuality : public EncoderJob, public ::testing::WithParamInterface<QualityRow> {};

TEST_P(JpegQuality, FollowsHundredMinusLevel) {
    auto e = CreateImageCompressioner("JPEG");
    ASSERT_TRUE(e);
    ASSERT_EQ(e->Begin(Request(0, 0, GetParam().level)), 0);
    ASSERT_EQ(Add(*e, 64, 48, PixelFormat::Bgr24, 300), 0);
    ASSERT_EQ(e->Finish(), 0);
    const std::string jpeg = testpages::ReadFile(e->OutputName());
    EXPECT_EQ(FirstDcQuant(jpeg), ExpectedDcQuant(GetParam().quality));
}

INSTANTIATE_TEST_SUITE_P(Levels, JpegQuality,
                         ::testing::Values(QualityRow{0, 100}, QualityRow{30, 70}, QualityRow{50, 50},
                                           QualityRow{100, 0}, QualityRow{150, 0}, QualityRow{-5, 100}));

struct JpegModeRow {
    int colourMode;
    PixelFormat source;
    PixelFormat written;
};
void PrintTo(const JpegModeRow& r, std::ostream* os) { *os << "mode" << r.colourMode; }

class JpegModes : public EncoderJob, public ::testing::WithParamInterface<JpegModeRow> {};

TEST_P(JpegModes, OnePagePerFileWithDepthAndResolution) {
    auto e = CreateImageCompressioner("jpeg");
    ASSERT_EQ(e->Begin(Request(GetParam().colourMode, 0, 20)), 0);
    EXPECT_EQ(e->OutputName().substr(e->OutputName().size() - 5), ".JPEG");
    const std::string page = e->TempPageName();
    ASSERT_EQ(Add(*e, 120, 80, GetParam().source, 300), 0);
    EXPECT_FALSE(Exists(page)) << "an added page file is deleted";
    EXPECT_EQ(Add(*e, 120, 80, GetParam().source, 300), 8) << "one JPEG file holds one page";
    ASSERT_EQ(e->Finish(), 0);
    codec::ImageInfo info;
    ASSERT_EQ(codec::ReadImageInfo(e->OutputName(), info), codec::Status::Ok);
    EXPECT_EQ(info.format, GetParam().written);
    EXPECT_EQ(info.width, 120);
    EXPECT_DOUBLE_EQ(info.xDpi, 300);
    EXPECT_EQ(testpages::Run("djpeg -outfile /dev/null '" + e->OutputName() + "'"), 0);
    EXPECT_TRUE(LeftoverTemporaries().empty());
}

INSTANTIATE_TEST_SUITE_P(Modes, JpegModes,
                         ::testing::Values(JpegModeRow{0, PixelFormat::Bgr24, PixelFormat::Rgb24},
                                           JpegModeRow{1, PixelFormat::Bgr24, PixelFormat::Gray8},
                                           // Depth 1 has no JPEG form: 8-bit grey.
                                           JpegModeRow{2, PixelFormat::Bilevel1, PixelFormat::Gray8}));

TEST_F(EncoderJob, FactoryChoosesByName) {
    struct Row {
        const char* name;
        const char* extension;
    };
    for (Row row : {Row{"PDF", ".PDF"}, Row{"Multi-page PDF", ".PDF"}, Row{"TIFF", ".TIFF"},
                    Row{"Multi-page TIFF", ".TIFF"}, Row{"JPEG", ".JPEG"}, Row{"Jpeg", ".JPEG"}}) {
        auto e = CreateImageCompressioner(row.name);
        ASSERT_TRUE(e) << row.name;
        ASSERT_EQ(e->Begin(Request(0, 0)), 0);
        EXPECT_EQ(e->OutputName().substr(e->OutputName().rfind('.')), row.extension) << row.name;
        e->Abandon();
    }
    for (const char* none : {"BMP", "PNG", "JPG", "pdf", "tiff", ""})
        EXPECT_FALSE(CreateImageCompressioner(none)) << none;
    EXPECT_TRUE(OutputFiles().empty());
}

TEST_F(EncoderJob, FinishWithoutPagesAndAbandonLeaveNothing) {
    for (const char* type : {"JPEG", "Multi-page TIFF", "Multi-page PDF"}) {
        auto empty = CreateImageCompressioner(type);
        ASSERT_EQ(empty->Begin(Request(2, 2)), 0);
        testpages::WriteBmpPage(empty->TempPageName(), 20, 20, PixelFormat::Bilevel1, 100); // written, never added
        EXPECT_EQ(empty->Finish(), 0);
        EXPECT_FALSE(Exists(empty->OutputName())) << type;

        auto abandoned = CreateImageCompressioner(type);
        ASSERT_EQ(abandoned->Begin(Request(2, 2)), 0);
        ASSERT_EQ(Add(*abandoned, 40, 30, PixelFormat::Bilevel1, 100), 0) << type;
        testpages::WriteBmpPage(abandoned->TempPageName(), 20, 20, PixelFormat::Bilevel1, 100);
        abandoned->Abandon();
        EXPECT_FALSE(Exists(abandoned->OutputName())) << type;
        EXPECT_EQ(abandoned->AddPage(abandoned->TempPageName()), 2) << "closed";
        abandoned->Abandon(); // nothing happens on a closed encoder
        EXPECT_EQ(abandoned->Finish(), 0);
    }
    EXPECT_TRUE(OutputFiles().empty());
    EXPECT_TRUE(LeftoverTemporaries().empty());
}

TEST_F(EncoderJob, AddPageWithoutJobAndNamesExhausted) {
    auto e = CreateImageCompressioner("PDF");
    EXPECT_EQ(e->AddPage(dir_ / "x.bmp"), 2);
    platform::FileSystem().CreateFolder(dir_ / "out");
    dir_.Write("out/" + output::SeriesStem("Scan", platform::Clock()) + "9999.PDF", "");
    EXPECT_EQ(e->Begin(Request(0, 0)), 5);
    EXPECT_EQ(e->AddPage(dir_ / "x.bmp"), 2);
}

TEST_F(EncoderJob, UncreatableOutputIsRefusedAtBeginWithItsCause) {
    dir_.Write("file", "x");
    for (const char* type : {"PDF", "JPEG", "TIFF"}) {
        auto e = CreateImageCompressioner(type);
        CompressionRequest r = Request(0, 0);
        r.saveFolder = dir_ / "file/below/";
        EXPECT_EQ(e->Begin(r), 1) << type;
        EXPECT_EQ(e->FailureError(), ENOTDIR) << type;
    }
    EXPECT_TRUE(LeftoverTemporaries().empty());
}

// While a job runs, its document is invisible under any final name: the save folder
// holds only a hidden working file, and the document appears whole at Finish.
class PublishedWhole : public EncoderJob, public ::testing::WithParamInterface<const char*> {};

TEST_P(PublishedWhole, NothingUnderAFinalNameUntilFinished) {
    auto e = CreateImageCompressioner(GetParam());
    ASSERT_EQ(e->Begin(Request(1, 0)), 0);
    const bool multi = std::string(GetParam()).rfind("Multi", 0) == 0;
    for (unsigned page = 0; page < (multi ? 3u : 1u); ++page) {
        ASSERT_EQ(Add(*e, 80, 60, PixelFormat::Gray8, 100, page + 1), 0);
        const std::vector<std::string> during = OutputFiles();
        ASSERT_EQ(during.size(), 1u);
        EXPECT_EQ(during[0][0], '.') << during[0] << " is visible before the document is complete";
        EXPECT_FALSE(Exists(e->OutputName()));
    }
    ASSERT_EQ(e->Finish(), 0);
    const std::string name = e->OutputName().substr(e->OutputName().rfind('/') + 1);
    EXPECT_EQ(OutputFiles(), std::vector<std::string>{name});
    EXPECT_TRUE(LeftoverTemporaries().empty());
}

// A file that appears under the chosen name while the job runs is never replaced: the
// document takes the next number.
TEST_P(PublishedWhole, NameTakenMeanwhileGivesTheNextNumber) {
    auto e = CreateImageCompressioner(GetParam());
    ASSERT_EQ(e->Begin(Request(1, 0)), 0);
    const std::string chosen = e->OutputName();
    const size_t number = chosen.rfind('.') - 4;
    ASSERT_EQ(chosen.substr(number, 4), "0001");
    dir_.Write("out/" + chosen.substr(chosen.rfind('/') + 1), "planted");
    ASSERT_EQ(Add(*e, 80, 60, PixelFormat::Gray8, 100), 0);
    ASSERT_EQ(e->Finish(), 0);
    EXPECT_EQ(testpages::ReadFile(chosen), "planted");
    EXPECT_EQ(e->OutputName(), chosen.substr(0, number) + "0002" + chosen.substr(number + 4));
    codec::ImageInfo info;
    if (std::string(GetParam()) != "Multi-page PDF")
        EXPECT_EQ(codec::ReadImageInfo(e->OutputName(), info), codec::Status::Ok);
    else EXPECT_EQ(testpages::ReadFile(e->OutputName()).rfind("%PDF-1.5", 0), 0u);
}

INSTANTIATE_TEST_SUITE_P(Types, PublishedWhole, ::testing::Values("JPEG", "Multi-page TIFF", "Multi-page PDF"),
                         [](const ::testing::TestParamInfo<const char*>& p) {
                             std::string n = p.param;
                             for (char& c : n)
                                 if (c == ' ' || c == '-') c = '_';
                             return n;
                         });

// Two jobs at once (two programs scanning) never share a temporary page file.
TEST_F(EncoderJob, TwoJobsAtOnceUseTheirOwnPageFiles) {
    auto first = CreateImageCompressioner("Multi-page PDF");
    auto second = CreateImageCompressioner("Multi-page PDF");
    ASSERT_EQ(first->Begin(Request(1, 0)), 0);
    ASSERT_EQ(Add(*first, 80, 60, PixelFormat::Gray8, 100, 1), 0);
    ASSERT_EQ(second->Begin(Request(1, 0)), 0);
    EXPECT_NE(second->TempPageName(), first->TempPageName());
    ASSERT_EQ(Add(*second, 80, 60, PixelFormat::Gray8, 100, 2), 0);
    ASSERT_EQ(Add(*first, 80, 60, PixelFormat::Gray8, 100, 3), 0);
    ASSERT_EQ(first->Finish(), 0);
    ASSERT_EQ(second->Finish(), 0);
    EXPECT_NE(first->OutputName(), second->OutputName());
    EXPECT_EQ(OutputFiles().size(), 2u);
    EXPECT_TRUE(LeftoverTemporaries().empty());
}

struct TiffRow {
    int colourMode, compressionKind;
    PixelFormat source;
    const char* scheme; // as tiffinfo names it
};
void PrintTo(const TiffRow& r, std::ostream* os) { *os << "mode" << r.colourMode << "_kind" << r.compressionKind; }

class TiffDocuments : public EncoderJob, public ::testing::WithParamInterface<TiffRow> {};

TEST_P(TiffDocuments, MultiPageWithCompressionAndResolution) {
    const TiffRow& row = GetParam();
    auto e = CreateImageCompressioner("Multi-page TIFF");
    ASSERT_EQ(e->Begin(Request(row.colourMode, row.compressionKind)), 0);
    std::vector<codec::Image> sources(4);
    for (unsigned i = 0; i < 4; ++i) {
        testpages::MakePage(sources[i], 150 + int(i), 90, row.source, 300, i + 1);
        ASSERT_EQ(Add(*e, 150 + int(i), 90, row.source, 300, i + 1), 0) << "page " << i;
    }
    ASSERT_EQ(e->Finish(), 0);
    std::string info;
    ASSERT_EQ(testpages::Run("tiffinfo -D '" + e->OutputName() + "' 2>&1", &info), 0) << info;
    size_t directories = 0;
    for (size_t at = info.find("TIFF Directory"); at != std::string::npos; at = info.find("TIFF Directory", at + 1))
        ++directories;
    EXPECT_EQ(directories, 4u) << info;
    size_t schemes = 0;
    for (size_t at = info.find(row.scheme); at != std::string::npos; at = info.find(row.scheme, at + 1)) ++schemes;
    EXPECT_EQ(schemes, 4u) << info;
    EXPECT_NE(info.find("Resolution: 300, 300 pixels/inch"), std::string::npos) << info;
    EXPECT_EQ(info.find("rror"), std::string::npos) << info;
    for (int i = 0; i < 4; ++i) {
        codec::Image back;
        ASSERT_EQ(codec::LoadImage(e->OutputName(), back, i), codec::Status::Ok);
        EXPECT_LT(testpages::MeanGreyDifference(sources[size_t(i)], back), 0.01) << "page " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Modes, TiffDocuments,
    ::testing::Values(TiffRow{2, 0, PixelFormat::Bilevel1, "Compression Scheme: None"},
                      TiffRow{2, 1, PixelFormat::Bilevel1, "Compression Scheme: CCITT Group 3"},
                      TiffRow{2, 2, PixelFormat::Bilevel1, "Compression Scheme: CCITT Group 4"},
                      // Colour and grey pages get no compression parameter: the saver's default, LZW.
                      TiffRow{0, 2, PixelFormat::Bgr24, "Compression Scheme: LZW"},
                      TiffRow{1, 1, PixelFormat::Gray8, "Compression Scheme: LZW"}));

// A compression written as its number selects the scheme of that value: 3 CCITT group 3,
// 4 CCITT group 4, 5 run-length, 6 none.
struct NumericCompressionRow {
    const char* text;
    const char* scheme; // as tiffinfo names it
};
void PrintTo(const NumericCompressionRow& r, std::ostream* os) { *os << r.text; }

class NumericCompression : public EncoderJob, public ::testing::WithParamInterface<NumericCompressionRow> {};

TEST_P(NumericCompression, WritesTheSchemeOfThatValue) {
    const std::string page = testpages::WriteBmpPage(dir_ / "page.bmp", 64, 40, PixelFormat::Bilevel1, 200);
    const std::string tiff = dir_ / "numbered.tif";
    output::GdiplusImageSaver saver;
    ASSERT_EQ(saver.Init(GetParam().text), output::kImagingOk);
    ASSERT_EQ(saver.PrepareOutput(tiff, ""), output::kImagingOk);
    ASSERT_EQ(saver.AddImage(page, "", ""), output::kImagingOk);
    ASSERT_EQ(saver.Close(), output::kImagingOk);
    std::string info;
    ASSERT_EQ(testpages::Run("tiffinfo '" + tiff + "' 2>&1", &info), 0) << info;
    EXPECT_NE(info.find(std::string("Compression Scheme: ") + GetParam().scheme + "\n"), std::string::npos) << info;
}

INSTANTIATE_TEST_SUITE_P(Values, NumericCompression,
                         ::testing::Values(NumericCompressionRow{"EncoderCompression,3", "CCITT Group 3"},
                                           NumericCompressionRow{"EncoderCompression,4", "CCITT Group 4"},
                                           NumericCompressionRow{"EncoderCompression,5", "CCITT RLE"},
                                           NumericCompressionRow{"EncoderCompression,6", "None"}));

// ---- PDF ----------------------------------------------------------------------------

struct PdfRow {
    int colourMode, compressionKind;
    const char* color;    // pdfimages -list "color" column
    const char* encoding; // pdfimages -list "enc" column
};
void PrintTo(const PdfRow& r, std::ostream* os) { *os << "mode" << r.colourMode << "_kind" << r.compressionKind; }

// The "type width height color comp bpc enc" columns of pdfimages -list, one line a page.
std::vector<std::string> ImageLines(const std::string& pdf) {
    std::string out;
    testpages::Run("pdfimages -list '" + pdf + "' 2>&1", &out);
    std::vector<std::string> lines;
    size_t start = 0;
    int skipped = 0;
    while (start < out.size()) {
        size_t end = out.find('\n', start);
        if (end == std::string::npos) end = out.size();
        std::string line = out.substr(start, end - start);
        start = end + 1;
        if (skipped < 2) { // header and rule
            ++skipped;
            continue;
        }
        char type[16], color[16], enc[16];
        int page, num, w, h, comp, bpc;
        if (std::sscanf(line.c_str(), "%d %d %15s %d %d %15s %d %d %15s", &page, &num, type, &w, &h, color, &comp, &bpc,
                        enc) == 9)
            lines.push_back(std::string(type) + " " + std::to_string(w) + " " + std::to_string(h) + " " + color + " " +
                            std::to_string(comp) + " " + std::to_string(bpc) + " " + enc);
    }
    return lines;
}

class PdfDocuments : public EncoderJob, public ::testing::WithParamInterface<PdfRow> {};

TEST_P(PdfDocuments, ValidatorsAgreeAndPagesMatchTheirSources) {
    const PdfRow& row = GetParam();
    const PixelFormat format = row.colourMode == 0   ? PixelFormat::Bgr24
                               : row.colourMode == 1 ? PixelFormat::Gray8
                                                     : PixelFormat::Bilevel1;
    auto e = CreateImageCompressioner("Multi-page PDF");
    ASSERT_EQ(e->Begin(Request(row.colourMode, row.compressionKind)), 0);
    // Two pages of different sizes; 100 dpi so that one pixel is one render pixel.
    const int widths[2] = {200, 173}, heights[2] = {100, 131};
    for (unsigned i = 0; i < 2; ++i) ASSERT_EQ(Add(*e, widths[i], heights[i], format, 100, i + 3), 0);
    ASSERT_EQ(e->Finish(), 0);
    const std::string pdf = e->OutputName();
    std::string check;
    EXPECT_EQ(testpages::Run("qpdf --check '" + pdf + "' 2>&1", &check), 0) << check;

    const std::vector<std::string> lines = ImageLines(pdf);
    ASSERT_EQ(lines.size(), 2u);
    for (unsigned i = 0; i < 2; ++i) {
        const int comp = row.colourMode == 0 ? 3 : 1, bpc = row.colourMode == 2 ? 1 : 8;
        EXPECT_EQ(lines[i], "image " + std::to_string(widths[i]) + " " + std::to_string(heights[i]) + " " + row.color +
                                " " + std::to_string(comp) + " " + std::to_string(bpc) + " " + row.encoding);
    }
    // Each page's image, and each page as rendered, against its source.
    // pdfimages gives the image as stored (PBM for black and white, PPM for decoded JPEG);
    // renders are compared with a tolerance, since the renderer may place an image a
    // pixel off even on a correct file.
    const char* renderMode = row.colourMode == 2 ? " -mono " : " ";
    ASSERT_EQ(testpages::Run("cd '" + dir_.path() + "' && pdfimages '" + pdf + "' img && pdftoppm -r 100" + renderMode +
                             "'" + pdf + "' render"),
              0);
    for (unsigned i = 0; i < 2; ++i) {
        codec::Image source, extracted, rendered;
        testpages::MakePage(source, widths[i], heights[i], format, 100, i + 3);
        const char* ext = row.colourMode == 2 ? "pbm" : "ppm";
        ASSERT_TRUE(testpages::ReadPnm(dir_ / ("img-00" + std::to_string(i) + "." + ext), extracted));
        ASSERT_TRUE(testpages::ReadPnm(dir_ / ("render-" + std::to_string(i + 1) + "." + ext), rendered));
        if (row.colourMode == 2) {
            EXPECT_EQ(testpages::BilevelDifference(source, extracted), 0.0) << "page " << i;
            EXPECT_LT(testpages::BilevelDifference(source, rendered), 0.05) << "page " << i;
        } else {
            const double tolerance = row.compressionKind == 0 ? 12.0 : 8.0; // quality 30 is coarse
            EXPECT_LT(testpages::MeanGreyDifference(source, extracted), tolerance) << "page " << i;
            EXPECT_LT(testpages::MeanGreyDifference(source, rendered), tolerance) << "page " << i;
        }
    }
    EXPECT_TRUE(LeftoverTemporaries().empty());
}

INSTANTIATE_TEST_SUITE_P(Modes, PdfDocuments,
                         ::testing::Values(PdfRow{0, 0, "rgb", "jpeg"}, PdfRow{0, 1, "rgb", "jpeg"},
                                           PdfRow{0, 2, "rgb", "jpeg"}, PdfRow{1, 0, "gray", "jpeg"},
                                           PdfRow{1, 1, "gray", "jpeg"}, PdfRow{1, 2, "gray", "jpeg"},
                                           PdfRow{2, 0, "gray", "image"}, PdfRow{2, 1, "gray", "ccitt"},
                                           PdfRow{2, 2, "gray", "ccitt"}));

// A page the scanning control hands over in memory goes into the PDF from memory: no
// working file is needed (here the working folder cannot hold one), and the document's
// image data is exactly what the same page from a page file gives.
class PdfPageInMemory : public EncoderJob, public ::testing::WithParamInterface<PdfRow> {};

TEST_P(PdfPageInMemory, NeedsNoWorkingFileAndMatchesThePageFromAFile) {
    const PdfRow& row = GetParam();
    const PixelFormat format = row.colourMode == 0 ? PixelFormat::Rgb24 : PixelFormat::Gray8;
    std::string pdfs[2];
    for (int inMemory = 0; inMemory < 2; ++inMemory) {
        if (inMemory) {
            // A file where the working folder should be: nothing can be created in it.
            const std::string blocked = dir_.Write("blocked", "");
            output::SetWorkingFolderProvider([blocked] { return blocked + "/"; });
        }
        auto e = CreateImageCompressioner("PDF");
        CompressionRequest request = Request(row.colourMode, row.compressionKind);
        request.saveFolder = dir_ / (inMemory ? "memory/" : "file/");
        ASSERT_EQ(e->Begin(request), 0);
        codec::Image page;
        testpages::MakePage(page, 211, 97, format, 150, 5);
        if (inMemory) {
            ASSERT_EQ(e->AddPageImage(codec::ViewOf(page)), 0);
        } else {
            testpages::WriteBmpPage(e->TempPageName(), 211, 97, format, 150, 5);
            ASSERT_EQ(e->AddPage(e->TempPageName()), 0);
        }
        ASSERT_EQ(e->Finish(), 0);
        pdfs[inMemory] = e->OutputName();
        const std::vector<std::string> lines = ImageLines(pdfs[inMemory]);
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_EQ(lines[0], std::string("image 211 97 ") + row.color + (row.colourMode == 0 ? " 3" : " 1") + " 8 jpeg");
        // The image data as stored in the document (pdfimages -j writes it unchanged).
        ASSERT_EQ(testpages::Run("cd '" + dir_.path() + "' && pdfimages -j '" + pdfs[inMemory] + "' " +
                                 (inMemory ? "memory" : "file")),
                  0);
    }
    const std::string fromFile = testpages::ReadFile(dir_ / "file-000.jpg");
    ASSERT_FALSE(fromFile.empty());
    EXPECT_TRUE(fromFile == testpages::ReadFile(dir_ / "memory-000.jpg")) << "the image data differ";
    std::string check;
    EXPECT_EQ(testpages::Run("qpdf --check '" + pdfs[1] + "' 2>&1", &check), 0) << check;
    EXPECT_TRUE(LeftoverTemporaries().empty());
}

// A page that came with its JPEG data already made (by a scanning control, while the
// page arrived) in the form PageJpegForm names goes into the document as that data: the
// form is the one the encoder itself makes. (The data here is made of another page, to
// tell it from the page's own rows.)
TEST_P(PdfPageInMemory, TakesJpegDataMadeInTheFormItNames) {
    const PdfRow& row = GetParam();
    const PixelFormat format = row.colourMode == 0 ? PixelFormat::Rgb24 : PixelFormat::Gray8;
    codec::JpegOptions form;
    ASSERT_TRUE(output::PageJpegForm("Multi-page PDF", row.colourMode, row.compressionKind, form));
    codec::Image page, other;
    testpages::MakePage(page, 211, 97, format, 150, 5);
    testpages::MakePage(other, 211, 97, format, 150, 6);
    codec::JpegData data;
    data.options = form;
    data.width = 211;
    data.height = 97;
    data.format = format;
    data.xDpi = data.yDpi = 150;
    ASSERT_EQ(codec::EncodeJpeg(codec::ViewOf(other), form, data.bytes), codec::Status::Ok);
    codec::ImageView view = codec::ViewOf(page);
    view.jpeg = &data;

    auto e = CreateImageCompressioner("Multi-page PDF");
    ASSERT_EQ(e->Begin(Request(row.colourMode, row.compressionKind)), 0);
    ASSERT_EQ(e->AddPageImage(view), 0);
    ASSERT_EQ(e->Finish(), 0);
    ASSERT_EQ(testpages::Run("cd '" + dir_.path() + "' && pdfimages -j '" + e->OutputName() + "' taken"), 0);
    EXPECT_TRUE(testpages::ReadFile(dir_ / "taken-000.jpg") == std::string(data.bytes.begin(), data.bytes.end()));
}

TEST(PageJpegForm, OnlyForTheJpegPagesOfPdfDocuments) {
    codec::JpegOptions form;
    EXPECT_TRUE(output::PageJpegForm("PDF", 0, 1, form));
    EXPECT_FALSE(output::PageJpegForm("PDF", 2, 1, form)) << "black and white pages are not JPEG";
    EXPECT_FALSE(output::PageJpegForm("Multi-page TIFF", 0, 0, form));
    EXPECT_FALSE(output::PageJpegForm("BMP", 0, 0, form));
}

INSTANTIATE_TEST_SUITE_P(Modes, PdfPageInMemory,
                         ::testing::Values(PdfRow{0, 0, "rgb", "jpeg"}, PdfRow{0, 1, "rgb", "jpeg"},
                                           PdfRow{0, 2, "rgb", "jpeg"}, PdfRow{1, 0, "gray", "jpeg"},
                                           PdfRow{1, 1, "gray", "jpeg"}, PdfRow{1, 2, "gray", "jpeg"}));

class LongPdf : public EncoderJob, public ::testing::WithParamInterface<PdfRow> {};

TEST_P(LongPdf, FiveHundredPagesThenFull) {
    const PdfRow& row = GetParam();
    const PixelFormat format = row.colourMode == 0   ? PixelFormat::Bgr24
                               : row.colourMode == 1 ? PixelFormat::Gray8
                                                     : PixelFormat::Bilevel1;
    auto e = CreateImageCompressioner("Multi-page PDF");
    ASSERT_EQ(e->Begin(Request(row.colourMode, row.compressionKind)), 0);
    for (int i = 1; i < 500; ++i) ASSERT_EQ(Add(*e, 24, 16, format, 72, unsigned(i)), 0) << "page " << i;
    EXPECT_EQ(Add(*e, 24, 16, format, 72, 500), 3) << "the 500th page is added and reports the limit";
    EXPECT_EQ(Add(*e, 24, 16, format, 72, 501), 3) << "the 501st is not added";
    ASSERT_EQ(e->Finish(), 0);
    std::string check;
    EXPECT_EQ(testpages::Run("qpdf --check '" + e->OutputName() + "' 2>&1", &check), 0) << check.substr(0, 2000);
    const std::vector<std::string> lines = ImageLines(e->OutputName());
    ASSERT_EQ(lines.size(), 500u);
    EXPECT_EQ(lines.back(), std::string("image 24 16 ") + row.color +
                                (row.colourMode == 0   ? " 3 8 "
                                 : row.colourMode == 1 ? " 1 8 "
                                                       : " 1 1 ") +
                                row.encoding);
}

INSTANTIATE_TEST_SUITE_P(Modes, LongPdf,
                         ::testing::Values(PdfRow{0, 0, "rgb", "jpeg"}, PdfRow{0, 1, "rgb", "jpeg"},
                                           PdfRow{0, 2, "rgb", "jpeg"}, PdfRow{1, 0, "gray", "jpeg"},
                                           PdfRow{1, 1, "gray", "jpeg"}, PdfRow{1, 2, "gray", "jpeg"},
                                           PdfRow{2, 0, "gray", "image"}, PdfRow{2, 1, "gray", "ccitt"},
                                           PdfRow{2, 2, "gray", "ccitt"}));

TEST_F(EncoderJob, PdfRefusesPagesItCannotPlace) {
    auto e = CreateImageCompressioner("PDF");
    ASSERT_EQ(e->Begin(Request(0, 2)), 0);
    EXPECT_EQ(Add(*e, 40, 40, PixelFormat::Bgr24, 0), 10) << "no resolution";
    EXPECT_EQ(Add(*e, 4, 4, PixelFormat::Bgr24, 600), 10) << "a page box under one point";
    dir_.Write("temp/broken.bmp", "BM not really");
    EXPECT_EQ(e->AddPage(dir_ / "temp/broken.bmp"), 1);
    EXPECT_EQ(e->Finish(), 0);
    EXPECT_FALSE(Exists(e->OutputName())) << "a document without pages is not kept";
}

TEST_F(EncoderJob, BlackAndWhitePdfNeedsTheGeneratorLibrary) {
    output::SetTiffGeneratorLibrary("libTIFFGenerator-missing.so");
    auto e = CreateImageCompressioner("PDF");
    ASSERT_EQ(e->Begin(Request(2, 2)), 0);
    EXPECT_EQ(Add(*e, 40, 40, PixelFormat::Bilevel1, 100), 5);
    output::SetTiffGeneratorLibrary("libz.so.1"); // loads, but has no GenerateTIFF
    EXPECT_EQ(Add(*e, 40, 40, PixelFormat::Bilevel1, 100), 1);
    output::SetTiffGeneratorLibrary("");
    EXPECT_EQ(Add(*e, 40, 40, PixelFormat::Bilevel1, 100), 0);
    EXPECT_EQ(e->Finish(), 0);
    EXPECT_TRUE(Exists(e->OutputName()));
}

TEST_F(EncoderJob, DocumentThatCannotBeWrittenIsNotKept) {
    // Let the file grow to 40 KB only; writes beyond fail with "file too large".
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = old;
    small.rlim_cur = 40 * 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    auto e = CreateImageCompressioner("Multi-page PDF");
    ASSERT_EQ(e->Begin(Request(2, 0)), 0); // raw bits: 1.25 KB a page
    int result = 0, pages = 0;
    while (result == 0 && pages < 100) {
        result = Add(*e, 100, 100, PixelFormat::Bilevel1, 100, unsigned(pages));
        ++pages;
    }
    const int finished = e->Finish();
    setrlimit(RLIMIT_FSIZE, &old);
    EXPECT_TRUE(result == 9 || finished == 9) << result << " " << finished;
    EXPECT_EQ(finished, 9);
    EXPECT_EQ(e->FailureError(), EFBIG) << "the cause the user is to learn";
    EXPECT_FALSE(Exists(e->OutputName()));
    EXPECT_TRUE(OutputFiles().empty()) << "no working file is left behind";
}

// ---- the image saver's own rules ----------------------------------------------------

TEST_F(EncoderJob, SaverChecksFormatsAndRenamesSources) {
    output::GdiplusImageSaver saver;
    ASSERT_EQ(saver.Init(""), 0);
    EXPECT_EQ(saver.PrepareOutput(dir_ / "o.gif", ""), output::kImagingNoEncoder);
    EXPECT_EQ(saver.PrepareOutput(dir_ / "o.wmf", ""), output::kImagingNoEncoder);
    ASSERT_EQ(saver.PrepareOutput(dir_ / "o.out", "tif"), 0);
    EXPECT_EQ(saver.encoderMimeType(), "image/tiff");
    const std::string a = testpages::WriteBmpPage(dir_ / "a.bmp", 30, 20, PixelFormat::Gray8, 100);
    EXPECT_EQ(saver.AddImage(dir_ / "a.pcx", "", ""), output::kImagingNoDecoder);
    EXPECT_EQ(saver.AddImage(dir_ / "gone.bmp", "", ""), output::kImagingSourceMissing);
    EXPECT_EQ(saver.AddImage(a, "EncoderQuality", ""), output::kImagingParametersRefused);
    EXPECT_TRUE(Exists(a)) << "a refused text leaves the source alone";
    ASSERT_EQ(saver.AddImage(a, "EncoderCompression,EncoderValueCompressionNone", ""), 0);
    EXPECT_FALSE(Exists(a));
    EXPECT_TRUE(Exists(a + "FirstPage"));
    const std::string b = testpages::WriteBmpPage(dir_ / "b.dib", 30, 20, PixelFormat::Gray8, 100);
    ASSERT_EQ(saver.AddImage(b, "", ""), 0);
    EXPECT_FALSE(Exists(a + "FirstPage")) << "deleted at the next load";
    EXPECT_TRUE(Exists(b + "CommonPage"));
    EXPECT_EQ(saver.pageCount(), 2);
    EXPECT_EQ(saver.Close(), 0);
    EXPECT_FALSE(Exists(b + "CommonPage"));
    std::string info;
    testpages::Run("tiffinfo '" + dir_ / "o.out" + "' 2>&1", &info);
    EXPECT_NE(info.find("Compression Scheme: None"), std::string::npos) << info;
}

TEST_F(EncoderJob, SaverWritesPngAndBmpAndRefusesASecondImage) {
    for (const char* format : {"png", "BMP", "jpg"}) {
        output::GdiplusImageSaver saver;
        ASSERT_EQ(saver.Init("EncoderColorDepth,8"), 0);
        const std::string out = dir_ / (std::string("o.") + format);
        ASSERT_EQ(saver.PrepareOutput(out, ""), 0) << format;
        ASSERT_EQ(saver.AddImage(testpages::WriteBmpPage(dir_ / "s.bmp", 30, 20, PixelFormat::Bgr24, 150), "", ""), 0);
        EXPECT_EQ(saver.AddImage(testpages::WriteBmpPage(dir_ / "t.bmp", 30, 20, PixelFormat::Bgr24, 150), "", ""),
                  output::kImagingLaterImageRefused);
        saver.Close();
        codec::ImageInfo info;
        ASSERT_EQ(codec::ReadImageInfo(out, info), codec::Status::Ok) << format;
        EXPECT_EQ(info.format, PixelFormat::Gray8) << format;
        EXPECT_DOUBLE_EQ(info.xDpi, 150) << format;
    }
}

// ---- strip tables -------------------------------------------------------------------

std::string GeneratorTiff(const TempFolder& dir) {
    codec::Image page;
    testpages::MakePage(page, 64, 40, PixelFormat::Bilevel1, 100);
    codec::TiffWriter w;
    w.Open(dir / "g.tif");
    codec::TiffPageOptions options;
    options.compression = codec::TiffCompression::CcittG4;
    options.singleStripForPdf = true;
    w.AddPage(page, options);
    w.Close();
    return dir / "g.tif";
}

TEST(TiffStrips, ReadsSingleStripAndRefusesWhatItWouldMisread) {
    TempFolder dir;
    const std::string good = GeneratorTiff(dir);
    std::vector<output::TiffStrip> strips;
    ASSERT_TRUE(output::ReadTiffStripTable(good, strips));
    ASSERT_EQ(strips.size(), 1u);
    ASSERT_TRUE(output::ExtractTiffStrips(good, dir / "s.bin"));
    EXPECT_EQ(testpages::ReadFile(dir / "s.bin"), testpages::ReadFile(good).substr(strips[0].offset, strips[0].length));

    // Many strips (the saver's own layout for LZW pages) in order.
    codec::Image page;
    testpages::MakePage(page, 300, 200, PixelFormat::Gray8, 100);
    codec::TiffWriter w;
    w.Open(dir / "many.tif");
    w.AddPage(page, {});
    w.Close();
    ASSERT_TRUE(output::ReadTiffStripTable(dir / "many.tif", strips));
    EXPECT_GT(strips.size(), 1u);

    ASSERT_EQ(testpages::Run("tiffcp -B '" + good + "' '" + dir / "big.tif" + "'"), 0);
    EXPECT_FALSE(output::ReadTiffStripTable(dir / "big.tif", strips)) << "big-endian";
    EXPECT_FALSE(output::ExtractTiffStrips(dir / "big.tif", dir / "none.bin"));
    EXPECT_FALSE(Exists(dir / "none.bin"));

    std::string file = testpages::ReadFile(good);
    const std::string truncated = dir.Write("short.tif", file.substr(0, strips.empty() ? 10 : file.size() / 2));
    EXPECT_FALSE(output::ReadTiffStripTable(dir.Write("cut.tif", file.substr(0, 12)), strips));
    // Point the first directory past the end, then the strip past the end.
    std::string far = file;
    const uint32_t beyond = 0x00FFFFFF;
    std::memcpy(&far[4], &beyond, 4);
    EXPECT_FALSE(output::ReadTiffStripTable(dir.Write("far.tif", far), strips));
    std::string lying = file;
    uint32_t directory;
    std::memcpy(&directory, &file[4], 4);
    uint16_t count;
    std::memcpy(&count, &file[directory], 2);
    for (uint16_t i = 0; i < count; ++i) {
        const size_t entry = directory + 2 + 12u * i;
        uint16_t tag;
        std::memcpy(&tag, &file[entry], 2);
        if (tag == 279) std::memcpy(&lying[entry + 8], &beyond, 4);
    }
    EXPECT_FALSE(output::ReadTiffStripTable(dir.Write("lying.tif", lying), strips)) << "strip beyond the end";
    EXPECT_FALSE(output::ReadTiffStripTable(dir.Write("empty.tif", ""), strips));
    (void)truncated;
}

} // namespace
