#pragma once
// The dispatch's window side for runs without a window: the main thread runs a Qt
// event loop and plays the user-interface thread; messages go to standard error.

#include <QObject>
#include <QTimer>

#include <functional>
#include <string>

#include "app/ScanDispatch.h"
#include "core/Texts.h"

namespace scancontrol {
class ISourceManager;
} // namespace scancontrol

namespace cli {

class HeadlessWindow : public QObject, public app::IScanWindow {
public:
    // deviceCheck: whether the current source can be used now. progress: where the
    // running acquisition stands (none: nothing is shown).
    explicit HeadlessWindow(std::function<bool()> deviceCheck,
                            std::function<scancontrol::AcquisitionProgress()> progress = nullptr);
    int RunOnUiThread(const std::function<int()>& call) override;
    bool UpdateMenuForDevice(bool probe) override;
    void RefreshButtons() override {}
    void BringToFront() override {}
    // While the scan runs, standard error shows the page and how far it is, rewritten in
    // place; only when standard error is a terminal, so that logs and pipes get nothing
    // beyond the messages.
    // Work the dispatch moves off this thread reports back through this object's queue.
    bool PostToUiThread(std::function<void()> call) override;
    void AcquisitionStarted(const core::ScanRequest& request) override;
    void AcquisitionEnded(const core::ScanRequest& request, const app::ScanOutcome& outcome) override;
    // An acquisition has started and the dispatch has not yet handled its end (its last
    // page may still be on its way to the destination after the control went idle).
    bool AcquisitionOpen() const { return open_; }
    // Called from the event loop once the dispatch has handled an acquisition's end
    // (after the handling has returned), so that the run can end without waiting.
    void WhenAcquisitionClosed(std::function<void()> call) { closed_ = std::move(call); }
private:
    void ShowProgress();
    std::function<bool()> deviceCheck_;
    std::function<scancontrol::AcquisitionProgress()> progress_;
    QTimer progressTimer_;
    bool shown_ = false; // a progress line stands on the terminal
    bool open_ = false;
    std::function<void()> closed_;
};

// Writes every message to standard error and answers "no" to questions, "OK" otherwise:
// an unattended run never agrees to anything it was not asked to do.
class ConsoleMessageBox : public core::IMessageBox {
public:
    int Show(const std::string& text, unsigned style, unsigned helpContext) override;
    // The last text shown, its lines joined by "; " (empty when none was).
    const std::string& lastText() const { return last_; }
private:
    std::string last_;
};

} // namespace cli
