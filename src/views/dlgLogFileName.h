#pragma once
// The modal dialog in which the log folder and file-name patterns are edited.

#include <memory>
#include <string>

#include "service/LogFileNameMenu.h"
#include "win/Window.h"

namespace ornpm {

// The explanation of the pattern variables, shown beside the pattern boxes.
extern const wchar_t LogFileNameHint[];
// The folder pattern an empty pattern box starts with.
inline constexpr wchar_t InitialLogFilePath[] = L"%AppData%\\ORN\\ORNPlugInVLX\\Logs";

class TLogFileNameForm : public TWindow {
 public:
  // Creates the dialog, hidden, centred on the owner.
  enum : int { idLogFilePath = 1001, idLogFileName };

  explicit TLogFileNameForm(HWND owner);

  HWND edLogFilePath = nullptr;
  HWND edLogFileName = nullptr;

  // Shows the dialog and waits until OK (Enter) or Cancel (Escape, the close box) ends it;
  // true for OK. The owner is disabled meanwhile.
  bool ShowModal();
  std::wstring LogFilePath() const;
  std::wstring LogFileName() const;

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  HWND FOwner;
  TLayout FLayout{{703, 339}};
  TLogFileNameMenu FPathMenu;
  TLogFileNameMenu FNameMenu;
  int FResult = 0;  // IDOK or IDCANCEL once ended
};

}  // namespace ornpm
