#include "settings/DataTranslator.h"

#include <climits>
#include <cmath>

#include "settings/ChoiceList.h"
#include "settings/Profile.h"

namespace settings {

DataTranslatorCommon::DataTranslatorCommon() {
    tables_[kKindScanMode] = {{0, "Auto"}, {1, "Flatbed"}, {2, "ADF"}};
    tables_[kKindPaperSize] = {{200, "Auto"},
                               {11, "A3"},
                               {6, "B4"},
                               {1, "A4"},
                               {201, "A4LEF"},
                               {2, "B5"},
                               {5, "A5"},
                               {202, "Tabloid"},
                               {4, "Legal"},
                               {206, "Legal130"},
                               {207, "Legal135"},
                               {3, "Letter"},
                               {203, "LetterLEF"},
                               {204, "HalfLetterSEF"},
                               {205, "HalfLetterLEF"},
                               {13, "A6"},
                               {10, "Executive"}};
    tables_[kKindColorMode] = {{2, "Color"}, {1, "Gray"}, {0, "BW"}, {100, "Halftone"}};
    tables_[kKindSaveType] = {{2, "BMP"},
                              {4, "JPEG"},
                              {0, "TIFF"},
                              {100, "PCX"},
                              {101, "GIF"},
                              {102, "TGA"},
                              {7, "PNG"},
                              {103, "WMF"},
                              {104, "EMF"},
                              {105, "PDF"},
                              {106, "Multi-page PDF"},
                              {6, "Multi-page TIFF"}};
    tables_[kKindCompression] = {{0, "Raw"}, {2, "G3"}, {4, "G4"}};
    tables_[kKindCustomCompression] = {{0, "High"}, {1, "Middle"}, {2, "Low"}};
    tables_[kKindOrientation] = {{0, "left"}, {1, "lowwer"}, {2, "right"}, {3, "upper"}};
    tables_[kKindFlipRotation] = {{0, "lr"}, {1, "top"}};
}

const std::map<int, std::string>* DataTranslatorCommon::Table(int kind) const {
    auto it = tables_.find(kind);
    return it == tables_.end() ? nullptr : &it->second;
}

namespace {
// Truncation toward zero that cannot overflow: out-of-range values clamp.
int Truncate(double value) {
    if (std::isnan(value)) return 0;
    if (value >= static_cast<double>(INT_MAX)) return INT_MAX;
    if (value <= static_cast<double>(INT_MIN)) return INT_MIN;
    return static_cast<int>(value);
}
} // namespace

bool DataTranslatorCommon::ValueToText(double value, int kind, std::string& text) const {
    if (kind == kKindNone) return false;
    const auto* table = Table(kind);
    if (!table) {
        text = std::to_string(Truncate(value));
        return true;
    }
    auto it = table->find(Truncate(value));
    if (it == table->end()) {
        text.clear();
        return false;
    }
    text = it->second;
    return !text.empty();
}

bool DataTranslatorCommon::TextToValue(const std::string& text, int kind, double& value) const {
    if (text.empty() || kind == kKindNone) return false;
    const auto* table = Table(kind);
    if (!table) {
        value = DecimalToInt(text);
        return true;
    }
    for (const auto& entry : *table)
        if (EqualsNoCase(entry.second, text)) {
            value = entry.first;
            return true;
        }
    return false;
}

int DecimalToInt(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    long long v = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        v = v * 10 + (text[i] - '0');
        if (v > INT_MAX) {
            v = static_cast<long long>(INT_MAX) + 1;
        }
    }
    if (negative) v = -v;
    if (v > INT_MAX) return INT_MAX;
    if (v < INT_MIN) return INT_MIN;
    return static_cast<int>(v);
}

} // namespace settings
