#pragma once
// Sending the diagnosis by e-mail: the dialog that confirms one submission, and the
// operation behind the main window's Send button.

#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "mail/SendProgress.h"
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
  enum : int {
    idServerHost = 1001,
    idPort,
    idUserName,
    idPassword,
    idEMailSubject,
    idEMailBody,
    idLogFiles,
    idProgressText,
    idProgress
  };

  // Creates the dialog, hidden, centred on the screen; owned by the owner's top window.
  explicit TSendEMailForm(HWND owner);
  // A submission still running is stopped first.
  ~TSendEMailForm() override;

  // The work a Send with complete entries starts: OnSend prepares it on this thread and
  // returns what then runs on a worker thread while the dialog stays open, shows the
  // progress of the message data and lets "Отмена" stop it. Only a send that ends without
  // an error closes the dialog with OK; a stopped or failed one leaves it open as it was,
  // a failure shown, and Send starts the work anew. Unset, Send closes the dialog.
  using TSendWork = std::function<void(TSendProgress&)>;
  std::function<TSendWork()> OnSend;

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

  // ShowModal (of the base) ends with true only through Send with complete entries.

 protected:
  void FormShow() override;
  // Send: keeps the dialog open with the first missing or wrong entry named; after a
  // finished send there is nothing left to check.
  bool CanClose() override { return FSent || FormCloseQuery(); }
  void OnResized() override;
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  bool FormCloseQuery();
  void lbxLogFilesChangeCheck(int sender);
  void StartSending();
  void ShowProgress();
  void SendingEnded();
  void EnableEntries(bool enabled);
  bool Sending() const { return FSender.joinable(); }

  bool FPropagatingCheck = false;
  HWND FProgressText = nullptr;
  HWND FProgressBar = nullptr;
  std::unique_ptr<TSendProgress> FProgress;
  std::thread FSender;
  std::exception_ptr FSendFailure;  // what the work raised, until the dialog has seen it
  bool FSent = false;               // the mail has gone: nothing left to check
  std::shared_ptr<const bool> FAlive = std::make_shared<const bool>(true);  // expires with the dialog
};

// Asks for the mail settings, composes the message and submits it.
void SendInfoByEMail(TCompositeInfo* info, bool extendedMode);

}  // namespace ornpm
