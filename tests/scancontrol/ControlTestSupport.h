#pragma once
// Helpers for the scanning control's tests: event recording with a Qt event loop, the
// capability queries of the capability handler written against the control's interface, the
// acquisition's condition table, and decoding written files with outside tools.

#include <functional>
#include <string>
#include <vector>

#include "scancontrol/Dynamictwain.h"

namespace scantest {

// A QApplication (offscreen in the test environment) for the whole test process.
void EnsureApplication();

// Records the events; optional hook called for each. Wait() runs the Qt event loop
// until a terminal event (4, 5, 6) arrives or the time is up.
class EventRecorder : public scancontrol::IDynamictwainEvents {
public:
    void OnTwainEvent(scancontrol::TwainEvent event) override;
    bool Wait(int milliseconds = 60000);
    bool Ended() const;
    std::vector<int> events;
    std::function<void(scancontrol::TwainEvent)> onEvent;
};

// Puts an open test backend device back to data/sane/test.conf's values (source,
// mode, depth, resolution, frame, picture, no fault).
bool ResetTestBackend(scancontrol::CDynamictwain& control);

// Runs the event loop for a while (to see that nothing more arrives).
void Pump(int milliseconds);

// The handler's generic query over the control (the algorithm the capability handler uses).
struct Queried {
    bool valid = false;
    long condition = 0;       // the control's ErrorCode on failure
    long containerType = 0;   // TWON_*
    std::vector<double> list;
    double defaultValue = 0, maxValue = 0, minValue = 0, step = 0, current = 0;
};
Queried GenericQuery(scancontrol::CDynamictwain& control, long capability);

// The handler's low-level set: container kind 0 one value, 2 enumeration (value = index), 3 range.
// Returns 0 when CapSet returned true, else the control's ErrorCode (1 when none).
long LowLevelSet(scancontrol::CDynamictwain& control, double value, long capability, int kind);

// The acquisition's condition table.
int ConditionOf(long errorCode);

// Runs a shell command; its standard output, and its exit status in `status`.
std::string Run(const std::string& command, int* status = nullptr);

// A decoded image file: size, bits, resolution in dots per inch, pixels as 8-bit RGB.
struct Decoded {
    bool ok = false;
    std::string tool;
    long width = 0, height = 0;
    int depth = 0;            // bits per pixel as the decoder reports them (1, 8, 24)
    double xDpi = 0, yDpi = 0;
    std::string rgb;
    std::string error;
};
// ImageMagick for BMP, PNG, PCX, GIF, TGA; the metafile reader of this folder (python3)
// for WMF and EMF.
Decoded DecodeFile(const std::string& path);

std::string SourceDir();  // the repository (SU_SOURCE_DIR)

} // namespace scantest
