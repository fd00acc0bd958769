#pragma once
// Sending the diagnosis by e-mail: the dialog that confirms one submission, and the
// operation behind the main window's Send button.

#include <string>
#include <vector>

#include "win/ModalDialog.h"

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

class TSendEMailForm : public TModalDialog {
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
  // ticks the newest. An absent log info or a missing log folder leaves the list empty.
  void LoadLogFileList(const TLogInfo* logInfo);
  bool LogFileChecked(int item) const;
  void SetLogFileChecked(int item, bool checked);
  // The ticked files, top of the list first.
  std::vector<std::wstring> CheckedLogFiles() const;

  // ShowModal (of the base) ends with true only through Send with complete entries.

 protected:
  void FormShow() override;
  // Send: keeps the dialog open with the first missing or wrong entry named.
  bool CanClose() override { return FormCloseQuery(); }
  void OnResized() override;
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  bool FormCloseQuery();
  void lbxLogFilesChangeCheck(int sender);

  bool FPropagatingCheck = false;
};

// Asks for the mail settings, composes the message and submits it.
void SendInfoByEMail(TCompositeInfo* info, bool extendedMode);

}  // namespace ornpm
