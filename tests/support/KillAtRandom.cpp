#include "support/KillAtRandom.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>

namespace testsupport {

bool KillAtRandom(std::mt19937& random, std::chrono::microseconds longest, const std::function<void()>& work) {
    int ready[2];
    if (::pipe(ready) != 0) return false;
    const pid_t child = ::fork();
    if (child < 0) {
        ::close(ready[0]);
        ::close(ready[1]);
        return false;
    }
    if (child == 0) {
        ::close(ready[0]);
        const char go = 1;
        if (::write(ready[1], &go, 1) != 1) ::_exit(2);
        work();
        ::_exit(0);
    }
    ::close(ready[1]);
    char go = 0;
    const bool started = ::read(ready[0], &go, 1) == 1;
    ::close(ready[0]);
    std::uniform_int_distribution<long long> delay(0, longest.count());
    std::this_thread::sleep_for(std::chrono::microseconds(delay(random)));
    ::kill(child, SIGKILL);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0) {}
    return started && WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
}

} // namespace testsupport
