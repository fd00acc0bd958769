#pragma once
// The main window.

#include <windows.h>

#include <string>

namespace ornpm {

inline constexpr wchar_t ApplicationTitle[] = L"ORN PlugIn Manager [VLX]";

// Opens the main window and runs the message loop until it is closed; the exit code.
int RunMainWindow(HINSTANCE instance);

// Starts this program elevated with the switch and waits for that copy to end. False when
// the shell could not start it (for one, the user refused the elevation prompt).
bool RunAsAdmin(const std::wstring& switchText);

}  // namespace ornpm
