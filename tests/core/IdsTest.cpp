#include <gtest/gtest.h>

#include "core/Ids.h"
#include "scancontrol/Twain.h"

namespace {

using core::ColourKind;

// One colour setting as each part codes it: the encoders (0 colour, 1 grey, 2 black and
// white), the control's pixel types (TWAIN's), the PDF writer (1 colour, 2 grey, 3 black
// and white), and the bits per pixel asked of the control.
struct Coding {
    ColourKind kind;
    int encoder;
    int pixelType;
    int pdf;
    int bitDepth;
};

class ColourCodings : public ::testing::TestWithParam<Coding> {};

TEST_P(ColourCodings, AgreeWithEachPart) {
    const Coding c = GetParam();
    EXPECT_EQ(core::ToEncoderColour(c.kind), c.encoder);
    EXPECT_EQ(core::FromEncoderColour(c.encoder), c.kind);
    EXPECT_EQ(core::FromPixelType(c.pixelType), c.kind);
    EXPECT_EQ(core::ToPdfColour(c.kind), c.pdf);
    EXPECT_EQ(core::BitDepthOf(c.kind), c.bitDepth);
}

INSTANTIATE_TEST_SUITE_P(Table, ColourCodings,
                         ::testing::Values(Coding{ColourKind::Colour, 0, twain::TWPT_RGB, 1, 24},
                                           Coding{ColourKind::Grey, 1, twain::TWPT_GRAY, 2, 8},
                                           Coding{ColourKind::BlackWhite, 2, twain::TWPT_BW, 3, 1}));

TEST(ColourCodings, HalftoneIsBlackAndWhiteAndUnknownCodesAreColour) {
    EXPECT_EQ(core::FromPixelType(core::kPixelHalftone), ColourKind::BlackWhite);
    EXPECT_EQ(core::FromPixelType(9), ColourKind::Colour);
    EXPECT_EQ(core::FromEncoderColour(-1), ColourKind::Colour);
}

} // namespace
