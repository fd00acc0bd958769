#include "win/Window.h"

#include <exception>
#include <map>
#include <memory>
#include <optional>
#include <thread>

#include "win/Exceptions.h"
#include "win/Handles.h"
#include "win/UserInteraction.h"

namespace ornpm {

namespace {

// Per-monitor DPI comes from GetDpiForWindow where Windows has it (10 and later).
UINT QueryWindowDpi(HWND window) {
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

BOOL CALLBACK SetFontOfChild(HWND child, LPARAM font) {
  ::SendMessageW(child, WM_SETFONT, static_cast<WPARAM>(font), TRUE);
  return TRUE;
}

bool DragsLeftEdge(WPARAM edge) {
  return edge == WMSZ_LEFT || edge == WMSZ_TOPLEFT || edge == WMSZ_BOTTOMLEFT;
}

bool DragsTopEdge(WPARAM edge) {
  return edge == WMSZ_TOP || edge == WMSZ_TOPLEFT || edge == WMSZ_TOPRIGHT;
}

// One dimension of a proposed rectangle: the extent kept within [minimum, maximum] (0: no
// limit), moving the near side when that is the side being dragged, else the far one.
void ClampExtent(LONG& nearSide, LONG& farSide, bool dragsNear, int minimum, int maximum) {
  const int extent = farSide - nearSide;
  int limited = extent;
  if (minimum > 0 && extent < minimum) limited = minimum;
  if (maximum > 0 && extent > maximum) limited = maximum;
  if (limited == extent) return;
  if (dragsNear)
    nearSide = farSide - limited;
  else
    farSide = nearSide + limited;
}

}  // namespace

void ShowApplicationError(const std::exception& error) noexcept {
  try {
    ShowMessage(TMsgKind::Error, ExceptionMessage(error));
  } catch (...) {
    // Nothing more can be shown; the message loop must go on.
  }
}

void ShowCurrentError() noexcept {
  try {
    throw;
  } catch (const std::exception& error) {
    ShowApplicationError(error);
  } catch (...) {
    try {
      ShowMessage(TMsgKind::Error, L"Непредвиденная ошибка");
    } catch (...) {
    }
  }
}

bool RunGuarded(const std::function<void()>& call) noexcept {
  try {
    call();
    return true;
  } catch (...) {
    ShowCurrentError();
    return false;
  }
}

UINT WindowDpi(HWND window) {
  return QueryWindowDpi(window);
}

int Scale(int designPixels, UINT dpi) {
  return ::MulDiv(designPixels, static_cast<int>(dpi), 96);
}

std::wstring WindowText(HWND window) {
  std::wstring text(static_cast<size_t>(::GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(static_cast<size_t>(::GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
  return text;
}

SIZE TextExtent(HWND control, const std::wstring& text) {
  HDC dc = ::GetDC(control);
  HGDIOBJ old = ::SelectObject(dc, reinterpret_cast<HFONT>(::SendMessageW(control, WM_GETFONT, 0, 0)));
  SIZE size{};
  ::GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
  ::SelectObject(dc, old);
  ::ReleaseDC(control, dc);
  return size;
}

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

void RunBusy(HWND owner, const std::function<void()>& work) {
  HWND top = owner ? ::GetAncestor(owner, GA_ROOT) : nullptr;
  const bool reenable = top && ::IsWindowEnabled(top);
  if (reenable) ::EnableWindow(top, FALSE);
  const HCURSOR wait = ::LoadCursorW(nullptr, IDC_WAIT);
  const HCURSOR previous = ::SetCursor(wait);

  UniqueHandle done(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (!done) throw EOSError(::GetLastError());
  std::exception_ptr failure;
  std::thread worker([&] {
    try {
      work();
    } catch (...) {
      failure = std::current_exception();
    }
    ::SetEvent(done.Get());
  });
  std::optional<int> quitCode;
  HANDLE waitFor = done.Get();
  while (::MsgWaitForMultipleObjects(1, &waitFor, FALSE, INFINITE, QS_ALLINPUT) != WAIT_OBJECT_0) {
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) {
        quitCode = static_cast<int>(message.wParam);
        continue;
      }
      ::TranslateMessage(&message);
      ::DispatchMessageW(&message);
    }
    ::SetCursor(wait);  // the windows under the mouse set their own cursor meanwhile
  }
  worker.join();

  ::SetCursor(previous);
  if (reenable) ::EnableWindow(top, TRUE);
  if (quitCode) ::PostQuitMessage(*quitCode);  // the program is ending: leave it to the main loop
  if (failure) std::rethrow_exception(failure);
}

HFONT MessageFont(UINT dpi) {
  static std::map<UINT, HFONT> fonts;
  if (auto found = fonts.find(dpi); found != fonts.end()) return found->second;
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof(metrics);
  ::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0);
  // The system reports the font for the primary screen's DPI; rescale it for this one.
  metrics.lfMessageFont.lfHeight =
      ::MulDiv(metrics.lfMessageFont.lfHeight, static_cast<int>(dpi), static_cast<int>(QueryWindowDpi(nullptr)));
  HFONT font = ::CreateFontIndirectW(&metrics.lfMessageFont);
  fonts[dpi] = font;
  return font;
}

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
    auto* self = static_cast<TWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    self->FHandle = window;
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
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

void TLayout::Add(HWND control, RECT designRect, unsigned anchors) {
  FItems.push_back({control, designRect, anchors});
}

HWND TLayout::AddControl(HWND parent, const wchar_t* className, const std::wstring& text, DWORD style, int id,
                         RECT designRect, unsigned anchors, DWORD exStyle) {
  HWND control = CreateControl(parent, className, text, style, id, exStyle);
  Add(control, designRect, anchors);
  return control;
}

void TLayout::Move(HWND control, RECT designRect) {
  for (TItem& item : FItems)
    if (item.Control == control) item.Design = designRect;
}

void TLayout::Apply(HWND parent) const {
  RECT client{};
  ::GetClientRect(parent, &client);
  UINT dpi = WindowDpi(parent);
  // Distances to the right and bottom edges are design distances, scaled.
  for (const TItem& item : FItems) {
    int left = Scale(item.Design.left, dpi);
    int top = Scale(item.Design.top, dpi);
    int width = Scale(item.Design.right - item.Design.left, dpi);
    int height = Scale(item.Design.bottom - item.Design.top, dpi);
    int rightGap = Scale(FDesign.cx - item.Design.right, dpi);
    int bottomGap = Scale(FDesign.cy - item.Design.bottom, dpi);
    if (item.Anchors & akRight) {
      if (item.Anchors & akLeft)
        width = client.right - rightGap - left;
      else
        left = client.right - rightGap - width;
    }
    if (item.Anchors & akBottom) {
      if (item.Anchors & akTop)
        height = client.bottom - bottomGap - top;
      else
        top = client.bottom - bottomGap - height;
    }
    ::SetWindowPos(item.Control, nullptr, left, top, std::max(width, 0), std::max(height, 0),
                   SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

void TLayout::FollowDpiChange(HWND parent, WPARAM newDpi, LPARAM suggestedRect) const {
  SetChildFonts(parent, HIWORD(newDpi));
  const RECT* suggested = reinterpret_cast<const RECT*>(suggestedRect);
  ::SetWindowPos(parent, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                 suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
  Apply(parent);
}

void SetChildFonts(HWND parent, UINT dpi) {
  ::EnumChildWindows(parent, SetFontOfChild, reinterpret_cast<LPARAM>(MessageFont(dpi)));
}

void ClampSizing(WPARAM edge, RECT& proposed, const TSizeLimits& limits) {
  // Only what the drag changes: a window outside a limit keeps its width while its height is
  // dragged, and the other way round.
  if (edge != WMSZ_TOP && edge != WMSZ_BOTTOM)
    ClampExtent(proposed.left, proposed.right, DragsLeftEdge(edge), limits.Min.cx, limits.Max.cx);
  if (edge != WMSZ_LEFT && edge != WMSZ_RIGHT)
    ClampExtent(proposed.top, proposed.bottom, DragsTopEdge(edge), limits.Min.cy, limits.Max.cy);
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

bool TFocusKeeper::Activate(HWND window, WPARAM wParam) {
  if (LOWORD(wParam) == WA_INACTIVE) {
    HWND focus = ::GetFocus();
    if (focus && ::IsChild(window, focus)) FFocus = focus;
    return false;
  }
  if (HIWORD(wParam) || !FFocus || !::IsWindow(FFocus) || !::IsChild(window, FFocus)) return false;  // minimised
  ::SetFocus(FFocus);
  return true;
}

void SetLargeIcon(HWND window, const wchar_t* resourceName) {
  if (HICON icon = ::LoadIconW(::GetModuleHandleW(nullptr), resourceName))
    ::SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
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

}  // namespace ornpm
