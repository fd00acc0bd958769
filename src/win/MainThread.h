#pragma once
// Calls that other threads hand to the main thread: queued here, and run by a message-only
// window of the main thread in whichever message loop runs there at the time (the main
// window's, a modal dialog's, a message box's).

#include <functional>

namespace ornpm {

// Makes the queue's window on the calling thread, which becomes the main thread; once, the
// later calls do nothing. The program's top windows call it when they are made.
void BindMainThreadQueue();
// Queues the call for the main thread; the queue must be bound.
void PostToMainThread(std::function<void()> call);

}  // namespace ornpm
