#pragma once
// A private print server for tests: the system's cupsd run in the foreground with its
// own configuration, spool, logs and socket in a temporary folder, so tests never touch
// the machine's printers and may run side by side. Works as an ordinary user and as
// root (where the server's helpers run as the "lp" user).
//
// Every queue has a PPD of its own (no filter package is needed: the PPD passes PDF
// through) and the same backend, a small script that stores each job's document as
// <queue>-<job id>.pdf. While the server lives, CUPS_SERVER names its socket, for this
// process and the programs it starts.

#include <string>
#include <sys/types.h>
#include <vector>

#include "support/TempFolder.h"

namespace testsupport {

struct CupsQueue {
    std::string name;
    bool fax = false;
    // The PPD's default resolution ("200x100dpi"); empty for a PPD that states none.
    std::string resolution = "200x100dpi";
};

// The page every queue's PPD declares: US Letter, printable from 18 to 594 points
// across and from 36 to 756 points down.
struct CupsTestPage {
    static constexpr double kWidth = 612, kLength = 792;
    static constexpr double kLeft = 18, kTop = 36, kRight = 18, kBottom = 36;
};

class CupsServer {
public:
    CupsServer() = default;
    ~CupsServer();
    CupsServer(const CupsServer&) = delete;
    CupsServer& operator=(const CupsServer&) = delete;

    // Starts the server with the queues, listed in this order; false with the reason
    // when it cannot run here. With `refuseListing` the server refuses to list queues.
    bool Start(const std::vector<CupsQueue>& queues, std::string* why, bool refuseListing = false);
    const std::string& Socket() const { return socket_; }

    // The documents the backend stored for the queue, oldest job first; waits up to
    // 20 seconds for at least `count` of them.
    std::vector<std::string> Documents(const std::string& queue, size_t count) const;
    // The IPP states of every job of the queue (pending 3 ... canceled 7, completed 9),
    // oldest first, as the server reports them.
    std::vector<int> JobStates(const std::string& queue) const;
    // Waits up to 20 seconds until every job of the queue has ended; their states.
    std::vector<int> EndedJobStates(const std::string& queue) const;
    // The server's error log (for failure messages).
    std::string Log() const;

private:
    void Stop();
    TempFolder root_;
    std::string socket_;
    std::string previousServer_;
    bool hadPreviousServer_ = false;
    pid_t pid_ = -1;
};

} // namespace testsupport
