#include "app/ProgramWindowServices.h"

#include <QMetaObject>
#include <QThread>

#include <condition_variable>
#include <mutex>

#include "app/HelpLauncher.h"
#include "app/ProgramServices.h"
#include "core/Texts.h"
#include "delivery/DestinationHandlers.h"
#include "platform/Notifications.h"
#include "pushscan/PushScanIntake.h"
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
    v.ocrLanguages = record.OcrLanguagesForScan();
    return v;
}

// What the push intake asks of the dispatch.
class DispatchTarget : public pushscan::IScanTaskHandler {
public:
    explicit DispatchTarget(ScanOperationHandler& handler) : handler_(handler) {}
    bool IsBusy() override { return handler_.IsBusy(); }
    bool StartScanTask(const core::ScanRequest& request) override { return handler_.StartScanTask(request); }
    std::string CurrentSource() override { return settings::CurrentSourceName(); }
private:
    ScanOperationHandler& handler_;
};

} // namespace

// Hands calls from other threads to the user-interface thread and waits for them, like
// the window does, except that a closing window cancels the waiting ones: the window's
// closing waits for the threads that make these calls, and they must not wait for it.
class ProgramWindowServices::UiGate : public IScanWindow {
public:
    UiGate(IScanWindow& window, QObject* uiObject)
        : window_(window), ui_(uiObject), state_(std::make_shared<State>()) {}

    int RunOnUiThread(const std::function<int()>& call) override {
        if (QThread::currentThread() == ui_->thread()) return window_.RunOnUiThread(call);
        auto job = std::make_shared<Job>();
        auto state = state_;
        {
            std::lock_guard<std::mutex> guard(state->lock);
            if (state->closed) return 0;
        }
        QMetaObject::invokeMethod(
            ui_,
            [state, job, call] {
                {
                    std::lock_guard<std::mutex> guard(state->lock);
                    if (job->cancelled || state->closed) return;
                    job->running = true;
                    ++state->running;
                }
                const int result = call();
                std::lock_guard<std::mutex> guard(state->lock);
                job->result = result;
                job->done = true;
                --state->running;
                state->changed.notify_all();
            },
            Qt::QueuedConnection);
        std::unique_lock<std::mutex> lock(state->lock);
        state->changed.wait(lock, [&] { return job->done || (state->closed && !job->running); });
        if (!job->done) job->cancelled = true;
        return job->done ? job->result : 0;
    }
    // Work the dispatch moved off the user-interface thread reports back through the
    // services' own object there, which outlives the window.
    bool PostToUiThread(std::function<void()> call) override {
        if (call) QMetaObject::invokeMethod(ui_, std::move(call), Qt::QueuedConnection);
        return true;
    }
    bool UpdateMenuForDevice(bool probe) override { return window_.UpdateMenuForDevice(probe); }
    void RefreshButtons() override { window_.RefreshButtons(); }
    void BringToFront() override { window_.BringToFront(); }
    // The scan's progress strip and the notice of where a scan went belong to the window.
    void AcquisitionStarted(const core::ScanRequest& request) override { window_.AcquisitionStarted(request); }
    void AcquisitionEnded(const core::ScanRequest& request, const ScanOutcome& outcome) override {
        window_.AcquisitionEnded(request, outcome);
    }

    void Close() {
        std::lock_guard<std::mutex> guard(state_->lock);
        state_->closed = true;
        state_->changed.notify_all();
    }
    // A handed-over call is running on the user-interface thread now (the window is
    // closing from inside it, from a dialog it opened).
    bool CallRunning() const {
        std::lock_guard<std::mutex> guard(state_->lock);
        return state_->running > 0;
    }

private:
    struct Job {
        bool running = false;
        bool done = false;
        bool cancelled = false;
        int result = 0;
    };
    struct State {
        std::mutex lock;
        std::condition_variable changed;
        bool closed = false;
        int running = 0;
    };
    IScanWindow& window_;
    QObject* ui_;
    std::shared_ptr<State> state_;
};

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
    if (gate_) gate_->Close();
    intake_.reset();
    // A listing still running would report to uiThread_, which goes with this object.
    sources_->WaitForBackground();
    if (control_) control_->SetEventListener(nullptr);
    services_->SetScanStatus(nullptr);
    handler_.reset();
    scanner_.reset();
    services_.reset();
}

void ProgramWindowServices::EnablePushIntake(const pushscan::IPushEventStore* store, void* pushEvent) {
    pushIntake_ = true;
    pushStore_ = store;
    pushEvent_ = pushEvent;
}

void ProgramWindowServices::StopPushIntake() {
    if (!intake_) return;
    gate_->Close();
    // From inside a handed-over call (a dialog it opened) the threads cannot end yet:
    // they end when these services go.
    if (!gate_->CallRunning()) intake_->Stop();
}

void ProgramWindowServices::Attach(IScanWindow& window) {
    window_ = &window;
    gate_ = std::make_unique<UiGate>(window, &uiThread_);
    handler_ = std::make_shared<ScanOperationHandler>(
        *control_, *scanner_, *gate_,
        [this](const core::ScanRequest& request) { return delivery::CreateProcesser(request, &collector_); },
        SourceServices{[] { return settings::CurrentSourceName(); },
                       [](const std::string& n) { settings::SetCurrentSource(n); },
                       [] { scan::TwainCapHandler::GetInstance().HasDuplexUnit(); }});
    control_->SetEventListener(handler_.get());
    services_->SetScanStatus(handler_);
    if (pushIntake_) {
        pushTarget_ = std::make_unique<DispatchTarget>(*handler_);
        pushscan::ChannelNames names{settings::ReadProductValue("Communication", "ShareMemoryName"),
                                     settings::ReadProductValue("Communication", "MessageRecvEvent"),
                                     settings::ReadProductValue("Communication", "MessageSendEvent"),
                                     settings::ReadProductValue("Communication", "MessageRecvThreadEvent")};
        intake_ = std::make_unique<pushscan::PushScanIntake>(*pushTarget_, pushStore_, pushEvent_, std::move(names));
        intake_->Start();
    }
}

bool ProgramWindowServices::StartScanTask(const core::ScanRequest& request) {
    return handler_ && handler_->StartScanTask(request);
}
core::ScanState ProgramWindowServices::GetScanState() {
    return handler_ ? handler_->GetScanState() : core::ScanState::Idle;
}
bool ProgramWindowServices::SetScanState(core::ScanState state) { return handler_ && handler_->SetScanState(state); }
scancontrol::AcquisitionProgress ProgramWindowServices::ScanProgress() { return control_->Progress(); }
bool ProgramWindowServices::CancelScan() {
    // Once the pages are in, Cancel stops the recognition of the document.
    return control_->CancelAcquisition() || (handler_ && handler_->CancelRecognition());
}
core::RecognitionStep ProgramWindowServices::RecognitionProgress() {
    return handler_ ? handler_->Recognition() : core::RecognitionStep{};
}

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

void ProgramWindowServices::ListSourcesInBackground(std::function<void(std::vector<scancontrol::SourceEntry>)> ready) {
    // As ListSources, with the slow part (the devices listed afresh) on the listing's own
    // thread; the kept listing then serves the identification at once.
    sources_->ForgetListing();
    control_->CloseSourceManager();
    control_->OpenSourceManager();
    PrepareSources([ready = std::move(ready)] {
        std::vector<std::string> names;
        std::vector<scancontrol::SourceEntry> offered;
        scan::DriverIdentifer::GetInstance().KnownSources(names, nullptr, &offered);
        ready(std::move(offered));
    });
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
