#pragma once
// The scanner options a user last chose in the options dialog, kept per scanner model
// so that the dialog opens with them next time, as a scanner driver's own dialog does.
// Only what differs from the device's state when it was opened is kept, in the
// device's option order (later options often depend on earlier ones, e.g. the
// resolutions a scan mode offers).

#include <string>
#include <vector>

#include "scancontrol/sane/OptionModel.h"

namespace scancontrol::sanectl {

struct RememberedOption {
    std::string name;
    std::string value; // a number for Bool/Int/Fixed options, the text for String options
};

// What the user chose: every active, settable single-value option of `chosen` whose
// value differs from (or is not active in) `opened`, in option order.
std::vector<RememberedOption> ChosenOptions(const OptionSnapshot& opened, const OptionSnapshot& chosen);

// The text kept on disk ("name=value" lines) and back. Lines that do not parse are skipped.
std::string FormatRemembered(const std::vector<RememberedOption>& options);
std::vector<RememberedOption> ParseRemembered(const std::string& text);

// The write that restores one remembered option on a device whose options are `now`;
// false when the device has no such active, settable option or the value does not fit
// its type.
bool RestoreWrite(const OptionSnapshot& now, const RememberedOption& option, OptionWrite& write);

// Where the choices for a scanner model are kept: under the user's configuration
// folder, one file per maker and model (device names such as USB addresses change
// from one plug-in to the next; the model does not).
std::string RememberedOptionsPath(const std::string& maker, const std::string& model);

// Reads and writes that file; a missing file is an empty list.
std::vector<RememberedOption> LoadRemembered(const std::string& path);
bool SaveRemembered(const std::string& path, const std::vector<RememberedOption>& options);

} // namespace scancontrol::sanectl
