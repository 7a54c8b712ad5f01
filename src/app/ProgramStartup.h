#pragma once
// How the program's main window comes up: the order in which its message box, its
// services and the window itself are made.

#include <QDialog>
#include <functional>
#include <memory>

namespace app {

class ProgramWindowServices;

// Creates the main window on its services, made by `makeServices` (the SANE ones when
// empty). The program's message box is installed first: making the services creates
// the acquisition object, which opens the source manager and reports a failure to do
// so (message 108) at once. The box belongs to the window once the window exists.
std::unique_ptr<QDialog> CreateProgramWindow(
    const std::function<std::unique_ptr<ProgramWindowServices>()>& makeServices = {});

} // namespace app
