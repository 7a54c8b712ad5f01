// `scan --to app1|app2|folder|fax [--source NAME]`: one scan as a window button would
// start it, with the user's stored settings, delivered as the destination delivers.
// Prints the path of every delivered file; messages go to standard error. A scan that
// fails ends with one line on standard error saying why, and exit status 1.
#include <QCoreApplication>
#include <QTimer>

#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "Command.h"
#include "HeadlessHost.h"
#include "app/ProgramServices.h"
#include "app/ScanDispatch.h"
#include "delivery/DestinationHandlers.h"
#include "delivery/LaunchTasks.h"
#include "platform/Process.h"
#include "scan/DriverIdentifer.h"
#include "scan/TwainCap.h"
#include "scan/TwainScanner.h"
#include "scancontrol/SaneDynamictwain.h"
#include "scancontrol/SourceManager.h"
#include "settings/ProductData.h"
#include "settings/Profile.h"

namespace {

// Forwards to the destination's real processor and notes the files it delivers.
class NotingProcesser : public core::ScanProcesser {
public:
    NotingProcesser(std::unique_ptr<core::ScanProcesser> inner, std::vector<std::string>& delivered)
        : inner_(std::move(inner)), delivered_(delivered) {}
    bool RefuseScan() override { return refused_ = inner_->RefuseScan(); }
    void OnPageSaved(const std::string& path) override {
        if (!inner_->IsMultiPage()) delivered_.push_back(path);
        inner_->OnPageSaved(path);
    }
    void OnScanFinished(const std::string& path) override {
        if (inner_->IsMultiPage()) delivered_.push_back(path);
        inner_->OnScanFinished(path);
    }
    void ResetSettings() override { inner_->ResetSettings(); }
    bool LoadSettings() override { return inner_->LoadSettings(); }
    bool IsMultiPage() const override { return inner_->IsMultiPage(); }
    void SuppressDriverDialog() override { inner_->SuppressDriverDialog(); }
    bool Start(core::IAcquisition& acquisition) override { return started_ = inner_->Start(acquisition); }
    // The fax error left by the scan: a page that could not be printed, or a job that
    // could not be ended (the fax handler tells no one itself). 0 for other destinations.
    int FaxError() const {
        auto* fax = dynamic_cast<const delivery::FaxHandler*>(inner_.get());
        return fax ? fax->LastError() : 0;
    }
    bool refused_ = false;
    bool started_ = false;
private:
    std::unique_ptr<core::ScanProcesser> inner_;
    std::vector<std::string>& delivered_;
};

// Listens for the control's events and passes them on, noting a failed end.
class EventTap : public scancontrol::IDynamictwainEvents {
public:
    explicit EventTap(scancontrol::IDynamictwainEvents& next) : next_(next) {}
    void OnTwainEvent(scancontrol::TwainEvent event) override {
        if (event == scancontrol::TwainEvent::TransferFailed || event == scancontrol::TwainEvent::TransferCancelled)
            failed = true;
        next_.OnTwainEvent(event);
    }
    bool failed = false;
private:
    scancontrol::IDynamictwainEvents& next_;
};

// The current source, or when it is not among the installed known sources the first
// known one (made current), as the window's start-up check does.
bool ChooseSource(const std::string& requested) {
    if (!requested.empty()) return settings::SetCurrentSource(requested);
    std::vector<std::string> names;
    scan::DriverIdentifer::GetInstance().KnownSources(names);
    if (names.empty()) return false;
    std::string current = settings::CurrentSourceName();
    for (const auto& n : names)
        if (settings::EqualsNoCase(n, current)) return true;
    return settings::SetCurrentSource(names.front());
}

int Run(const cli::Args& args) {
    cli::Options options(args);
    const std::map<std::string, int> destinations = {{"app1", core::kDestApplication1},
                                                     {"app2", core::kDestApplication2},
                                                     {"folder", core::kDestFolder},
                                                     {"fax", core::kDestPcFax}};
    auto unknown = options.Unknown({}, {"--to", "--source"});
    auto to = destinations.find(options.Value("--to"));
    if (!unknown.empty() || to == destinations.end() || !options.Positional().empty()) {
        std::fprintf(stderr, "usage: scanner-utility-cli scan --to app1|app2|folder|fax [--source NAME]\n");
        return 2;
    }

    // The scan reads the same data files many times over: each is looked at once.
    settings::ProfileSnapshot snapshot;

    int argc = 1;
    char name[] = "scanner-utility-cli";
    char* argv[] = {name, nullptr};
    QCoreApplication qapp(argc, argv);

    auto console = std::make_shared<cli::ConsoleMessageBox>();
    // One listing of the devices serves every check of the scan.
    auto sources = std::make_shared<scancontrol::KeptSourceListing>(scancontrol::CreateSaneSourceManager());
    auto control = scancontrol::CreateSaneDynamictwain(sources);
    auto services = std::make_unique<app::ProgramServices>(control.get(), sources, console);

    if (!ChooseSource(options.Value("--source"))) {
        core::ShowMessage(core::LoadMessageText(core::MessageNumber::NoDevice), core::kMbOk | core::kMbIconStop);
        std::fprintf(stderr, "scanner-utility-cli: scan failed: no scanning source of a known model is connected\n");
        return 1;
    }

    scan::TwainScanner scanner(*control);
    delivery::LauncherTaskCollector queue;
    core::SourceCheckResult sourceCheck = core::kSourceUsable;
    cli::HeadlessWindow window(
        [&sourceCheck] {
            sourceCheck = scan::CheckSource(settings::CurrentSourceName());
            return sourceCheck == core::kSourceUsable;
        },
        [&control] { return control->Progress(); });
    std::vector<std::string> delivered;
    NotingProcesser* processor = nullptr;
    auto handler = std::make_shared<app::ScanOperationHandler>(
        *control, scanner, window,
        [&](const core::ScanRequest& request) -> std::unique_ptr<core::ScanProcesser> {
            auto inner = delivery::CreateProcesser(request, &queue);
            if (!inner) return nullptr;
            auto noting = std::make_unique<NotingProcesser>(std::move(inner), delivered);
            processor = noting.get();
            return noting;
        },
        app::SourceServices{[] { return settings::CurrentSourceName(); },
                            [](const std::string& n) { settings::SetCurrentSource(n); },
                            [] { scan::TwainCapHandler::GetInstance().HasDuplexUnit(); }});
    EventTap tap(*handler);
    control->SetEventListener(&tap);
    services->SetScanStatus(handler);

    bool accepted = handler->StartScanTask(core::ScanRequest::ForButton(to->second, settings::CurrentSourceName()));
    if (accepted && processor && processor->started_) {
        // The run ends as soon as the dispatch has handled the acquisition's end: pages
        // are encoded on the dispatch's worker, so the control can be idle while the last
        // one is still on its way. Should that end never be reported, 2 s of an idle
        // control and dispatch end the run all the same.
        auto idle = [&] { return handler->GetScanState() == core::ScanState::Idle && control->ScanInProgress() == 0; };
        window.WhenAcquisitionClosed([&] {
            if (idle()) qapp.quit();
        });
        QTimer poll;
        int idlePolls = 0;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            idlePolls = idle() ? idlePolls + 1 : 0;
            if (idlePolls > 0 && (!window.AcquisitionOpen() || idlePolls > 100)) qapp.quit();
        });
        poll.start(20);
        qapp.exec();
    }

    const std::string controlError = control->ErrorString();
    control->SetEventListener(nullptr);
    services.reset();
    for (const auto& path : delivered) std::printf("%s\n", path.c_str());
    const int faxError = processor ? processor->FaxError() : 0;
    // Pages lost on the way (a full disk after some pages, say) fail the run, also when
    // the pages before them were delivered.
    const bool pageLost = handler->LastOutcome().pageLost;
    bool ok =
        accepted && processor && processor->started_ && !tap.failed && !pageLost && !delivered.empty() && faxError == 0;
    // The outcome is known and the files are out: what is left is closing the scanner
    // interface (when this function returns) and the exit.
    if (ok) {
        platform::EndProcessWithin(platform::ProcessEndGraceSeconds(), 0);
        return 0;
    }
    // One line that says why, whatever was or was not said before.
    std::string why;
    if (!accepted) {
        const std::string source = settings::CurrentSourceName();
        why = sourceCheck == core::kNoSourceManager ? "the scanner interface (SANE) could not be initialised"
              : sourceCheck == core::kNoKnownSource ? "no scanning source of a known model is connected"
              : sourceCheck != core::kSourceUsable
                  ? "no usable scanning source named \"" + source + "\" (see `scanner-utility-cli sources`)"
                  : "another scan is under way";
    } else if (!processor) {
        why = "the destination takes no scans";
    } else if (!console->lastText().empty()) {
        // What the user was told: a page that could not be written, a refused scan.
        why = console->lastText();
    } else if (!processor->started_) {
        why = "the scan could not be started" + (controlError.empty() ? std::string() : ": " + controlError);
    } else if (faxError != 0) {
        why = "the pages could not be faxed (fax error " + std::to_string(faxError) + "); the fax job was withdrawn";
    } else if (tap.failed) {
        why = "the scanner reported a failure" + (controlError.empty() ? std::string() : ": " + controlError);
    } else {
        why = "no file was delivered";
    }
    std::fprintf(stderr, "scanner-utility-cli: scan failed: %s\n", why.c_str());
    platform::EndProcessWithin(platform::ProcessEndGraceSeconds(), 1);
    return 1;
}

const cli::CliCommand command("scan", "--to app1|app2|folder|fax [--source NAME]  scan as a window button does", Run);

} // namespace
