// Software page steps: rotation by quarter turns, black-and-white from grey.
#include <gtest/gtest.h>

#include "scancontrol/sane/PageOps.h"

namespace {

using scancontrol::PageImage;
using scancontrol::sanectl::GrayToBlackWhite;
using scancontrol::sanectl::Rotate;

uint8_t GrayAt(const PageImage& p, long x, long y) { return p.Row(y)[x]; }
bool BitAt(const PageImage& p, long x, long y) { return (p.Row(y)[x >> 3] >> (7 - (x & 7))) & 1; }

PageImage Numbered(long w, long h) {
    PageImage p = PageImage::Blank(w, h, 8, 100);
    p.xResolution = 100;
    p.yResolution = 200;
    for (long y = 0; y < h; ++y)
        for (long x = 0; x < w; ++x) p.Row(y)[x] = static_cast<uint8_t>(y * w + x);
    return p;
}

TEST(Rotate, QuarterTurnsMovePixelsClockwise) {
    const PageImage src = Numbered(3, 2); // 0 1 2 / 3 4 5
    PageImage r = src;
    Rotate(r, 90); // clockwise: 3 0 / 4 1 / 5 2
    ASSERT_EQ(r.width, 2);
    ASSERT_EQ(r.height, 3);
    EXPECT_EQ(GrayAt(r, 0, 0), 3);
    EXPECT_EQ(GrayAt(r, 1, 0), 0);
    EXPECT_EQ(GrayAt(r, 0, 2), 5);
    EXPECT_EQ(r.xResolution, 200); // resolutions follow the axes
    r = src;
    Rotate(r, 270); // 2 5 / 1 4 / 0 3
    EXPECT_EQ(GrayAt(r, 0, 0), 2);
    EXPECT_EQ(GrayAt(r, 1, 2), 3);
    r = src;
    Rotate(r, 180); // 5 4 3 / 2 1 0
    EXPECT_EQ(GrayAt(r, 0, 0), 5);
    EXPECT_EQ(GrayAt(r, 2, 1), 0);
    EXPECT_EQ(GrayAt(r, 1, 0), 4);
    r = src;
    Rotate(r, 360);
    EXPECT_EQ(r.pixels, src.pixels);
}

TEST(Rotate, LineArtAndColourKeepTheirPixels) {
    PageImage bw = PageImage::Blank(13, 5, 1, 100);
    bw.Row(0)[0] |= 0x80; // top-left black
    PageImage r = bw;
    Rotate(r, 180);
    EXPECT_TRUE(BitAt(r, 12, 4));
    EXPECT_FALSE(BitAt(r, 0, 0));
    r = bw;
    Rotate(r, 90);
    EXPECT_EQ(r.width, 5);
    EXPECT_TRUE(BitAt(r, 4, 0));
    PageImage c = PageImage::Blank(4, 3, 24, 100);
    c.Row(0)[0] = 10;
    c.Row(0)[1] = 20;
    c.Row(0)[2] = 30;
    Rotate(c, 180);
    EXPECT_EQ(c.Row(2)[9], 10);
    EXPECT_EQ(c.Row(2)[10], 20);
    EXPECT_EQ(c.Row(2)[11], 30);
}

TEST(BlackWhite, ThresholdAndHalftoneFromGrey) {
    PageImage p = PageImage::Blank(16, 8, 8, 100);
    for (long y = 0; y < 8; ++y)
        for (long x = 0; x < 16; ++x) p.Row(y)[x] = x < 8 ? 20 : 240;
    PageImage t = p;
    GrayToBlackWhite(t, false);
    EXPECT_EQ(t.bitsPerPixel, 1);
    EXPECT_EQ(t.stride, 2);
    EXPECT_EQ(t.Row(3)[0], 0xFF); // dark: black
    EXPECT_EQ(t.Row(3)[1], 0x00);
    // Mid grey halftones to about half black.
    PageImage m = PageImage::Blank(16, 16, 8, 100);
    std::fill(m.pixels.begin(), m.pixels.end(), 128);
    GrayToBlackWhite(m, true);
    int black = 0;
    for (long y = 0; y < 16; ++y)
        for (long x = 0; x < 16; ++x) black += BitAt(m, x, y);
    EXPECT_NEAR(black, 128, 8);
}

} // namespace
