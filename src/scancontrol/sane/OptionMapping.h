#pragma once
// How the control's settings map onto the standard SANE options (`mode`, `depth`,
// `resolution`, `tl-x`..`br-y`, `source`) of any backend. Pure functions over an
// OptionSnapshot: they say what to write, the worker writes it.

#include <string>
#include <vector>

#include "scancontrol/sane/OptionModel.h"

namespace scancontrol::sanectl {

// ---- Sources ----
enum class SourceKind { Flatbed, Feeder, Duplex, Other };

// Real backends name their sources in many ways: "Flatbed", "FlatBed", "Platen",
// "Normal", "ADF", "ADF Front", "ADF Back", "Automatic Document Feeder", "Document
// Feeder", "ADF Duplex", "Duplex", "Transparency Adapter", "Film", ...
SourceKind ClassifySource(const std::string& name);

struct SourceChoice {
    std::string flatbed; // empty when the device has no `source` option or no glass
    std::string feeder;  // the simplex feeder source (front side), empty: none
    std::string duplex;  // the duplex feeder source, empty: none
    // Duplex switched by a separate option instead of a source ("adf-mode" Simplex/
    // Duplex, or a bool "duplex").
    std::string duplexOption;
    bool HasFeeder() const { return !feeder.empty() || !duplex.empty(); }
    bool HasDuplex() const { return !duplex.empty() || !duplexOption.empty(); }
};
SourceChoice FindSources(const OptionSnapshot& s);

// The current source state read back from the options.
bool FeederSelected(const OptionSnapshot& s);
bool DuplexSelected(const OptionSnapshot& s);
std::vector<OptionWrite> PlanSource(const OptionSnapshot& s, bool feeder, bool duplex);

// A page-loaded sensor: its option name and whether its value means "empty" (hopper-
// empty style) rather than "loaded". Empty name: none.
struct Sensor {
    std::string name;
    bool inverted = false;
};
Sensor FindFeederSensor(const OptionSnapshot& s);

// ---- Image type ----
enum class ModeKind { Lineart, Halftone, Gray, Color, Other };
ModeKind ClassifyMode(const std::string& mode);

// What the device is asked for and what the control does in software afterwards to
// reach the requested pixel type.
enum class Conversion { None, Threshold, Halftone };
struct ImageTypePlan {
    std::vector<OptionWrite> writes;
    Conversion conversion = Conversion::None;
    short targetBits = 24; // 1, 8 or 24
};
// pixelType TWPT_*; halftone: ICAP_BITDEPTHREDUCTION is TWBR_HALFTONE (BW only).
ImageTypePlan PlanImageType(const OptionSnapshot& s, short pixelType, bool halftone);
// Pixel types the device can deliver (with software help): TWPT_* in ascending order.
std::vector<double> OfferedPixelTypes(const OptionSnapshot& s);
// The pixel type the current options give (TWPT_*).
short CurrentPixelType(const OptionSnapshot& s);
bool HardwareHalftone(const OptionSnapshot& s);

// ---- Resolution ----
// The resolution option (resolution, or x-resolution), or nullptr.
const OptionInfo* ResolutionOption(const OptionSnapshot& s);
double CurrentResolution(const OptionSnapshot& s);
// The nearest value the option allows.
double NearestAllowed(const OptionInfo& o, double value);
// True when `value` is exactly one the option allows (word list item, or in range on the step).
bool Allowed(const OptionInfo& o, double value);
std::vector<OptionWrite> PlanResolution(const OptionSnapshot& s, double dpi);

// ---- Geometry (inches; the options are mm or pixels) ----
struct FrameInches {
    double left = 0, top = 0, right = 0, bottom = 0;
    bool IsZero() const { return left == 0 && top == 0 && right == 0 && bottom == 0; }
};
bool HasGeometry(const OptionSnapshot& s);
FrameInches CurrentFrame(const OptionSnapshot& s);
// The whole scan area (maximum of br-x, br-y).
FrameInches ScanArea(const OptionSnapshot& s);
// An all-zero frame selects the whole scan area; other frames are clipped to it.
std::vector<OptionWrite> PlanFrame(const OptionSnapshot& s, const FrameInches& frame);

// ---- Paper sizes (ICAP_SUPPORTEDSIZES) ----
struct PaperSize {
    int code; // TWSS_*
    double widthMm;
    double heightMm;
};
const std::vector<PaperSize>& StandardPaperSizes();
// TWSS codes of the standard sizes that fit the scan area, in code order.
std::vector<double> SizesThatFit(const OptionSnapshot& s);
// The TWSS code whose size equals the frame placed at the origin (within 1 mm), or 0.
int SizeOfFrame(const FrameInches& f);
FrameInches FrameOfSize(int code);

} // namespace scancontrol::sanectl
