#include "views/frLogging.h"

#include "service/LogInfo.h"
#include "service/PlugInFiles.h"
#include "service/ReportText.h"
#include "views/dlgLogFileName.h"
#include "win/Environment.h"
#include "win/Text.h"
#include "win/UserInteraction.h"
#include "win/Window.h"

namespace ornpm {

namespace {

constexpr DWORD Edit = ES_AUTOHSCROLL | WS_TABSTOP | WS_BORDER;

}  // namespace

void TLoggingFrame::CreateControls() {
  chbEnabled =
      AddControl(L"BUTTON", L"Включено", BS_AUTOCHECKBOX | WS_TABSTOP, idEnabled, {8, 8, 200, 26}, akLeft | akTop);
  AddControl(L"STATIC", L"Путь к файлам:", SS_LEFT, 0, {8, 38, 123, 54}, akLeft | akTop);
  edLogFilePath =
      AddControl(L"EDIT", InitialLogFilePath, Edit | WS_DISABLED, idLogFilePath, {124, 34, 612, 57}, StretchWidth);
  btnApply = AddControl(L"BUTTON", L"Применить", WS_TABSTOP | WS_DISABLED, idApply, {621, 45, 737, 70}, RightEdge);
  AddControl(L"STATIC", L"Имя файла:", SS_LEFT, 0, {8, 66, 123, 82}, akLeft | akTop);
  edLogFileName =
      AddControl(L"EDIT", DefaultLogFileName, Edit | WS_DISABLED, idLogFileName, {124, 62, 612, 85}, StretchWidth);
  AddControl(L"STATIC", L"Фактический путь:", SS_LEFT, 0, {8, 98, 123, 114}, akLeft | akTop);
  edActualLogPath = AddControl(L"EDIT", L"", Edit | ES_READONLY, 0, {124, 94, 612, 117}, StretchWidth);
  btnOpenFolder =
      AddControl(L"BUTTON", L"Открыть папку", WS_TABSTOP | WS_DISABLED, idOpenFolder, {621, 93, 737, 118}, RightEdge);
  memFileNameHint =
      AddControl(L"EDIT", LogFileNameHint, ES_MULTILINE | ES_READONLY | WS_VSCROLL | WS_DISABLED | WS_BORDER, 0,
                 {8, 126, 737, 335}, StretchAll);
}

void TLoggingFrame::Load(TLogInfo* info) {
  FLogInfo = info;
  if (!info) return;
  if (!FMenusCreated) {
    FPathMenu.CreateFor(edLogFilePath);
    FNameMenu.CreateFor(edLogFileName);
    FMenusCreated = true;
  }
  TLoadingScope loading(FLoading);
  // A report's settings are another workstation's: shown, never written here; its text can
  // still be selected and copied.
  SetEnabled(chbEnabled, !info->FromReport());
  for (HWND edit : {edLogFilePath, edLogFileName}) ::SendMessageW(edit, EM_SETREADONLY, info->FromReport(), 0);
  SetChecked(chbEnabled, info->Known(), info->Enabled());
  chbEnabledChange();
  SetText(edLogFilePath, KnownOr(info->Known(), info->LogFilePath()));
  SetText(edLogFileName, KnownOr(info->Known(), info->LogFileName()));
  ShowActualPath();
  SetEnabled(btnApply, false);
}

void TLoggingFrame::ShowActualPath() {
  SetText(edActualLogPath, KnownOr(FLogInfo->Known(), FLogInfo->ActualLogPath()));
  // A report's folder is another workstation's: not looked for here, not opened.
  SetEnabled(btnOpenFolder, !FLogInfo->FromReport() && DirectoryExists(FLogInfo->ActualLogPath()));
}

void TLoggingFrame::chbEnabledChange() {
  const bool ticked = IsChecked(chbEnabled);
  SetEnabled(edLogFilePath, ticked);
  SetEnabled(edLogFileName, ticked);
  if (FLoading || !FLogInfo || FLogInfo->FromReport()) return;
  FLogInfo->SetEnabled(ticked);
  if (WindowText(edLogFilePath).empty()) SetText(edLogFilePath, FLogInfo->LogFilePath());
  if (WindowText(edLogFileName).empty()) SetText(edLogFileName, FLogInfo->LogFileName());
  if (WindowText(edActualLogPath).empty()) SetText(edActualLogPath, FLogInfo->ActualLogPath());
  SaveLogSettings(Handle(), *FLogInfo, false, [this] { Load(FLogInfo); });
}

void TLoggingFrame::edLogFileChangeTracking() {
  SetEnabled(btnApply, FLogInfo && !FLogInfo->FromReport() &&
                           (!SameText(WindowText(edLogFileName), FLogInfo->LogFileName()) ||
                            !SameText(WindowText(edLogFilePath), FLogInfo->LogFilePath())));
}

void TLoggingFrame::btnApplyClick() {
  if (!FLogInfo || FLogInfo->FromReport()) return;
  FLogInfo->SetLogFilePath(WindowText(edLogFilePath));
  FLogInfo->SetLogFileName(WindowText(edLogFileName));
  ShowActualPath();
  SetEnabled(btnApply, false);
  SaveLogSettings(Handle(), *FLogInfo, true, [this] { Load(FLogInfo); });
}

void TLoggingFrame::OnCommand(int id, int code) {
  if ((id == idLogFilePath || id == idLogFileName) && code == EN_CHANGE) return edLogFileChangeTracking();
  if (code != BN_CLICKED) return;
  switch (id) {
    case idEnabled:
      chbEnabledChange();
      break;
    case idApply:
      btnApplyClick();
      break;
    case idOpenFolder:
      if (FLogInfo && !FLogInfo->FromReport()) ExploreFolder(FLogInfo->ActualLogPath());
      break;
  }
}

}  // namespace ornpm
