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

} // namespace platform
