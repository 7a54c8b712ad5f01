#include "app/ProgramStartup.h"

#include <QApplication>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

#include "app/HotkeyDlg.h"
#include "app/ProgramWindowServices.h"
#include "core/Texts.h"
#include "ui/QtMessageBox.h"

namespace app {
namespace {

// A request to end the program from outside (SIGTERM at logout or shutdown, SIGHUP when
// the session goes, SIGINT from a terminal) closes the window as its Exit command does,
// so that everything the program made for others to see is removed on the way out. The
// handler only writes a byte into a pipe; the window reads it on its own thread.
class TerminationRequests {
public:
    explicit TerminationRequests(std::function<void()> onRequest) : onRequest_(std::move(onRequest)) {
        if (::pipe2(pipe_, O_CLOEXEC | O_NONBLOCK) != 0) return;
        writeEnd_ = pipe_[1];
        notifier_ = std::make_unique<QSocketNotifier>(pipe_[0], QSocketNotifier::Read);
        QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(), [this] {
            char buffer[16];
            while (::read(pipe_[0], buffer, sizeof buffer) > 0) {}
            if (onRequest_) onRequest_();
        });
        for (int i = 0; i < kSignalCount; ++i) ::sigaction(kSignals[i], nullptr, &previous_[i]);
        installed_ = true;
        Install();
        // A scanner backend may put the default action back when its reading thread
        // starts (some do so for the process they expect to be their own); ours is put
        // back at once after.
        keep_ = std::make_unique<QTimer>();
        QObject::connect(keep_.get(), &QTimer::timeout, keep_.get(), [this] { Install(); });
        keep_->start(100);
    }
    ~TerminationRequests() {
        keep_.reset();
        if (installed_)
            for (int i = 0; i < kSignalCount; ++i) ::sigaction(kSignals[i], &previous_[i], nullptr);
        writeEnd_ = -1;
        notifier_.reset();
        for (int fd : pipe_)
            if (fd >= 0) ::close(fd);
    }
    TerminationRequests(const TerminationRequests&) = delete;
    TerminationRequests& operator=(const TerminationRequests&) = delete;

private:
    void Install() {
        struct sigaction action {};
        action.sa_handler = &TerminationRequests::OnSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        for (int signal : kSignals) {
            struct sigaction current {};
            if (::sigaction(signal, nullptr, &current) == 0 && current.sa_handler == &TerminationRequests::OnSignal)
                continue;
            ::sigaction(signal, &action, nullptr);
        }
    }

    static constexpr int kSignalCount = 3;
    static constexpr int kSignals[kSignalCount] = {SIGTERM, SIGHUP, SIGINT};
    static void OnSignal(int) {
        const int saved = errno;
        if (writeEnd_ >= 0) {
            const ssize_t ignored = ::write(writeEnd_, "x", 1);
            (void)ignored;
        }
        errno = saved;
    }
    static inline volatile sig_atomic_t writeEnd_ = -1;
    int pipe_[2] = {-1, -1};
    std::unique_ptr<QSocketNotifier> notifier_;
    std::unique_ptr<QTimer> keep_;
    struct sigaction previous_[kSignalCount] {};
    bool installed_ = false;
    std::function<void()> onRequest_;
};

// Owns the window's services. As the first base of the window it is made before the
// window and destroyed after it, so the window never outlives what it runs on.
struct ServicesOwner {
    explicit ServicesOwner(std::unique_ptr<ProgramWindowServices> s) : services(std::move(s)) {}
    std::unique_ptr<ProgramWindowServices> services;
};

// The main window together with the services it runs on.
class ProgramWindow : private ServicesOwner, public CHotkeyDlg {
public:
    explicit ProgramWindow(std::unique_ptr<ProgramWindowServices> s)
        : ServicesOwner(std::move(s)), CHotkeyDlg(*services),
          termination_(std::make_unique<TerminationRequests>([this] { EndFromOutside(); })) {}
    ~ProgramWindow() override {
        termination_.reset();
        core::SetMessageBox(nullptr);
    }

private:
    // Dialogs open over the window are dismissed first, so that the window's own loop
    // is not held up by theirs.
    // A step that was waiting for one of them may open another before the window's loop
    // is reached: those are dismissed too, as long as the window lives.
    void EndFromOutside() {
        DismissDialogs();
        if (!ending_) {
            ending_ = true;
            auto* keepDismissing = new QTimer(this);
            connect(keepDismissing, &QTimer::timeout, this, [this] { DismissDialogs(); });
            keepDismissing->start(50);
            OnCommand(kCmdExit);
        }
    }
    void DismissDialogs() {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            auto* dialog = qobject_cast<QDialog*>(widget);
            if (dialog && dialog != this && dialog->isVisible()) dialog->done(QDialog::Rejected);
        }
    }

    bool ending_ = false;
    std::unique_ptr<TerminationRequests> termination_;
};

} // namespace

std::unique_ptr<QDialog> CreateProgramWindow(
    const std::function<std::unique_ptr<ProgramWindowServices>()>& makeServices) {
    // Messages of the start-up (before the window exists) are shown without an owner.
    auto box = std::make_shared<ui::QtMessageBox>();
    core::SetMessageBox(box);
    std::unique_ptr<ProgramWindowServices> services =
        makeServices ? makeServices() : std::make_unique<ProgramWindowServices>();
    auto window = std::make_unique<ProgramWindow>(std::move(services));
    box->SetOwner(window.get());
    return window;
}

} // namespace app
