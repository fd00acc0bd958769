#pragma once
// The main window: the tab set above a row of buttons, the two display modes, the service
// menu with the workstation repairs, and the report file commands.

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "app/frMain.h"
#include "win/Handles.h"
#include "win/Layout.h"
#include "win/TopWindow.h"

namespace ornpm {

inline constexpr wchar_t ApplicationTitle[] = L"ORN PlugIn Manager [VLX]";

class TMainForm : public TTopWindow {
 public:
  // Control and menu ids, for the message loop and for tests that press them.
  enum : int {
    idServiceFuncs = 101,
    idDropDown,
    idLoad,
    idCopy,
    idSend,
    idSave,
    idExit,
    idWriteToHosts = 201,
    idWriteToProxyOverride,
    idExtMode,
  };

  // Creates the window: mode from the settings file or the first argument ("/E" or a
  // report file), then the live data unless a report file was loaded.
  explicit TMainForm(const std::vector<std::wstring>& arguments);
  ~TMainForm() override;

  TMainFrame& Frame() { return FFrame; }
  bool ExtModeChecked() const;
  HWND LoadButton() const { return FLoadButton; }
  // The limits of the outer size that resizing by hand reaches, for the mode and DPI.
  TSizeLimits SizeLimits() const override;
  // A typed character: the key sequence "MIRTHVOLK" switches to extended mode.
  void FormKeyDown(wchar_t keyChar);
  void SwitchToExtMode();
  void SwitchToOrgMode();

 protected:
  void OnDpiChanged() override;
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void FormCreate(const std::vector<std::wstring>& arguments);
  void CreateControls();
  void SwitchMode(bool extended);
  void SetClientHeight(int designHeight);
  void SetModeIcon(bool extended);
  void MeasureBorderSize();
  void KeepFixedHeight(MINMAXINFO& info) const;
  void ShowCentred();
  void FitServiceButton();
  void OnCommand(int id);
  void PopUpServiceMenu(std::optional<POINT> at);
  void btnCopyClick();
  void btnLoadClick();
  bool LoadReportArgument(const std::wstring& fileName);
  void btnSaveClick();
  void btnServiceFuncsClick();
  // A repair acts on this workstation, which may not be the one of the report shown: the
  // person agrees first. True when there is no report or the person agreed.
  bool RepairHereAgreed();
  void miWriteToHostsClick();
  void miWriteToProxyOverrideClick();
  void miExtModeClick();

  TMainFrame FFrame;
  HWND FServiceButton = nullptr;
  HWND FDropDownButton = nullptr;
  HWND FLoadButton = nullptr;
  UniqueMenu FServiceMenu;
  SIZE FBorderSize{0, 0};
  bool FHeightFixed = false;  // common mode, once the window has its height
  std::wstring FCurrShortcut;
};

// The proposed name of a saved report for a moment: "npORNPlugInVLX YYYY-MM-DD HH-NN".
std::wstring ProposedReportName(const SYSTEMTIME& time);

// Opens the main window and runs the message loop until it is closed; the exit code.
int RunMainWindow(const std::vector<std::wstring>& arguments);
// One message of the main window's loop: typed characters go to the window first, then the
// dialog keys, then the usual dispatch. Nothing it raises leaves it.
void DispatchMainWindowMessage(TMainForm& form, MSG& message);

// Starts this program elevated with the switch and waits for that copy to end, the owner's
// window painted and answering meanwhile. False when the shell could not start it (for
// one, the user refused the elevation prompt).
bool RunAsAdmin(HWND owner, const std::wstring& switchText);

}  // namespace ornpm
