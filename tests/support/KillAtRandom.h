#pragma once
// Kills a process at a random moment of its work: the work runs in a forked child (it
// should not end by itself) and gets SIGKILL a random time after it began, which is what
// a crash, a power cut of the process or `kill -9` does to it.

#include <chrono>
#include <functional>
#include <random>

namespace testsupport {

// Forks, runs `work` in the child and kills the child after a random delay of at most
// `longest`; returns once the child is reaped. False when the child could not be made or
// had ended before the kill (the work is meant to run until it is killed).
bool KillAtRandom(std::mt19937& random, std::chrono::microseconds longest, const std::function<void()>& work);

} // namespace testsupport
