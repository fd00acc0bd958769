#pragma once
// Calls that other threads hand to the main thread: queued here, and run when the main
// window receives the null message that PostToMainThread sends it.

#include <windows.h>

#include <functional>

namespace ornpm {

// The window whose null message runs the queue.
void SetMainThreadWindow(HWND window);
void PostToMainThread(std::function<void()> call);
// Runs the queued calls; the main window calls it on WM_NULL.
void RunQueuedCalls();

}  // namespace ornpm
