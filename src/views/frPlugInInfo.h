#pragma once
// The plug-in page: where the DLL is registered, its version, the hosts entry, and the
// processes that hold the DLL, which can be gathered again and terminated from here.

#include <functional>
#include <vector>

#include "views/ViewFrame.h"

namespace ornpm {

class TPlugInInfo;
class TProcessInfo;

class TPlugInInfoFrame : public TViewFrame {
 public:
  enum : int { idProcessList = 401, idKillProcs, idRefresh };

  TPlugInInfoFrame() : TViewFrame({685, 362}) {}

  // Shows the object and from now on follows the changes of its process list.
  void Load(TPlugInInfo* plugIn);
  // Asked by "Обновить" while a report is shown: the whole diagnosis is gathered anew,
  // since the report's other parts must not stay beside this workstation's plug-in.
  std::function<void()> OnGatherAll;
  void ReloadHostsInfo();

  // For tests: the controls by name. Each list entry carries its TProcessInfo as item data.
  HWND lblPlugInPath = nullptr;
  HWND lblVersion = nullptr;
  HWND lbxProcessList = nullptr;
  HWND lblProcessList = nullptr;
  HWND btnKillProcs = nullptr;
  HWND btnRefresh = nullptr;
  HWND lblDomainInHosts = nullptr;

 protected:
  void CreateControls() override;
  void OnCommand(int id, int code) override;
  COLORREF StaticTextColor(HWND control) const override;

 private:
  void btnRefreshClick();
  void btnKillProcsClick();
  void DoProcessKilled(TPlugInInfo* sender, TProcessInfo* process);
  void DoProcessesChanged(TPlugInInfo* sender);
  void ShowProcesses();
  void UpdateKillButton();
  // The processes of the selected entries, the last entry first.
  std::vector<TProcessInfo*> SelectedProcesses() const;

  TPlugInInfo* FPlugInInfo = nullptr;
  bool FNotRegistered = false;
};

}  // namespace ornpm
