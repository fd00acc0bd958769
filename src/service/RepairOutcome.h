#pragma once

#include <functional>
#include <string>

#include "win/UserInteraction.h"

namespace ornpm {

enum class TOutputStream { StdOut, StdErr };

// Reports the outcome of a repair. For a command-line run an error goes to the given
// stream, never to a dialog: to the stream the starting process handed over, or else to a
// hidden console of its own. Everything else is shown as a message box with an OK button.
void ShowResultMessage(bool consoleMode, const std::wstring& message, TOutputStream stream, TMsgKind kind);

// Writes a line to the standard error stream the starting process handed over, or else to
// the console of the process that started this one; dropped when there is neither.
void WriteToParentErrorStream(const std::wstring& line);

// The course of both workstation repairs: when the entry is present, say so (information);
// otherwise run the write, and report any error it raises with errorPattern, whose two
// "%s" receive the error's kind name and message. 0: present or written; 1: failed.
int RepairEntry(bool consoleMode, bool present, const wchar_t* presentText, const wchar_t* errorPattern,
                const std::function<void()>& write);

}  // namespace ornpm
