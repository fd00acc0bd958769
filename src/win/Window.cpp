#include "win/Window.h"

#include "win/Dpi.h"
#include "win/ErrorDisplay.h"
#include "win/Exceptions.h"
#include "win/Fonts.h"

namespace ornpm {

TWindow::~TWindow() {
  if (FHandle) {
    ::SetWindowLongPtrW(FHandle, GWLP_USERDATA, 0);
    ::DestroyWindow(FHandle);
  }
}

void TWindow::CreateNative(const wchar_t* className, const wchar_t* title, DWORD style, DWORD exStyle, HWND parent,
                           const RECT& bounds, HICON icon) {
  HINSTANCE instance = ::GetModuleHandleW(nullptr);
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof(windowClass);
  if (!::GetClassInfoExW(instance, className, &windowClass)) {
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = icon;
    windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = className;
    if (!::RegisterClassExW(&windowClass)) throw EOSError(::GetLastError());
  }
  HWND created =
      ::CreateWindowExW(exStyle, className, title, style, bounds.left, bounds.top, bounds.right - bounds.left,
                        bounds.bottom - bounds.top, parent, nullptr, instance, this);
  if (!created) throw EOSError(::GetLastError());
}

LRESULT TWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  return ::DefWindowProcW(FHandle, message, wParam, lParam);
}

LRESULT CALLBACK TWindow::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
    auto* self = static_cast<TWindow*>(create->lpCreateParams);
    self->FHandle = window;
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    if (!(create->style & WS_CHILD)) EnableNonClientScaling(window);
  }
  auto* self = reinterpret_cast<TWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  if (!self) return ::DefWindowProcW(window, message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    self->FHandle = nullptr;
    return ::DefWindowProcW(window, message, wParam, lParam);
  }
  try {
    return self->HandleMessage(message, wParam, lParam);
  } catch (...) {
    ShowCurrentError();
    return 0;
  }
}

HWND CreateControl(HWND parent, const wchar_t* className, const std::wstring& text, DWORD style, int id,
                   DWORD exStyle) {
  HWND control =
      ::CreateWindowExW(exStyle, className, text.c_str(), WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, parent,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), ::GetModuleHandleW(nullptr), nullptr);
  if (!control) throw EOSError(::GetLastError());
  ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(MessageFont(WindowDpi(parent))), FALSE);
  return control;
}

std::wstring WindowText(HWND window) {
  std::wstring text(static_cast<size_t>(::GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(static_cast<size_t>(::GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
  return text;
}

SIZE BorderSize(HWND window) {
  RECT outer{}, client{};
  ::GetWindowRect(window, &outer);
  ::GetClientRect(window, &client);
  return {(outer.right - outer.left) - client.right, (outer.bottom - outer.top) - client.bottom};
}

void SetClientHeight(HWND window, int height) {
  RECT outer{};
  ::GetWindowRect(window, &outer);
  ::SetWindowPos(window, nullptr, 0, 0, outer.right - outer.left, height + BorderSize(window).cy,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void SetLargeIcon(HWND window, const wchar_t* resourceName) {
  if (HICON icon = ::LoadIconW(::GetModuleHandleW(nullptr), resourceName))
    ::SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
}

}  // namespace ornpm
