#pragma once
// What the program's top-level windows (the main window and the dialogs) handle alike:
// controls placed by anchors on every resize, the sizing limits while an edge is dragged,
// fonts and places anew when the window moves to another DPI, and the focused control kept
// across deactivation.

#include <windows.h>

#include "win/Layout.h"
#include "win/Window.h"

namespace ornpm {

// A window of that outer size centred on the rectangle on, then moved as little as it takes
// to lie inside the work area (a window larger than it keeps its top-left corner there).
RECT CentredRect(SIZE size, const RECT& on, const RECT& workArea);
// The work area (the monitor without its taskbar and docked bars) of the monitor that holds
// most of the window; of the primary monitor for none.
RECT WorkAreaOf(HWND window);

class TTopWindow : public TWindow {
 protected:
  // designClient is the client size at 96 DPI that the layout's rectangles refer to. The
  // calls other threads hand to the main thread run on the thread of the first one made.
  explicit TTopWindow(SIZE designClient);

  TLayout& Layout() { return FLayout; }
  // Places the controls for the current client size and DPI, then OnResized.
  void ApplyLayout();

  // The limits of the outer size that a drag of an edge reaches; none unless overridden.
  virtual TSizeLimits SizeLimits() const { return {}; }
  // After the controls were placed for a new size or DPI.
  virtual void OnResized() {}
  // On a DPI change, once the window has the new fonts and the size the system suggests,
  // before the controls are placed anew.
  virtual void OnDpiChanged() {}

  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  // WM_ACTIVATE; true when it was handled here, false when it goes on to the default.
  bool KeepFocus(WPARAM wParam);
  void FollowDpiChange(LPARAM suggestedRect);

  TLayout FLayout;
  // The control that had the focus when the window was deactivated (another window, a
  // message box); the default handling would focus the window itself on activation.
  HWND FFocus = nullptr;
};

}  // namespace ornpm
