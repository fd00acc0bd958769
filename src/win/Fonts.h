#pragma once
// The system message font at the DPI of the window it is used in.

#include <windows.h>

#include <string>

namespace ornpm {

// The system message font for a DPI; owned here and kept for the program's life.
HFONT MessageFont(UINT dpi);

// Sets the message font of a DPI on every window below parent, at any depth. Controls get
// their font when they are created; this is for a change of the DPI only.
void SetChildFonts(HWND parent, UINT dpi);

// The size of a text in the control's font.
SIZE TextExtent(HWND control, const std::wstring& text);

}  // namespace ornpm
