#pragma once
// Sending the diagnosis by e-mail: the dialog that confirms one submission, and the
// operation behind the main window's Send button.

#include <string>
#include <vector>

#include "win/Window.h"

namespace ornpm {

class TCompositeInfo;
class TLogInfo;

// Recipient and subject from the program's settings file; empty means the defaults.
extern std::wstring CustomEMailRecipient;
extern std::wstring CustomEMailSubject;

// The smallest outer size interactive resizing reaches, in pixels at 96 DPI.
inline constexpr int MinSendFormWidth = 640;
inline constexpr int MinSendFormHeight = 345;

// Folders whose log files Windows may have redirected to the per-user virtual store.
inline constexpr const wchar_t* VirtualStoreRoots[] = {L"ProgramFiles", L"ProgramFiles(x86)", L"ProgramData",
                                                       L"WinDir"};

class TSendEMailForm : public TWindow {
 public:
  enum : int { idServerHost = 1001, idPort, idUserName, idPassword, idEMailSubject, idEMailBody, idLogFiles };

  // Creates the dialog, hidden, centred on the screen; owned by the owner's top window.
  explicit TSendEMailForm(HWND owner);

  bool FExtendedMode = false;  // only chooses the icon
  HWND edServerHost = nullptr;
  HWND edPort = nullptr;
  HWND edUserName = nullptr;
  HWND edPassword = nullptr;
  HWND edEMailSubject = nullptr;
  HWND memEMailBody = nullptr;
  HWND lbxLogFiles = nullptr;  // list view with check boxes, newest file on top
  // Full paths of the log files found, oldest first: list entry i is LogFileList[size - 1 - i].
  std::vector<std::wstring> LogFileList;

  // Finds the plug-in's log files (subfolders and the virtual-store copy included) and
  // ticks the newest. An absent log info, or a log folder missing together with its
  // virtual-store copy, leaves the list empty.
  void LoadLogFileList(const TLogInfo* logInfo);
  bool LogFileChecked(int item) const;
  void SetLogFileChecked(int item, bool checked);
  // The ticked files, top of the list first.
  std::vector<std::wstring> CheckedLogFiles() const;

  // Shows the dialog until Send with complete entries or Cancel ends it; true for Send.
  bool ShowModal();

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void FormShow();
  bool FormCloseQuery();
  void lbxLogFilesChangeCheck(int sender);
  void FormSizing(WPARAM edge, RECT& proposed) const;

  TLayout FLayout{{630, 403}};
  int FResult = 0;  // IDOK or IDCANCEL once ended
  bool FPropagatingCheck = false;
};

// Asks for the mail settings, composes the message and submits it.
void SendInfoByEMail(TCompositeInfo* info, bool extendedMode);

}  // namespace ornpm
