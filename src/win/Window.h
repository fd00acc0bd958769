#pragma once
// The window layer: one window procedure that hands every message to its C++ object and
// catches whatever it throws, children created from sizes designed at 96 DPI, anchors that
// keep them in place when the parent is resized, and the system message font.

#include <windows.h>

#include <exception>
#include <functional>
#include <string>
#include <vector>

namespace ornpm {

// The application's general error display: a message box of the error kind with the
// error's own text. The window that raised it stays open.
void ShowApplicationError(const std::exception& error) noexcept;
// The same for the exception being handled, whatever its type; for use in catch (...).
void ShowCurrentError() noexcept;
// Runs the call inside the error display: what it throws is shown, never passed on.
// False when it threw.
bool RunGuarded(const std::function<void()>& call) noexcept;

// The DPI the window is shown at (96 on systems that cannot tell per window).
UINT WindowDpi(HWND window);
int Scale(int designPixels, UINT dpi);

class TWindow {
 public:
  TWindow() = default;
  virtual ~TWindow();
  TWindow(const TWindow&) = delete;
  TWindow& operator=(const TWindow&) = delete;

  HWND Handle() const { return FHandle; }

 protected:
  // Registers the class once and creates the native window bound to this object.
  void CreateNative(const wchar_t* className, const wchar_t* title, DWORD style, DWORD exStyle, HWND parent,
                    const RECT& bounds, HICON icon = nullptr);
  // Messages of this window; the default hands them to DefWindowProc.
  virtual LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  HWND FHandle = nullptr;
};

enum TAnchor : unsigned { akLeft = 1, akTop = 2, akRight = 4, akBottom = 8 };

// Children placed by design rectangles (96 DPI, relative to a design client size) and
// anchors: an edge anchored on both sides stretches, one anchored right or bottom keeps
// its distance to that edge.
class TLayout {
 public:
  explicit TLayout(SIZE designClient) : FDesign(designClient) {}
  void Add(HWND control, RECT designRect, unsigned anchors);
  // Creates a control as a child of parent (see CreateControl) and places it by the layout.
  HWND AddControl(HWND parent, const wchar_t* className, const std::wstring& text, DWORD style, int id, RECT designRect,
                  unsigned anchors, DWORD exStyle = 0);
  // Gives a control of the layout another design rectangle.
  void Move(HWND control, RECT designRect);
  // Places every child for the parent's current client size and DPI.
  void Apply(HWND parent) const;
  // WM_DPICHANGED: the fonts of the new DPI for every control below parent, then the
  // rectangle the system suggests, and the children placed anew even where the size
  // happens not to change.
  void FollowDpiChange(HWND parent, WPARAM newDpi, LPARAM suggestedRect) const;

 private:
  struct TItem {
    HWND Control;
    RECT Design;
    unsigned Anchors;
  };
  SIZE FDesign;
  std::vector<TItem> FItems;
};

// Sets the message font of a DPI on every window below parent, at any depth. Controls get
// their font when they are created; this is for a change of the DPI only.
void SetChildFonts(HWND parent, UINT dpi);

// Limits of a window's outer size in device pixels; 0 means no limit.
struct TSizeLimits {
  SIZE Min{0, 0};
  SIZE Max{0, 0};
};

// WM_SIZING: a proposed size beyond a limit takes the limit. The dragged edge stops there and
// the opposite edge stays where it is; a dimension the drag does not change is left alone.
void ClampSizing(WPARAM edge, RECT& proposed, const TSizeLimits& limits);

// Outer size minus client size: the frame and caption of a window as it is now.
SIZE BorderSize(HWND window);

// Sets the client height of a top window, keeping its width and position.
void SetClientHeight(HWND window, int height);

// Keeps the control that had the focus when a top window was deactivated (another window,
// a message box) and gives it the focus back when the window is activated again; the
// default handling would focus the window itself.
class TFocusKeeper {
 public:
  // WM_ACTIVATE; true when it was handled here, false when it goes on to the default.
  bool Activate(HWND window, WPARAM wParam);

 private:
  HWND FFocus = nullptr;
};

// Sets the large window icon to an icon resource of the program; nothing when it has none.
void SetLargeIcon(HWND window, const wchar_t* resourceName);

// Creates a common control as a child, with the message font of the parent's DPI.
HWND CreateControl(HWND parent, const wchar_t* className, const std::wstring& text, DWORD style, int id,
                   DWORD exStyle = 0);

std::wstring WindowText(HWND window);

// The size of a text in the control's font.
SIZE TextExtent(HWND control, const std::wstring& text);

// Shows a dialog window modally: its owner is disabled, the focus goes to the given
// control, and messages run (Enter, Escape and Tab handled as in dialogs) until result
// becomes non-zero, which the dialog's own handlers set. Returns that result (0 when the
// program is ending).
int RunModal(HWND dialog, HWND focus, const int& result);

// Runs work on a worker thread while this thread keeps the program's windows painted and
// answering: the owner's top window is disabled and the wait cursor shown until the work
// has ended. An exception the work raised is raised here again.
void RunBusy(HWND owner, const std::function<void()>& work);

// The system message font for a DPI; owned by the layer and kept for the program's life.
HFONT MessageFont(UINT dpi);

// Shows the wait cursor while it lives.
class TWaitCursor {
 public:
  TWaitCursor() : FPrevious(::SetCursor(::LoadCursorW(nullptr, IDC_WAIT))) {}
  ~TWaitCursor() { ::SetCursor(FPrevious); }
  TWaitCursor(const TWaitCursor&) = delete;
  TWaitCursor& operator=(const TWaitCursor&) = delete;

 private:
  HCURSOR FPrevious;
};

}  // namespace ornpm
