#pragma once
// Common mode's only page: is the plug-in registered, where and in which version; is its
// domain in the hosts file and among the proxy exceptions; is its logging on and where do
// the logs go. Logging can be switched and the folders opened from here.

#include <string>

#include "views/ViewFrame.h"

namespace ornpm {

class TCompositeInfo;

class TSummaryInfoFrame : public TViewFrame {
 public:
  enum : int { idOpenPlugInDir = 301, idEnabled, idChangeLogFile, idOpenLogDir };

  TSummaryInfoFrame() : TViewFrame({753, 201}) {}

  void Load(TCompositeInfo* info);
  void ReloadHostsInfo();
  void ReloadProxyInfo();

  // For tests: the controls by name.
  HWND lblPlugInPath = nullptr;
  HWND btnOpenPlugInDir = nullptr;
  HWND lblVersion = nullptr;
  HWND lblDomainInHosts = nullptr;
  HWND lblDomainInProxyOverride = nullptr;
  HWND chbEnabled = nullptr;
  HWND lblLogFilePath = nullptr;
  HWND btnChangeLogFile = nullptr;
  HWND lblLogFileName = nullptr;
  HWND lblActualLogPath = nullptr;
  HWND btnOpenLogDir = nullptr;

 protected:
  void CreateControls() override;
  void OnCommand(int id, int code) override;
  COLORREF StaticTextColor(HWND control) const override;

 private:
  void chbEnabledChange();
  void btnChangeLogFileClick();
  void ShowLogPaths();

  TCompositeInfo* FInfo = nullptr;
  std::wstring FPlugInDir;
  bool FLoading = false;
  bool FNotRegistered = false;
};

}  // namespace ornpm
