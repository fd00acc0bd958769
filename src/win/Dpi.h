#pragma once
// Sizes are designed at 96 DPI and scaled to the DPI of the window they are shown in.

#include <windows.h>

namespace ornpm {

// The DPI the window is shown at, the one source for its fonts and its layout: the window's
// own, or on systems that cannot tell per window (Windows 8.1) its monitor's; for no window,
// or before Windows 8.1, the screen's.
UINT WindowDpi(HWND window);
// The DPI of the monitor the window is on; the screen's where the system cannot tell.
UINT MonitorDpi(HWND window);
// For a top window being created: where the program runs per-monitor aware of the first
// kind, the caption, menus and scroll bars follow the DPI too.
void EnableNonClientScaling(HWND window);
int Scale(int designPixels, UINT dpi);

}  // namespace ornpm
