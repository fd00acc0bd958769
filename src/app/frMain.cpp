#include "app/frMain.h"

#include <commctrl.h>

#include <algorithm>
#include <exception>

#include "win/Dpi.h"
#include "win/Environment.h"
#include "win/Fonts.h"
#include "win/UserInteraction.h"
#include "win/Window.h"

namespace ornpm {

namespace {

// The detail pages in tab order; the summary page has no tab.
constexpr const wchar_t* TabCaptions[] = {L"Информация о плагине", L"Настройки ActiveX", L"Журналированиe"};
constexpr int TabWidths[] = {155, 130, 120};  // at 96 DPI
constexpr int TabHeight = 24;

}  // namespace

void TMainFrame::Create(HWND parent) {
  CreateNative(L"TMainFrame", L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, WS_EX_CONTROLPARENT, parent, {});
  FTabs = CreateControl(Handle(), WC_TABCONTROLW, L"", WS_CLIPSIBLINGS | WS_TABSTOP, 0);
  for (int i = 0; i < 3; ++i) {
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<wchar_t*>(TabCaptions[i]);
    ::SendMessageW(FTabs, TCM_INSERTITEMW, i, reinterpret_cast<LPARAM>(&item));
  }
  for (TViewFrame* frame : std::initializer_list<TViewFrame*>{&FPlugInInfoFrame, &FIEActiveXSettingsFrame,
                                                              &FLoggingFrame, &FSummaryInfoFrame})
    frame->Create(Handle());
  FPlugInInfoFrame.OnGatherAll = [this] { LoadInfo(); };
  SetExtendedMode(false);
}

// The tab control sizes each tab to its caption plus a padding it shares with the others:
// the padding is the one that brings the tabs nearest to their design widths on average.
void TMainFrame::SizeTabs() {
  const UINT dpi = WindowDpi(Handle());
  if (dpi == FTabsDpi) return;
  FTabsDpi = dpi;
  int spare = 0;
  for (int i = 0; i < 3; ++i) spare += Scale(TabWidths[i], dpi) - TextExtent(FTabs, TabCaptions[i]).cx;
  const int padding = std::max(0, (spare + 3) / 6);
  ::SendMessageW(FTabs, TCM_SETPADDING, 0, MAKELPARAM(padding, Scale(3, dpi)));
  ::SendMessageW(FTabs, TCM_SETITEMSIZE, 0, MAKELPARAM(0, Scale(TabHeight, dpi)));
}

void TMainFrame::SetExtendedMode(bool value) {
  FExtendedMode = value;
  ::ShowWindow(FTabs, value ? SW_SHOW : SW_HIDE);
  if (value) ::SendMessageW(FTabs, TCM_SETCURSEL, 0, 0);
  ShowActivePage();
}

HWND TMainFrame::ActivePage() const {
  if (!FExtendedMode) return FSummaryInfoFrame.Handle();
  switch (::SendMessageW(FTabs, TCM_GETCURSEL, 0, 0)) {
    case 1:
      return FIEActiveXSettingsFrame.Handle();
    case 2:
      return FLoggingFrame.Handle();
    default:
      return FPlugInInfoFrame.Handle();
  }
}

void TMainFrame::ShowActivePage() {
  RECT area{};
  ::GetClientRect(Handle(), &area);
  if (FExtendedMode) {
    SizeTabs();  // anew after a change of the DPI
    ::MoveWindow(FTabs, 0, 0, area.right, area.bottom, TRUE);
    ::SendMessageW(FTabs, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&area));
  }
  HWND active = ActivePage();
  for (HWND page : {FPlugInInfoFrame.Handle(), FIEActiveXSettingsFrame.Handle(), FLoggingFrame.Handle(),
                    FSummaryInfoFrame.Handle()}) {
    if (page != active) {
      ::ShowWindow(page, SW_HIDE);
      continue;
    }
    ::SetWindowPos(page, HWND_TOP, area.left, area.top, area.right - area.left, area.bottom - area.top, SWP_SHOWWINDOW);
  }
}

LRESULT TMainFrame::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SIZE:
      ShowActivePage();
      return 0;
    case WM_NOTIFY:
      if (reinterpret_cast<NMHDR*>(lParam)->hwndFrom == FTabs &&
          reinterpret_cast<NMHDR*>(lParam)->code == TCN_SELCHANGE)
        ShowActivePage();
      return 0;
  }
  return TWindow::HandleMessage(message, wParam, lParam);
}

void TMainFrame::PrepareInfo() {
  if (FInfo)
    FInfo->Clear();
  else
    FInfo = std::make_unique<TCompositeInfo>(PlugInMimeType, PlugInProgID);
}

void TMainFrame::LoadFrames() {
  FSummaryInfoFrame.Load(FInfo.get());
  FPlugInInfoFrame.Load(&FInfo->PlugInInfo());
  FIEActiveXSettingsFrame.Load(&FInfo->ActiveXSettings());
  FLoggingFrame.Load(&FInfo->LogInfo());
}

void TMainFrame::LoadInfo() {
  PrepareInfo();
  std::exception_ptr error;
  try {
    FInfo->Load();
  } catch (...) {
    error = std::current_exception();
  }
  LoadFrames();
  if (error) std::rethrow_exception(error);
}

void TMainFrame::LoadFromFile(const std::wstring& fileName) {
  // Read aside and swapped in only when whole: a failure leaves the shown report in place.
  std::unique_ptr<TCompositeInfo> shown = TCompositeInfo::ReadReportFile(fileName);
  FInfo.swap(shown);
  FReportFile = fileName;
  LoadFrames();
  // What a report cut off holds is shown, never as if it were all of it.
  if (FInfo->CutOff()) ShowMessage(TMsgKind::Warning, FInfo->CutOffMessage(fileName));
}

std::wstring TMainFrame::ShownReportFile() const {
  return FInfo->FromReport() ? FReportFile : std::wstring();
}

// While a report is shown, the state a repair changed is this workstation's: it is shown
// by gathering everything anew rather than mixed into the report.
void TMainFrame::ReloadHostsInfo() {
  if (FInfo->FromReport()) return LoadInfo();
  std::exception_ptr error;
  try {
    FInfo->PlugInInfo().ReloadHostsInfo();
  } catch (...) {
    error = std::current_exception();  // shown after the views tell that the file was not read
  }
  FSummaryInfoFrame.ReloadHostsInfo();
  FPlugInInfoFrame.ReloadHostsInfo();
  if (error) std::rethrow_exception(error);
}

void TMainFrame::ReloadProxyInfo() {
  if (FInfo->FromReport()) return LoadInfo();
  FInfo->ActiveXSettings().ReloadProxyInfo();
  FSummaryInfoFrame.ReloadProxyInfo();
  FIEActiveXSettingsFrame.ReloadProxyInfo();
}

}  // namespace ornpm
