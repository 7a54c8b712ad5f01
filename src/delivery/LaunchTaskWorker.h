#pragma once
// The worker that serves queued launch tasks: it asks the user once per batch whether
// to deliver, then executes (yes) or discards (anything else) every task it can take.

#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "delivery/LaunchTasks.h"

namespace delivery {

// The yes/no question shown before queued tasks run. Implementations close the
// question with "no" as soon as the collector's stop is requested, and bring it to the
// front whenever TakeNewWork() answers true while it is open.
class ILaunchQuestion {
public:
    virtual ~ILaunchQuestion() = default;
    virtual bool Ask(const std::string& text, IF_OperationCollector& collector) = 0;
};

class LaunchTaskWorker {
public:
    LaunchTaskWorker(LauncherTaskCollector& collector, std::shared_ptr<ILaunchQuestion> question);
    ~LaunchTaskWorker(); // stops and joins
    LaunchTaskWorker(const LaunchTaskWorker&) = delete;
    LaunchTaskWorker& operator=(const LaunchTaskWorker&) = delete;

    void Start();
    // Requests the stop (an open question closes with "no"), waits for the thread, and
    // discards every task still queued.
    void Stop();

    // One pass of the protocol; false when the queue was empty. Public for tests that
    // drive the protocol without the thread.
    bool RunOnce();

private:
    void Loop();
    LauncherTaskCollector& collector_;
    std::shared_ptr<ILaunchQuestion> question_;
    std::thread thread_;
};

} // namespace delivery
