#pragma once
// Named semaphores and shared memory live in /dev/shm, one per user name: tests that
// make the program's objects would meet every other program and test of the same user
// on the machine. As root, a test process takes a mount namespace of its own with an
// empty /dev/shm (its children share it); elsewhere the tests run on the common one and
// ctest runs them one at a time (RESOURCE_LOCK).

#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

namespace testsupport {

// Call before any thread starts. True when /dev/shm is private to this process now.
inline bool UsePrivateSharedMemory() {
    static int done = -1;
    if (done >= 0) return done == 1;
    done = 0;
    if (::geteuid() != 0 || ::unshare(CLONE_NEWNS) != 0) return false;
    if (::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) return false;
    if (::mount("tmpfs", "/dev/shm", "tmpfs", MS_NOSUID | MS_NODEV, "mode=1777") != 0) return false;
    done = 1;
    return true;
}

} // namespace testsupport
