#pragma once
// The course shared by the workstation repairs (the hosts entry, the proxy exception).

#include <functional>

namespace ornpm {

// When the entry is present, says so; otherwise runs the write and reports any error it
// raises with errorPattern, whose two "%s" receive the error's kind name and message. From
// the window in a message box; in console mode on the command-line output (that the entry
// is there in a box only when the run has no output at all). 0: present or written; 1: failed.
int RepairEntry(bool consoleMode, bool present, const wchar_t* presentText, const wchar_t* errorPattern,
                const std::function<void()>& write);

}  // namespace ornpm
