#include "views/ViewFrame.h"

#include "service/IEActiveXSettings.h"
#include "service/LogInfo.h"
#include "service/PlugInInfo.h"
#include "service/ReportText.h"
#include "win/BusyWork.h"

namespace ornpm {

void TViewFrame::Create(HWND parent) {
  // Without WS_CLIPCHILDREN: group boxes leave their inside for the frame to paint.
  CreateNative(L"TViewFrame", L"", WS_CHILD, WS_EX_CONTROLPARENT, parent, {});
  CreateControls();
}

HWND TViewFrame::AddControl(const wchar_t* className, const std::wstring& text, DWORD style, int id, RECT design,
                            unsigned anchors, DWORD exStyle) {
  return FLayout.AddControl(Handle(), className, text, style, id, design, anchors, exStyle);
}

LRESULT TViewFrame::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SIZE:
      FLayout.Apply(Handle());
      return 0;
    case WM_COMMAND:
      OnCommand(LOWORD(wParam), HIWORD(wParam));
      return 0;
    case WM_CTLCOLORSTATIC: {
      COLORREF color = StaticTextColor(reinterpret_cast<HWND>(lParam));
      if (color == CLR_INVALID) break;
      HDC dc = reinterpret_cast<HDC>(wParam);
      ::SetTextColor(dc, color);
      ::SetBkMode(dc, TRANSPARENT);
      return reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_BTNFACE));
    }
  }
  return TWindow::HandleMessage(message, wParam, lParam);
}

void ShowPlugInRows(HWND lblPlugInPath, HWND lblVersion, const TPlugInInfo& plugIn) {
  // A registered path counts even when its file is gone: the row shows where it points.
  if (plugIn.PlugInPath().empty()) {
    SetText(lblPlugInPath, L"Плагин не зарегистрирован");
    SetText(lblVersion, L"");
    return;
  }
  SetText(lblPlugInPath, L"Путь к плагину: " + plugIn.PlugInPath());
  SetText(lblVersion, L"Версия: " + plugIn.Version());
}

std::wstring DomainInHostsText(const TPlugInInfo& plugIn) {
  if (plugIn.HostsError()) return L"Запись в Hosts: ошибка чтения";
  return HostsRowCaption + KnownOr(plugIn.DomainInHostsKnown(), plugIn.DomainInHosts() ? L"Есть" : L"Нет");
}

std::wstring DomainInProxyOverrideText(const TIEActiveXSettings& settings) {
  return ProxyRowCaption + KnownOr(settings.ProxyKnown(), settings.PlugInHostInProxyOverride() ? L"Да" : L"Нет");
}

TWaitRunner BusyRunner(HWND view) {
  return [view](const std::function<void()>& work) { RunBusy(view, work); };
}

void SaveLogSettings(HWND view, TLogInfo& log, bool checkPath, const std::function<void()>& showStored) {
  try {
    log.SaveOrReload(checkPath, BusyRunner(view));
  } catch (...) {
    showStored();
    throw;
  }
}

void SetText(HWND control, const std::wstring& text) {
  ::SetWindowTextW(control, text.c_str());
}

void SetEnabled(HWND control, bool enabled) {
  ::EnableWindow(control, enabled ? TRUE : FALSE);
}

bool IsChecked(HWND checkBox) {
  return ::SendMessageW(checkBox, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void SetChecked(HWND checkBox, bool checked) {
  ::SendMessageW(checkBox, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void SetChecked(HWND checkBox, bool known, bool checked) {
  // Only a three-state box shows the third state; the user's clicks tick and untick.
  ::SendMessageW(checkBox, BM_SETSTYLE, known ? BS_AUTOCHECKBOX : BS_3STATE, TRUE);
  ::SendMessageW(checkBox, BM_SETCHECK, !known ? BST_INDETERMINATE : checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

}  // namespace ornpm
