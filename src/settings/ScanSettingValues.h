#pragma once
// The typed values behind the short setting texts of a destination: colour modes, scan
// directions, bindings, scan methods and their list, and paper types with their frames.
// Text comparisons here are exact and case-sensitive.

#include <memory>
#include <string>
#include <vector>

#include "settings/Singleton.h"

namespace settings {

// ---- colour modes --------------------------------------------------------------------

class SColorMode {
public:
    virtual int GetCode() const = 0;
    virtual std::string GetName() const = 0;
    virtual ~SColorMode() = default;
};

class ColorColorMode : public SColorMode {
public:
    int GetCode() const override { return 2; }
    std::string GetName() const override { return "Color"; }
};
class GrayColorMode : public SColorMode {
public:
    int GetCode() const override { return 1; }
    std::string GetName() const override { return "Gray"; }
};
class BlackWhiteColorMode : public SColorMode {
public:
    int GetCode() const override { return 0; }
    std::string GetName() const override { return "BW"; }
};
class HalfToneColorMode : public SColorMode {
public:
    int GetCode() const override { return 3; }
    std::string GetName() const override { return "Halftone"; }
};

// Maps a key text to a creator of colour modes (a Loki factory: a sorted vector of
// key/creator pairs searched by binary search). Filled on first use with "Color",
// "Gray", "BW", "Halftone", in that order.
class ColorModeRegistry : public IF_Singleton<ColorModeRegistry> {
public:
    ColorModeRegistry();
    ~ColorModeRegistry();
    // A new colour mode owned by the caller. Raises std::exception whose what() is
    // "Unknown Type" for a key that is not registered.
    std::unique_ptr<SColorMode> Create(const std::string& key) const;
    // The registered keys in the registry's (byte-wise sorted) order.
    std::vector<std::string> Keys() const;
private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// ---- directions and bindings ---------------------------------------------------------

class ScanDirection {
public:
    virtual ~ScanDirection() = default;
    virtual std::string GetName() const = 0;
    virtual int GetIndex() const = 0;
    virtual int GetOrientation() const = 0; // value for the orientation capability
};
class LeftDirection : public ScanDirection {
public:
    std::string GetName() const override { return "left"; }
    int GetIndex() const override { return 0; }
    int GetOrientation() const override { return 0; } // no rotation
};
class UpperDirection : public ScanDirection {
public:
    std::string GetName() const override { return "upper"; }
    int GetIndex() const override { return 1; }
    int GetOrientation() const override { return 3; } // landscape
};

class BindingDirection {
public:
    virtual ~BindingDirection() = default;
    virtual std::string GetName() const = 0;
    virtual int GetIndex() const = 0;
    virtual int GetFlipRotation() const = 0; // value for the flip-rotation capability
};
class RLBinding : public BindingDirection {
public:
    std::string GetName() const override { return "lr"; }
    int GetIndex() const override { return 0; }
    int GetFlipRotation() const override { return 0; } // book
};
class TopBinding : public BindingDirection {
public:
    std::string GetName() const override { return "top"; }
    int GetIndex() const override { return 1; }
    int GetFlipRotation() const override { return 1; } // fanfold
};

std::shared_ptr<ScanDirection> ScanDirectionFromText(const std::string& text);
std::shared_ptr<BindingDirection> BindingDirectionFromText(const std::string& text);

// ---- scan methods --------------------------------------------------------------------

class ScanMethod {
public:
    virtual int GetCode() const = 0;
    virtual std::string GetName() const = 0;
    virtual ~ScanMethod() = default;

    std::shared_ptr<ScanDirection> direction;  // may be empty
    std::shared_ptr<BindingDirection> binding; // may be empty
    bool duplexOff = false;
};

class ADFScanMethod : public ScanMethod {
public:
    int GetCode() const override { return 2; }
    std::string GetName() const override { return "ADF"; }
};
class SimplexADFScanMethod : public ADFScanMethod {
public:
    std::string GetName() const override { return "ADFSimplex"; }
};
class DuplexADFScanMethod : public ScanMethod {
public:
    int GetCode() const override { return 3; }
    std::string GetName() const override { return "ADFDuplex"; }
};
class AutoScanMethod : public ScanMethod {
public:
    int GetCode() const override { return 0; }
    std::string GetName() const override { return "Auto"; }
};
class FlatbedScanMethod : public ScanMethod {
public:
    int GetCode() const override { return 1; }
    std::string GetName() const override { return "Flatbed"; }
};

// "name|direction|binding|duplex|" -> a method, or empty for an unknown name. Missing
// fields leave the direction or binding empty and the duplex on.
std::shared_ptr<ScanMethod> ScanMethodFromText(const std::string& text);
// The four fields joined with '|', each followed by '|'. An empty direction is written
// "left" and an empty binding "lr", so every method written has four valid fields.
std::string ScanMethodToText(const ScanMethod& method);

class ScanMethodArr {
public:
    // "m1-m2-...": every piece parsed in order, unknown ones kept as empty elements.
    static std::shared_ptr<ScanMethodArr> FromText(const std::string& text);
    // Each element's text followed by '-'. Empty elements are not written.
    std::string ToText() const;
    // First element with that name, or empty.
    std::shared_ptr<ScanMethod> get(const std::string& name) const;
    // Replaces the first element of the same name; never appends.
    void set(const std::shared_ptr<ScanMethod>& method);
    size_t size() const { return methods_.size(); }
    const std::vector<std::shared_ptr<ScanMethod>>& Methods() const { return methods_; }
    void Append(std::shared_ptr<ScanMethod> method) { methods_.push_back(std::move(method)); }
private:
    std::vector<std::shared_ptr<ScanMethod>> methods_;
};

// ---- paper ---------------------------------------------------------------------------

struct PaperFrame {
    float left = 0, top = 0, right = 0, bottom = 0; // inches
};

class PaperMache {
public:
    virtual PaperFrame GetFrame() const = 0;
    virtual std::string GetName() const = 0;
    virtual ~PaperMache() = default;
};

// A paper of fixed name and size; left and top are always 0.
class FixedPaper : public PaperMache {
public:
    FixedPaper(const char* name, float right, float bottom) : name_(name), right_(right), bottom_(bottom) {}
    PaperFrame GetFrame() const override { return {0.0f, 0.0f, right_, bottom_}; }
    std::string GetName() const override { return name_; }
private:
    const char* name_;
    float right_;
    float bottom_;
};

#define SU_PAPER(Class, Name, Right, Bottom)                                                                           \
    class Class : public FixedPaper {                                                                                  \
    public:                                                                                                            \
        Class() : FixedPaper(Name, Right, Bottom) {}                                                                   \
    };
SU_PAPER(A3Paper, "A3", 297 / 25.4f, 420 / 25.4f)
SU_PAPER(B4Paper, "B4", 257 / 25.4f, 364 / 25.4f)
SU_PAPER(A4Paper, "A4", 210 / 25.4f, 297 / 25.4f)
SU_PAPER(A4LefPaper, "A4LEF", 297 / 25.4f, 210 / 25.4f)
SU_PAPER(B5Paper, "B5", 182 / 25.4f, 257 / 25.4f)
SU_PAPER(A5Paper, "A5", 148 / 25.4f, 210 / 25.4f)
SU_PAPER(A6Paper, "A6", 105 / 25.4f, 148 / 25.4f)
SU_PAPER(TabloidPaper, "Tabloid", 11.0f, 17.0f)
SU_PAPER(LetterPaper, "Letter", 8.5f, 11.0f)
SU_PAPER(LetterLefPaper, "LetterLEF", 11.0f, 8.5f)
SU_PAPER(HalfLetterSefPaper, "HalfLetterSEF", 5.5f, 8.5f)
SU_PAPER(HalfLetterLefPaper, "HalfLetterLEF", 8.5f, 5.5f)
SU_PAPER(LegalPaper, "Legal", 8.5f, 14.0f)
SU_PAPER(Legal130Paper, "Legal130", 8.5f, 13.0f)
SU_PAPER(Legal135Paper, "Legal135", 8.5f, 13.5f)
SU_PAPER(ExecutivePaper, "Executive", 7.25f, 10.5f)
SU_PAPER(DefaultPaperType, "Auto", 0.0f, 0.0f)
#undef SU_PAPER

// The program-lifetime paper of that name; unknown names (and "Auto") give the
// DefaultPaperType. "B5LEF" and "A5LEF" give second B5 and A5 instances.
const std::shared_ptr<PaperMache>& PaperFromName(const std::string& name);

// ---- text split and join -------------------------------------------------------------

// "a||b" -> a, "", b; "a|b|" -> a, b; "|a" -> "", a; "" -> nothing.
std::vector<std::string> Split(const std::string& text, char separator);
// Every element followed by the separator: a, b -> "a|b|".
std::string Join(const std::vector<std::string>& parts, char separator);

} // namespace settings
