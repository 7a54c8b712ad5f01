#pragma once
// The driver's own dialog (`ShowUI`): a modal Qt dialog generated from the device's SANE
// options, with Scan and Cancel. It edits the options through an OptionEditor, so it
// can be shown against any option list (tests give it a scripted one).

#include <functional>
#include <string>

#include "scancontrol/sane/OptionModel.h"

class QWidget;

namespace scancontrol::sanectl {

class OptionEditor {
public:
    virtual ~OptionEditor() = default;
    virtual OptionSnapshot Options() = 0;
    // 0 or the control's error code; the options may change as a result.
    virtual long Write(const OptionWrite& write) = 0;
};

// Runs the dialog modally; true when the user chose Scan. Needs a QApplication.
// Defined in su_scancontrol_ui (Qt Widgets).
bool RunOptionsDialog(OptionEditor& editor, const std::string& deviceName, QWidget* parent = nullptr);

// The control reaches the dialog through this hook, so that su_scancontrol itself needs
// only Qt Core: programs without windows (the command line tool) never load Qt Widgets.
// InstallSaneDriverDialog() (SaneDriverDialog.h) installs RunOptionsDialog.
using OptionsDialogRunner = bool (*)(OptionEditor& editor, const std::string& deviceName);
void SetOptionsDialogRunner(OptionsDialogRunner runner);
OptionsDialogRunner InstalledOptionsDialogRunner();

} // namespace scancontrol::sanectl
