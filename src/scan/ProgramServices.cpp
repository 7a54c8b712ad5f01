#include "scan/ProgramServices.h"

#include "app/DataFiles.h"
#include "app/Texts.h"
#include "output/ImageKinds.h"
#include "output/OutputHost.h"
#include "scan/DriverIdentifer.h"
#include "scan/ScannerServices.h"
#include "scan/TwainCap.h"

namespace scan {
void InstallProgramServices(scancontrol::CDynamictwain* control, std::shared_ptr<scancontrol::ISourceManager> sources) {
    app::BindSettingsFile();
    InstallScannerServices();
    DriverIdentifer::GetInstance().SetSourceManager(std::move(sources));
    TwainCapHandler::GetInstance().SetControl(control);
    SetMessageSink([](int number) { app::ShowMessage(app::LoadMessageText(number), app::kMbOk | app::kMbIconStop); });
    output::SetWorkingFolderProvider([] { return app::WorkingImageFolder(); });
    output::SetMessageSink([](const std::string& text) { app::ShowMessage(text, app::kMbOk | app::kMbIconStop); });
}

void UninstallProgramServices() {
    TwainCapHandler::GetInstance().SetControl(nullptr);
    DriverIdentifer::GetInstance().SetSourceManager(nullptr);
    output::SetSourceFamily(nullptr);
    SetMessageSink(nullptr);
    output::SetMessageSink(nullptr);
}

} // namespace scan
