#pragma once
// Work that may take long, run aside while the program's windows stay painted and answering.

#include <windows.h>

#include <functional>

namespace ornpm {

// Runs work on a worker thread while this thread keeps the program's windows painted and
// answering: the owner's top window is disabled and the wait cursor shown until the work
// has ended. An exception the work raised is raised here again.
void RunBusy(HWND owner, const std::function<void()>& work);

}  // namespace ornpm
