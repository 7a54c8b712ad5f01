#pragma once
// Per-user named objects shared with other processes of the same user: POSIX named
// semaphores used as events, and POSIX shared memory blocks. Every name given here is
// the object's plain name (as the product data names it); the system name is formed by
// UserObjectName, so that the objects of two users on one machine never meet. Objects
// are created with mode 0600, and an object that exists under our name but belongs to
// another account is never used.

#include <cstddef>
#include <mutex>
#include <string>

namespace platform {

// The C library keeps one table of the named semaphores a process has open, guarded by
// a lock of its own that race checkers cannot see; every sem_open and sem_close of the
// program goes under this lock as well, so that threads opening and closing semaphores at
// once are seen to be ordered.
std::mutex& SemaphoreTableLock();

// "/" + the name with every character outside A-Z a-z 0-9 _ . - replaced by '_' + "."
// + the numeric user id, e.g. "/ScannerUtilityDriverRequest.1000".
std::string UserObjectName(const std::string& name);

// An open named semaphore; null when none.
using SemaphoreHandle = void*;

enum class WaitResult { Signalled, TimedOut, Failed };

// Opens the semaphore, creating it with the given count when it does not exist.
// `created` (when given) tells whether this call created it.
SemaphoreHandle CreateUserSemaphore(const std::string& name, unsigned initialCount, bool* created = nullptr);
// Opens an existing semaphore only; null when there is none (or it is not ours).
SemaphoreHandle OpenUserSemaphore(const std::string& name);
void CloseSemaphore(SemaphoreHandle handle);
// Removes the name; processes holding it open keep their handle.
bool RemoveUserSemaphore(const std::string& name);
bool UserSemaphoreExists(const std::string& name);
// Waits until the count can be taken; timeoutMs < 0 waits without limit.
WaitResult WaitSemaphore(SemaphoreHandle handle, int timeoutMs);
// An event kept on a semaphore whose count stays at most 1: set = post when the count
// is 0, reset = take the count down to 0.
bool SetEventSemaphore(SemaphoreHandle handle);
bool ResetEventSemaphore(SemaphoreHandle handle);
// Posts unconditionally (a semaphore counting up).
bool PostSemaphore(SemaphoreHandle handle);
// The current count, or -1.
int SemaphoreCount(SemaphoreHandle handle);

// A mapped shared memory block.
struct SharedBlock {
    int descriptor = -1;           // the open object; -1 when none
    unsigned char* view = nullptr; // the mapped bytes; null when none
    std::size_t size = 0;
};

// Opens an existing block of ours and maps `size` bytes of it for reading and writing.
// False (and an empty block) when it does not exist, is not ours or is smaller.
bool OpenUserSharedBlock(const std::string& name, std::size_t size, SharedBlock& block);
// Creates (or opens) the block, sizes it to `size` bytes and maps it.
bool CreateUserSharedBlock(const std::string& name, std::size_t size, SharedBlock& block);
// Unmaps the view when there is one and closes the object; the block is empty after.
void UnmapSharedBlock(SharedBlock& block);
bool RemoveUserSharedBlock(const std::string& name);

} // namespace platform

namespace platform {

// An exclusive lock on a file (created 0600 when missing), held until UnlockFile; the
// system drops it when the process ends. -1 when the file cannot be opened or locked
// within timeoutMs (< 0: no limit).
int LockFile(const std::string& path, int timeoutMs);
void UnlockFile(int descriptor);

} // namespace platform
