#include "app/HelpLauncher.h"

#include <QLocalSocket>
#include <QProcess>
#include <QStringList>
#include <QUuid>
#include <mutex>

#include "app/HelpTarget.h"
#include "platform/FileSystem.h"
#include "platform/Folders.h"
#include "platform/Services.h"
#include "settings/ProductData.h"

namespace app {
namespace {

struct ViewerState {
    std::mutex lock;
    std::string lastId; // identifier of the viewer this process started last
};
ViewerState& State() {
    static ViewerState state;
    return state;
}

void CloseViewer(const std::string& id) {
    QLocalSocket socket;
    socket.connectToServer(QString::fromStdString(HelpViewerSocket(id)));
    if (!socket.waitForConnected(500)) return; // already closed by the user
    socket.write("close\n");
    socket.flush();
    if (socket.bytesToWrite() > 0) socket.waitForBytesWritten(500);
    socket.waitForDisconnected(1000);
}

} // namespace

std::string HelpViewerSocket(const std::string& id) {
    return platform::RuntimeFolder() + "scanner-utility-help-" + id + ".sock";
}

bool ShowHelp(const std::string& request) {
    HelpPage page = ResolveHelpTarget(request, settings::HelpFolder());
    if (page.file.empty() || !platform::FileSystem().Exists(page.file)) return false;

    std::lock_guard<std::mutex> guard(State().lock);
    if (!State().lastId.empty()) CloseViewer(State().lastId);

    // The identifier names the viewer's socket, so closing it later can never reach a
    // process that merely inherited a recycled process id.
    const std::string id = QUuid::createUuid().toString(QUuid::Id128).toStdString();
    QString target = QString::fromStdString(page.file);
    if (!page.anchor.empty()) target += QLatin1Char('#') + QString::fromStdString(page.anchor);
    const QString viewer = QString::fromStdString(settings::ProgramFolder() + "scanner-utility-help");
    if (!QProcess::startDetached(viewer, {QStringLiteral("--id"), QString::fromStdString(id), target})) return false;
    State().lastId = id;
    return true;
}

} // namespace app
