#pragma once
// Waiting for what a test cannot be told about directly (a file that appears, a process
// that shows up, a window that has painted). No clock: a wait lasts until its event, also
// on a slow, busy machine. A test that would wait for ever is stopped by the limit that
// ctest sets on each test program.

#include <windows.h>

#include <functional>

namespace ornpm::testing {

// Checks done every few milliseconds until it holds.
void WaitUntil(const std::function<bool()>& done);
// The same, running this thread's messages between the checks.
void PumpUntil(const std::function<bool()>& done);
// Runs this thread's messages until none is left.
void PumpUntilIdle();

}  // namespace ornpm::testing
