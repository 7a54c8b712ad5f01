#pragma once
// The application object: starts the process, settles the single instance and runs the
// main window modally; the process ends when the window closes.

#include <QDialog>
#include <functional>
#include <memory>
#include <string>

namespace app {

class SingleInstance;

class CHotkeyApp {
public:
    struct Hooks {
        // Creates the main window (first instance only, after the instance check).
        std::function<std::unique_ptr<QDialog>()> createWindow;
        // Opens (or creates) the event a start by the device's scan button signals for
        // the running instance; before anything else is settled.
        std::function<void()> openPushEvent;
        // Records a start by the device's scan button; true when one was recorded. The
        // push intake supplies it; without it no push start is recorded.
        std::function<bool()> recordPushLaunch;
        // Tells the running instance that a push start was recorded.
        std::function<void()> signalPushEvent;
        // Takes back a signal nobody is there to serve: one left by an instance that
        // died before it took it.
        std::function<void()> clearPushEvent;
    };

    explicit CHotkeyApp(Hooks hooks);
    ~CHotkeyApp();

    // Runs the program to its end. Always false, as there is nothing left to run when
    // it returns: the main window has closed, or a later start has handed over.
    bool InitInstance();
    // Frees what InitInstance took; returns the process's exit code.
    int ExitInstance();

    // After InitInstance: whether this process was the first instance, and (for a later
    // one) whether the first instance brought its window forward.
    bool WasFirstInstance() const { return first_; }
    bool FirstCameForward() const { return cameForward_; }

private:
    Hooks hooks_;
    std::unique_ptr<SingleInstance> instance_;
    bool resourcesLoaded_ = false;
    std::string resourcePath_;
    bool first_ = false;
    bool cameForward_ = false;
};

// Restores a window from the task bar, raises and activates it, and does the same for
// the dialog open over it.
void BringWindowForward(QWidget* window);

} // namespace app
