#include "win/ModalDialog.h"

#include "win/MainThread.h"

namespace ornpm {

TModalDialog::TModalDialog(HWND owner, const TDialogDesign& design)
    : FLayout(design.Client), FMinOuter(design.MinOuter) {
  // No WS_CLIPCHILDREN: group boxes leave their inside for the dialog to paint.
  const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | (design.Resizable ? WS_THICKFRAME : 0);
  const DWORD exStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
  HWND top = owner ? ::GetAncestor(owner, GA_ROOT) : nullptr;
  const UINT dpi = WindowDpi(top);
  RECT outer{0, 0, Scale(design.Client.cx, dpi), Scale(design.Client.cy, dpi)};
  ::AdjustWindowRectEx(&outer, style, FALSE, exStyle);
  RECT area{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
  if (design.CentreOnOwner && top) ::GetWindowRect(top, &area);
  const int width = outer.right - outer.left, height = outer.bottom - outer.top;
  const int left = (area.left + area.right - width) / 2, topEdge = (area.top + area.bottom - height) / 2;
  CreateNative(design.ClassName, design.Caption, style, exStyle, top, {left, topEdge, left + width, topEdge + height});
}

HWND TModalDialog::AddControl(const wchar_t* className, const std::wstring& text, DWORD style, int id, RECT design,
                              unsigned anchors, DWORD exStyle) {
  return FLayout.AddControl(Handle(), className, text, style, id, design, anchors, exStyle);
}

void TModalDialog::ApplyLayout() {
  FLayout.Apply(Handle());
  OnResized();
}

bool TModalDialog::ShowModal() {
  FormShow();
  FResult = 0;
  return RunModal(Handle(), ::GetNextDlgTabItem(Handle(), nullptr, FALSE), FResult) == IDOK;
}

LRESULT TModalDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_NULL:
      RunQueuedCalls();
      return 0;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDCANCEL)
        FResult = IDCANCEL;
      else if (LOWORD(wParam) == IDOK)
        FResult = CanClose() ? IDOK : 0;
      else
        OnCommand(LOWORD(wParam), HIWORD(wParam));
      return 0;
    case WM_CLOSE:
      FResult = IDCANCEL;
      return 0;
    case WM_ACTIVATE:
      if (FFocus.Activate(Handle(), wParam)) return 0;
      break;
    case WM_SIZING: {
      const UINT dpi = WindowDpi(Handle());
      ClampSizing(wParam, *reinterpret_cast<RECT*>(lParam),
                  {{Scale(FMinOuter.cx, dpi), Scale(FMinOuter.cy, dpi)}, {0, 0}});
      return TRUE;
    }
    case WM_SIZE:
      ApplyLayout();
      return 0;
    case WM_DPICHANGED:
      FLayout.FollowDpiChange(Handle(), wParam, lParam);
      OnResized();
      return 0;
  }
  return TWindow::HandleMessage(message, wParam, lParam);
}

}  // namespace ornpm
