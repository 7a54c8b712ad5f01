#pragma once
// A private X server with a window manager, for tests that drive the program's windows
// the way a user does: real key presses and mouse clicks (xdotool, through the XTEST
// extension), window titles and focus as the window manager sees them, and screenshots
// of the whole screen (ImageMagick's import).
//
// Xvfb chooses a free display number itself (-displayfd), so tests may run side by side
// and need no display of their own; openbox manages the windows, so modal dialogs get
// frames, focus and close requests as on a desktop.

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <memory>

namespace testsupport {

class XSession {
public:
    XSession() = default;
    ~XSession();
    XSession(const XSession&) = delete;
    XSession& operator=(const XSession&) = delete;

    // Starts the server and the window manager; false (with the reason) when either did
    // not come up, or a tool the session needs is missing.
    bool Start(QString* why);
    // ":N" of the running server.
    const QString& Display() const { return display_; }
    // `base` with DISPLAY set to this server and Qt told to use it.
    QProcessEnvironment Environment(QProcessEnvironment base) const;

    // Runs xdotool with the arguments; true when it ended with 0. `out` receives its
    // output without the final line break.
    bool Xdotool(const QStringList& args, QString* out = nullptr) const;
    // The id of a visible window with exactly this title, waiting up to `ms`; empty
    // when none appeared. With several, the newest.
    QString WaitForWindow(const QString& title, int ms = 20000) const;
    // Every visible window with exactly this title.
    QStringList Windows(const QString& title) const;
    // Waits until the window is no longer visible (unmapped or destroyed).
    bool WaitUntilHidden(const QString& window, int ms = 10000) const;
    // True when the window is still mapped and visible.
    bool IsVisible(const QString& window) const;
    // The window that has the keyboard focus, as the window manager set it.
    QString ActiveWindow() const;
    // Waits until `window` is the active window (the window manager gives focus late).
    bool WaitUntilActive(const QString& window, int ms = 10000) const;
    // Position and size of a window's inside, in screen coordinates.
    bool Geometry(const QString& window, int* x, int* y, int* width, int* height) const;
    // A left click at (x, y) inside the window: the pointer moves there and clicks.
    bool Click(const QString& window, int x, int y) const;
    // Key presses in order, as the focused window receives them ("Down", "Return",
    // "alt+h", ...).
    bool Keys(const QStringList& keys) const;
    // The whole screen as a PNG file.
    bool Screenshot(const QString& path) const;

private:
    bool RunTool(const QString& program, const QStringList& args, QString* out, int ms) const;

    std::unique_ptr<QProcess> server_;
    std::unique_ptr<QProcess> manager_;
    QString display_;
};

} // namespace testsupport
