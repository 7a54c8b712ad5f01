#pragma once
// The rules of the Option dialog and of the application-entry dialog, kept free of any
// widget so they can be checked without a display: which options the dialog shows and
// lets the user change for a scan method, how the choices are written back, and which
// message answers each result of adding or changing an application entry.

#include <functional>
#include <string>

namespace settings {
class ScanMethod;
}

namespace ui {

// What the Option dialog needs to know about the current scanner.
struct OptionDeviceFacts {
    bool hasDuplexUnit = true;
    int modelFamily = 3; // the scanner's family in the device identification table
};
// Asked only when the answer matters (the feeder method), since it may ask the device.
using OptionDeviceSource = std::function<OptionDeviceFacts()>;

// The current scanner's answers: its duplex unit (cached per scanner) and its family.
OptionDeviceFacts CurrentOptionDeviceFacts();

// Scanners of this family cannot scan A6 paper on both sides.
constexpr int kNoDuplexA6Family = 2;

// The state of the dialog's controls when it opens.
struct OptionState {
    bool left = true;       // Left checked (else Upper)
    bool lrBinding = true;  // Right and Left Binding checked (else Top Binding)
    bool duplexOff = false; // "Off" checked
    bool duplexOffEnabled = true;
    bool bindingEnabled = true; // both binding radios

    bool operator==(const OptionState& o) const {
        return left == o.left && lrBinding == o.lrBinding && duplexOff == o.duplexOff &&
               duplexOffEnabled == o.duplexOffEnabled && bindingEnabled == o.bindingEnabled;
    }
};

// The opening state for the entry `entry` (null when the list has no entry of that name)
// of the scan method `methodName`, with the destination's paper `paperName`.
OptionState InitialOptionState(const settings::ScanMethod* entry, const std::string& methodName,
                               const std::string& paperName, const OptionDeviceSource& device);

// The binding radios follow "Off" while it can be changed: enabled only when it is clear.
inline bool BindingEnabledWhen(bool duplexOff) { return !duplexOff; }

// Writes the dialog's choices into the entry.
void WriteOptionChoices(settings::ScanMethod& entry, const OptionState& choices);

// The message number shown for a result of an application list's Add or Modify, or 0
// when the dialog shows nothing (it closes on 0 and stays open on every other result).
int AppEntryMessage(int result);

} // namespace ui
