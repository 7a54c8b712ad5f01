#pragma once
// Numbers of the scanner's capabilities <-> the texts stored in the settings.

#include <map>
#include <string>

namespace settings {

class IF_DataTranslator {
public:
    virtual ~IF_DataTranslator() = default;
    // The text of a value for a setting kind. False for kind 10, an unknown value or an
    // empty table text. Resolution and duplex are plain decimal numbers (truncated).
    virtual bool ValueToText(double value, int kind, std::string& text) const = 0;
    // The value of a text (names compared without regard to case). False for an empty
    // text, kind 10 or an unknown name.
    virtual bool TextToValue(const std::string& text, int kind, double& value) const = 0;
};

class DataTranslatorCommon : public IF_DataTranslator {
public:
    DataTranslatorCommon();
    bool ValueToText(double value, int kind, std::string& text) const override;
    bool TextToValue(const std::string& text, int kind, double& value) const override;
private:
    const std::map<int, std::string>* Table(int kind) const;
    std::map<int, std::map<int, std::string>> tables_;
};

// Decimal conversion as the settings read numbers: leading blanks skipped, an optional
// sign, digits up to the first non-digit; no digits gives 0. Saturates instead of
// overflowing.
int DecimalToInt(const std::string& text);

} // namespace settings
