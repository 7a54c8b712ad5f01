#pragma once
// TWAIN's capability containers as plain values: one value, enumeration, range, array.
// The control answers `CapGet` by filling one of these and exposes it through the
// container properties (`CapType`, `CapValue`, `CapItemAt`, `CapCurrentIndex`, ...).
// The scripted fake control is given its capabilities as these values.

#include <variant>
#include <vector>

#include "scancontrol/Twain.h"

namespace scancontrol {

struct CapOneValue {
    double value = 0;
};

struct CapEnumeration {
    std::vector<double> items;
    long currentIndex = 0;
    long defaultIndex = 0;
};

struct CapRange {
    double minValue = 0;
    double maxValue = 0;
    double stepSize = 0;
    double defaultValue = 0;
    double currentValue = 0;
};

struct CapArray {
    std::vector<double> items;
};

using CapContainer = std::variant<CapOneValue, CapArray, CapEnumeration, CapRange>;

// The TWON_* container type of a container: 5 one value, 3 array, 4 enumeration, 6 range.
inline long ContainerType(const CapContainer& c) {
    switch (c.index()) {
        case 0: return twain::TWON_ONEVALUE;
        case 1: return twain::TWON_ARRAY;
        case 2: return twain::TWON_ENUMERATION;
        default: return twain::TWON_RANGE;
    }
}

// The container's current value: the one value, the enumeration's current item, the
// range's current value; an array's first item (0 when empty).
double CurrentValue(const CapContainer& c);

// One capability as a source offers it: its container and whether it may be set.
struct CapabilityInfo {
    CapContainer container;
    int itemType = twain::TWTY_INT16;
    bool settable = true;
};

} // namespace scancontrol
