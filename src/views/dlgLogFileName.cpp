#include "views/dlgLogFileName.h"

#include "service/LogInfo.h"
#include "win/Window.h"

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

TLogFileNameForm::TLogFileNameForm(HWND owner)
    : TModalDialog(owner, {L"TLogFileNameForm", L"Введите путь и имя файла", {703, 339}, false, {0, 0}, true}) {
  const unsigned anchors = akLeft | akTop | akRight, label = akLeft | akTop, button = akRight | akBottom;
  AddControl(L"STATIC", L"Путь к файлам:", SS_LEFT, 0, {8, 12, 102, 28}, label);
  edLogFilePath = AddControl(L"EDIT", InitialLogFilePath, ES_AUTOHSCROLL | WS_TABSTOP, idLogFilePath, {104, 8, 695, 31},
                             anchors, WS_EX_CLIENTEDGE);
  AddControl(L"STATIC", L"Имя файла:", SS_LEFT, 0, {8, 43, 102, 59}, label);
  edLogFileName = AddControl(L"EDIT", DefaultLogFileName, ES_AUTOHSCROLL | WS_TABSTOP, idLogFileName,
                             {104, 39, 695, 62}, anchors, WS_EX_CLIENTEDGE);
  AddControl(L"EDIT", LogFileNameHint, ES_MULTILINE | ES_READONLY | WS_VSCROLL | WS_DISABLED, 0, {8, 70, 695, 298},
             anchors | akBottom, WS_EX_CLIENTEDGE);
  AddControl(L"BUTTON", L"ОК", BS_DEFPUSHBUTTON | WS_TABSTOP, IDOK, {532, 306, 612, 331}, button);
  AddControl(L"BUTTON", L"Отмена", WS_TABSTOP, IDCANCEL, {615, 306, 695, 331}, button);
  ApplyLayout();
  FPathMenu.CreateFor(edLogFilePath);
  FNameMenu.CreateFor(edLogFileName);
  SetLargeIcon(Handle(), L"CommonModeIcon");
}

std::wstring TLogFileNameForm::LogFilePath() const {
  return WindowText(edLogFilePath);
}

std::wstring TLogFileNameForm::LogFileName() const {
  return WindowText(edLogFileName);
}

}  // namespace ornpm
