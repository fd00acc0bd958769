#include "win/TopWindow.h"

#include <algorithm>

#include "win/Dpi.h"
#include "win/Fonts.h"
#include "win/MainThread.h"

namespace ornpm {

RECT CentredRect(SIZE size, const RECT& on, const RECT& workArea) {
  LONG left = (on.left + on.right - size.cx) / 2, top = (on.top + on.bottom - size.cy) / 2;
  left = std::max(workArea.left, std::min(left, workArea.right - size.cx));
  top = std::max(workArea.top, std::min(top, workArea.bottom - size.cy));
  return {left, top, left + size.cx, top + size.cy};
}

RECT WorkAreaOf(HWND window) {
  MONITORINFO info{};
  info.cbSize = sizeof info;
  const HMONITOR monitor = window ? ::MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST)
                                  : ::MonitorFromPoint({0, 0}, MONITOR_DEFAULTTOPRIMARY);
  if (::GetMonitorInfoW(monitor, &info)) return info.rcWork;
  RECT area{};
  ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
  return area;
}

TTopWindow::TTopWindow(SIZE designClient) : FLayout(designClient) {
  BindMainThreadQueue();
}

void TTopWindow::ApplyLayout() {
  FLayout.Apply(Handle());
  OnResized();
}

LRESULT TTopWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SIZING:
      ClampSizing(wParam, *reinterpret_cast<RECT*>(lParam), SizeLimits());
      return TRUE;
    case WM_SIZE:
      ApplyLayout();
      return 0;
    case WM_DPICHANGED:
      FollowDpiChange(lParam);
      return 0;
    case WM_ACTIVATE:
      if (KeepFocus(wParam)) return 0;
      break;
  }
  return TWindow::HandleMessage(message, wParam, lParam);
}

bool TTopWindow::KeepFocus(WPARAM wParam) {
  if (LOWORD(wParam) == WA_INACTIVE) {
    HWND focus = ::GetFocus();
    if (focus && ::IsChild(Handle(), focus)) FFocus = focus;
    return false;
  }
  if (HIWORD(wParam) || !FFocus || !::IsWindow(FFocus) || !::IsChild(Handle(), FFocus)) return false;  // minimised
  ::SetFocus(FFocus);
  return true;
}

// The rectangle the system suggests, then the fonts of the window's DPI for every control at
// any depth, and the controls placed anew even where the size happens not to change. Fonts
// and layout take the DPI from one source, the window's, once it is on its new monitor: the
// message's value is what that source gives there.
void TTopWindow::FollowDpiChange(LPARAM suggestedRect) {
  const RECT* suggested = reinterpret_cast<const RECT*>(suggestedRect);
  ::SetWindowPos(Handle(), nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                 suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
  SetChildFonts(Handle(), WindowDpi(Handle()));
  OnDpiChanged();
  ApplyLayout();
}

}  // namespace ornpm
