#include "app/frMain.h"

#include <commctrl.h>

#include <exception>

#include "service/IniFile.h"
#include "win/Environment.h"
#include "win/Files.h"
#include "win/Text.h"

namespace ornpm {

namespace {

// The detail pages in tab order; the summary page has no tab.
constexpr const wchar_t* TabCaptions[] = {L"Информация о плагине", L"Настройки ActiveX", L"Журналированиe"};

std::wstring DecodeReport(const std::string& bytes) {
  auto startsWith = [&](std::string_view mark) { return bytes.compare(0, mark.size(), mark) == 0; };
  if (startsWith("\xEF\xBB\xBF")) return BytesToWide(std::string_view(bytes).substr(3), CP_UTF8);
  if (startsWith("\xFF\xFE") || startsWith("\xFE\xFF")) {
    bool bigEndian = bytes[0] == '\xFE';
    std::wstring text;
    for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
      auto first = static_cast<unsigned char>(bytes[i]), second = static_cast<unsigned char>(bytes[i + 1]);
      text += static_cast<wchar_t>(bigEndian ? (first << 8 | second) : (second << 8 | first));
    }
    return text;
  }
  return BytesToWide(bytes);
}

}  // namespace

std::wstring ReadReportText(const std::wstring& fileName) {
  std::wstring text = DecodeReport(ReadFileBytes(fileName));
  std::wstring joined;
  joined.reserve(text.size() + 2);
  ForEachLine(text, [&](std::wstring_view line) { joined.append(line).append(L"\r\n"); });
  return joined;
}

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
  SetExtendedMode(false);
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

bool TMainFrame::LoadFromFile(const std::wstring& fileName) {
  PrepareInfo();
  if (!FileExists(fileName)) return false;
  const std::wstring extension = ExtractFileExt(fileName);
  bool loaded = false;
  if (SameText(extension, L".iinf")) {
    TIniFile ini(fileName);
    loaded = FInfo->LoadFromIniFile(&ini);
  } else if (SameText(extension, L".xinf")) {
    loaded = FInfo->LoadFromXML(ReadReportText(fileName));
  }
  if (loaded) LoadFrames();
  return loaded;
}

void TMainFrame::ReloadHostsInfo() {
  FInfo->PlugInInfo().ReloadHostsInfo();
  FSummaryInfoFrame.ReloadHostsInfo();
  FPlugInInfoFrame.ReloadHostsInfo();
}

void TMainFrame::ReloadProxyInfo() {
  FInfo->ActiveXSettings().ReloadProxyInfo();
  FSummaryInfoFrame.ReloadProxyInfo();
  FIEActiveXSettingsFrame.ReloadProxyInfo();
}

}  // namespace ornpm
