#pragma once
// Start-up wiring shared by the window and the command line: binds the settings file,
// connects the scanning layer's answers to the settings and the image output, and
// routes the output layer's messages and folders to the application's.

#include <memory>

namespace scancontrol {
class CDynamictwain;
class ISourceManager;
} // namespace scancontrol

namespace scan {

// The control and the source manager stay owned by the caller and must outlive the
// process-wide users (call UninstallProgramServices before destroying them).
void InstallProgramServices(scancontrol::CDynamictwain* control, std::shared_ptr<scancontrol::ISourceManager> sources);
void UninstallProgramServices();

} // namespace scan
