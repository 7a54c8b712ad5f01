#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "output/EncoderBase.h"
#include "output/EncoderParameters.h"

namespace {

using output::EncoderParameter;
using N = output::EncoderParameterName;

class FormatNames : public ::testing::TestWithParam<std::pair<const char*, const char*>> {};

TEST_P(FormatNames, Normalise) { EXPECT_EQ(output::NormaliseFormatName(GetParam().first), GetParam().second); }

INSTANTIATE_TEST_SUITE_P(
    Table, FormatNames,
    ::testing::Values(std::make_pair("bmp", "bmp"), std::make_pair("BMP", "BMP"), std::make_pair("Tiff", "Tiff"),
                      std::make_pair("jpeg", "jpeg"), std::make_pair("PNG", "PNG"), std::make_pair("gif", "gif"),
                      std::make_pair("WMF", "WMF"), std::make_pair("emf", "emf"), std::make_pair("ico", "ico"),
                      std::make_pair("dib", "bmp"), std::make_pair("DIB", "bmp"), std::make_pair("tif", "TIFF"),
                      std::make_pair("TIF", "TIFF"), std::make_pair("jpg", "JPEG"), std::make_pair("JPE", "JPEG"),
                      std::make_pair("jfif", "JPEG"), std::make_pair("pcx", "pcx"), std::make_pair("", ""),
                      std::make_pair("jpegx", "jpegx")));

struct ParseRow {
    const char* text;
    bool accepted;
    std::vector<EncoderParameter> parameters;
};

void PrintTo(const ParseRow& r, std::ostream* os) { *os << '"' << r.text << '"'; }

class ParameterTexts : public ::testing::TestWithParam<ParseRow> {};

TEST_P(ParameterTexts, Parse) {
    std::vector<EncoderParameter> parsed;
    EXPECT_EQ(output::ParseEncoderParameters(GetParam().text, parsed), GetParam().accepted) << GetParam().text;
    if (GetParam().accepted) {
        EXPECT_EQ(parsed, GetParam().parameters) << GetParam().text;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Grammar, ParameterTexts,
    ::testing::Values(
        ParseRow{"", true, {}}, ParseRow{"   ", true, {}},
        ParseRow{"EncoderColorDepth,24,EncoderQuality,70", true, {{N::ColorDepth, 24}, {N::Quality, 70}}},
        // A final comma leaves an empty piece, which is dropped.
        ParseRow{"EncoderColorDepth,24,", true, {{N::ColorDepth, 24}}},
        ParseRow{"  EncoderQuality,5 \t", true, {{N::Quality, 5}}},
        ParseRow{"EncoderCompression,EncoderValueCompressionCCITT4", true, {{N::Compression, 4}}},
        ParseRow{"EncoderCompression,EncoderValueCompressionLZW,EncoderSaveFlag,EncoderValueMultiFrame",
                 true,
                 {{N::Compression, 2}, {N::SaveFlag, 18}}},
        ParseRow{"EncoderSaveFlag,EncoderValueFrameDimensionPage", true, {{N::SaveFlag, 23}}},
        ParseRow{
            "EncoderScanMethod,EncoderValueScanMethodInterlaced,EncoderVersion,EncoderValueVersionGif89,"
            "EncoderRenderMethod,EncoderValueRenderProgressive,EncoderTransformation,EncoderValueTransformFlipVertical,"
            "EncoderCompression,EncoderValueCompressionRle",
            true,
            {{N::ScanMethod, 7},
             {N::Version, 10},
             {N::RenderMethod, 11},
             {N::Transformation, 17},
             {N::Compression, 5}}},
        // A value that is no number counts as 0; a leading number is read.
        ParseRow{"EncoderQuality,high", true, {{N::Quality, 0}}},
        ParseRow{"EncoderQuality,42abc", true, {{N::Quality, 42}}},
        ParseRow{"EncoderQuality,-3", true, {{N::Quality, -3}}},
        ParseRow{"EncoderQuality,99999999999", true, {{N::Quality, 2147483647}}},
        // Refused forms.
        ParseRow{"EncoderQuality", false, {}},                     // one piece
        ParseRow{"EncoderQuality,5,EncoderColorDepth", false, {}}, // odd count
        ParseRow{"EncoderQuality,,5", false, {}},                  // empty middle piece makes it odd
        ParseRow{"EncoderQuality,5,,", false, {}},                 // only the last empty piece is dropped
        ParseRow{"Quality,5", false, {}},                          // unknown name
        ParseRow{"encoderquality,5", false, {}},                   // names are exact
        ParseRow{" EncoderQuality ,5", false, {}},                 // pieces are not trimmed
        ParseRow{"EncoderQuality,1,EncoderQuality,2,EncoderQuality,3,EncoderQuality,4,EncoderQuality,5",
                 true,
                 {{N::Quality, 1}, {N::Quality, 2}, {N::Quality, 3}, {N::Quality, 4}, {N::Quality, 5}}},
        ParseRow{
            "EncoderQuality,1,EncoderQuality,2,EncoderQuality,3,EncoderQuality,4,EncoderQuality,5,EncoderQuality,6",
            false,
            {}})); // six parameters are too many

// The value names and the numbers the imaging interface gives them, as its value
// enumeration lists them.
struct ValueRow {
    const char* name;
    int32_t number;
};

void PrintTo(const ValueRow& r, std::ostream* os) { *os << r.name; }

class ValueNames : public ::testing::TestWithParam<ValueRow> {};

TEST_P(ValueNames, StandForTheirNumbers) {
    std::vector<EncoderParameter> parsed;
    ASSERT_TRUE(output::ParseEncoderParameters(std::string("EncoderCompression,") + GetParam().name, parsed));
    ASSERT_EQ(parsed.size(), 1u);
    EXPECT_EQ(parsed[0].value, GetParam().number);
    // The number written as text means the same value.
    std::vector<EncoderParameter> numeric;
    ASSERT_TRUE(output::ParseEncoderParameters("EncoderCompression," + std::to_string(GetParam().number), numeric));
    EXPECT_EQ(numeric, parsed);
}

INSTANTIATE_TEST_SUITE_P(
    Enumeration, ValueNames,
    ::testing::Values(ValueRow{"EncoderValueCompressionLZW", 2}, ValueRow{"EncoderValueCompressionCCITT3", 3},
                      ValueRow{"EncoderValueCompressionCCITT4", 4}, ValueRow{"EncoderValueCompressionRle", 5},
                      ValueRow{"EncoderValueCompressionNone", 6}, ValueRow{"EncoderValueScanMethodInterlaced", 7},
                      ValueRow{"EncoderValueScanMethodNonInterlaced", 8}, ValueRow{"EncoderValueVersionGif87", 9},
                      ValueRow{"EncoderValueVersionGif89", 10}, ValueRow{"EncoderValueRenderProgressive", 11},
                      ValueRow{"EncoderValueRenderNonProgressive", 12}, ValueRow{"EncoderValueTransformRotate90", 13},
                      ValueRow{"EncoderValueTransformRotate180", 14}, ValueRow{"EncoderValueTransformRotate270", 15},
                      ValueRow{"EncoderValueTransformFlipHorizontal", 16},
                      ValueRow{"EncoderValueTransformFlipVertical", 17}, ValueRow{"EncoderValueMultiFrame", 18},
                      ValueRow{"EncoderValueLastFrame", 19}, ValueRow{"EncoderValueFlush", 20},
                      ValueRow{"EncoderValueFrameDimensionTime", 21},
                      ValueRow{"EncoderValueFrameDimensionResolution", 22},
                      ValueRow{"EncoderValueFrameDimensionPage", 23}));

struct JpegTextRow {
    int colourMode, level;
    const char* text;
};

void PrintTo(const JpegTextRow& r, std::ostream* os) { *os << "mode" << r.colourMode << "_level" << r.level; }

class JpegTexts : public ::testing::TestWithParam<JpegTextRow> {};

TEST_P(JpegTexts, DepthByModeAndQualityFromLevel) {
    EXPECT_EQ(output::JpegParameterText(GetParam().colourMode, GetParam().level), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Table, JpegTexts,
                         ::testing::Values(JpegTextRow{0, 30, "EncoderColorDepth,24,EncoderQuality,70"},
                                           JpegTextRow{0, 0, "EncoderColorDepth,24,EncoderQuality,100"},
                                           JpegTextRow{1, 100, "EncoderColorDepth,8,EncoderQuality,0"},
                                           JpegTextRow{2, 150, "EncoderColorDepth,1,EncoderQuality,0"},
                                           JpegTextRow{2, -20, "EncoderColorDepth,1,EncoderQuality,100"},
                                           JpegTextRow{7, 50, "EncoderColorDepth,24,EncoderQuality,50"}));

TEST(TiffTexts, CompressionOnlyForBlackAndWhite) {
    EXPECT_EQ(output::TiffParameterText(0, 2), "");
    EXPECT_EQ(output::TiffParameterText(1, 1), "");
    EXPECT_EQ(output::TiffParameterText(2, 0), "EncoderCompression,EncoderValueCompressionNone");
    EXPECT_EQ(output::TiffParameterText(2, 1), "EncoderCompression,EncoderValueCompressionCCITT3");
    EXPECT_EQ(output::TiffParameterText(2, 2), "EncoderCompression,EncoderValueCompressionCCITT4");
    EXPECT_EQ(output::TiffParameterText(2, 3), "");
}

} // namespace
