#pragma once
// Sizes are designed at 96 DPI and scaled to the DPI of the window they are shown in.

#include <windows.h>

namespace ornpm {

// The DPI the window is shown at; for no window, or on systems that cannot tell per
// window, the screen's.
UINT WindowDpi(HWND window);
int Scale(int designPixels, UINT dpi);

}  // namespace ornpm
