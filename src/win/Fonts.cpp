#include "win/Fonts.h"

#include <map>

#include "win/Dpi.h"

namespace ornpm {

namespace {

BOOL CALLBACK SetFontOfChild(HWND child, LPARAM font) {
  ::SendMessageW(child, WM_SETFONT, static_cast<WPARAM>(font), TRUE);
  return TRUE;
}

}  // namespace

HFONT MessageFont(UINT dpi) {
  static std::map<UINT, HFONT> fonts;
  if (auto found = fonts.find(dpi); found != fonts.end()) return found->second;
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof(metrics);
  ::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0);
  // The system reports the font for the primary screen's DPI; rescale it for this one.
  metrics.lfMessageFont.lfHeight =
      ::MulDiv(metrics.lfMessageFont.lfHeight, static_cast<int>(dpi), static_cast<int>(WindowDpi(nullptr)));
  HFONT font = ::CreateFontIndirectW(&metrics.lfMessageFont);
  fonts[dpi] = font;
  return font;
}

void SetChildFonts(HWND parent, UINT dpi) {
  ::EnumChildWindows(parent, SetFontOfChild, reinterpret_cast<LPARAM>(MessageFont(dpi)));
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

}  // namespace ornpm
