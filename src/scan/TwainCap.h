#pragma once
// Reading and writing the scanner's capabilities through the scanning control's generic
// capability interface: one stateless class per setting kind, and the process-wide
// handler that caches what the selected source supports.
//
// Condition codes of these operations: 0 success; 1 no control, no value, or the control
// refused; 9 kind not available; 10 an array cannot be set; 11 the value is not among an
// enumeration's items; otherwise the control's error code through ConditionFromErrorCode.
// Nothing here throws: the control's automation errors become condition codes.

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "scancontrol/Twain.h"
#include "settings/ChoiceList.h"
#include "settings/Singleton.h"

namespace scancontrol {
class CDynamictwain;
}

namespace scan {

using settings::CapabilityInformation;

// What one Query of a capability gives.
struct CapabilityValues {
    std::vector<double> values; // in the source's order
    double defaultValue = 0;
    double maximum = 0;
    double minimum = 0;
    double step = 0;
    double current = 0;
    int containerKind = settings::kContainerOneValue;
    int condition = 0;
    bool valid = false;
};

// A range whose step is 0 or negative, or that would list more than this many values,
// is listed as its minimum and its maximum only (the minimum alone when they are equal).
constexpr size_t kMaxRangeItems = 100000;

class IF_TwainCap {
public:
    virtual ~IF_TwainCap() = default;
    virtual CapabilityValues Query(scancontrol::CDynamictwain* control) const;
    virtual int SetValue(scancontrol::CDynamictwain* control, double value, int containerKind) const;
    virtual int GetKind() const = 0;
    virtual int GetCapabilityId() const = 0;
};

class TwainCapScanMode : public IF_TwainCap {
public:
    CapabilityValues Query(scancontrol::CDynamictwain* control) const override;
    int SetValue(scancontrol::CDynamictwain* control, double value, int containerKind) const override;
    int GetKind() const override { return settings::kKindScanMode; }
    int GetCapabilityId() const override { return twain::CAP_CUSTOM_SCANMODE; }
};
class TwainCapResolution : public IF_TwainCap {
public:
    int SetValue(scancontrol::CDynamictwain* control, double value, int containerKind) const override;
    int GetKind() const override { return settings::kKindResolution; }
    int GetCapabilityId() const override { return twain::ICAP_XRESOLUTION; }
};
class TwainCapPaperSize : public IF_TwainCap {
public:
    int GetKind() const override { return settings::kKindPaperSize; }
    int GetCapabilityId() const override { return twain::ICAP_SUPPORTEDSIZES; }
};
class TwainCapColorMode : public IF_TwainCap {
public:
    CapabilityValues Query(scancontrol::CDynamictwain* control) const override;
    int SetValue(scancontrol::CDynamictwain* control, double value, int containerKind) const override;
    int GetKind() const override { return settings::kKindColorMode; }
    int GetCapabilityId() const override { return twain::ICAP_PIXELTYPE; }
};
class TwainCapSaveType : public IF_TwainCap {
public:
    int GetKind() const override { return settings::kKindSaveType; }
    int GetCapabilityId() const override { return twain::ICAP_IMAGEFILEFORMAT; }
};
class TwainCapCompression : public IF_TwainCap {
public:
    int GetKind() const override { return settings::kKindCompression; }
    int GetCapabilityId() const override { return twain::ICAP_COMPRESSION; }
};
class TwainCapCustomCompression : public IF_TwainCap {
public:
    int GetKind() const override { return settings::kKindCustomCompression; }
    int GetCapabilityId() const override { return twain::CAP_CUSTOM_COMPRESSION; }
};
class TwainCapDuplex : public IF_TwainCap {
public:
    CapabilityValues Query(scancontrol::CDynamictwain* control) const override;
    int GetKind() const override { return settings::kKindDuplex; }
    int GetCapabilityId() const override { return twain::CAP_DUPLEX; }
    virtual int SetEnabled(scancontrol::CDynamictwain* control, int value) const;
};
class TwainCapOrientation : public IF_TwainCap {
public:
    int GetKind() const override { return settings::kKindOrientation; }
    int GetCapabilityId() const override { return twain::ICAP_ORIENTATION; }
};
class TwainCapFliprotation : public IF_TwainCap {
public:
    int GetKind() const override { return settings::kKindFlipRotation; }
    int GetCapabilityId() const override { return twain::ICAP_FLIPROTATION; }
};

// A new capability object for kinds 0 to 9; null for any other number.
std::unique_ptr<IF_TwainCap> CreateTwainCap(int kind);

// The building blocks, for the classes above and for the scan's own set-up.
CapabilityValues GenericQuery(scancontrol::CDynamictwain* control, long capabilityId);
int LowLevelSet(scancontrol::CDynamictwain* control, double value, long capabilityId, int containerKind);
int GenericApply(scancontrol::CDynamictwain* control, double value, long capabilityId, int containerKind);

class TwainCapHandler : public settings::IF_Singleton<TwainCapHandler> {
public:
    TwainCapHandler();

    // The control the handler talks to (not owned; null for none). The main window sets
    // it when it creates the control and clears it before destroying it.
    void SetControl(scancontrol::CDynamictwain* control);
    scancontrol::CDynamictwain* Control() const { return control_; }

    // Refills every entry for the current source. 1 without a control; otherwise Fill's
    // status (0 done, 2 no known source, 4 the source could not be selected or opened,
    // 5 the current source is not among the known ones, 17 no source manager, or a
    // condition code).
    int Refresh();
    // The entry of a kind, refilled first when the current source changed since the last
    // fill. Kind 10 gives empty, invalid information; kinds 5 and 6 (never cached) give
    // condition 9.
    CapabilityInformation QueryInfo(int kind);
    int Set(int kind, const double* number);
    int Set(int kind, double number) { return Set(kind, &number); }
    // 0 when the text translated and was handed to Set (whatever Set answered), else 1.
    int SetText(int kind, const std::string& text);
    // Whether the current source has a duplex unit, with the answer cached per source in
    // the user's Prdct.dat [Cap] ("Dup" / "Sim").
    bool HasDuplexUnit();

    // Forgets the filled entries and the source they were filled for (tests).
    void Reset();
    const std::string& FilledFor() const { return sourceName_; }

private:
    int Fill();
    int FillWithQueryMode();

    std::map<int, CapabilityInformation> map_;
    std::string sourceName_;
    int lastRefresh_ = 0;
    bool savedQueryMode_ = false;
    scancontrol::CDynamictwain* control_ = nullptr;
};

} // namespace scan
