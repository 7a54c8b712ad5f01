#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "Pages.h"
#include "codec/Bmp.h"
#include "codec/Codecs.h"
#include "codec/Gif.h"
#include "codec/Jpeg.h"
#include "codec/Png.h"
#include "codec/Tiff.h"
#include "support/TempFolder.h"

#include <tiffio.h>

namespace {

using codec::Image;
using codec::PixelFormat;
using codec::Status;
using testsupport::TempFolder;

bool SamePixels(const Image& a, const Image& b) {
    if (a.width != b.width || a.height != b.height || a.format != b.format) return false;
    // Bits beyond the width in a black-and-white row are padding and may differ.
    const int full = a.format == PixelFormat::Bilevel1 ? a.width / 8 : static_cast<int>(a.RowBytes());
    for (int y = 0; y < a.height; ++y) {
        if (std::memcmp(a.Row(y), b.Row(y), size_t(full)) != 0) return false;
        if (a.format == PixelFormat::Bilevel1 && a.width % 8) {
            const uint8_t mask = static_cast<uint8_t>(0xFF << (8 - a.width % 8));
            if ((a.Row(y)[full] & mask) != (b.Row(y)[full] & mask)) return false;
        }
    }
    return true;
}

enum class Writer { Bmp, Png, TiffNone, TiffLzw, TiffG3, TiffG4, Jpeg };

struct LosslessRow {
    PixelFormat format;
    Writer writer;
    const char* name;
};

void PrintTo(const LosslessRow& r, std::ostream* os) { *os << r.name; }

class LosslessRoundTrip : public ::testing::TestWithParam<LosslessRow> {};

TEST_P(LosslessRoundTrip, PixelsAndResolutionSurvive) {
    const LosslessRow& row = GetParam();
    TempFolder dir;
    Image page;
    testpages::MakePage(page, 203, 61, row.format, 300);
    const std::string path = dir / "page.out";
    Status saved = Status::Ok;
    codec::TiffPageOptions tiff;
    switch (row.writer) {
        case Writer::Bmp: saved = codec::SaveBmp(page, path); break;
        case Writer::Png: saved = codec::SavePng(page, path); break;
        case Writer::Jpeg: break;
        case Writer::TiffNone:
        case Writer::TiffLzw:
        case Writer::TiffG3:
        case Writer::TiffG4: {
            tiff.compression = row.writer == Writer::TiffNone  ? codec::TiffCompression::None
                               : row.writer == Writer::TiffLzw ? codec::TiffCompression::Lzw
                               : row.writer == Writer::TiffG3  ? codec::TiffCompression::CcittG3
                                                               : codec::TiffCompression::CcittG4;
            codec::TiffWriter writer;
            ASSERT_EQ(writer.Open(path), Status::Ok);
            saved = writer.AddPage(page, tiff);
            ASSERT_EQ(writer.Close(), Status::Ok);
            break;
        }
    }
    ASSERT_EQ(saved, Status::Ok);
    Image back;
    ASSERT_EQ(codec::LoadImage(path, back), Status::Ok);
    EXPECT_TRUE(SamePixels(page, back));
    EXPECT_NEAR(back.xDpi, 300, 0.01);
    EXPECT_NEAR(back.yDpi, 300, 0.01);
    codec::ImageInfo info;
    ASSERT_EQ(codec::ReadImageInfo(path, info), Status::Ok);
    EXPECT_EQ(info.width, 203);
    EXPECT_EQ(info.height, 61);
    EXPECT_EQ(info.format, page.format);
}

INSTANTIATE_TEST_SUITE_P(Forms, LosslessRoundTrip,
                         ::testing::Values(LosslessRow{PixelFormat::Bilevel1, Writer::Bmp, "bw_bmp"},
                                           LosslessRow{PixelFormat::Gray8, Writer::Bmp, "grey_bmp"},
                                           LosslessRow{PixelFormat::Bgr24, Writer::Bmp, "colour_bmp"},
                                           LosslessRow{PixelFormat::Bilevel1, Writer::Png, "bw_png"},
                                           LosslessRow{PixelFormat::Gray8, Writer::Png, "grey_png"},
                                           LosslessRow{PixelFormat::Rgb24, Writer::Png, "colour_png"},
                                           LosslessRow{PixelFormat::Bilevel1, Writer::TiffNone, "bw_tiff"},
                                           LosslessRow{PixelFormat::Gray8, Writer::TiffLzw, "grey_tiff_lzw"},
                                           LosslessRow{PixelFormat::Rgb24, Writer::TiffLzw, "colour_tiff_lzw"},
                                           LosslessRow{PixelFormat::Bilevel1, Writer::TiffG3, "bw_tiff_g3"},
                                           LosslessRow{PixelFormat::Bilevel1, Writer::TiffG4, "bw_tiff_g4"}));

TEST(Bmp, TopDownAndInvertedPaletteRead) {
    TempFolder dir;
    Image page;
    testpages::MakePage(page, 37, 11, PixelFormat::Bilevel1, 200);
    ASSERT_EQ(codec::SaveBmp(page, dir / "a.bmp"), Status::Ok);
    // Rewrite the file top-down (negative height, rows reversed) with the palette
    // swapped (index 0 black) and every bit inverted: the same picture.
    std::string file = testpages::ReadFile(dir / "a.bmp");
    const size_t offset = 54 + 8, stride = 8;
    std::string flipped = file.substr(0, offset);
    int32_t negative = -11;
    std::memcpy(&flipped[22], &negative, 4);
    const char palette[8] = {0, 0, 0, 0, char(255), char(255), char(255), 0};
    std::memcpy(&flipped[54], palette, 8);
    for (int y = 10; y >= 0; --y)
        for (size_t i = 0; i < stride; ++i) flipped += static_cast<char>(~file[offset + stride * size_t(y) + i]);
    std::FILE* f = std::fopen((dir / "b.bmp").c_str(), "wb");
    std::fwrite(flipped.data(), 1, flipped.size(), f);
    std::fclose(f);
    Image back;
    ASSERT_EQ(codec::LoadImage(dir / "b.bmp", back), Status::Ok);
    EXPECT_TRUE(SamePixels(page, back));
}

TEST(Jpeg, ColourAndGreyWithinToleranceAndResolutionInInches) {
    TempFolder dir;
    for (PixelFormat format : {PixelFormat::Bgr24, PixelFormat::Gray8}) {
        Image page;
        testpages::MakePage(page, 160, 120, format, 300);
        codec::JpegOptions options;
        options.quality = 90;
        options.grey = format == PixelFormat::Gray8;
        ASSERT_EQ(codec::SaveJpeg(page, dir / "p.jpg", options), Status::Ok);
        Image back;
        ASSERT_EQ(codec::LoadImage(dir / "p.jpg", back), Status::Ok);
        EXPECT_EQ(back.format, options.grey ? PixelFormat::Gray8 : PixelFormat::Rgb24);
        EXPECT_LT(testpages::MeanGreyDifference(page, back), 4.0);
        EXPECT_DOUBLE_EQ(back.xDpi, 300);
        ASSERT_TRUE(testpages::HaveTool("djpeg"));
        EXPECT_EQ(testpages::Run("djpeg -outfile /dev/null " + dir / "p.jpg"), 0);
    }
}

TEST(Tiff, EveryFrameOfAMultiPageFileIsRead) {
    TempFolder dir;
    codec::TiffWriter writer;
    ASSERT_EQ(writer.Open(dir / "m.tif"), Status::Ok);
    Image pages[3];
    for (unsigned i = 0; i < 3; ++i) {
        testpages::MakePage(pages[i], 40 + int(i), 30, PixelFormat::Gray8, 150, i + 5);
        ASSERT_EQ(writer.AddPage(pages[i], {}), Status::Ok);
    }
    ASSERT_EQ(writer.Close(), Status::Ok);
    for (int i = 0; i < 3; ++i) {
        Image back;
        int frames = 0;
        ASSERT_EQ(codec::LoadImage(dir / "m.tif", back, i, &frames), Status::Ok);
        EXPECT_EQ(frames, 3);
        EXPECT_TRUE(SamePixels(pages[i], back)) << "frame " << i;
    }
    Image none;
    EXPECT_NE(codec::LoadImage(dir / "m.tif", none, 3), Status::Ok);
}

// Files laid out plane by plane or in tiles, as other programs write them: libtiff reads
// these only as RGBA, and each kind must come back in its own format, pixel for pixel.
struct LayoutRow {
    PixelFormat format;
    bool tiled;
    const char* name;
};

void PrintTo(const LayoutRow& r, std::ostream* os) { *os << r.name; }

class TiffLayouts : public ::testing::TestWithParam<LayoutRow> {};

bool WriteLaidOut(const std::string& path, const Image& page, bool tiled) {
    TIFF* tif = TIFFOpen(path.c_str(), "w");
    if (!tif) return false;
    const bool colour = page.format == PixelFormat::Rgb24;
    const int bits = page.format == PixelFormat::Bilevel1 ? 1 : 8;
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, uint32_t(page.width));
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, uint32_t(page.height));
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, uint16_t(bits));
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, uint16_t(colour ? 3 : 1));
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC,
                 colour      ? PHOTOMETRIC_RGB
                 : bits == 1 ? PHOTOMETRIC_MINISWHITE
                             : PHOTOMETRIC_MINISBLACK);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, tiled ? PLANARCONFIG_CONTIG : PLANARCONFIG_SEPARATE);
    bool ok = true;
    if (tiled) {
        const int side = 16, pixelBytes = colour ? 3 : 1;
        TIFFSetField(tif, TIFFTAG_TILEWIDTH, uint32_t(side));
        TIFFSetField(tif, TIFFTAG_TILELENGTH, uint32_t(side));
        std::vector<uint8_t> tile(size_t(TIFFTileSize(tif)));
        const size_t tileRow = size_t(TIFFTileRowSize(tif));
        for (int ty = 0; ty < page.height; ty += side)
            for (int tx = 0; tx < page.width; tx += side) {
                std::fill(tile.begin(), tile.end(), uint8_t(0));
                for (int y = ty; y < std::min(ty + side, page.height); ++y) {
                    const size_t from = bits == 1 ? size_t(tx / 8) : size_t(tx * pixelBytes);
                    const size_t count = std::min(tileRow, page.RowBytes() - from);
                    std::memcpy(&tile[size_t(y - ty) * tileRow], page.Row(y) + from, count);
                }
                ok = ok && TIFFWriteTile(tif, tile.data(), uint32_t(tx), uint32_t(ty), 0, 0) >= 0;
            }
    } else {
        std::vector<uint8_t> plane(size_t(page.width));
        for (int sample = 0; sample < (colour ? 3 : 1); ++sample)
            for (int y = 0; y < page.height; ++y) {
                const uint8_t* row = page.Row(y);
                if (colour)
                    for (int x = 0; x < page.width; ++x) plane[size_t(x)] = row[3 * x + sample];
                ok = ok && TIFFWriteScanline(tif, colour ? plane.data() : const_cast<uint8_t*>(row), uint32_t(y),
                                             uint16_t(sample)) >= 0;
            }
    }
    TIFFClose(tif);
    return ok;
}

TEST_P(TiffLayouts, ComeBackInTheirOwnFormat) {
    const LayoutRow& row = GetParam();
    TempFolder dir;
    Image page;
    testpages::MakePage(page, 45, 37, row.format, 200);
    ASSERT_TRUE(WriteLaidOut(dir / "laid.tif", page, row.tiled));
    Image back;
    ASSERT_EQ(codec::LoadImage(dir / "laid.tif", back), Status::Ok);
    EXPECT_TRUE(SamePixels(page, back));
}

INSTANTIATE_TEST_SUITE_P(Kinds, TiffLayouts,
                         ::testing::Values(LayoutRow{PixelFormat::Bilevel1, false, "bw_planes"},
                                           LayoutRow{PixelFormat::Gray8, false, "grey_planes"},
                                           LayoutRow{PixelFormat::Rgb24, false, "colour_planes"},
                                           LayoutRow{PixelFormat::Bilevel1, true, "bw_tiles"},
                                           LayoutRow{PixelFormat::Gray8, true, "grey_tiles"},
                                           LayoutRow{PixelFormat::Rgb24, true, "colour_tiles"}));

TEST(Gif, ReadThroughGiflib) {
    TempFolder dir;
    testpages::WriteBmpPage(dir / "g.bmp", 50, 20, PixelFormat::Gray8, 100);
    ASSERT_TRUE(testpages::HaveTool("convert"));
    ASSERT_EQ(testpages::Run("convert " + dir / "g.bmp" + " " + dir / "g.gif"), 0);
    Image page, back;
    testpages::MakePage(page, 50, 20, PixelFormat::Gray8, 100);
    ASSERT_EQ(codec::LoadImage(dir / "g.gif", back), Status::Ok);
    EXPECT_LT(testpages::MeanGreyDifference(page, back), 1.0);
}

// The largest difference of any sample between two pages, compared as colour.
int MaxSampleDifference(const Image& a, const Image& b) {
    if (a.width != b.width || a.height != b.height) return 256;
    Image ca, cb;
    codec::Convert(a, PixelFormat::Rgb24, ca);
    codec::Convert(b, PixelFormat::Rgb24, cb);
    int worst = 0;
    for (int y = 0; y < a.height; ++y)
        for (size_t i = 0; i < ca.RowBytes(); ++i) worst = std::max(worst, std::abs(ca.Row(y)[i] - cb.Row(y)[i]));
    return worst;
}

struct ViewRow {
    PixelFormat format;
    Status (*save)(const codec::ImageView&, const std::string&);
    int tolerance; // GIF holds 256 colours: colour is reduced to the 3-3-2 table
    const char* name;
};

void PrintTo(const ViewRow& r, std::ostream* os) { *os << r.name; }

class WriteFromView : public ::testing::TestWithParam<ViewRow> {};

// Pages handed over as a view of rows held elsewhere (padded with junk, stored bottom-up)
// and read back by ImageMagick.
TEST_P(WriteFromView, DecodesToThePagePixels) {
    const ViewRow& row = GetParam();
    TempFolder dir;
    Image page;
    testpages::MakePage(page, 45, 17, row.format, 300);
    const size_t stride = page.RowBytes() + 5;
    std::string held(stride * 17, '\xA5');
    for (int y = 0; y < 17; ++y) std::memcpy(&held[stride * size_t(16 - y)], page.Row(y), page.RowBytes());
    codec::ImageView view = codec::ViewOf(page);
    view.top = reinterpret_cast<const uint8_t*>(held.data()) + stride * 16;
    view.rowStep = -static_cast<std::ptrdiff_t>(stride);
    ASSERT_EQ(row.save(view, dir / "page.out"), Status::Ok);
    ASSERT_EQ(testpages::Run("convert " + dir / "page.out" + " -depth 8 ppm:" + dir / "back.ppm"), 0);
    Image back;
    ASSERT_TRUE(testpages::ReadPnm(dir / "back.ppm", back));
    EXPECT_LE(MaxSampleDifference(page, back), row.tolerance);
}

INSTANTIATE_TEST_SUITE_P(Writers, WriteFromView,
                         ::testing::Values(ViewRow{PixelFormat::Bilevel1, codec::SaveBmp, 0, "bw_bmp"},
                                           ViewRow{PixelFormat::Gray8, codec::SaveBmp, 0, "grey_bmp"},
                                           ViewRow{PixelFormat::Rgb24, codec::SaveBmp, 0, "colour_bmp"},
                                           ViewRow{PixelFormat::Bilevel1, codec::SavePng, 0, "bw_png"},
                                           ViewRow{PixelFormat::Bgr24, codec::SavePng, 0, "bgr_png"},
                                           ViewRow{PixelFormat::Bilevel1, codec::SaveGif, 0, "bw_gif"},
                                           ViewRow{PixelFormat::Gray8, codec::SaveGif, 0, "grey_gif"},
                                           ViewRow{PixelFormat::Rgb24, codec::SaveGif, 43, "colour_gif"},
                                           ViewRow{PixelFormat::Bgr24, codec::SaveGif, 43, "bgr_gif"}));

// JPEG data made in memory, or row by row as a scanner delivers a page, is the very data
// SaveJpeg writes to its file: a page may be encoded while it arrives.
struct JpegFormRow {
    PixelFormat format;
    codec::JpegOptions options;
    const char* name;
};

void PrintTo(const JpegFormRow& r, std::ostream* os) { *os << r.name; }

class JpegInMemory : public ::testing::TestWithParam<JpegFormRow> {};

TEST_P(JpegInMemory, IsTheFilesDataWhateverTheRowsComeIn) {
    const JpegFormRow& row = GetParam();
    TempFolder dir;
    Image page;
    testpages::MakePage(page, 203, 61, row.format, 150);
    ASSERT_EQ(codec::SaveJpeg(page, dir / "p.jpg", row.options), Status::Ok);
    const std::string file = dir.Read("p.jpg");
    ASSERT_FALSE(file.empty());

    std::vector<uint8_t> whole;
    ASSERT_EQ(codec::EncodeJpeg(codec::ViewOf(page), row.options, whole), Status::Ok);
    EXPECT_EQ(std::string(whole.begin(), whole.end()), file);

    for (int chunk : {1, 7, 61}) {
        codec::JpegRowEncoder encoder;
        ASSERT_EQ(encoder.Begin(page.width, page.height, page.format, page.xDpi, page.yDpi, row.options), Status::Ok);
        for (int y = 0; y < page.height; y += chunk)
            ASSERT_EQ(encoder.AddRows(page.Row(y), page.rowStep, std::min(chunk, page.height - y)), Status::Ok);
        EXPECT_EQ(encoder.RowsWritten(), page.height);
        ASSERT_EQ(encoder.Finish(), Status::Ok);
        const std::vector<uint8_t> bytes = encoder.TakeBytes();
        EXPECT_EQ(std::string(bytes.begin(), bytes.end()), file) << "rows " << chunk << " at a time";
    }

    codec::ImageInfo fromMemory, fromFile;
    ASSERT_EQ(codec::ReadJpegInfo(whole.data(), whole.size(), fromMemory), Status::Ok);
    ASSERT_EQ(codec::ReadJpegInfo(dir / "p.jpg", fromFile), Status::Ok);
    EXPECT_EQ(fromMemory.format, fromFile.format);
    EXPECT_EQ(fromMemory.width, 203);
    EXPECT_EQ(fromMemory.xDpi, 150);
}

INSTANTIATE_TEST_SUITE_P(Forms, JpegInMemory,
                         ::testing::Values(JpegFormRow{PixelFormat::Rgb24, {50, false}, "colour_50"},
                                           JpegFormRow{PixelFormat::Rgb24, {80, true}, "colour_as_grey_80"},
                                           JpegFormRow{PixelFormat::Bgr24, {30, false}, "bgr_30"},
                                           JpegFormRow{PixelFormat::Gray8, {50, true}, "grey_50"},
                                           JpegFormRow{PixelFormat::Gray8, {75, false}, "grey_as_colour_75"},
                                           JpegFormRow{PixelFormat::Bilevel1, {50, true}, "bw_50"}));

// A page encoded in two parts at the same time and joined: a file any decoder reads
// (ours refuses a restart marker out of turn) with the pixels of the page encoded whole.
struct JpegPartsRow {
    PixelFormat format;
    codec::JpegOptions options;
    int width, height, parts;
    const char* name;
};

void PrintTo(const JpegPartsRow& r, std::ostream* os) { *os << r.name; }

class JpegParts : public ::testing::TestWithParam<JpegPartsRow> {};

TEST_P(JpegParts, JoinIntoThePageEncodedWhole) {
    const JpegPartsRow& row = GetParam();
    TempFolder dir;
    Image page;
    testpages::MakePage(page, row.width, row.height, row.format, 300);
    std::vector<uint8_t> whole;
    ASSERT_EQ(codec::EncodeJpeg(codec::ViewOf(page), row.options, whole), Status::Ok);

    codec::JpegPartsEncoder encoder;
    ASSERT_EQ(encoder.Begin(page.width, page.height, page.format, 300, 300, row.options, row.parts), Status::Ok);
    const int parts = encoder.Parts();
    ASSERT_EQ(encoder.PartBegin(0), 0);
    ASSERT_EQ(encoder.PartEnd(parts - 1), page.height);
    auto feed = [&](int part, Status* result) {
        *result = Status::Ok;
        for (int y = encoder.PartBegin(part); *result == Status::Ok && y < encoder.PartEnd(part); y += 5)
            *result = encoder.AddRows(part, page.Row(y), page.rowStep, std::min(5, encoder.PartEnd(part) - y));
        if (*result == Status::Ok) *result = encoder.FinishPart(part);
    };
    Status results[2] = {Status::Ok, Status::Ok};
    std::thread lower;
    if (parts == 2) lower = std::thread(feed, 1, &results[1]);
    feed(0, &results[0]);
    if (lower.joinable()) lower.join();
    ASSERT_EQ(results[0], Status::Ok);
    ASSERT_EQ(results[1], Status::Ok);
    std::vector<uint8_t> joined;
    ASSERT_EQ(encoder.Join(joined), Status::Ok);

    if (parts == 1) {
        EXPECT_TRUE(joined == whole) << "one part is the page's own data";
        return;
    }
    EXPECT_EQ(encoder.PartEnd(0) % (row.options.grey ? 8 : 16), 0) << "the parts meet between rows of blocks";
    Image fromWhole, fromJoined;
    ASSERT_EQ(codec::LoadJpeg(dir.Write("whole.jpg", std::string(whole.begin(), whole.end())), fromWhole), Status::Ok);
    ASSERT_EQ(codec::LoadJpeg(dir.Write("p.jpg", std::string(joined.begin(), joined.end())), fromJoined), Status::Ok);
    ASSERT_EQ(fromJoined.width, page.width);
    ASSERT_EQ(fromJoined.height, page.height);
    ASSERT_EQ(fromJoined.format, fromWhole.format);
    const size_t rowBytes = size_t(page.width) * (fromWhole.format == PixelFormat::Gray8 ? 1 : 3);
    for (int y = 0; y < page.height; ++y)
        ASSERT_EQ(std::memcmp(fromJoined.Row(y), fromWhole.Row(y), rowBytes), 0) << "row " << y;
    ASSERT_TRUE(testpages::HaveTool("djpeg"));
    EXPECT_EQ(testpages::Run("djpeg -outfile /dev/null " + dir / "p.jpg"), 0);
}

INSTANTIATE_TEST_SUITE_P(Forms, JpegParts,
                         ::testing::Values(JpegPartsRow{PixelFormat::Rgb24, {50, false}, 203, 61, 2, "colour"},
                                           JpegPartsRow{PixelFormat::Rgb24, {75, false}, 203, 47, 2, "colour_odd_rows"},
                                           JpegPartsRow{PixelFormat::Bgr24, {80, true}, 120, 64, 2, "bgr_as_grey"},
                                           JpegPartsRow{PixelFormat::Gray8, {50, true}, 203, 61, 2, "grey"},
                                           JpegPartsRow{PixelFormat::Bilevel1, {50, true}, 203, 61, 2, "bw"},
                                           // 1000 blocks a row: at most 65 block rows an interval, so the lower
                                           // part has markers of its own, numbered on from the upper part's.
                                           JpegPartsRow{PixelFormat::Gray8, {50, true}, 8000, 1120, 2, "wide_grey"},
                                           JpegPartsRow{PixelFormat::Rgb24, {50, false}, 203, 16, 2, "one_block_row"},
                                           JpegPartsRow{PixelFormat::Rgb24, {50, false}, 203, 61, 1, "one_part"}));

// A page that carries JPEG data made of it is written as that data, but only when the
// data is what the writer was asked for: another quality, grey form, size, pixel form or
// resolution encodes the rows.
TEST(JpegData, IsWrittenOnlyWhereItFits) {
    TempFolder dir;
    Image page;
    testpages::MakePage(page, 40, 30, PixelFormat::Rgb24, 150);
    const codec::JpegOptions asked{50, false};
    std::vector<uint8_t> own;
    ASSERT_EQ(codec::EncodeJpeg(codec::ViewOf(page), asked, own), Status::Ok);
    struct Row {
        const char* what;
        void (*change)(codec::JpegData&);
        bool used;
    } rows[] = {
        {"fitting", [](codec::JpegData&) {}, true},
        {"other quality", [](codec::JpegData& d) { d.options.quality = 51; }, false},
        {"grey", [](codec::JpegData& d) { d.options.grey = true; }, false},
        {"other height", [](codec::JpegData& d) { d.height = 29; }, false},
        {"other form", [](codec::JpegData& d) { d.format = PixelFormat::Bgr24; }, false},
        {"other resolution", [](codec::JpegData& d) { d.yDpi = 151; }, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        codec::JpegData data;
        data.options = asked;
        data.width = 40;
        data.height = 30;
        data.format = PixelFormat::Rgb24;
        data.xDpi = data.yDpi = 150;
        data.bytes = {'m', 'a', 'd', 'e'};
        row.change(data);
        codec::ImageView view = codec::ViewOf(page);
        view.jpeg = &data;
        std::vector<uint8_t> out;
        ASSERT_EQ(codec::EncodeJpeg(view, asked, out), Status::Ok);
        EXPECT_TRUE(out == (row.used ? data.bytes : own));
        ASSERT_EQ(codec::SaveJpeg(view, dir / "p.jpg", asked), Status::Ok);
        EXPECT_EQ(dir.Read("p.jpg"), row.used ? "made" : std::string(own.begin(), own.end()));
    }
}

TEST(JpegRowEncoder, RefusesRowsBeyondThePageAndAnUnfinishedPage) {
    Image page;
    testpages::MakePage(page, 16, 4, PixelFormat::Gray8, 100);
    codec::JpegRowEncoder encoder;
    EXPECT_EQ(encoder.AddRows(page.Row(0), page.rowStep, 1), Status::Busy) << "before Begin";
    ASSERT_EQ(encoder.Begin(16, 4, PixelFormat::Gray8, 100, 100, {}), Status::Ok);
    ASSERT_EQ(encoder.AddRows(page.Row(0), page.rowStep, 3), Status::Ok);
    EXPECT_EQ(encoder.Finish(), Status::Busy) << "a row is missing";
    EXPECT_EQ(encoder.AddRows(page.Row(0), page.rowStep, 2), Status::Busy) << "one row too many";
    ASSERT_EQ(encoder.AddRows(page.Row(3), page.rowStep, 1), Status::Ok);
    EXPECT_EQ(encoder.Finish(), Status::Ok);
}

TEST(Bmp, BitsPastTheWidthAreStoredWhite) {
    TempFolder dir;
    Image page;
    testpages::MakePage(page, 37, 9, PixelFormat::Bilevel1, 200);
    for (int y = 0; y < 9; ++y) page.Row(y)[4] |= 0x07; // 37 = 4 * 8 + 5: three spare bits
    ASSERT_EQ(codec::SaveBmp(page, dir / "a.bmp"), Status::Ok);
    const std::string file = testpages::ReadFile(dir / "a.bmp");
    ASSERT_EQ(file.size(), 54u + 8u + 9u * 8u);
    for (size_t y = 0; y < 9; ++y) EXPECT_EQ(file[54 + 8 + 8 * y + 4] & 0x07, 0) << "row " << y;
}

TEST(Gif, SidesBeyondTheFormatAreRefusedWithoutAFile) {
    TempFolder dir;
    Image wide;
    ASSERT_TRUE(wide.Allocate(65536, 1, PixelFormat::Gray8));
    std::memset(wide.Row(0), 0x80, wide.RowBytes());
    EXPECT_EQ(codec::SaveGif(codec::ViewOf(wide), dir / "w.gif"), Status::Unsupported);
    EXPECT_NE(testpages::Run("test -e " + dir / "w.gif"), 0);
}

// Damaged files: each is refused with an error status, never read past its end.
struct CorruptRow {
    const char* name;
    std::string (*make)(const TempFolder& dir);
};

void PrintTo(const CorruptRow& r, std::ostream* os) { *os << r.name; }

std::string Good(const TempFolder& dir, const char* name, Writer writer) {
    Image page;
    testpages::MakePage(page, 120, 90, writer == Writer::TiffG4 ? PixelFormat::Bilevel1 : PixelFormat::Rgb24, 200);
    const std::string path = dir / name;
    if (writer == Writer::Bmp) codec::SaveBmp(page, path);
    else if (writer == Writer::Png) codec::SavePng(page, path);
    else if (writer == Writer::TiffLzw || writer == Writer::TiffG4) {
        codec::TiffWriter w;
        w.Open(path);
        codec::TiffPageOptions options;
        options.compression = writer == Writer::TiffG4 ? codec::TiffCompression::CcittG4 : codec::TiffCompression::Lzw;
        w.AddPage(page, options);
        w.Close();
    } else {
        codec::SaveJpeg(page, path, {});
    }
    return testpages::ReadFile(path);
}

std::string Put(const TempFolder& dir, const std::string& content) { return dir.Write("bad.img", content); }

void SetU32(std::string& s, size_t at, uint32_t v) { std::memcpy(&s[at], &v, 4); }

class CorruptInputs : public ::testing::TestWithParam<CorruptRow> {};

TEST_P(CorruptInputs, AreRefused) {
    TempFolder dir;
    const std::string path = GetParam().make(dir);
    Image image;
    EXPECT_NE(codec::LoadImage(path, image), Status::Ok);
    codec::ImageInfo info;
    const Status infoStatus = codec::ReadImageInfo(path, info);
    if (infoStatus == Status::Ok) { // a header may be intact; then it must be plausible
        EXPECT_GT(info.width, 0);
        EXPECT_GT(info.height, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Files, CorruptInputs,
    ::testing::Values(
        CorruptRow{"empty", [](const TempFolder& d) { return Put(d, ""); }},
        CorruptRow{"missing", [](const TempFolder& d) { return d / "nothing-here.bmp"; }},
        CorruptRow{"foreign", [](const TempFolder& d) { return Put(d, "%PDF-1.5 not an image at all"); }},
        CorruptRow{"bmp_truncated",
                   [](const TempFolder& d) {
                       std::string s = Good(d, "a.bmp", Writer::Bmp);
                       return Put(d, s.substr(0, s.size() / 2));
                   }},
        CorruptRow{"bmp_header_only",
                   [](const TempFolder& d) { return Put(d, Good(d, "a.bmp", Writer::Bmp).substr(0, 20)); }},
        CorruptRow{"bmp_lying_height",
                   [](const TempFolder& d) {
                       std::string s = Good(d, "a.bmp", Writer::Bmp);
                       SetU32(s, 22, 90000);
                       return Put(d, s);
                   }},
        CorruptRow{"bmp_lying_width",
                   [](const TempFolder& d) {
                       std::string s = Good(d, "a.bmp", Writer::Bmp);
                       SetU32(s, 18, 5000);
                       return Put(d, s);
                   }},
        CorruptRow{"bmp_data_offset_beyond_end",
                   [](const TempFolder& d) {
                       std::string s = Good(d, "a.bmp", Writer::Bmp);
                       SetU32(s, 10, 0x7FFFFFF0);
                       return Put(d, s);
                   }},
        CorruptRow{"bmp_info_size_beyond_end",
                   [](const TempFolder& d) {
                       std::string s = Good(d, "a.bmp", Writer::Bmp);
                       SetU32(s, 14, 0x10000000);
                       return Put(d, s);
                   }},
        CorruptRow{"bmp_run_length",
                   [](const TempFolder& d) {
                       std::string s = Good(d, "a.bmp", Writer::Bmp);
                       SetU32(s, 30, 1);
                       return Put(d, s);
                   }},
        CorruptRow{"jpeg_truncated",
                   [](const TempFolder& d) {
                       std::string s = Good(d, "a.jpg", Writer::Jpeg);
                       return Put(d, s.substr(0, s.size() * 2 / 3));
                   }},
        CorruptRow{"jpeg_scan_garbage",
                   [](const TempFolder& d) {
                       std::string s = Good(d, "a.jpg", Writer::Jpeg);
                       for (size_t i = s.size() / 2; i < s.size() / 2 + 64; ++i) s[i] = static_cast<char>(0xFF);
                       return Put(d, s);
                   }},
        CorruptRow{"jpeg_header_only",
                   [](const TempFolder& d) { return Put(d, Good(d, "a.jpg", Writer::Jpeg).substr(0, 40)); }},
        CorruptRow{"tiff_truncated",
                   [](const TempFolder& d) {
                       std::string s = Good(d, "a.tif", Writer::TiffLzw);
                       return Put(d, s.substr(0, s.size() / 3));
                   }},
        CorruptRow{"tiff_directory_beyond_end",
                   [](const TempFolder& d) {
                       std::string s = Good(d, "a.tif", Writer::TiffLzw);
                       SetU32(s, 4, 0x7FFFFF00);
                       return Put(d, s);
                   }},
        CorruptRow{"tiff_g4_garbage",
                   [](const TempFolder& d) {
                       std::string s = Good(d, "a.tif", Writer::TiffG4);
                       for (size_t i = 8; i < 200 && i < s.size(); ++i) s[i] = static_cast<char>(i * 37);
                       return Put(d, s);
                   }},
        CorruptRow{"png_truncated",
                   [](const TempFolder& d) {
                       std::string s = Good(d, "a.png", Writer::Png);
                       return Put(d, s.substr(0, s.size() / 2));
                   }},
        CorruptRow{"gif_truncated",
                   [](const TempFolder& d) { return Put(d, std::string("GIF89a\x10\x00\x10\x00\x80\x00\x00", 13)); }}));

} // namespace
