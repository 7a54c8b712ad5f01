#include "scan/ProgramServices.h"

#include "app/DataFiles.h"
#include "app/Texts.h"
#include "output/ImageKinds.h"
#include "output/OutputHost.h"
#include "scan/DriverIdentifer.h"
#include "scan/ScannerServices.h"
#include "scan/TwainCap.h"

namespace scan {
namespace {

// The model family with its own transfer format codes is the one whose identification
// entry carries a nonzero model family.
class CurrentSourceFamily : public output::ISourceFamily {
public:
    bool CurrentSourceHasOwnFormatCodes() const override { return CurrentDriverEntry().modelFamily != 0; }
};

} // namespace

void InstallProgramServices(scancontrol::CDynamictwain* control, std::shared_ptr<scancontrol::ISourceManager> sources) {
    app::BindSettingsFile();
    InstallScannerServices();
    DriverIdentifer::GetInstance().SetSourceManager(std::move(sources));
    TwainCapHandler::GetInstance().SetControl(control);
    output::SetSourceFamily(std::make_shared<CurrentSourceFamily>());
    output::SetWorkingFolderProvider([] { return app::WorkingImageFolder(); });
    output::SetMessageSink([](const std::string& text) { app::ShowMessage(text, app::kMbOk | app::kMbIconStop); });
}

void UninstallProgramServices() {
    TwainCapHandler::GetInstance().SetControl(nullptr);
    DriverIdentifer::GetInstance().SetSourceManager(nullptr);
    output::SetSourceFamily(nullptr);
    output::SetMessageSink(nullptr);
}

} // namespace scan
