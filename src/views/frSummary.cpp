#include "views/frSummary.h"

#include "service/CompositeInfo.h"
#include "service/PlugInFiles.h"
#include "service/ReportText.h"
#include "views/dlgLogFileName.h"
#include "win/Environment.h"
#include "win/UserInteraction.h"

namespace ornpm {

void TSummaryInfoFrame::CreateControls() {
  AddControl(L"BUTTON", L"Информация", BS_GROUPBOX, 0, {8, 4, 745, 88}, StretchWidth);
  lblPlugInPath = AddControl(L"STATIC", L"Путь к плагину: ", LabelStyle, 0, {18, 26, 612, 42}, StretchWidth);
  btnOpenPlugInDir =
      AddControl(L"BUTTON", L"Открыть папку", WS_TABSTOP | WS_DISABLED, idOpenPlugInDir, {621, 21, 737, 46}, RightEdge);
  lblVersion = AddControl(L"STATIC", L"Версия: ", LabelStyle, 0, {18, 46, 612, 62}, StretchWidth);
  lblDomainInHosts = AddControl(L"STATIC", HostsRowCaption, LabelStyle, 0, {18, 66, 250, 82}, akLeft | akTop);
  lblDomainInProxyOverride = AddControl(L"STATIC", ProxyRowCaption, LabelStyle, 0, {260, 66, 612, 82}, StretchWidth);
  AddControl(L"BUTTON", L"Журналирование", BS_GROUPBOX, 0, {8, 92, 745, 197}, StretchWidth);
  chbEnabled =
      AddControl(L"BUTTON", L"Включено", BS_AUTOCHECKBOX | WS_TABSTOP, idEnabled, {18, 110, 250, 128}, akLeft | akTop);
  lblLogFilePath = AddControl(L"STATIC", L"Путь к файлам:", LabelStyle, 0, {18, 132, 612, 148}, StretchWidth);
  btnChangeLogFile = AddControl(L"BUTTON", L"Изменить", WS_TABSTOP, idChangeLogFile, {621, 137, 737, 162}, RightEdge);
  lblLogFileName = AddControl(L"STATIC", L"Имя файла:", LabelStyle, 0, {18, 152, 612, 168}, StretchWidth);
  lblActualLogPath = AddControl(L"STATIC", L"Фактический путь:", LabelStyle, 0, {18, 172, 612, 188}, StretchWidth);
  btnOpenLogDir =
      AddControl(L"BUTTON", L"Открыть папку", WS_TABSTOP | WS_DISABLED, idOpenLogDir, {621, 167, 737, 192}, RightEdge);
}

void TSummaryInfoFrame::Load(TCompositeInfo* info) {
  FInfo = info;
  const TPlugInInfo& plugIn = info->PlugInInfo();
  FNotRegistered = plugIn.PlugInPath().empty();
  ShowPlugInRows(lblPlugInPath, lblVersion, plugIn);
  if (FNotRegistered) {
    for (HWND control : {btnOpenPlugInDir, btnChangeLogFile, chbEnabled}) SetEnabled(control, false);
    SetChecked(chbEnabled, info->LogInfo().Known(), false);
    // Not those of the data shown before: without a plug-in the rows have no answer.
    SetText(lblDomainInHosts, HostsRowCaption);
    SetText(lblDomainInProxyOverride, ProxyRowCaption);
    ShowLogPaths();
    return;
  }
  // A registered plug-in after an unregistered one: the highlight and the disabled box go.
  // A report's settings are another workstation's: shown, never written here.
  SetEnabled(chbEnabled, !info->LogInfo().FromReport());
  TLoadingScope loading(FLoading);
  FPlugInDir = ExtractFilePath(plugIn.PlugInPath());
  if (!FPlugInDir.empty()) FPlugInDir.pop_back();
  // A report's folders are another workstation's: not looked for here (a network path
  // would be reached just by showing the report) and not opened.
  SetEnabled(btnOpenPlugInDir, !plugIn.FromReport() && DirectoryExists(FPlugInDir));
  ReloadHostsInfo();
  ReloadProxyInfo();
  SetChecked(chbEnabled, info->LogInfo().Known(), info->LogInfo().Enabled());
  chbEnabledChange();
  ShowLogPaths();
}

void TSummaryInfoFrame::ShowLogPaths() {
  const TLogInfo& log = FInfo->LogInfo();
  SetText(lblLogFilePath, L"Путь к файлам: " + KnownOr(log.Known(), log.LogFilePath()));
  SetText(lblLogFileName, L"Имя файла: " + KnownOr(log.Known(), log.LogFileName()));
  SetText(lblActualLogPath, L"Фактический путь: " + KnownOr(log.Known(), log.ActualLogPath()));
  SetEnabled(btnOpenLogDir, !log.FromReport() && DirectoryExists(log.ActualLogPath()));
}

void TSummaryInfoFrame::ReloadHostsInfo() {
  SetText(lblDomainInHosts, DomainInHostsText(FInfo->PlugInInfo()));
}

void TSummaryInfoFrame::ReloadProxyInfo() {
  SetText(lblDomainInProxyOverride, DomainInProxyOverrideText(FInfo->ActiveXSettings()));
}

void TSummaryInfoFrame::chbEnabledChange() {
  SetEnabled(btnChangeLogFile, IsChecked(chbEnabled) && FInfo && !FInfo->LogInfo().FromReport());
  if (FLoading || !FInfo || FInfo->LogInfo().FromReport()) return;
  TLogInfo& log = FInfo->LogInfo();
  const bool pathWasEmpty = log.LogFilePath().empty(), nameWasEmpty = log.LogFileName().empty();
  log.SetEnabled(IsChecked(chbEnabled));
  if (pathWasEmpty) {
    SetText(lblLogFilePath, L"Путь к файлам: " + log.LogFilePath());
    SetText(lblActualLogPath, L"Фактический путь: " + log.ActualLogPath());
  }
  if (nameWasEmpty) SetText(lblLogFileName, L"Имя файла: " + log.LogFileName());
  SaveLogSettings(Handle(), log, false, [this] { Load(FInfo); });
}

void TSummaryInfoFrame::btnChangeLogFileClick() {
  if (!FInfo || FInfo->LogInfo().FromReport()) return;
  TLogInfo& log = FInfo->LogInfo();
  {
    TLogFileNameForm dialog(Handle());
    SetText(dialog.edLogFilePath, log.LogFilePath());
    SetText(dialog.edLogFileName, log.LogFileName());
    if (!dialog.ShowModal()) return;
    log.SetLogFilePath(dialog.LogFilePath());
    log.SetLogFileName(dialog.LogFileName());
  }
  ShowLogPaths();  // the rows are up to date before Save shows its messages
  SaveLogSettings(Handle(), log, true, [this] { Load(FInfo); });
}

void TSummaryInfoFrame::OnCommand(int id, int code) {
  if (code != BN_CLICKED) return;
  switch (id) {
    case idEnabled:
      chbEnabledChange();
      break;
    case idChangeLogFile:
      btnChangeLogFileClick();
      break;
    case idOpenPlugInDir:
      if (FInfo && !FInfo->PlugInInfo().FromReport()) ExploreFolder(FPlugInDir);
      break;
    case idOpenLogDir:
      if (FInfo && !FInfo->LogInfo().FromReport()) ExploreFolder(FInfo->LogInfo().ActualLogPath());
      break;
  }
}

COLORREF TSummaryInfoFrame::StaticTextColor(HWND control) const {
  return control == lblPlugInPath && FNotRegistered ? NotRegisteredColor : CLR_INVALID;
}

}  // namespace ornpm
