#pragma once
// The image saver's small languages: format names as callers write them, and encoder
// parameters written as one line of text, "Name,Value[,Name,Value...]".

#include <cstdint>
#include <string>
#include <vector>

namespace output {

// "bmp", "tiff", "jpeg", "png", "gif", "wmf", "emf", "ico" (any case) stay as given;
// "dib" becomes "bmp", "tif" "TIFF", "jpg", "jpe" and "jfif" "JPEG"; others are kept.
std::string NormaliseFormatName(const std::string& name);

enum class EncoderParameterName {
    Compression,
    ColorDepth,
    ScanMethod,
    Version,
    RenderMethod,
    Quality,
    Transformation,
    SaveFlag,
};

// The named encoder values, numbered as the imaging interface numbers them.
enum EncoderValue : int32_t {
    EncoderValueCompressionLZW = 2,
    EncoderValueCompressionCCITT3 = 3,
    EncoderValueCompressionCCITT4 = 4,
    EncoderValueCompressionRle = 5,
    EncoderValueCompressionNone = 6,
    EncoderValueScanMethodInterlaced = 7,
    EncoderValueScanMethodNonInterlaced = 8,
    EncoderValueVersionGif87 = 9,
    EncoderValueVersionGif89 = 10,
    EncoderValueRenderProgressive = 11,
    EncoderValueRenderNonProgressive = 12,
    EncoderValueTransformRotate90 = 13,
    EncoderValueTransformRotate180 = 14,
    EncoderValueTransformRotate270 = 15,
    EncoderValueTransformFlipHorizontal = 16,
    EncoderValueTransformFlipVertical = 17,
    EncoderValueMultiFrame = 18,
    EncoderValueLastFrame = 19,
    EncoderValueFlush = 20,
    EncoderValueFrameDimensionTime = 21,
    EncoderValueFrameDimensionResolution = 22,
    EncoderValueFrameDimensionPage = 23,
};

struct EncoderParameter {
    EncoderParameterName name;
    int32_t value;
    bool operator==(const EncoderParameter& o) const { return name == o.name && value == o.value; }
};

// Parses a parameter text. The text is trimmed and split at every ','; an empty piece
// after a final ',' is dropped; an empty text has no parameters. The pieces must pair up
// (an even number, at most ten); each name must be one of the eight parameter names
// ("EncoderQuality", ...); each value is a value name ("EncoderValueCompressionLZW", ...)
// or a decimal number, where text that is no number counts as 0. False refuses the text.
bool ParseEncoderParameters(const std::string& text, std::vector<EncoderParameter>& out);

} // namespace output
