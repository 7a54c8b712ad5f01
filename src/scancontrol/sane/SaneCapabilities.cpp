// TWAIN's capability containers over the SANE options (the capability handler's container model).
//
// Each capability the system uses is described from the device's option descriptors or
// from the control's own software settings:
//   0x0001 CAP_XFERCOUNT          one value, the transfer count
//   0x0100 ICAP_COMPRESSION       enumeration {none}: SANE transfers raw pixels
//   0x0101 ICAP_PIXELTYPE         enumeration of the pixel types the `mode` option allows
//   0x1002 CAP_FEEDERENABLED      one value 0/1 (a device with a feeder source)
//   0x1003 CAP_FEEDERLOADED       one value 0/1 from the page-loaded sensor, read only
//   0x1007 CAP_AUTOFEED           one value 0/1
//   0x1012 CAP_DUPLEX             one value TWDX_*, read only
//   0x1013 CAP_DUPLEXENABLED      one value 0/1 (a device with a duplex source)
//   0x110C ICAP_IMAGEFILEFORMAT   enumeration of the SaveImageToFile formats
//   0x1110 ICAP_ORIENTATION       enumeration TWOR_*, applied in software
//   0x1118/0x1119 ICAP_X/YRESOLUTION  enumeration (word list) or range of `resolution`
//   0x1122 ICAP_SUPPORTEDSIZES    enumeration of the standard sizes that fit the scan area
//   0x112B ICAP_BITDEPTH          enumeration {1}, {8} or {24} for the current pixel type
//   0x112C ICAP_BITDEPTHREDUCTION enumeration {threshold, halftone}
//   0x1136 ICAP_FLIPROTATION      enumeration {book, fanfold}, applied in software
//   0x8001 custom compression     one value, kept by the control
//   0x8002 custom scan mode       enumeration {0 auto, 1 glass, 2 feeder}
// Defaults are the values the source had when it was opened.
#include <algorithm>
#include <cmath>

#include "scancontrol/sane/SaneControl.h"

namespace scancontrol::sanectl {

namespace {

CapabilityInfo One(double v, bool settable = true, int itemType = twain::TWTY_INT16) {
    CapabilityInfo c;
    c.container = CapOneValue{v};
    c.settable = settable;
    c.itemType = itemType;
    return c;
}

long IndexOf(const std::vector<double>& items, double v) {
    for (size_t i = 0; i < items.size(); ++i)
        if (std::fabs(items[i] - v) < 1e-6) return static_cast<long>(i);
    return -1;
}

CapabilityInfo Enumeration(std::vector<double> items, double current, double defaultValue,
                           int itemType = twain::TWTY_UINT16) {
    CapEnumeration e;
    e.currentIndex = std::max(0L, IndexOf(items, current));
    e.defaultIndex = std::max(0L, IndexOf(items, defaultValue));
    e.items = std::move(items);
    CapabilityInfo c;
    c.container = std::move(e);
    c.itemType = itemType;
    return c;
}

} // namespace

bool SaneControl::Describe(long id, CapabilityInfo* out) {
    if (!open_) return Fail(err::SequenceError, "capabilities need an open source");
    const SourceChoice sources = FindSources(options_);
    switch (id) {
        case twain::CAP_XFERCOUNT: *out = One(session_.transferCount); return true;
        case twain::ICAP_COMPRESSION:
            *out = Enumeration({twain::TWCP_NONE}, session_.compression, twain::TWCP_NONE);
            return true;
        case twain::ICAP_PIXELTYPE:
            *out = Enumeration(OfferedPixelTypes(options_), pixelType_, CurrentPixelType(openedOptions_));
            return true;
        case twain::ICAP_UNITS: *out = One(twain::TWUN_INCHES, false); return true;
        case twain::CAP_FEEDERENABLED:
            if (!sources.HasFeeder()) return Fail(err::CapUnsupported, "the source has no feeder");
            *out = One(FeederSelected(options_) ? 1 : 0, true, twain::TWTY_BOOL);
            return true;
        case twain::CAP_FEEDERLOADED: {
            if (!sources.HasFeeder()) return Fail(err::CapUnsupported, "the source has no feeder");
            bool loaded = false;
            try {
                loaded = FeederLoaded();
            } catch (const AutomationError&) {
                return false;
            }
            *out = One(loaded ? 1 : 0, false, twain::TWTY_BOOL);
            return true;
        }
        case twain::CAP_AUTOFEED: *out = One(session_.autoFeed ? 1 : 0, true, twain::TWTY_BOOL); return true;
        case twain::CAP_DUPLEX:
            *out = One(sources.HasDuplex() ? twain::TWDX_2PASSDUPLEX : twain::TWDX_NONE, false);
            return true;
        case twain::CAP_DUPLEXENABLED:
            if (!sources.HasDuplex()) return Fail(err::CapUnsupported, "the source has no duplex unit");
            *out = One(DuplexSelected(options_) ? 1 : 0, true, twain::TWTY_BOOL);
            return true;
        case twain::ICAP_IMAGEFILEFORMAT:
            *out = Enumeration({twain::TWFF_BMP, twain::TWFF_PNG, twain::FF_PCX, twain::FF_GIF, twain::FF_TGA,
                                twain::FF_WMF, twain::FF_EMF},
                               session_.imageFileFormat, twain::TWFF_BMP);
            return true;
        case twain::ICAP_ORIENTATION:
            *out = Enumeration({twain::TWOR_ROT0, twain::TWOR_ROT90, twain::TWOR_ROT180, twain::TWOR_ROT270},
                               session_.orientation, twain::TWOR_ROT0);
            return true;
        case twain::ICAP_XRESOLUTION:
        case twain::ICAP_YRESOLUTION: {
            const OptionInfo* o = ResolutionOption(options_);
            if (!o) return Fail(err::CapUnsupported, "the source has no resolution option");
            const OptionInfo* opened = ResolutionOption(openedOptions_);
            const double current = CurrentResolution(options_);
            const double def = opened ? opened->Value() : current;
            if (o->constraint == OptConstraint::WordList) {
                *out = Enumeration(o->words, current, def, twain::TWTY_FIX32);
            } else if (o->constraint == OptConstraint::Range) {
                CapRange r;
                r.minValue = o->minValue;
                r.maxValue = o->maxValue;
                r.stepSize = o->quant > 0 ? o->quant : 1;
                r.defaultValue = def;
                r.currentValue = current;
                out->container = r;
                out->itemType = twain::TWTY_FIX32;
                out->settable = o->settable;
            } else {
                *out = One(current, o->settable, twain::TWTY_FIX32);
            }
            return true;
        }
        case twain::ICAP_SUPPORTEDSIZES: {
            std::vector<double> sizes = SizesThatFit(options_);
            if (sizes.empty()) return Fail(err::CapUnsupported, "the source has no scan area");
            const double def = IndexOf(sizes, twain::TWSS_A4) >= 0 ? twain::TWSS_A4 : sizes.front();
            const int current = SizeOfFrame(CurrentFrame(options_));
            *out = Enumeration(sizes, IndexOf(sizes, current) >= 0 ? current : def, def);
            return true;
        }
        case twain::ICAP_BITDEPTH:
            *out = Enumeration({static_cast<double>(BitDepth())}, BitDepth(), BitDepth());
            return true;
        case twain::ICAP_BITDEPTHREDUCTION:
            *out = Enumeration({twain::TWBR_THRESHOLD, twain::TWBR_HALFTONE},
                               halftone_ ? twain::TWBR_HALFTONE : twain::TWBR_THRESHOLD, twain::TWBR_THRESHOLD);
            return true;
        case twain::ICAP_FLIPROTATION:
            *out = Enumeration({twain::TWFR_BOOK, twain::TWFR_FANFOLD}, session_.flipRotation, twain::TWFR_BOOK);
            return true;
        case twain::CAP_CUSTOM_COMPRESSION:
            *out = One(session_.customCompression, true, twain::TWTY_INT32);
            return true;
        case twain::CAP_CUSTOM_SCANMODE:
            *out = sources.HasFeeder() ? Enumeration({0, 1, 2}, session_.scanMode, 1) : Enumeration({1}, 1, 1);
            return true;
        default: return Fail(err::CapUnsupported, "capability " + std::to_string(id) + " is not supported");
    }
}

bool SaneControl::ContainerValue(double* value) {
    switch (capType_) {
        case twain::TWON_ONEVALUE: *value = capValue_; return true;
        case twain::TWON_RANGE: *value = capCurrentValue_; return true;
        case twain::TWON_ENUMERATION: {
            // The items are those of the last CapGet of this capability.
            const std::vector<double>* items = nullptr;
            CapabilityInfo fresh;
            if (capReadId_ == capId_) {
                if (auto* e = std::get_if<CapEnumeration>(&cap_)) items = &e->items;
            }
            if (!items) {
                if (!Describe(capId_, &fresh)) return false;
                if (auto* e = std::get_if<CapEnumeration>(&fresh.container)) items = &e->items;
            }
            if (!items || capCurrentIndex_ < 0 || capCurrentIndex_ >= static_cast<long>(items->size()))
                return Fail(err::BadValue, "enumeration index out of range");
            *value = (*items)[static_cast<size_t>(capCurrentIndex_)];
            return true;
        }
        default: return Fail(err::CapBadOperation, "only one value, enumeration and range containers can be set");
    }
}

bool SaneControl::ApplyCapability(long id, double v) {
    CapabilityInfo info;
    if (!Describe(id, &info)) return false;
    if (!info.settable) return Fail(err::CapBadOperation, "capability is read only");
    // The value must be one the source offers.
    if (auto* e = std::get_if<CapEnumeration>(&info.container)) {
        if (IndexOf(e->items, v) < 0) return Fail(err::BadValue, "value not offered by the source");
    } else if (auto* r = std::get_if<CapRange>(&info.container)) {
        if (v < r->minValue - 1e-6 || v > r->maxValue + 1e-6) return Fail(err::BadValue, "value out of range");
        if (r->stepSize > 0) {
            const double k = (v - r->minValue) / r->stepSize;
            if (std::fabs(k - std::round(k)) > 1e-6) return Fail(err::BadValue, "value not on the range's step");
        }
    } else if (std::holds_alternative<CapArray>(info.container)) {
        return Fail(err::CapBadOperation, "arrays cannot be set");
    }
    try {
        switch (id) {
            case twain::CAP_XFERCOUNT: TransferCount(static_cast<short>(std::lround(v))); return true;
            case twain::ICAP_COMPRESSION: session_.compression = std::lround(v); return true;
            case twain::ICAP_PIXELTYPE: PixelType(static_cast<short>(std::lround(v))); return true;
            case twain::CAP_FEEDERENABLED:
                if (v != 0 && v != 1) return Fail(err::BadValue, "0 or 1");
                FeederEnabled(v != 0);
                return true;
            case twain::CAP_AUTOFEED: AutoFeed(v != 0); return true;
            case twain::CAP_DUPLEXENABLED:
                if (v != 0 && v != 1) return Fail(err::BadValue, "0 or 1");
                DuplexEnabled(v != 0);
                return true;
            case twain::ICAP_IMAGEFILEFORMAT: session_.imageFileFormat = std::lround(v); return true;
            case twain::ICAP_ORIENTATION: session_.orientation = static_cast<int>(std::lround(v)); return true;
            case twain::ICAP_FLIPROTATION: session_.flipRotation = static_cast<int>(std::lround(v)); return true;
            case twain::ICAP_XRESOLUTION:
            case twain::ICAP_YRESOLUTION: Resolution(static_cast<float>(v)); return true;
            case twain::ICAP_SUPPORTEDSIZES: {
                const FrameInches f = FrameOfSize(static_cast<int>(std::lround(v)));
                return SetImageLayout(static_cast<float>(f.left), static_cast<float>(f.top),
                                      static_cast<float>(f.right), static_cast<float>(f.bottom));
            }
            case twain::ICAP_BITDEPTH: BitDepth(static_cast<short>(std::lround(v))); return true;
            case twain::ICAP_BITDEPTHREDUCTION:
                halftone_ = std::lround(v) == twain::TWBR_HALFTONE;
                if (pixelType_ == twain::TWPT_BW) {
                    RequireIdleOpen("ICAP_BITDEPTHREDUCTION");
                    if (long code = ApplyWanted(kImageType | kResolution | kFrame)) return Fail(code);
                }
                return true;
            case twain::CAP_CUSTOM_COMPRESSION: session_.customCompression = v; return true;
            case twain::CAP_CUSTOM_SCANMODE:
                session_.scanMode = v;
                if (std::lround(v) == 1) FeederEnabled(false);
                if (std::lround(v) == 2) FeederEnabled(true);
                return true;
            default: return Fail(err::CapBadOperation, "capability is read only");
        }
    } catch (const AutomationError& e) {
        return Fail(e.Code(), e.what());
    }
}

// ---- The container properties ----

long SaneControl::Capability() { return capId_; }
void SaneControl::Capability(long id) { capId_ = id; }
long SaneControl::CapType() { return capType_; }
void SaneControl::CapType(long type) {
    if (type < twain::TWON_ARRAY || type > twain::TWON_RANGE) Raise(err::BadValue, "unknown container type");
    capType_ = type;
}

bool SaneControl::CapGet() {
    if (Acquiring() && capId_ == twain::CAP_FEEDERLOADED) return Fail(err::SequenceError, "an acquisition is running");
    CapabilityInfo info;
    if (!Describe(capId_, &info)) return false;
    cap_ = std::move(info.container);
    capReadId_ = capId_;
    capType_ = ContainerType(cap_);
    capValue_ = CurrentValue(cap_);
    capCurrentIndex_ = 0;
    capCurrentValue_ = capValue_;
    if (auto* e = std::get_if<CapEnumeration>(&cap_)) capCurrentIndex_ = e->currentIndex;
    return true;
}

bool SaneControl::CapSet() {
    if (!open_) return Fail(err::SequenceError, "capabilities need an open source");
    if (Acquiring()) return Fail(err::SequenceError, "an acquisition is running");
    double v = 0;
    if (!ContainerValue(&v)) return false;
    if (!ApplyCapability(capId_, v)) return false;
    capReadId_ = -1; // the source's container has changed
    return true;
}

double SaneControl::CapValue() { return capValue_; }
void SaneControl::CapValue(double value) { capValue_ = value; }

double SaneControl::CapMinValue() {
    if (auto* r = std::get_if<CapRange>(&cap_)) return r->minValue;
    return capValue_;
}
double SaneControl::CapMaxValue() {
    if (auto* r = std::get_if<CapRange>(&cap_)) return r->maxValue;
    return capValue_;
}
double SaneControl::CapStepSize() {
    if (auto* r = std::get_if<CapRange>(&cap_)) return r->stepSize;
    return 0;
}
double SaneControl::CapDefaultValue() {
    if (auto* r = std::get_if<CapRange>(&cap_)) return r->defaultValue;
    if (auto* e = std::get_if<CapEnumeration>(&cap_))
        if (e->defaultIndex >= 0 && e->defaultIndex < static_cast<long>(e->items.size()))
            return e->items[static_cast<size_t>(e->defaultIndex)];
    return capValue_;
}
double SaneControl::CapCurrentValue() { return capCurrentValue_; }
void SaneControl::CapCurrentValue(double value) { capCurrentValue_ = value; }
long SaneControl::CapCurrentIndex() { return capCurrentIndex_; }
void SaneControl::CapCurrentIndex(long index) { capCurrentIndex_ = index; }
long SaneControl::CapDefaultIndex() {
    if (auto* e = std::get_if<CapEnumeration>(&cap_)) return e->defaultIndex;
    return 0;
}

double SaneControl::CapItemAt(long index) {
    const std::vector<double>* items = nullptr;
    if (auto* e = std::get_if<CapEnumeration>(&cap_)) items = &e->items;
    if (auto* a = std::get_if<CapArray>(&cap_)) items = &a->items;
    if (!items || index < 0 || index >= static_cast<long>(items->size()))
        Raise(err::BadValue, "CapItemAt: index out of range");
    return (*items)[static_cast<size_t>(index)];
}

long SaneControl::CapNumItems() {
    if (auto* e = std::get_if<CapEnumeration>(&cap_)) return static_cast<long>(e->items.size());
    if (auto* a = std::get_if<CapArray>(&cap_)) return static_cast<long>(a->items.size());
    return 1;
}

} // namespace scancontrol::sanectl
