#pragma once
// One running instance per user session. The first instance holds a lock file in the
// runtime folder ($XDG_RUNTIME_DIR) for as long as it lives and listens on a local
// socket; a later start finds the lock taken, asks the first instance through the
// socket to bring its window forward, and ends. Both locks are flock() locks, which the
// system drops when their process ends, however it ends: a crashed instance never
// keeps the next one from starting.

#include <QObject>
#include <functional>
#include <string>

class QLocalServer;

namespace app {

class SingleInstance : public QObject {
    Q_OBJECT
public:
    // lockName: the instance lock's name (Prdct.dat's QuorinExistSem); appName: the
    // program's name, which names the socket.
    SingleInstance(std::string lockName, std::string appName, QObject* parent = nullptr);
    ~SingleInstance() override;

    // Takes the check lock (waiting for a start that is checking at the same moment),
    // then tries the instance lock. True for the first instance, which then listens
    // for later starts. The check lock stays held until ReleaseCheck.
    bool Settle();
    void ReleaseCheck();

    // A later instance: asks the first to bring its window forward. True when the
    // first instance answered that it did.
    bool AskFirstToComeForward(int timeoutMs);

    std::string SocketPath() const;

    // Answers a request to come forward: true when there was a window to bring forward.
    using ComeForward = std::function<bool()>;
    void OnComeForward(ComeForward handler) { comeForward_ = std::move(handler); }

private:
    void Serve();

    std::string lockName_;
    std::string appName_;
    int checkFd_ = -1;
    int instanceFd_ = -1; // held for the life of the process by the first instance
    QLocalServer* server_ = nullptr;
    ComeForward comeForward_;
};

} // namespace app
