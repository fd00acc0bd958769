#pragma once
// The base of the program's modal dialogs: a top window made from a design client size at
// 96 DPI and centred, and the modal loop with OK, Cancel and the close box. Anchors, sizing
// limits, DPI changes and the kept focus come from the top-window base.

#include <windows.h>

#include <string>

#include "win/TopWindow.h"

namespace ornpm {

struct TDialogDesign {
  const wchar_t* ClassName;
  const wchar_t* Caption;
  SIZE Client;                 // at 96 DPI
  bool Resizable = false;      // a sizing border; otherwise a fixed frame
  SIZE MinOuter{0, 0};         // the smallest outer size at 96 DPI that resizing reaches
  bool CentreOnOwner = false;  // else centred on the screen
};

class TModalDialog : public TTopWindow {
 public:
  // Shows the dialog with the focus on its first control in tab order, and runs it until
  // OK (when CanClose agrees) or Cancel, Escape or the close box ends it; true for OK. The
  // owner is disabled meanwhile.
  bool ShowModal();

 protected:
  // Creates the dialog hidden, owned by the top window of owner (none when null).
  TModalDialog(HWND owner, const TDialogDesign& design);

  // A control placed by the layout; derived dialogs call ApplyLayout once they are all there.
  HWND AddControl(const wchar_t* className, const std::wstring& text, DWORD style, int id, RECT design,
                  unsigned anchors, DWORD exStyle = 0);

  // Runs just before the dialog is shown.
  virtual void FormShow() {}
  // OK was pressed; false keeps the dialog open.
  virtual bool CanClose() { return true; }
  // A control's command other than OK and Cancel.
  virtual void OnCommand(int /*id*/, int /*code*/) {}
  TSizeLimits SizeLimits() const override;
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  SIZE FMinOuter;
  int FResult = 0;  // IDOK or IDCANCEL once ended
};

}  // namespace ornpm
