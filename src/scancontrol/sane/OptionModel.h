#pragma once
// A device's SANE options as plain values (no SANE types): what the worker reads from
// the option descriptors and hands to the UI thread, and the writes the UI thread asks
// the worker to make. Internal to the SANE control.

#include <string>
#include <vector>

namespace scancontrol::sanectl {

enum class OptType { Bool, Int, Fixed, String, Button, Group };
enum class OptUnit { None, Pixel, Bit, Mm, Dpi, Percent, Microsecond };
enum class OptConstraint { None, Range, WordList, StringList };

struct OptionInfo {
    int index = 0;
    std::string name;
    std::string title;
    std::string description;
    OptType type = OptType::Int;
    OptUnit unit = OptUnit::None;
    int count = 1; // values of an Int/Fixed/Bool option (arrays > 1)
    int size = 0;  // bytes of a String option
    bool active = true;
    bool settable = false; // SANE_CAP_SOFT_SELECT
    bool readable = false; // SANE_CAP_SOFT_DETECT
    bool advanced = false;
    bool automatic = false;
    OptConstraint constraint = OptConstraint::None;
    double minValue = 0, maxValue = 0, quant = 0; // Range (Fixed already as double)
    std::vector<double> words;                    // WordList
    std::vector<std::string> strings;             // StringList
    std::vector<double> values;                   // current value(s) of Bool/Int/Fixed
    std::string text;                             // current value of String
    double Value() const { return values.empty() ? 0.0 : values.front(); }
};

struct OptionSnapshot {
    std::vector<OptionInfo> options;
    const OptionInfo* Find(const std::string& name) const {
        for (const auto& o : options)
            if (o.name == name) return &o;
        return nullptr;
    }
    // An active option of that name, or nullptr.
    const OptionInfo* Active(const std::string& name) const {
        const OptionInfo* o = Find(name);
        return o && o->active ? o : nullptr;
    }
};

// One option write. Numbers are in the option's own unit (mm, dpi, ...), Fixed as double.
struct OptionWrite {
    std::string name;
    std::vector<double> numbers; // Bool/Int/Fixed (one value repeated for arrays)
    std::string text;            // String
    bool automatic = false;      // SANE_ACTION_SET_AUTO
    bool optional = false;       // skipped when the option is absent or inactive
};

} // namespace scancontrol::sanectl
