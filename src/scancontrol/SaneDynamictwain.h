#pragma once
// The scanning control on SANE (any backend). Create it on the thread that runs the Qt
// event loop the events should arrive on (the UI thread; the CLI's QCoreApplication);
// the QCoreApplication must exist by the first AcquireImage.
// The device is driven by one worker thread that alone owns the SANE handle; calls on
// the control return without waiting for page data. Set-up calls (OpenSourceManager,
// OpenSource, option writes) wait for the worker's answer, which for SANE is an option
// round trip, at most 60 s (then an automation error, err::CheckDeviceOnline); while an
// acquisition runs they are refused (err::SequenceError) instead of waiting.
// The driver dialog (`ShowUI`) needs InstallSaneDriverDialog() (SaneDriverDialog.h).

#include <memory>
#include <string>

#include "scancontrol/Dynamictwain.h"
#include "scancontrol/SourceManager.h"

namespace scancontrol {

// `sources` lists the devices for the control's source manager (SourceCount,
// SourceNameAt); share a KeptSourceListing with the other users of the listing so that
// one listing serves them all. Null: the control lists through SANE itself.
std::unique_ptr<CDynamictwain> CreateSaneDynamictwain(std::shared_ptr<ISourceManager> sources = nullptr);

// A device option by its SANE name, outside the TWAIN-style contract: for checks of a
// particular backend and for tests (the test backend's `read-return-value` fault
// injection, its `test-picture`). `value` is the option's text: a string list entry,
// a number, or yes/no for a bool. Needs an open source and no acquisition running.
// False when the control is not the SANE control or the device refuses (ErrorCode set).
bool SetSaneOption(CDynamictwain& control, const std::string& name, const std::string& value);

// The source manager listing over sane_get_devices.
std::unique_ptr<ISourceManager> CreateSaneSourceManager();

// How many times this process has listed the SANE devices (sane_get_devices).
unsigned long SaneDeviceListings();

} // namespace scancontrol
