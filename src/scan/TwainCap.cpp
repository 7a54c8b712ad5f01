#include "scan/TwainCap.h"

#include <cmath>

#include "core/Ids.h"
#include "core/Texts.h"
#include "scan/ConditionCodes.h"
#include "scan/DriverIdentifer.h"
#include "scan/PaperSizeMapping.h"
#include "scancontrol/Dynamictwain.h"
#include "scancontrol/Twain.h"
#include "settings/DataTranslator.h"
#include "settings/ProductData.h"
#include "settings/Profile.h"

namespace scan {

using scancontrol::AutomationError;
using scancontrol::CDynamictwain;

namespace {

// The colour mode list's own entry for halftone (black and white reduced by halftoning).
constexpr double kHalftoneChoice = 100;

// The condition for the control's last error; the control may itself fail to answer.
int LastCondition(CDynamictwain* control) {
    try {
        return ConditionFromErrorCode(control->ErrorCode());
    } catch (const AutomationError& e) {
        return ConditionFromErrorCode(e.Code());
    }
}

// The checks' messages go the one message route, with a stop icon.
void Show(core::MessageNumber number) {
    core::ShowMessage(core::LoadMessageText(number), core::kMbOk | core::kMbIconStop);
}

bool Near(double a, double b) { return a - b < 1e-6 && b - a < 1e-6; }

CapabilityValues SingleValue(double v) {
    CapabilityValues r;
    r.values = {v};
    r.defaultValue = r.maximum = r.minimum = r.current = v;
    r.containerKind = settings::kContainerOneValue;
    r.valid = true;
    return r;
}

} // namespace

// ---- generic operations ----------------------------------------------------------------

CapabilityValues GenericQuery(CDynamictwain* control, long id) {
    CapabilityValues r;
    if (!control) {
        r.condition = 1;
        return r;
    }
    try {
        control->Capability(id);
        if (!control->CapGet()) {
            r.condition = LastCondition(control);
            return r;
        }
        long type = control->CapType();
        if (type == twain::TWON_ARRAY) {
            r.containerKind = settings::kContainerArray;
            long n = control->CapNumItems();
            for (long i = 0; i < n; ++i) r.values.push_back(control->CapItemAt(i));
        } else if (type == twain::TWON_ENUMERATION) {
            r.containerKind = settings::kContainerEnumeration;
            long n = control->CapNumItems();
            for (long i = 0; i < n; ++i) r.values.push_back(control->CapItemAt(i));
            long d = control->CapDefaultIndex();
            long c = control->CapCurrentIndex();
            if (d >= 0 && d < n) r.defaultValue = r.values[static_cast<size_t>(d)];
            if (c >= 0 && c < n) r.current = r.values[static_cast<size_t>(c)];
            r.step = 0;
        } else if (type == twain::TWON_RANGE) {
            r.containerKind = settings::kContainerRange;
            r.minimum = control->CapMinValue();
            r.maximum = control->CapMaxValue();
            r.step = control->CapStepSize();
            r.defaultValue = control->CapDefaultValue();
            r.current = control->CapCurrentValue();
            bool bounded = r.step > 0 && std::isfinite(r.step) && std::isfinite(r.minimum) &&
                           std::isfinite(r.maximum) && (r.maximum - r.minimum) / r.step < kMaxRangeItems;
            if (bounded) {
                // Each value is computed from the minimum, so rounding does not add up.
                for (size_t i = 0;; ++i) {
                    double v = r.minimum + r.step * static_cast<double>(i);
                    if (v > r.maximum) break;
                    r.values.push_back(v);
                }
            } else {
                r.values.push_back(r.minimum);
                if (r.maximum > r.minimum) r.values.push_back(r.maximum);
            }
        } else {
            double v = control->CapValue();
            r = SingleValue(v);
        }
        r.valid = true;
        r.condition = 0;
    } catch (const AutomationError&) {
        r = CapabilityValues{};
        r.condition = LastCondition(control);
    }
    return r;
}

int LowLevelSet(CDynamictwain* control, double value, long id, int containerKind) {
    if (!control) return 1;
    try {
        control->Capability(id);
        if (containerKind == settings::kContainerEnumeration) {
            // The control sets an enumeration by an index into the items of its last
            // CapGet, so those must be this capability's items.
            if (!control->CapGet()) return LastCondition(control) == 0 ? 1 : LastCondition(control);
            control->CapType(twain::TWON_ENUMERATION);
            control->CapCurrentIndex(static_cast<long>(value));
        } else if (containerKind == settings::kContainerRange) {
            control->CapType(twain::TWON_RANGE);
            control->CapCurrentValue(value);
        } else {
            control->CapType(twain::TWON_ONEVALUE);
            control->CapValue(value);
        }
        return control->CapSet() ? 0 : 1;
    } catch (const AutomationError&) {
        return LastCondition(control);
    }
}

int GenericApply(CDynamictwain* control, double value, long id, int kind) {
    CapabilityValues queried;
    if (kind == settings::kContainerAsReported || kind == settings::kContainerEnumeration) {
        queried = GenericQuery(control, id);
        if (!queried.valid) return queried.condition;
        kind = queried.containerKind;
    }
    if (kind == settings::kContainerArray) return 10;
    if (kind == settings::kContainerEnumeration) {
        size_t i = 0;
        for (; i < queried.values.size(); ++i)
            if (Near(queried.values[i], value)) break;
        if (i == queried.values.size()) return 11;
        value = static_cast<double>(i);
    }
    return LowLevelSet(control, value, id, kind);
}

// ---- capability classes ------------------------------------------------------------------

CapabilityValues IF_TwainCap::Query(CDynamictwain* control) const { return GenericQuery(control, GetCapabilityId()); }

int IF_TwainCap::SetValue(CDynamictwain* control, double value, int kind) const {
    return GenericApply(control, value, GetCapabilityId(), kind);
}

CapabilityValues TwainCapColorMode::Query(CDynamictwain* control) const {
    if (!control) return CapabilityValues{};
    CapabilityValues r = GenericQuery(control, twain::ICAP_PIXELTYPE);
    if (!r.valid) return r;
    bool hasBlackWhite = false;
    for (double v : r.values) hasBlackWhite = hasBlackWhite || v == twain::TWPT_BW;
    if (hasBlackWhite) {
        CapabilityValues reductions = GenericQuery(control, twain::ICAP_BITDEPTHREDUCTION);
        if (reductions.valid)
            for (double v : reductions.values)
                if (v == twain::TWBR_HALFTONE) r.values.push_back(kHalftoneChoice);
    }
    return r;
}

int TwainCapColorMode::SetValue(CDynamictwain* control, double value, int kind) const {
    if (value != kHalftoneChoice) return GenericApply(control, value, twain::ICAP_PIXELTYPE, kind);
    int result = LowLevelSet(control, twain::TWPT_BW, twain::ICAP_PIXELTYPE, kind);
    if (result != 0) return result;
    return LowLevelSet(control, twain::TWBR_HALFTONE, twain::ICAP_BITDEPTHREDUCTION, settings::kContainerOneValue);
}

int TwainCapResolution::SetValue(CDynamictwain* control, double value, int kind) const {
    int result = GenericApply(control, value, GetCapabilityId(), kind);
    if (result != 0) return result;
    return GenericApply(control, value, twain::ICAP_YRESOLUTION, kind);
}

CapabilityValues TwainCapDuplex::Query(CDynamictwain* control) const {
    CapabilityValues r;
    if (!control) {
        r.condition = 1;
        return r;
    }
    try {
        r = SingleValue(static_cast<double>(control->DuplexType()));
    } catch (const AutomationError&) {
        r = CapabilityValues{};
        r.condition = LastCondition(control);
    }
    return r;
}

int TwainCapDuplex::SetEnabled(CDynamictwain* control, int value) const {
    if (!control) return 1;
    try {
        bool wanted = value == 1;
        control->DuplexEnabled(wanted);
        if (control->DuplexEnabled() == wanted) return 0;
    } catch (const AutomationError&) {}
    int condition = LastCondition(control);
    return condition == 0 ? 1 : condition;
}

CapabilityValues TwainCapScanMode::Query(CDynamictwain* control) const {
    CapabilityValues r;
    if (!control) return r;
    // The models the product data names offer the three ways as a fixed list; a model
    // served with the generic entry says itself which ways of scanning it has (the glass
    // alone when it has no feeder).
    if (CurrentDriverEntry().generic) {
        r = GenericQuery(control, GetCapabilityId());
        if (r.valid) return r;
        r = CapabilityValues{};
    }
    r.values = {0, 1, 2};
    r.containerKind = settings::kContainerEnumeration;
    r.valid = true;
    return r;
}

int TwainCapScanMode::SetValue(CDynamictwain* control, double value, int kind) const {
    if (!control) return 1;
    LowLevelSet(control, value, GetCapabilityId(), kind);
    int n = static_cast<int>(value);
    int feederKind = settings::kContainerOneValue;
    if (n == 0) {
        CapabilityValues enabled = GenericQuery(control, twain::CAP_FEEDERENABLED);
        if (!enabled.valid) return enabled.condition;
        feederKind = enabled.containerKind;
        if (enabled.current == 0) {
            int result = LowLevelSet(control, 1, twain::CAP_FEEDERENABLED, feederKind);
            if (result != 0) return result;
        }
        CapabilityValues loaded = GenericQuery(control, twain::CAP_FEEDERLOADED);
        if (!loaded.valid) return loaded.condition;
        n = Near(loaded.current, 1) ? 2 : 1;
    }
    if (n == 2) {
        int result = LowLevelSet(control, 1, twain::CAP_FEEDERENABLED, feederKind);
        if (result != 0) return result;
        return LowLevelSet(control, -1, twain::CAP_XFERCOUNT, settings::kContainerOneValue);
    }
    return LowLevelSet(control, 0, twain::CAP_FEEDERENABLED, feederKind);
}

std::unique_ptr<IF_TwainCap> CreateTwainCap(int kind) {
    switch (kind) {
        case 0: return std::make_unique<TwainCapScanMode>();
        case 1: return std::make_unique<TwainCapResolution>();
        case 2: return std::make_unique<TwainCapPaperSize>();
        case 3: return std::make_unique<TwainCapColorMode>();
        case 4: return std::make_unique<TwainCapSaveType>();
        case 5: return std::make_unique<TwainCapCompression>();
        case 6: return std::make_unique<TwainCapCustomCompression>();
        case 7: return std::make_unique<TwainCapDuplex>();
        case 8: return std::make_unique<TwainCapOrientation>();
        case 9: return std::make_unique<TwainCapFliprotation>();
        default: return nullptr;
    }
}

// ---- the handler -----------------------------------------------------------------------

TwainCapHandler::TwainCapHandler() {
    for (int kind : {0, 1, 2, 3, 4, 8, 9, 7}) map_[kind] = CapabilityInformation{};
}

void TwainCapHandler::SetControl(CDynamictwain* control) { control_ = control; }

void TwainCapHandler::Reset() {
    for (auto& entry : map_) entry.second = CapabilityInformation{};
    sourceName_.clear();
    lastRefresh_ = 0;
}

int TwainCapHandler::FillWithQueryMode() {
    try {
        savedQueryMode_ = control_->QueryMode();
        control_->QueryMode(true);
    } catch (const AutomationError&) {
        return LastCondition(control_);
    }
    int status = Fill();
    try {
        control_->QueryMode(savedQueryMode_);
    } catch (const AutomationError&) {
        // The fill's own result matters more than a failed restore.
    }
    return status;
}

int TwainCapHandler::Refresh() {
    sourceName_ = settings::CurrentSourceName();
    if (!control_) return lastRefresh_ = 1;
    return lastRefresh_ = FillWithQueryMode();
}

int TwainCapHandler::Fill() {
    // Every value of every capability looks up its shown text: one look at each data
    // file serves the whole fill.
    settings::ProfileSnapshot snapshot;
    CDynamictwain* c = control_;
    const std::string current = sourceName_;
    switch (CheckSource(current)) {
        case core::kSourceUsable: break;
        case core::kNoSourceManager: Show(core::MessageNumber::NoSourceManager); return core::kNoSourceManager;
        case core::kNoKnownSource: Show(core::MessageNumber::NoDevice); return core::kNoKnownSource;
        default: Show(core::MessageNumber::NoSource); return core::kSourceNotKnown;
    }
    try {
        c->CloseSourceManager();
        if (!c->OpenSourceManager()) {
            Show(core::MessageNumber::NoSourceManager);
            return core::kNoSourceManager;
        }
        short count = c->SourceCount();
        if (count <= 0) {
            Show(core::MessageNumber::NoDevice);
            c->CloseSourceManager();
            return core::kNoKnownSource;
        }
        short index = -1;
        for (short i = 0; i < count && index < 0; ++i)
            if (settings::EqualsNoCase(c->SourceNameAt(i), current)) index = i;
        if (index < 0) {
            c->CloseSourceManager();
            Show(core::MessageNumber::NoSource);
            return core::kSourceNotKnown;
        }
        if (!c->SelectSourceByIndex(index)) {
            Show(core::MessageNumber::NoSource);
            c->CloseSourceManager();
            return 4;
        }
        if (!c->OpenSource()) {
            // The source is gone or refused: leave nothing open, and list the devices
            // afresh next time.
            c->CloseSourceManager();
            DriverIdentifer::GetInstance().ForgetSources();
            return 4;
        }
        settings::DataTranslatorCommon translator;
        const std::string mapping = settings::MappingFilePath();
        auto text = [&translator](double v, int kind) {
            std::string t;
            translator.ValueToText(v, kind, t);
            return t;
        };
        for (auto& entry : map_) {
            const int kind = entry.first;
            CapabilityInformation& info = entry.second;
            info.valid = false;
            auto cap = CreateTwainCap(kind);
            CapabilityValues values = cap->Query(c);
            if (!values.valid) {
                info.condition = 9;
                continue;
            }
            info.valid = true;
            info.condition = values.condition;
            info.minimumValue = text(values.minimum, kind);
            info.maximumValue = text(values.maximum, kind);
            info.defaultValue = text(values.defaultValue, kind);
            info.currentValue = text(values.current, kind);
            info.containerKind = values.containerKind;
            std::vector<std::string> texts;
            for (double v : values.values) texts.push_back(text(v, kind));
            info.values.clear();
            if (kind == settings::kKindPaperSize) {
                PaperSizeMapping::GetInstance().SourcePaperChoices(texts, info.values);
                continue;
            }
            const char* section = nullptr;
            switch (kind) {
                case 0: section = "ScanMethod"; break;
                case 1: section = "Resolution"; break;
                case 3: section = "ColorMode"; break;
                case 4: section = "SaveType"; break;
                case 5: section = "TifCompression"; break;
                case 6: section = "ColorPDFCompression"; break;
                default: break;
            }
            for (const auto& t : texts) {
                std::string shown = section ? settings::ReadProfileString(mapping, section, t) : std::string();
                info.values.emplace_back(t, shown.empty() ? t : shown);
            }
        }
        c->CloseSource();
        c->CloseSourceManager();
        return 0;
    } catch (const AutomationError&) {
        int condition = LastCondition(c);
        try {
            c->CloseSourceManager(); // closes the source too
        } catch (const AutomationError&) {}
        return condition;
    }
}

CapabilityInformation TwainCapHandler::QueryInfo(int kind) {
    if (kind == settings::kKindNone) return CapabilityInformation{};
    auto it = map_.find(kind);
    if (it == map_.end()) {
        CapabilityInformation info;
        info.condition = 9;
        return info;
    }
    std::string current = settings::CurrentSourceName();
    if (!settings::EqualsNoCase(current, sourceName_)) {
        sourceName_ = current;
        CapabilityInformation failed;
        if (!control_) {
            failed.condition = 1;
            return failed;
        }
        int status = lastRefresh_ = FillWithQueryMode();
        if (status != 0) {
            failed.condition = status;
            return failed;
        }
    }
    return it->second;
}

int TwainCapHandler::Set(int kind, const double* number) {
    if (kind == settings::kKindNone || !number) return 1;
    auto it = map_.find(kind);
    if (it == map_.end()) return 9;
    auto cap = CreateTwainCap(kind);
    if (!control_ || !cap) return 1;
    bool saved = false;
    try {
        saved = control_->QueryMode();
        control_->QueryMode(true);
    } catch (const AutomationError&) {
        return LastCondition(control_);
    }
    int result = cap->SetValue(control_, *number, it->second.containerKind);
    try {
        control_->QueryMode(saved);
    } catch (const AutomationError&) {}
    return result;
}

int TwainCapHandler::SetText(int kind, const std::string& text) {
    if (kind == settings::kKindNone) return 1;
    if (map_.find(kind) == map_.end()) return 9;
    settings::DataTranslatorCommon translator;
    double value = 0;
    if (!translator.TextToValue(text, kind, value)) return 1;
    Set(kind, &value);
    return 0;
}

bool TwainCapHandler::HasDuplexUnit() {
    CapabilityInformation info = QueryInfo(settings::kKindDuplex);
    const std::string file = settings::UserProductFilePath();
    const std::string source = settings::CurrentSourceName();
    std::string cached = source.empty() ? std::string() : settings::ReadProfileString(file, "Cap", source);
    if (!cached.empty()) return info.valid ? cached == "Dup" : true;
    if (info.condition != 0) return true;
    bool duplex = settings::EqualsNoCase(info.currentValue, "2");
    // A source name that cannot be a key (it would hold '=' or a line break) is not cached.
    if (!source.empty()) settings::WriteProfileString(file, "Cap", source, duplex ? "Dup" : "Sim");
    return duplex;
}

} // namespace scan
