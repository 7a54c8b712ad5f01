#include "support/XSession.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QThread>

namespace testsupport {
namespace {

constexpr int kToolMs = 15000;

// Polls `done` every 50 ms until it holds or `ms` have passed.
template <typename F>
bool PollUntil(F done, int ms) {
    QElapsedTimer timer;
    timer.start();
    for (;;) {
        if (done()) return true;
        if (timer.elapsed() > ms) return false;
        QThread::msleep(50);
    }
}

void Stop(std::unique_ptr<QProcess>& process) {
    if (!process) return;
    if (process->state() != QProcess::NotRunning) {
        process->terminate();
        if (!process->waitForFinished(5000)) {
            process->kill();
            process->waitForFinished(5000);
        }
    }
    process.reset();
}

} // namespace

XSession::~XSession() {
    Stop(manager_);
    Stop(server_);
}

bool XSession::Start(QString* why) {
    for (const char* tool : {"Xvfb", "openbox", "xdotool", "xprop", "xwininfo", "import"}) {
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty()) {
            *why = QStringLiteral("%1 is not installed").arg(QString::fromLatin1(tool));
            return false;
        }
    }
    // Xvfb writes the display number it chose to its standard output once it accepts
    // connections.
    server_ = std::make_unique<QProcess>();
    server_->setProcessChannelMode(QProcess::SeparateChannels);
    server_->start(QStringLiteral("Xvfb"),
                   {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"), QStringLiteral("0"),
                    QStringLiteral("1024x768x24"), QStringLiteral("-nolisten"), QStringLiteral("tcp")});
    if (!server_->waitForStarted(10000)) {
        *why = QStringLiteral("Xvfb could not be started");
        return false;
    }
    QByteArray number;
    const bool up = PollUntil(
        [&] {
            server_->waitForReadyRead(50);
            number += server_->readAllStandardOutput();
            return number.contains('\n') || server_->state() == QProcess::NotRunning;
        },
        20000);
    if (!up || !number.contains('\n')) {
        *why = QStringLiteral("Xvfb did not start: ") + QString::fromLocal8Bit(server_->readAllStandardError());
        return false;
    }
    display_ = QLatin1Char(':') + QString::fromLatin1(number.trimmed());

    manager_ = std::make_unique<QProcess>();
    manager_->setProcessEnvironment(Environment(QProcessEnvironment::systemEnvironment()));
    manager_->setStandardOutputFile(QProcess::nullDevice());
    manager_->setStandardErrorFile(QProcess::nullDevice());
    manager_->start(QStringLiteral("openbox"), {});
    if (!manager_->waitForStarted(10000)) {
        *why = QStringLiteral("openbox could not be started");
        return false;
    }
    // The window manager is ready once it has announced itself on the root window.
    const bool managing = PollUntil(
        [&] {
            QString out;
            return manager_->state() != QProcess::NotRunning &&
                   RunTool(QStringLiteral("xprop"),
                           {QStringLiteral("-root"), QStringLiteral("_NET_SUPPORTING_WM_CHECK")}, &out, kToolMs) &&
                   out.contains(QStringLiteral("window id"));
        },
        20000);
    if (!managing) {
        *why = QStringLiteral("openbox did not start on ") + display_;
        return false;
    }
    return true;
}

QProcessEnvironment XSession::Environment(QProcessEnvironment base) const {
    base.insert(QStringLiteral("DISPLAY"), display_);
    base.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    base.remove(QStringLiteral("WAYLAND_DISPLAY"));
    base.remove(QStringLiteral("XAUTHORITY"));
    return base;
}

bool XSession::RunTool(const QString& program, const QStringList& args, QString* out, int ms) const {
    QProcess tool;
    tool.setProcessEnvironment(Environment(QProcessEnvironment::systemEnvironment()));
    tool.start(program, args);
    if (!tool.waitForFinished(ms)) {
        tool.kill();
        tool.waitForFinished(1000);
        return false;
    }
    if (out) *out = QString::fromLocal8Bit(tool.readAllStandardOutput()).trimmed();
    return tool.exitStatus() == QProcess::NormalExit && tool.exitCode() == 0;
}

bool XSession::Xdotool(const QStringList& args, QString* out) const {
    return RunTool(QStringLiteral("xdotool"), args, out, kToolMs);
}

QStringList XSession::Windows(const QString& title) const {
    QString out;
    const QString pattern = QLatin1Char('^') + QRegularExpression::escape(title) + QLatin1Char('$');
    if (!Xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"), pattern}, &out))
        return {};
    return out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QString XSession::WaitForWindow(const QString& title, int ms) const {
    QString found;
    PollUntil(
        [&] {
            const QStringList all = Windows(title);
            if (all.isEmpty()) return false;
            found = all.last();
            return true;
        },
        ms);
    return found;
}

bool XSession::IsVisible(const QString& window) const {
    QString out;
    return RunTool(QStringLiteral("xwininfo"), {QStringLiteral("-id"), window}, &out, kToolMs) &&
           out.contains(QStringLiteral("Map State: IsViewable"));
}

bool XSession::WaitUntilHidden(const QString& window, int ms) const {
    return PollUntil([&] { return !IsVisible(window); }, ms);
}

QString XSession::ActiveWindow() const {
    QString out;
    if (!Xdotool({QStringLiteral("getactivewindow")}, &out)) return {};
    return out;
}

bool XSession::WaitUntilActive(const QString& window, int ms) const {
    return PollUntil([&] { return ActiveWindow() == window; }, ms);
}

bool XSession::Geometry(const QString& window, int* x, int* y, int* width, int* height) const {
    QString out;
    if (!Xdotool({QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), window}, &out)) return false;
    int found = 0;
    for (const QString& line : out.split(QLatin1Char('\n'))) {
        const QString key = line.section(QLatin1Char('='), 0, 0);
        const int value = line.section(QLatin1Char('='), 1).toInt();
        if (key == QLatin1String("X")) *x = value, ++found;
        if (key == QLatin1String("Y")) *y = value, ++found;
        if (key == QLatin1String("WIDTH")) *width = value, ++found;
        if (key == QLatin1String("HEIGHT")) *height = value, ++found;
    }
    return found == 4;
}

bool XSession::Click(const QString& window, int x, int y) const {
    return Xdotool({QStringLiteral("mousemove"), QStringLiteral("--sync"), QStringLiteral("--window"), window,
                    QString::number(x), QString::number(y)}) &&
           Xdotool({QStringLiteral("click"), QStringLiteral("1")});
}

bool XSession::Keys(const QStringList& keys) const {
    for (const QString& key : keys) {
        if (!Xdotool({QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("80"), key})) return false;
        QThread::msleep(250); // let the program handle one key (open a menu) before the next arrives
    }
    return true;
}

bool XSession::Screenshot(const QString& path) const {
    return RunTool(QStringLiteral("import"), {QStringLiteral("-window"), QStringLiteral("root"), path}, nullptr, 30000);
}

} // namespace testsupport
