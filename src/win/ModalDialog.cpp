#include "win/ModalDialog.h"

#include "win/Dpi.h"

namespace ornpm {

namespace {

// Shows the dialog with its owner disabled and the focus on the given control, and runs
// messages (Enter, Escape and Tab handled as in dialogs) until result becomes non-zero, which
// the dialog's own handlers set. Returns that result (0 when the program is ending).
int RunModal(HWND dialog, HWND focus, const int& result) {
  HWND owner = ::GetWindow(dialog, GW_OWNER);
  if (owner) ::EnableWindow(owner, FALSE);
  ::ShowWindow(dialog, SW_SHOW);
  ::SetFocus(focus);
  MSG message;
  while (result == 0) {
    if (::GetMessageW(&message, nullptr, 0, 0) <= 0) {
      ::PostQuitMessage(static_cast<int>(message.wParam));  // the program is ending: leave it to the main loop
      break;
    }
    if (::IsDialogMessageW(dialog, &message)) continue;
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
  if (owner) ::EnableWindow(owner, TRUE);
  ::ShowWindow(dialog, SW_HIDE);
  if (owner) ::SetActiveWindow(owner);
  return result;
}

}  // namespace

TModalDialog::TModalDialog(HWND owner, const TDialogDesign& design)
    : TTopWindow(design.Client), FMinOuter(design.MinOuter) {
  // No WS_CLIPCHILDREN: group boxes leave their inside for the dialog to paint.
  const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | (design.Resizable ? WS_THICKFRAME : 0);
  const DWORD exStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
  HWND top = owner ? ::GetAncestor(owner, GA_ROOT) : nullptr;
  const UINT dpi = WindowDpi(top);
  RECT outer{0, 0, Scale(design.Client.cx, dpi), Scale(design.Client.cy, dpi)};
  ::AdjustWindowRectEx(&outer, style, FALSE, exStyle);
  // On the owner's monitor, where the person looks, clear of its taskbar.
  const RECT workArea = WorkAreaOf(top);
  RECT on = workArea;
  if (design.CentreOnOwner && top) ::GetWindowRect(top, &on);
  CreateNative(design.ClassName, design.Caption, style, exStyle, top,
               CentredRect({outer.right - outer.left, outer.bottom - outer.top}, on, workArea));
}

HWND TModalDialog::AddControl(const wchar_t* className, const std::wstring& text, DWORD style, int id, RECT design,
                              unsigned anchors, DWORD exStyle) {
  return Layout().AddControl(Handle(), className, text, style, id, design, anchors, exStyle);
}

bool TModalDialog::ShowModal() {
  FormShow();
  FResult = 0;
  return RunModal(Handle(), ::GetNextDlgTabItem(Handle(), nullptr, FALSE), FResult) == IDOK;
}

TSizeLimits TModalDialog::SizeLimits() const {
  const UINT dpi = WindowDpi(Handle());
  return {{Scale(FMinOuter.cx, dpi), Scale(FMinOuter.cy, dpi)}, {0, 0}};
}

LRESULT TModalDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
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
  }
  return TTopWindow::HandleMessage(message, wParam, lParam);
}

}  // namespace ornpm
