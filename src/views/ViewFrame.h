#pragma once
// Base of the information views: a child window that fills its page of the tab set, lays
// out its controls by anchors, and hands their notifications to the view.

#include <functional>
#include <string>

#include "service/ProcessInfo.h"
#include "win/Layout.h"
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
                  unsigned anchors, DWORD exStyle = 0);

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

// Styles and anchors the views' controls share.
inline constexpr DWORD LabelStyle = SS_LEFT | SS_NOPREFIX | SS_ENDELLIPSIS;
inline constexpr unsigned StretchWidth = akLeft | akTop | akRight;
inline constexpr unsigned StretchAll = akLeft | akTop | akRight | akBottom;
inline constexpr unsigned RightEdge = akTop | akRight;

// Text colour of the path row while the plug-in is not registered.
inline constexpr COLORREF NotRegisteredColor = RGB(255, 0, 0);

class TIEActiveXSettings;
class TLogInfo;
class TPlugInInfo;

// The path and version rows that more than one view shows; without a registered DLL the
// not-registered message and an empty version row. A static repaints as its text is set,
// so the caller picks the path row's colour first.
void ShowPlugInRows(HWND lblPlugInPath, HWND lblVersion, const TPlugInInfo& plugIn);
// The hosts and proxy-exception rows: a fixed caption and the answer, or the words that
// the report does not hold it. The caption alone is the row without an answer.
inline constexpr wchar_t HostsRowCaption[] = L"Запись в Hosts: ";
inline constexpr wchar_t ProxyRowCaption[] = L"Домен плагина в исключениях прокси-сервера: ";
std::wstring DomainInHostsText(const TPlugInInfo& plugIn);
std::wstring DomainInProxyOverrideText(const TIEActiveXSettings& settings);
// Runs waiting work aside while the view's window keeps answering, its top window disabled.
TWaitRunner BusyRunner(HWND view);
// Writes the logging settings, the view's window answering while processes are ended; when
// that fails, showStored puts what is stored back on the page before the error goes on to be
// shown.
void SaveLogSettings(HWND view, TLogInfo& log, bool checkPath, const std::function<void()>& showStored);

// Small helpers for the views' controls.
void SetText(HWND control, const std::wstring& text);
void SetEnabled(HWND control, bool enabled);
bool IsChecked(HWND checkBox);
void SetChecked(HWND checkBox, bool checked);
// For a box that may show a value not known: ticked or not, or when not known the third,
// indeterminate state.
void SetChecked(HWND checkBox, bool known, bool checked);

}  // namespace ornpm
