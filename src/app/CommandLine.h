#pragma once
// The command-line switches: /WH (hosts entry), /WP (proxy exception), /WHCHECK (hosts
// entry present?), /REPORT <file> (the diagnosis written to a file) and /TABLE <output>
// <input>... (one table from many reports). A run with any of them does its work and ends
// without a window.

#include <optional>
#include <string>
#include <vector>

namespace ornpm {

// True when any of the arguments (the program name excluded) is one of the switches: the
// run opens no window, and whatever it has to say goes to the command-line output.
bool IsCommandLineRun(int count, const wchar_t* const* arguments) noexcept;

// Handles the switches among the arguments (the program name excluded) in order. Returns
// the exit code when at least one switch was examined, nothing when the window should open.
std::optional<int> RunCommandLineSwitches(const std::vector<std::wstring>& arguments);

}  // namespace ornpm
