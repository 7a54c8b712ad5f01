#include "app/ProgramWindowServices.h"

#include <QMetaObject>
#include <QThread>

#include "app/HelpLauncher.h"
#include "app/ProgramServices.h"
#include "core/Texts.h"
#include "delivery/DestinationHandlers.h"
#include "platform/Notifications.h"
#include "scan/DriverIdentifer.h"
#include "scan/TwainCap.h"
#include "scan/TwainScanner.h"
#include "scancontrol/SaneDriverDialog.h"
#include "scancontrol/SaneDynamictwain.h"
#include "scancontrol/SourceManager.h"
#include "settings/ChoiceList.h"
#include "settings/ProductData.h"
#include "settings/Records.h"
#include "settings/ScannerModel.h"
#include "ui/DlgSetting.h"
#include "ui/StaticLink.h"

namespace app {
namespace {

std::optional<std::string> Shown(const settings::ChoiceList& list, const std::string& key) {
    if (!settings::HasChoice(list, key)) return std::nullopt;
    return settings::ChoiceText(list, key);
}

TipValues ValuesOf(const settings::CommonSetting& record, settings::IF_MappingHandler* model) {
    TipValues v;
    if (model) {
        settings::ChoiceList list;
        model->GetScanMethods(list);
        v.scanMethod = Shown(list, record.GetScanMethod());
        list.clear();
        model->GetColorModes(list);
        v.colorMode = Shown(list, record.GetColorMode());
        list.clear();
        model->GetPaperSizes(record.GetScanMethod(), list);
        v.paperSize = Shown(list, record.GetPaperSize());
        list.clear();
        model->GetResolutions(list);
        v.resolution = Shown(list, std::to_string(record.GetResolution()));
        list.clear();
        model->GetSaveTypes(list);
        v.fileType = Shown(list, record.GetSaveType());
    }
    v.fileName = record.GetFileName();
    v.saveFolder = record.GetSaveFolder();
    return v;
}

} // namespace

ProgramWindowServices::ProgramWindowServices()
    : ProgramWindowServices(nullptr, scancontrol::CreateSaneSourceManager()) {}

ProgramWindowServices::ProgramWindowServices(std::unique_ptr<scancontrol::CDynamictwain> control,
                                             std::shared_ptr<scancontrol::ISourceManager> sources)
    : sources_(std::make_shared<scancontrol::KeptSourceListing>(std::move(sources))),
      control_(control ? std::move(control) : scancontrol::CreateSaneDynamictwain(sources_)) {
    services_ = std::make_unique<ProgramServices>(control_.get(), sources_);
    // A destination set to show the scanner's options ("IsShowDriver") opens the
    // options dialog before scanning; the window is what can show it.
    services_->AddHook([] { scancontrol::InstallSaneDriverDialog(); },
                       [] { scancontrol::UninstallSaneDriverDialog(); });
    // Links in the window's dialogs open the help.
    // Scans the user does not watch end with a desktop notification.
    services_->AddHook([] { platform::SetNotifier(std::make_shared<platform::SessionBusNotifier>()); },
                       [] { platform::SetNotifier(nullptr); });
    services_->AddHook(
        [] { ui::CStaticLink::SetDefaultOpener([](const std::string& target) { return ShowHelp(target); }); },
        [] { ui::CStaticLink::SetDefaultOpener(nullptr); });
    scanner_ = std::make_unique<scan::TwainScanner>(*control_);
}

ProgramWindowServices::~ProgramWindowServices() {
    // A listing still running would report to uiThread_, which goes with this object.
    sources_->WaitForBackground();
    if (control_) control_->SetEventListener(nullptr);
    services_->SetScanStatus(nullptr);
    handler_.reset();
    scanner_.reset();
    services_.reset();
}

void ProgramWindowServices::Attach(IScanWindow& window) {
    window_ = &window;
    handler_ = std::make_shared<ScanOperationHandler>(
        *control_, *scanner_, window,
        [this](const core::ScanRequest& request) { return delivery::CreateProcesser(request, &collector_); },
        SourceServices{[] { return settings::CurrentSourceName(); },
                       [](const std::string& n) { settings::SetCurrentSource(n); },
                       [] { scan::TwainCapHandler::GetInstance().HasDuplexUnit(); }});
    control_->SetEventListener(handler_.get());
    services_->SetScanStatus(handler_);
}

bool ProgramWindowServices::StartScanTask(const core::ScanRequest& request) {
    return handler_ && handler_->StartScanTask(request);
}
core::ScanState ProgramWindowServices::GetScanState() {
    return handler_ ? handler_->GetScanState() : core::ScanState::Idle;
}
bool ProgramWindowServices::SetScanState(core::ScanState state) { return handler_ && handler_->SetScanState(state); }
scancontrol::AcquisitionProgress ProgramWindowServices::ScanProgress() { return control_->Progress(); }
bool ProgramWindowServices::CancelScan() { return control_->CancelAcquisition(); }

void ProgramWindowServices::PrepareSources(std::function<void()> ready) {
    QObject* receiver = &uiThread_;
    sources_->ListInBackground([receiver, ready = std::move(ready)]() mutable {
        if (QThread::currentThread() == receiver->thread()) {
            ready();
            return;
        }
        QMetaObject::invokeMethod(receiver, std::move(ready), Qt::QueuedConnection);
    });
}

SourceCheck ProgramWindowServices::CheckSources() {
    SourceCheck check;
    check.code = scan::CheckSource(settings::CurrentSourceName(), &check.sources, &check.offered);
    return check;
}

std::vector<scancontrol::SourceEntry> ProgramWindowServices::ListSources() {
    // The selection lists the scanners present now: reopen the source manager on a
    // fresh listing.
    sources_->ForgetListing();
    control_->CloseSourceManager();
    control_->OpenSourceManager();
    std::vector<std::string> names;
    std::vector<scancontrol::SourceEntry> offered;
    scan::DriverIdentifer::GetInstance().KnownSources(names, nullptr, &offered);
    return offered;
}

std::string ProgramWindowServices::CurrentSource() { return settings::CurrentSourceName(); }
void ProgramWindowServices::SetCurrentSource(const std::string& name) { settings::SetCurrentSource(name); }

bool ProgramWindowServices::IsIdentified(const std::string& name) {
    return scan::DriverIdentifer::GetInstance().Knows(name);
}

int ProgramWindowServices::DeviceStatus(bool probe) {
    if (probe) lastStatus_ = scan::TwainCapHandler::GetInstance().Refresh();
    return lastStatus_;
}

void ProgramWindowServices::RefreshDeviceKnowledge() { scan::TwainCapHandler::GetInstance().HasDuplexUnit(); }

std::string ProgramWindowServices::UserSettingsFile() { return settings::UserSettingsFilePath(); }
std::string ProgramWindowServices::DefaultsFile() { return settings::DefaultsFilePath(); }

ButtonTipSet ProgramWindowServices::LoadButtonTips() {
    settings::DestinationSettings all;
    all.LoadAll();
    std::unique_ptr<settings::IF_MappingHandler> model;
    if (auto scanner = settings::ScannerModel()) model = scanner->CreateMappingHandler();
    ButtonTipSet tips;
    tips.application1 = ValuesOf(all.Application1(), model.get());
    tips.application1.applicationName = all.Application1().GetAppName();
    tips.application2 = ValuesOf(all.Application2(), model.get());
    tips.application2.applicationName = all.Application2().GetAppName();
    tips.folder = ValuesOf(all.Folder(), model.get());
    tips.folder.openFolder = all.Folder().GetOpenFolder() == "true";
    tips.fax = ValuesOf(all.Fax(), model.get());
    return tips;
}

bool ProgramWindowServices::RunButtonSettings(void* parentWindow) {
    // The window's tips follow the settings the dialog has just read.
    ui::DLGSetting dialog(static_cast<QWidget*>(parentWindow), [this] {
        if (window_) window_->RefreshButtons();
    });
    dialog.exec();
    return true;
}

void ProgramWindowServices::ReleaseAcquisition() {
    if (control_) control_->SetEventListener(nullptr);
}

} // namespace app
