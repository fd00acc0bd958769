#include "views/frPlugInInfo.h"

#include <algorithm>
#include <exception>
#include <functional>

#include "service/PlugInInfo.h"
#include "win/BusyWork.h"
#include "win/WaitCursor.h"

namespace ornpm {

namespace {

constexpr DWORD RowStyle = SS_LEFTNOWORDWRAP | SS_NOPREFIX | SS_ENDELLIPSIS;

}  // namespace

void TPlugInInfoFrame::CreateControls() {
  // Created in tab order: the list, then "Обновить", then "Завершить".
  lblPlugInPath = AddControl(L"STATIC", L"Путь к плагину: ", RowStyle, 0, {8, 7, 678, 23}, StretchWidth);
  lblVersion = AddControl(L"STATIC", L"Версия: ", RowStyle, 0, {8, 25, 678, 41}, StretchWidth);
  lblDomainInHosts = AddControl(L"STATIC", HostsRowCaption, LabelStyle, 0, {8, 42, 201, 59}, akLeft | akTop);
  lblProcessList =
      AddControl(L"STATIC", L"Процессы, использующие плагин:", LabelStyle, 0, {8, 60, 225, 77}, akLeft | akTop);
  lbxProcessList = AddControl(L"LISTBOX", L"", WS_TABSTOP | WS_VSCROLL | LBS_EXTENDEDSEL | LBS_NOINTEGRALHEIGHT,
                              idProcessList, {8, 80, 677, 354}, StretchAll, WS_EX_CLIENTEDGE);
  btnRefresh = AddControl(L"BUTTON", L"Обновить", WS_TABSTOP, idRefresh, {510, 53, 586, 75}, RightEdge);
  btnKillProcs =
      AddControl(L"BUTTON", L"Завершить", WS_TABSTOP | WS_DISABLED, idKillProcs, {592, 53, 676, 75}, RightEdge);
}

void TPlugInInfoFrame::Load(TPlugInInfo* plugIn) {
  FPlugInInfo = plugIn;
  plugIn->OnProcessKilled = std::bind_front(&TPlugInInfoFrame::DoProcessKilled, this);
  // The list entries point into the object's process list: whoever rebuilds, empties or
  // replaces it (the logging settings, a report load) must let the list follow at once.
  plugIn->OnProcessesChanged = std::bind_front(&TPlugInInfoFrame::DoProcessesChanged, this);
  FNotRegistered = plugIn->PlugInPath().empty();
  ShowPlugInRows(lblPlugInPath, lblVersion, *plugIn);
  // Not registered: the hosts row has no answer, as at start, whatever was shown before.
  if (FNotRegistered)
    SetText(lblDomainInHosts, HostsRowCaption);
  else
    ReloadHostsInfo();
  ShowProcesses();
}

void TPlugInInfoFrame::ReloadHostsInfo() {
  if (FPlugInInfo) SetText(lblDomainInHosts, DomainInHostsText(*FPlugInInfo));
}

void TPlugInInfoFrame::ShowProcesses() {
  TInfoLines lines;
  if (!FNotRegistered) FPlugInInfo->SaveProcessesInfo(&lines, true, false);
  ::SendMessageW(lbxProcessList, LB_RESETCONTENT, 0, 0);
  for (const TInfoLine& line : lines) {
    LRESULT index = ::SendMessageW(lbxProcessList, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.Text.c_str()));
    ::SendMessageW(lbxProcessList, LB_SETITEMDATA, index, reinterpret_cast<LPARAM>(line.Process));
  }
  UpdateKillButton();
}

void TPlugInInfoFrame::UpdateKillButton() {
  const bool hasEntries = ::SendMessageW(lbxProcessList, LB_GETCOUNT, 0, 0) > 0;
  SetEnabled(btnKillProcs, hasEntries && !FPlugInInfo->ProcessesFromReport());
}

std::vector<TProcessInfo*> TPlugInInfoFrame::SelectedProcesses() const {
  const auto count = static_cast<int>(::SendMessageW(lbxProcessList, LB_GETSELCOUNT, 0, 0));
  if (count <= 0) return {};
  std::vector<int> indexes(count);
  ::SendMessageW(lbxProcessList, LB_GETSELITEMS, count, reinterpret_cast<LPARAM>(indexes.data()));
  std::sort(indexes.begin(), indexes.end(), std::greater<>());
  std::vector<TProcessInfo*> processes;
  for (int index : indexes)
    processes.push_back(reinterpret_cast<TProcessInfo*>(::SendMessageW(lbxProcessList, LB_GETITEMDATA, index, 0)));
  return processes;
}

void TPlugInInfoFrame::btnRefreshClick() {
  TWaitCursor waiting;
  if (FPlugInInfo->FromReport() && OnGatherAll) return OnGatherAll();
  // What was gathered is shown even when gathering failed halfway; the error comes after.
  std::exception_ptr error;
  try {
    FPlugInInfo->Load();
  } catch (...) {
    error = std::current_exception();
  }
  Load(FPlugInInfo);
  if (error) std::rethrow_exception(error);
}

void TPlugInInfoFrame::btnKillProcsClick() {
  // A report's ids belong to another workstation; here they may name any program.
  if (FPlugInInfo->ProcessesFromReport()) return;
  // A process may take seconds to end, or never: the window keeps answering while it waits.
  const TWaitRunner aside = BusyRunner(Handle());
  std::vector<TNotEnded> notEnded;
  // Taken before the first termination: each one rebuilds the list through
  // DoProcessesChanged and frees only its own record, so the others stay valid.
  for (TProcessInfo* process : SelectedProcesses()) FPlugInInfo->KillProcess(process, &notEnded, aside);
  UpdateKillButton();
  // Those still running stay listed; the person hears why, and which had ended before.
  ShowNotEnded(notEnded);
}

void TPlugInInfoFrame::DoProcessKilled(TPlugInInfo* sender, TProcessInfo* process) {
  // All processes go together: the records are still alive now, but not for long.
  if (sender && !process) {
    ::SendMessageW(lbxProcessList, LB_RESETCONTENT, 0, 0);
    SetEnabled(btnKillProcs, false);
    return;
  }
  const auto count = static_cast<int>(::SendMessageW(lbxProcessList, LB_GETCOUNT, 0, 0));
  for (int index = 0; index < count; ++index) {
    if (::SendMessageW(lbxProcessList, LB_GETITEMDATA, index, 0) == reinterpret_cast<LRESULT>(process)) {
      ::SendMessageW(lbxProcessList, LB_DELETESTRING, index, 0);
      break;
    }
  }
  UpdateKillButton();
}

void TPlugInInfoFrame::DoProcessesChanged(TPlugInInfo* sender) {
  // An object shown before keeps this handler; its changes are not this list's.
  if (sender == FPlugInInfo) ShowProcesses();
}

void TPlugInInfoFrame::OnCommand(int id, int code) {
  if (!FPlugInInfo || code != BN_CLICKED) return;
  if (id == idRefresh) btnRefreshClick();
  if (id == idKillProcs) btnKillProcsClick();
}

COLORREF TPlugInInfoFrame::StaticTextColor(HWND control) const {
  return control == lblPlugInPath && FNotRegistered ? NotRegisteredColor : CLR_INVALID;
}

}  // namespace ornpm
