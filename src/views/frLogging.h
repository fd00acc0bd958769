#pragma once
// The logging page: the plug-in's logging on or off, the folder and file-name patterns with
// an Apply button, the resolved folder and the explanation of the pattern variables.

#include "service/LogFileNameMenu.h"
#include "views/ViewFrame.h"

namespace ornpm {

class TLogInfo;

class TLoggingFrame : public TViewFrame {
 public:
  enum : int { idEnabled = 401, idLogFilePath, idLogFileName, idApply, idOpenFolder };

  TLoggingFrame() : TViewFrame({745, 343}) {}

  void Load(TLogInfo* info);

  HWND chbEnabled = nullptr;
  HWND edLogFilePath = nullptr;
  HWND btnApply = nullptr;
  HWND btnOpenFolder = nullptr;
  HWND memFileNameHint = nullptr;
  HWND edActualLogPath = nullptr;
  HWND edLogFileName = nullptr;
  TLogFileNameMenu& PathMenu() { return FPathMenu; }

 protected:
  void CreateControls() override;
  void OnCommand(int id, int code) override;

 private:
  void chbEnabledChange();
  void edLogFileChangeTracking();
  void btnApplyClick();
  void ShowActualPath();

  TLogInfo* FLogInfo = nullptr;
  bool FLoading = false;
  bool FMenusCreated = false;
  TLogFileNameMenu FPathMenu;
  TLogFileNameMenu FNameMenu;
};

}  // namespace ornpm
