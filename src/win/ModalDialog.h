#pragma once
// The base of the program's modal dialogs: a top window made from a design client size at
// 96 DPI and centred, controls placed by anchors, the modal loop with OK, Cancel and the
// close box, sizing limits, DPI changes, and the focused control kept across deactivation
// and message boxes.

#include <windows.h>

#include <string>

#include "win/Window.h"

namespace ornpm {

struct TDialogDesign {
  const wchar_t* ClassName;
  const wchar_t* Caption;
  SIZE Client;                 // at 96 DPI
  bool Resizable = false;      // a sizing border; otherwise a fixed frame
  SIZE MinOuter{0, 0};         // the smallest outer size at 96 DPI that resizing reaches
  bool CentreOnOwner = false;  // else centred on the screen
};

class TModalDialog : public TWindow {
 public:
  // Shows the dialog with the focus on its first control in tab order, and runs it until
  // OK (when CanClose agrees) or Cancel, Escape or the close box ends it; true for OK. The
  // owner is disabled meanwhile.
  bool ShowModal();

 protected:
  // Creates the dialog hidden, owned by the top window of owner (none when null).
  TModalDialog(HWND owner, const TDialogDesign& design);

  HWND AddControl(const wchar_t* className, const std::wstring& text, DWORD style, int id, RECT design,
                  unsigned anchors, DWORD exStyle = 0);
  // Places the controls added so far; derived dialogs call it once they are all there.
  void ApplyLayout();

  // Runs just before the dialog is shown.
  virtual void FormShow() {}
  // OK was pressed; false keeps the dialog open.
  virtual bool CanClose() { return true; }
  // A control's command other than OK and Cancel.
  virtual void OnCommand(int /*id*/, int /*code*/) {}
  // After the controls were placed for a new size or DPI.
  virtual void OnResized() {}
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  TLayout FLayout;
  SIZE FMinOuter;
  TFocusKeeper FFocus;
  int FResult = 0;  // IDOK or IDCANCEL once ended
};

}  // namespace ornpm
