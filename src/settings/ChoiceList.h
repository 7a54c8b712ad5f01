#pragma once
// A choice list: ordered (stored text, display text) pairs offered by a settings control.

#include <string>
#include <utility>
#include <vector>

namespace settings {

using Choice = std::pair<std::string, std::string>;
using ChoiceList = std::vector<Choice>;

// True when some pair's stored text equals the key byte for byte.
bool HasChoice(const ChoiceList& list, const std::string& key);
// The display text of the first pair with that key; empty when none.
std::string ChoiceText(const ChoiceList& list, const std::string& key);
// Removes the first pair whose key equals the text byte for byte.
void RemoveChoice(ChoiceList& list, const std::string& key);

// Setting kinds shared by capability negotiation, value translation and the records.
enum SettingKind : int {
    kKindScanMode = 0,
    kKindResolution = 1,
    kKindPaperSize = 2,
    kKindColorMode = 3,
    kKindSaveType = 4,
    kKindCompression = 5,
    kKindCustomCompression = 6,
    kKindDuplex = 7,
    kKindOrientation = 8,
    kKindFlipRotation = 9,
    kKindNone = 10,
};

// Container kinds in the program's numbering.
enum ContainerKind : int {
    kContainerOneValue = 0,
    kContainerArray = 1,
    kContainerEnumeration = 2,
    kContainerRange = 3,
    kContainerAsReported = 4,
};

// What the selected scanner supports for one setting kind, as texts.
struct CapabilityInformation {
    ChoiceList values; // supported values (value text, display text), source order
    std::string defaultValue;
    std::string maximumValue;
    std::string minimumValue;
    std::string currentValue;
    int containerKind = kContainerOneValue;
    int condition = 0; // 0 none; otherwise a condition code
    bool valid = false;
};

} // namespace settings
