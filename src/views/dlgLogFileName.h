#pragma once
// The modal dialog in which the log folder and file-name patterns are edited.

#include <memory>
#include <string>

#include "service/LogFileNameMenu.h"
#include "win/ModalDialog.h"

namespace ornpm {

// The explanation of the pattern variables, shown beside the pattern boxes.
extern const wchar_t LogFileNameHint[];
// The folder pattern an empty pattern box starts with.
inline constexpr wchar_t InitialLogFilePath[] = L"%AppData%\\ORN\\ORNPlugInVLX\\Logs";

class TLogFileNameForm : public TModalDialog {
 public:
  enum : int { idLogFilePath = 1001, idLogFileName };

  // Creates the dialog, hidden, centred on the owner's window.
  explicit TLogFileNameForm(HWND owner);

  HWND edLogFilePath = nullptr;
  HWND edLogFileName = nullptr;

  std::wstring LogFilePath() const;
  std::wstring LogFileName() const;

 private:
  TLogFileNameMenu FPathMenu;
  TLogFileNameMenu FNameMenu;
};

}  // namespace ornpm
