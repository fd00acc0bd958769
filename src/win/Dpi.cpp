#include "win/Dpi.h"

namespace ornpm {

namespace {

template <typename Proc>
Proc SystemFunction(const wchar_t* module, const char* name) {
  HMODULE loaded = ::GetModuleHandleW(module);
  if (!loaded) loaded = ::LoadLibraryExW(module, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  return loaded ? reinterpret_cast<Proc>(reinterpret_cast<void*>(::GetProcAddress(loaded, name))) : nullptr;
}

UINT ScreenDpi() {
  HDC screen = ::GetDC(nullptr);
  int dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
  ::ReleaseDC(nullptr, screen);
  return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

}  // namespace

UINT MonitorDpi(HWND window) {
  // Windows 8.1 and later; MDT_EFFECTIVE_DPI is 0.
  using GetDpiForMonitorProc = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
  static const auto getDpiForMonitor = SystemFunction<GetDpiForMonitorProc>(L"shcore.dll", "GetDpiForMonitor");
  UINT x = 0, y = 0;
  if (getDpiForMonitor &&
      SUCCEEDED(getDpiForMonitor(::MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), 0, &x, &y)) && y != 0)
    return y;
  return ScreenDpi();
}

UINT WindowDpi(HWND window) {
  // Per-monitor DPI comes from GetDpiForWindow where Windows has it (10 and later), else
  // from the window's monitor, which is also what a DPI change reports there.
  using GetDpiForWindowProc = UINT(WINAPI*)(HWND);
  static const auto getDpiForWindow = SystemFunction<GetDpiForWindowProc>(L"user32.dll", "GetDpiForWindow");
  if (!window) return ScreenDpi();
  if (getDpiForWindow) {
    if (UINT dpi = getDpiForWindow(window)) return dpi;
  }
  return MonitorDpi(window);
}

void EnableNonClientScaling(HWND window) {
  // Only per-monitor awareness of the first kind needs this (Windows 10 1607); the second
  // kind scales the caption and menus itself, and earlier systems have neither.
  using GetContextProc = DPI_AWARENESS_CONTEXT(WINAPI*)();
  using ContextsEqualProc = BOOL(WINAPI*)(DPI_AWARENESS_CONTEXT, DPI_AWARENESS_CONTEXT);
  using EnableProc = BOOL(WINAPI*)(HWND);
  static const auto getContext = SystemFunction<GetContextProc>(L"user32.dll", "GetThreadDpiAwarenessContext");
  static const auto contextsEqual = SystemFunction<ContextsEqualProc>(L"user32.dll", "AreDpiAwarenessContextsEqual");
  static const auto enable = SystemFunction<EnableProc>(L"user32.dll", "EnableNonClientDpiScaling");
  if (getContext && contextsEqual && enable && contextsEqual(getContext(), DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE))
    enable(window);
}

int Scale(int designPixels, UINT dpi) {
  return ::MulDiv(designPixels, static_cast<int>(dpi), 96);
}

}  // namespace ornpm
