#pragma once
// The tab set of the main window and the one diagnosis it shows: gathered live or loaded
// from a report file, on the summary page (common mode) or the three detail pages.

#include <memory>
#include <string>

#include "service/CompositeInfo.h"
#include "views/frIEActiveXSettings.h"
#include "views/frLogging.h"
#include "views/frPlugInInfo.h"
#include "views/frSummary.h"
#include "win/Window.h"

namespace ornpm {

class TMainFrame : public TWindow {
 public:
  void Create(HWND parent);

  TCompositeInfo* Info() const { return FInfo.get(); }
  bool ExtendedMode() const { return FExtendedMode; }
  // Extended: the detail pages behind their tabs, the plug-in page first. Common: only
  // the summary page, no tabs.
  void SetExtendedMode(bool value);

  // Gathers live data and shows it; an error while gathering is raised after the views
  // show what was gathered.
  void LoadInfo();
  // Shows a ".iinf" or ".xinf" report, and warns when it was cut off before its end.
  // Raises, naming the file, for a missing or unreadable file, another extension or a file
  // that is no report; the views and the diagnosis then stay as they were.
  void LoadFromFile(const std::wstring& fileName);
  // The file of the report shown; empty while this workstation's data is shown.
  std::wstring ShownReportFile() const;
  void ReloadHostsInfo();
  void ReloadProxyInfo();

  // The views, for tests.
  TSummaryInfoFrame& SummaryFrame() { return FSummaryInfoFrame; }
  TPlugInInfoFrame& PlugInFrame() { return FPlugInInfoFrame; }
  TIEActiveXSettingsFrame& IEActiveXSettingsFrame() { return FIEActiveXSettingsFrame; }
  TLoggingFrame& LoggingFrame() { return FLoggingFrame; }

  // The page shown now (for tests and the layout).
  HWND ActivePage() const;
  HWND TabControl() const { return FTabs; }

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void PrepareInfo();
  void LoadFrames();
  void ShowActivePage();
  void SizeTabs();

  HWND FTabs = nullptr;
  TPlugInInfoFrame FPlugInInfoFrame;
  TIEActiveXSettingsFrame FIEActiveXSettingsFrame;
  TLoggingFrame FLoggingFrame;
  TSummaryInfoFrame FSummaryInfoFrame;
  std::unique_ptr<TCompositeInfo> FInfo;
  std::wstring FReportFile;  // of the report FInfo holds, when it holds one
  bool FExtendedMode = false;
  UINT FTabsDpi = 0;  // the DPI the tabs were sized for
};

}  // namespace ornpm
