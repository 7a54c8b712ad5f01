#include "app/ProgramServices.h"

#include "core/Texts.h"
#include "output/ImageKinds.h"
#include "output/OutputHost.h"
#include "scan/DriverIdentifer.h"
#include "scan/ScannerServices.h"
#include "scan/TwainCap.h"
#include "settings/IniStorage.h"
#include "settings/ProductData.h"
#include "settings/ScannerModel.h"

namespace app {

ProgramServices::ProgramServices(scancontrol::CDynamictwain* control,
                                 std::shared_ptr<scancontrol::ISourceManager> sources,
                                 std::shared_ptr<core::IMessageBox> messageBox) {
    if (messageBox) {
        core::SetMessageBox(std::move(messageBox));
        ownsMessageBox_ = true;
    }
    settings::SetSettingsFileLocator([] { return settings::UserSettingsFilePath(); });
    scan::InstallScannerServices();
    scan::DriverIdentifer::GetInstance().SetSourceManager(std::move(sources));
    scan::TwainCapHandler::GetInstance().SetControl(control);
    output::SetWorkingFolderProvider([] { return settings::WorkingImageFolder(); });
    output::SetMessageSink([](const std::string& text) { core::ShowMessage(text, core::kMbOk | core::kMbIconStop); });
}

ProgramServices::~ProgramServices() {
    for (auto it = uninstalls_.rbegin(); it != uninstalls_.rend(); ++it) (*it)();
    core::SetScanStatus(nullptr);
    output::SetMessageSink(nullptr);
    output::SetWorkingFolderProvider(nullptr);
    scan::TwainCapHandler::GetInstance().SetControl(nullptr);
    scan::DriverIdentifer::GetInstance().SetSourceManager(nullptr);
    output::SetSourceFamily(nullptr);
    settings::SetScannerModel(nullptr);
    settings::SetSettingsFileLocator(nullptr);
    if (ownsMessageBox_) core::SetMessageBox(nullptr);
}

void ProgramServices::SetScanStatus(std::shared_ptr<core::IScanStatus> status) {
    core::SetScanStatus(std::move(status));
}

void ProgramServices::AddHook(const std::function<void()>& install, std::function<void()> uninstall) {
    if (install) install();
    if (uninstall) uninstalls_.push_back(std::move(uninstall));
}

} // namespace app
