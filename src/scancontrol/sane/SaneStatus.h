#pragma once
// SANE status codes (as plain ints) to the control's error codes: the one table.

#include <string>

namespace scancontrol::sanectl {

enum class SaneStage { Open, Option, Acquire };

// SANE_STATUS_GOOD gives 0. The stage only matters where SANE reuses a status: an
// invalid argument to sane_open means the device is not there.
long ControlErrorFromSaneStatus(int saneStatus, SaneStage stage = SaneStage::Acquire);
std::string SaneStatusText(int saneStatus);

} // namespace scancontrol::sanectl
