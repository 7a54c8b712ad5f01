#include "delivery/LaunchTaskWorker.h"

#include <chrono>

#include "core/Texts.h"

namespace delivery {

LaunchTaskWorker::LaunchTaskWorker(LauncherTaskCollector& collector, std::shared_ptr<ILaunchQuestion> question)
    : collector_(collector), question_(std::move(question)) {}

LaunchTaskWorker::~LaunchTaskWorker() { Stop(); }

void LaunchTaskWorker::Start() {
    if (!thread_.joinable()) thread_ = std::thread([this] { Loop(); });
}

void LaunchTaskWorker::Stop() {
    collector_.RequestStop();
    if (thread_.joinable()) thread_.join();
    // Tasks nobody was asked about are discarded too: their files live in the temporary
    // folder and would otherwise stay there for good.
    while (auto task = collector_.Take()) task->Discard();
}

bool LaunchTaskWorker::RunOnce() {
    auto task = collector_.Take();
    if (!task) return false;
    bool yes = question_ && question_->Ask(core::LoadMessageText(core::MessageNumber::OpenWaitingScans), collector_);
    // A stop that arrives while the question is open counts as "no": the files of the
    // queued tasks are deleted rather than left behind in the temporary folder.
    if (collector_.IsStopRequested()) yes = false;
    while (task) {
        if (yes) task->Execute();
        else task->Discard();
        task = collector_.Take();
    }
    return true;
}

void LaunchTaskWorker::Loop() {
    while (!collector_.IsStopRequested()) {
        if (!RunOnce()) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
}

} // namespace delivery
