#include "HeadlessHost.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>

#include <unistd.h>

#include <cstdio>

namespace cli {

HeadlessWindow::HeadlessWindow(std::function<bool()> deviceCheck,
                               std::function<scancontrol::AcquisitionProgress()> progress)
    : deviceCheck_(std::move(deviceCheck)), progress_(std::move(progress)) {
    progressTimer_.setInterval(200);
    QObject::connect(&progressTimer_, &QTimer::timeout, this, [this] { ShowProgress(); });
}

void HeadlessWindow::AcquisitionStarted(const core::ScanRequest&) {
    open_ = true;
    if (progress_ && ::isatty(STDERR_FILENO)) progressTimer_.start();
}

void HeadlessWindow::ShowProgress() {
    const scancontrol::AcquisitionProgress p = progress_();
    if (p.page <= 0) return;
    const int percent = p.Percent();
    if (percent < 0) std::fprintf(stderr, "\rpage %ld      ", p.page);
    else std::fprintf(stderr, "\rpage %ld: %3d%%", p.page, percent);
    std::fflush(stderr);
    shown_ = true;
}

void HeadlessWindow::AcquisitionEnded(const core::ScanRequest&, const app::ScanOutcome&) {
    open_ = false;
    progressTimer_.stop();
    if (shown_) std::fprintf(stderr, "\n");
    shown_ = false;
    if (closed_) QMetaObject::invokeMethod(this, closed_, Qt::QueuedConnection);
}

int HeadlessWindow::RunOnUiThread(const std::function<int()>& call) {
    if (QThread::currentThread() == thread()) return call();
    int result = 0;
    QMetaObject::invokeMethod(
        this, [&] { result = call(); }, Qt::BlockingQueuedConnection);
    return result;
}

bool HeadlessWindow::PostToUiThread(std::function<void()> call) {
    if (call) QMetaObject::invokeMethod(this, std::move(call), Qt::QueuedConnection);
    return true;
}

bool HeadlessWindow::UpdateMenuForDevice(bool) { return !deviceCheck_ || deviceCheck_(); }

int ConsoleMessageBox::Show(const std::string& text, unsigned style, unsigned) {
    std::string shown;
    last_.clear();
    for (size_t i = 0; i < text.size(); ++i) {
        const bool escaped = text[i] == '\\' && i + 1 < text.size() && text[i + 1] == 'n';
        if (escaped || text[i] == '\n') {
            shown += '\n';
            last_ += "; ";
            if (escaped) ++i;
        } else {
            shown += text[i];
            last_ += text[i];
        }
    }
    std::fprintf(stderr, "scanner-utility: %s\n", shown.c_str());
    unsigned buttons = style & 0xF;
    if (buttons == core::kMbYesNo || buttons == core::kMbYesNoCancel) return core::kIdNo;
    return core::kIdOk;
}

} // namespace cli
