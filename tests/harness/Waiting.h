#pragma once
// Waiting for what a test cannot be told about directly (a file that appears, a process
// that shows up, a window that has painted). The only time limit is the safety limit,
// which stops a test that would otherwise wait for ever; a slow, busy machine never comes
// near it, so a test that meets it reports the safety limit, not a result.

#include <windows.h>

#include <functional>

#include "harness/ChildProcess.h"

namespace ornpm::testing {

// Checks done every few milliseconds until it holds; false only when the safety limit
// passed first.
bool WaitUntil(const std::function<bool()>& done);
// The same, running this thread's messages between the checks.
bool PumpUntil(const std::function<bool()>& done);
// Runs this thread's messages until none is left; false when they never ran out before the
// safety limit.
bool PumpUntilIdle();

}  // namespace ornpm::testing
