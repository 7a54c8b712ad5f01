#pragma once
// What the scanning thread can learn about the threads a backend starts for a page: which
// threads appeared, which of them are the backend's, and where each one is. Linux only
// (/proc/self/task).

#include <string>
#include <vector>

namespace scancontrol::sanectl {

// The ids of this process's threads, sorted; empty when unknown.
std::vector<long> ThreadIds();

// A thread's name (/proc/self/task/<id>/comm without its line end); empty when unknown.
std::string ThreadName(long id);

// The threads of `now` not in `before` (both sorted) that the calling thread started:
// a new thread carries the name of the thread that created it, so a thread of that
// name that appeared while the caller was in the backend is the backend's reader. A
// thread another part of the program started meanwhile carries its creator's name and
// is left out (it is not the backend's to cancel, and waiting for it to settle would
// hold the scan up). Where a name cannot be read the thread counts as a reader.
std::vector<long> ReadersStartedHere(const std::vector<long>& before, const std::vector<long>& now);

// Where one of this process's threads is, as far as cancelling it goes.
enum class ThreadPlace {
    Gone,    // it has ended
    Waiting, // blocked in a system call other than a lock wait (reading, writing, sleeping)
    Busy,    // running, or waiting for a lock (the allocator's, say)
    Unknown, // the kernel does not say
};
ThreadPlace PlaceOf(long id);

} // namespace scancontrol::sanectl
