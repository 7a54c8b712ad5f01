#include "output/EncoderParameters.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <utility>

#include "platform/Text.h"

namespace output {
namespace {

const std::pair<const char*, EncoderParameterName> kNames[] = {
    {"EncoderCompression", EncoderParameterName::Compression},
    {"EncoderColorDepth", EncoderParameterName::ColorDepth},
    {"EncoderScanMethod", EncoderParameterName::ScanMethod},
    {"EncoderVersion", EncoderParameterName::Version},
    {"EncoderRenderMethod", EncoderParameterName::RenderMethod},
    {"EncoderQuality", EncoderParameterName::Quality},
    {"EncoderTransformation", EncoderParameterName::Transformation},
    {"EncoderSaveFlag", EncoderParameterName::SaveFlag},
};

const std::pair<const char*, EncoderValue> kValues[] = {
    {"EncoderValueCompressionLZW", EncoderValueCompressionLZW},
    {"EncoderValueCompressionCCITT3", EncoderValueCompressionCCITT3},
    {"EncoderValueCompressionCCITT4", EncoderValueCompressionCCITT4},
    {"EncoderValueCompressionRle", EncoderValueCompressionRle},
    {"EncoderValueCompressionNone", EncoderValueCompressionNone},
    {"EncoderValueScanMethodInterlaced", EncoderValueScanMethodInterlaced},
    {"EncoderValueScanMethodNonInterlaced", EncoderValueScanMethodNonInterlaced},
    {"EncoderValueVersionGif87", EncoderValueVersionGif87},
    {"EncoderValueVersionGif89", EncoderValueVersionGif89},
    {"EncoderValueRenderProgressive", EncoderValueRenderProgressive},
    {"EncoderValueRenderNonProgressive", EncoderValueRenderNonProgressive},
    {"EncoderValueTransformRotate90", EncoderValueTransformRotate90},
    {"EncoderValueTransformRotate180", EncoderValueTransformRotate180},
    {"EncoderValueTransformRotate270", EncoderValueTransformRotate270},
    {"EncoderValueTransformFlipHorizontal", EncoderValueTransformFlipHorizontal},
    {"EncoderValueTransformFlipVertical", EncoderValueTransformFlipVertical},
    {"EncoderValueMultiFrame", EncoderValueMultiFrame},
    {"EncoderValueLastFrame", EncoderValueLastFrame},
    {"EncoderValueFlush", EncoderValueFlush},
    {"EncoderValueFrameDimensionTime", EncoderValueFrameDimensionTime},
    {"EncoderValueFrameDimensionResolution", EncoderValueFrameDimensionResolution},
    {"EncoderValueFrameDimensionPage", EncoderValueFrameDimensionPage},
};

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

// A leading decimal number as the C library reads it; no number gives 0, and values
// beyond 32 bits are clamped.
int32_t NumberOf(const std::string& text) {
    errno = 0;
    long value = std::strtol(text.c_str(), nullptr, 10);
    if (value > INT32_MAX) return INT32_MAX;
    if (value < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(value);
}

} // namespace

std::string NormaliseFormatName(const std::string& name) {
    const std::string lower = platform::AsciiLower(name);
    for (const char* kept : {"bmp", "tiff", "jpeg", "png", "gif", "wmf", "emf", "ico"})
        if (lower == kept) return name;
    if (lower == "dib") return "bmp";
    if (lower == "tif") return "TIFF";
    if (lower == "jpg" || lower == "jpe" || lower == "jfif") return "JPEG";
    return name;
}

bool ParseEncoderParameters(const std::string& text, std::vector<EncoderParameter>& out) {
    out.clear();
    size_t begin = 0, end = text.size();
    while (begin < end && IsSpace(text[begin])) ++begin;
    while (end > begin && IsSpace(text[end - 1])) --end;
    if (begin == end) return true;
    std::vector<std::string> pieces;
    const std::string trimmed = text.substr(begin, end - begin);
    size_t start = 0;
    for (;;) {
        const size_t comma = trimmed.find(',', start);
        if (comma == std::string::npos) {
            if (start < trimmed.size()) pieces.push_back(trimmed.substr(start));
            break;
        }
        pieces.push_back(trimmed.substr(start, comma - start));
        start = comma + 1;
    }
    if (pieces.size() % 2 != 0 || pieces.size() > 10) return false;
    for (size_t i = 0; i < pieces.size(); i += 2) {
        bool known = false;
        EncoderParameter parameter{EncoderParameterName::Compression, 0};
        for (const auto& n : kNames)
            if (pieces[i] == n.first) {
                parameter.name = n.second;
                known = true;
            }
        if (!known) {
            out.clear();
            return false;
        }
        bool named = false;
        for (const auto& v : kValues)
            if (pieces[i + 1] == v.first) {
                parameter.value = v.second;
                named = true;
            }
        if (!named) parameter.value = NumberOf(pieces[i + 1]);
        out.push_back(parameter);
    }
    return true;
}

} // namespace output
