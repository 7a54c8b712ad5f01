#pragma once
// Helpers for the scanning control's tests: event recording with a Qt event loop, the
// test backend's reset, and decoding written files with outside tools. Capability queries
// and condition codes come from the product itself (scan/TwainCap.h, scan/ConditionCodes.h).

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

// Runs a shell command; its standard output, and its exit status in `status`.
std::string Run(const std::string& command, int* status = nullptr);

// A decoded image file: size, bits, resolution in dots per inch, pixels as 8-bit RGB.
struct Decoded {
    bool ok = false;
    std::string tool;
    long width = 0, height = 0;
    int depth = 0; // bits per pixel as the decoder reports them (1, 8, 24)
    double xDpi = 0, yDpi = 0;
    std::string rgb;
    std::string error;
};
// ImageMagick for BMP, PNG, PCX, GIF, TGA; the metafile reader of this folder (python3)
// for WMF and EMF.
Decoded DecodeFile(const std::string& path);

std::string SourceDir(); // the repository (SU_SOURCE_DIR)

} // namespace scantest
