// Every file format the control writes, for line-art, grey and colour pages of awkward
// sizes, read back by decoders we did not write (ImageMagick; for the metafiles a
// python reader that follows the published record layouts) and compared pixel by pixel.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "ControlTestSupport.h"
#include "scancontrol/ImageFileWriter.h"
#include "scancontrol/Twain.h"
#include "support/TempFolder.h"

namespace {

using scancontrol::PageImage;

PageImage Pattern(long w, long h, short bits, float dpi, long extraStride = 0) {
    PageImage p = PageImage::Blank(w, h, bits, dpi);
    p.stride += extraStride;
    p.pixels.assign(static_cast<size_t>(p.stride * h), 0xA5); // padding bytes hold junk on purpose
    for (long y = 0; y < h; ++y) {
        uint8_t* row = p.Row(y);
        if (bits == 1) {
            for (long xb = 0; xb < PageImage::MinimalStride(w, 1); ++xb) row[xb] = 0;
            for (long x = 0; x < w; ++x)
                if ((x / 3 + y / 2) % 3 == 0) row[x >> 3] |= static_cast<uint8_t>(0x80 >> (x & 7));
            // Bits beyond the width are set: writers must not show them.
            if (w % 8) row[w >> 3] |= static_cast<uint8_t>(0xFF >> (w % 8));
        } else if (bits == 8) {
            for (long x = 0; x < w; ++x) row[x] = static_cast<uint8_t>((x * 11 + y * 3) & 0xFF);
        } else {
            for (long x = 0; x < w; ++x) {
                row[3 * x] = static_cast<uint8_t>(x * 7);
                row[3 * x + 1] = static_cast<uint8_t>(y * 5);
                row[3 * x + 2] = static_cast<uint8_t>((x + y) * 3);
            }
        }
    }
    return p;
}

std::string ExpectedRgb(const PageImage& p) {
    std::string out;
    for (long y = 0; y < p.height; ++y) {
        const uint8_t* row = p.Row(y);
        for (long x = 0; x < p.width; ++x) {
            uint8_t r, g, b;
            if (p.bitsPerPixel == 1) {
                r = g = b = ((row[x >> 3] >> (7 - (x & 7))) & 1) ? 0 : 255;
            } else if (p.bitsPerPixel == 8) {
                r = g = b = row[x];
            } else {
                r = row[3 * x];
                g = row[3 * x + 1];
                b = row[3 * x + 2];
            }
            out += static_cast<char>(r);
            out += static_cast<char>(g);
            out += static_cast<char>(b);
        }
    }
    return out;
}

int MaxDifference(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return 256;
    int m = 0;
    for (size_t i = 0; i < a.size(); ++i)
        m = std::max(
            m, std::abs(static_cast<int>(static_cast<uint8_t>(a[i])) - static_cast<int>(static_cast<uint8_t>(b[i]))));
    return m;
}

struct FormatCase {
    long format;
    const char* ext;
    bool keepsResolution;
};

const FormatCase kFormats[] = {
    {twain::TWFF_BMP, "bmp", true}, {twain::TWFF_PNG, "png", true}, {twain::FF_PCX, "pcx", true},
    {twain::FF_GIF, "gif", false},  {twain::FF_TGA, "tga", false},  {twain::FF_WMF, "wmf", true},
    {twain::FF_EMF, "emf", true},
};

class WriterTest : public ::testing::TestWithParam<short> {};

TEST_P(WriterTest, EveryFormatDecodesToThePagePixels) {
    const short bits = GetParam();
    testsupport::TempFolder dir;
    for (long extra : {0L, 3L}) {
        const PageImage page = Pattern(37, 23, bits, 300, extra);
        const std::string expected = ExpectedRgb(page);
        for (const auto& f : kFormats) {
            SCOPED_TRACE(std::string(f.ext) + " bits " + std::to_string(bits) + " extra stride " +
                         std::to_string(extra));
            const std::string path = dir.path() + "page." + f.ext;
            std::string error;
            ASSERT_TRUE(scancontrol::WriteImageFile(page, path, f.format, &error)) << error;
            const scantest::Decoded d = scantest::DecodeFile(path);
            ASSERT_TRUE(d.ok) << d.tool << ": " << d.error;
            EXPECT_EQ(d.width, 37);
            EXPECT_EQ(d.height, 23);
            // GIF holds 256 colours: colour pages are reduced to the 3-3-2 palette.
            const int tolerance = (f.format == twain::FF_GIF && bits == 24) ? 43 : 0;
            EXPECT_LE(MaxDifference(d.rgb, expected), tolerance);
            if (f.keepsResolution) {
                EXPECT_NEAR(d.xDpi, 300, 0.5);
                EXPECT_NEAR(d.yDpi, 300, 0.5);
            }
            if (f.format == twain::TWFF_BMP || f.format == twain::TWFF_PNG || f.format == twain::FF_WMF ||
                f.format == twain::FF_EMF) {
                EXPECT_EQ(d.depth, bits);
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Depths, WriterTest, ::testing::Values(1, 8, 24),
                         [](const ::testing::TestParamInfo<short>& p) { return "Bits" + std::to_string(p.param); });

TEST(ImageFileWriter, RefusesUnknownFormatsAndLeavesNoFileOnFailure) {
    testsupport::TempFolder dir;
    const PageImage page = Pattern(8, 8, 8, 100);
    std::string error;
    EXPECT_FALSE(scancontrol::WriteImageFile(page, dir.path() + "x.jpg", twain::TWFF_JFIF, &error));
    EXPECT_FALSE(error.empty());
    for (const auto& f : kFormats) { // a folder that does not exist: no file, and a reason naming it
        const std::string path = dir.path() + "missing/x." + f.ext;
        error.clear();
        EXPECT_FALSE(scancontrol::WriteImageFile(page, path, f.format, &error)) << f.ext;
        EXPECT_NE(error.find(path), std::string::npos) << f.ext << ": " << error;
    }
    EXPECT_FALSE(scancontrol::IsSupportedFileFormat(twain::TWFF_TIFF));
    PageImage empty;
    EXPECT_FALSE(scancontrol::WriteImageFile(empty, dir.path() + "e.bmp", twain::TWFF_BMP, &error));
    int status = 0;
    scantest::Run("test -e '" + dir.path() + "e.bmp'", &status);
    EXPECT_NE(status, 0);
}

} // namespace
