#include "win/Dpi.h"

namespace ornpm {

UINT WindowDpi(HWND window) {
  // Per-monitor DPI comes from GetDpiForWindow where Windows has it (10 and later).
  using GetDpiForWindowProc = UINT(WINAPI*)(HWND);
  static const auto getDpiForWindow = reinterpret_cast<GetDpiForWindowProc>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
  if (getDpiForWindow && window) {
    if (UINT dpi = getDpiForWindow(window)) return dpi;
  }
  HDC screen = ::GetDC(nullptr);
  int dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
  ::ReleaseDC(nullptr, screen);
  return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

int Scale(int designPixels, UINT dpi) {
  return ::MulDiv(designPixels, static_cast<int>(dpi), 96);
}

}  // namespace ornpm
