#include "app/SingleInstance.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "platform/Folders.h"

namespace app {
namespace {

// Lock file names stay inside the runtime folder.
std::string SafeName(std::string name) {
    for (char& c : name) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                        c == '_' || c == '.';
        if (!ok) c = '_';
    }
    if (name.empty() || name[0] == '.') name.insert(0, "_");
    return name;
}

int OpenLockFile(const std::string& path) {
    // Close-on-exec: a program we start (the help viewer, a delivery application) must
    // not inherit the lock and keep it after we are gone.
    return ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
}

} // namespace

SingleInstance::SingleInstance(std::string lockName, std::string appName, QObject* parent)
    : QObject(parent), lockName_(SafeName(lockName.empty() ? "ScannerUtilityInstance" : lockName)),
      appName_(SafeName(appName.empty() ? "scanner-utility" : appName)) {}

SingleInstance::~SingleInstance() {
    ReleaseCheck();
    // The instance lock goes with the process; closing it here only matters for tests
    // that create several of these in one process.
    if (instanceFd_ >= 0) ::close(instanceFd_);
}

std::string SingleInstance::SocketPath() const { return platform::RuntimeFolder() + appName_ + ".sock"; }

bool SingleInstance::Settle() {
    const std::string folder = platform::RuntimeFolder();
    checkFd_ = OpenLockFile(folder + appName_ + "-check.lock");
    if (checkFd_ >= 0) {
        while (::flock(checkFd_, LOCK_EX) != 0 && errno == EINTR) {}
    }
    instanceFd_ = OpenLockFile(folder + lockName_ + ".lock");
    if (instanceFd_ < 0) return true; // no runtime folder to share: run unchecked
    if (::flock(instanceFd_, LOCK_EX | LOCK_NB) != 0) {
        ::close(instanceFd_);
        instanceFd_ = -1;
        return false;
    }
    // We hold the lock, so a socket left by a crashed instance is stale.
    const QString socket = QString::fromStdString(SocketPath());
    QLocalServer::removeServer(socket);
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    if (server_->listen(socket)) connect(server_, &QLocalServer::newConnection, this, &SingleInstance::Serve);
    return true;
}

void SingleInstance::ReleaseCheck() {
    if (checkFd_ < 0) return;
    ::flock(checkFd_, LOCK_UN);
    ::close(checkFd_);
    checkFd_ = -1;
}

void SingleInstance::Serve() {
    while (QLocalSocket* client = server_->nextPendingConnection()) {
        connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
        auto answer = [this, client] {
            if (!client->canReadLine()) return;
            const QByteArray line = client->readLine().trimmed();
            if (line == "raise") {
                const bool shown = comeForward_ && comeForward_();
                client->write(shown ? "raised\n" : "none\n");
                client->flush();
            }
            client->disconnectFromServer();
        };
        connect(client, &QLocalSocket::readyRead, client, answer);
        // The request may have arrived before the connection was picked up.
        answer();
    }
}

bool SingleInstance::AskFirstToComeForward(int timeoutMs) {
    // A plain socket: this runs before any event loop, and needs nothing but one line.
    const std::string path = SocketPath();
    sockaddr_un address{};
    if (path.size() >= sizeof(address.sun_path)) return false;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    std::string answer;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0 &&
        ::send(fd, "raise\n", 6, MSG_NOSIGNAL) == 6) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (answer.find('\n') == std::string::npos) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now())
                    .count();
            if (left <= 0) break;
            pollfd p{fd, POLLIN, 0};
            const int ready = ::poll(&p, 1, static_cast<int>(left));
            if (ready < 0 && errno == EINTR) continue;
            if (ready <= 0) break;
            char buffer[64];
            const ssize_t n = ::read(fd, buffer, sizeof(buffer));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            answer.append(buffer, static_cast<size_t>(n));
        }
    }
    ::close(fd);
    return answer.rfind("raised\n", 0) == 0;
}

} // namespace app
