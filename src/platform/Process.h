#pragma once
// Starting other programs. No shell is involved: arguments are passed one by one.

#include <string>
#include <vector>

namespace platform {

// Runs a program (looked up on PATH) with the given arguments, waits for it at most
// timeoutMs, and collects its standard output. False when it could not be started,
// did not finish in time (it is then killed) or exited with a nonzero status.
bool CaptureOutput(const std::vector<std::string>& argv, std::string& output, int timeoutMs);

// True when a program of that name is found on PATH (or the path is executable).
bool IsOnPath(const std::string& program);

// Runs the program at `path` in place of this process: same process id, environment
// and standard streams, and its exit status becomes this process's. argv[0] is the
// name the program is given. Returns only when the program could not be started.
void ReplaceProcess(const std::string& path, const std::vector<std::string>& argv);

// How long a program's tear-down may take once its work is done: a few seconds, and
// much longer in sanitizer builds, whose leak report at exit must never be cut short.
int ProcessEndGraceSeconds();

// For the moment a program's work is done and its results are out, with only the
// tear-down left (closing the scanner interface, destructors, exit handlers): when the
// process has not ended `seconds` after this call, a timer signal (SIGALRM, whose
// handler is this one's from then on) says so on standard error and ends the process
// at once with `exitCode`. A scanner backend that ends its reading thread by
// asynchronous cancellation can leave a lock of the C library or of the dynamic loader
// held by a thread that no longer exists, and the next call that needs that lock
// (unloading the backend, making a thread, the exit handlers) would wait forever. The
// first call counts; later ones change nothing.
void EndProcessWithin(int seconds, int exitCode);

// Makes the calling thread (and the threads it starts from now on) yield the processor
// to the process's other threads: for background work, such as text recognition, that
// must not slow the work a user or a scanner waits for. Best effort.
void LowerThreadPriority();

} // namespace platform
