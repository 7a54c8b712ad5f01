#pragma once
// The scanning control on SANE (any backend). Create it on the thread that runs the Qt
// event loop the events should arrive on (the UI thread; the CLI's QCoreApplication).
// The device is driven by one worker thread that alone owns the SANE handle; calls on
// the control return without waiting for page data. Set-up calls (OpenSource, option
// writes) wait for the worker's answer, which for SANE is an option round trip; while
// an acquisition runs they are refused (err::SequenceError) instead of waiting.

#include <memory>

#include "scancontrol/Dynamictwain.h"
#include "scancontrol/SourceManager.h"

namespace scancontrol {

std::unique_ptr<CDynamictwain> CreateSaneDynamictwain();

// The source manager listing (Part 3.4) over sane_get_devices.
std::unique_ptr<ISourceManager> CreateSaneSourceManager();

} // namespace scancontrol
