#pragma once
// Base of the information views: a child window that fills its page of the tab set, lays
// out its controls by anchors, and hands their notifications to the view.

#include <string>

#include "win/Window.h"

namespace ornpm {

class TViewFrame : public TWindow {
 public:
  explicit TViewFrame(SIZE designClient) : FLayout(designClient) {}
  void Create(HWND parent);

 protected:
  // Creates the view's controls; called once the frame's window exists.
  virtual void CreateControls() {}
  // A control's WM_COMMAND notification.
  virtual void OnCommand(int /*id*/, int /*code*/) {}
  // Text colour of a static control; CLR_INVALID leaves the system's.
  virtual COLORREF StaticTextColor(HWND /*control*/) const { return CLR_INVALID; }
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

  HWND AddControl(const wchar_t* className, const std::wstring& text, DWORD style, int id, RECT design,
                  unsigned anchors);

 private:
  TLayout FLayout;
};

// Sets a view's loading flag for its lifetime, so change handlers know the view is being
// filled rather than changed by the user; cleared also when filling fails.
class TLoadingScope {
 public:
  explicit TLoadingScope(bool& flag) : FFlag(flag) { FFlag = true; }
  ~TLoadingScope() { FFlag = false; }
  TLoadingScope(const TLoadingScope&) = delete;
  TLoadingScope& operator=(const TLoadingScope&) = delete;

 private:
  bool& FFlag;
};

// Small helpers for the views' controls.
void SetText(HWND control, const std::wstring& text);
void SetEnabled(HWND control, bool enabled);
bool IsChecked(HWND checkBox);
void SetChecked(HWND checkBox, bool checked);

}  // namespace ornpm
