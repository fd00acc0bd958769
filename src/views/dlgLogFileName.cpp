#include "views/dlgLogFileName.h"

#include "service/LogInfo.h"

namespace ornpm {

const wchar_t LogFileNameHint[] =
    L"В некоторых случаях можно указать формат представления данных, он указывается после имени переменной через "
    L"символ \"|\", например %DateTime|yyyy.mm.dd hh:ss:zzz%\r\n"
    L"\r\n"
    L"%Переменная окружения windows%\r\n"
    L"%PID% - идентификатор процесса в системе\r\n"
    L"%Date% - текущая дата в формате yyyymmdd\r\n"
    L"%Time% - текущее время в формате hhnnss\r\n"
    L"%DateTime% - текущая дата и время в формате yyyymmdd_hhnnss, формат будет указывать иное форматирование даты\r\n"
    L"%ExeName% - имя запущеной программы, в адресном пространстве которой мы находимся без пути и расширения\r\n"
    L"%LibName% - имя текущего модуля без пути и расширения\r\n"
    L"%FullExeName% - имя запущеной программы, в адресном пространстве которой мы находимся (Dir укажет что нужно "
    L"взять только путь, а \\ после со слешом или без)\r\n"
    L"%FullLibName% - имя текущего модуля (Dir)\r\n"
    L"%MachineName% - сетевое имя компьютера";

TLogFileNameForm::TLogFileNameForm(HWND owner) : FOwner(owner) {
  const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
  const UINT dpi = WindowDpi(owner);
  RECT outer{0, 0, Scale(703, dpi), Scale(339, dpi)};
  ::AdjustWindowRectEx(&outer, style, FALSE, WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT);
  RECT ownerRect{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
  if (owner) ::GetWindowRect(::GetAncestor(owner, GA_ROOT), &ownerRect);
  const int width = outer.right - outer.left, height = outer.bottom - outer.top;
  const int left = (ownerRect.left + ownerRect.right - width) / 2,
            top = (ownerRect.top + ownerRect.bottom - height) / 2;
  CreateNative(L"TLogFileNameForm", L"Введите путь и имя файла", style, WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT,
               owner ? ::GetAncestor(owner, GA_ROOT) : nullptr, {left, top, left + width, top + height});
  auto add = [&](const wchar_t* className, const std::wstring& text, DWORD controlStyle, int id, RECT design,
                 DWORD exStyle = 0) {
    HWND control = CreateControl(Handle(), className, text, controlStyle, id, exStyle);
    FLayout.Add(control, design, akLeft | akTop | akRight);
    return control;
  };
  add(L"STATIC", L"Путь к файлам:", SS_LEFT, 0, {8, 12, 100, 28});
  edLogFilePath =
      add(L"EDIT", InitialLogFilePath, ES_AUTOHSCROLL | WS_TABSTOP, idLogFilePath, {104, 8, 695, 31}, WS_EX_CLIENTEDGE);
  add(L"STATIC", L"Имя файла:", SS_LEFT, 0, {8, 43, 100, 59});
  edLogFileName = add(L"EDIT", DefaultLogFileName, ES_AUTOHSCROLL | WS_TABSTOP, idLogFileName, {104, 39, 695, 62},
                      WS_EX_CLIENTEDGE);
  add(L"EDIT", LogFileNameHint, ES_MULTILINE | ES_READONLY | WS_VSCROLL | WS_DISABLED, 0, {8, 70, 695, 298},
      WS_EX_CLIENTEDGE);
  add(L"BUTTON", L"ОК", BS_DEFPUSHBUTTON | WS_TABSTOP, IDOK, {532, 306, 612, 331});
  add(L"BUTTON", L"Отмена", WS_TABSTOP, IDCANCEL, {615, 306, 695, 331});
  FLayout.Apply(Handle());
  FPathMenu.CreateFor(edLogFilePath);
  FNameMenu.CreateFor(edLogFileName);
  if (HICON icon = ::LoadIconW(::GetModuleHandleW(nullptr), L"CommonModeIcon"))
    ::SendMessageW(Handle(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
}

std::wstring TLogFileNameForm::LogFilePath() const {
  return WindowText(edLogFilePath);
}

std::wstring TLogFileNameForm::LogFileName() const {
  return WindowText(edLogFileName);
}

bool TLogFileNameForm::ShowModal() {
  FResult = 0;
  return RunModal(Handle(), edLogFilePath, FResult) == IDOK;
}

LRESULT TLogFileNameForm::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) FResult = LOWORD(wParam);
      return 0;
    case WM_CLOSE:
      FResult = IDCANCEL;
      return 0;
    case WM_DPICHANGED:
      FLayout.FollowDpiChange(Handle(), lParam);
      return 0;
  }
  return TWindow::HandleMessage(message, wParam, lParam);
}

}  // namespace ornpm
