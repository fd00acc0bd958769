#include "app/fmMain.h"

#include <commctrl.h>

#include <cstdio>

#include "app/AppSettings.h"
#include "mail/dlgSendEMail.h"
#include "service/Hosts.h"
#include "service/ProxyOverride.h"
#include "win/Environment.h"
#include "win/MainThread.h"
#include "win/Text.h"
#include "win/UserInteraction.h"

namespace ornpm {

namespace {

constexpr wchar_t ReportFilter[] =
    L"Файлы информации в INI-формате (*.IINF)|*.iinf|Файлы информации в XML-формате (*.XINF)|*.xinf";
constexpr wchar_t KeySequence[] = L"MIRTHVOLK";
constexpr int CommonClientHeight = 238;
constexpr int ExtendedMinClientHeight = 404;
constexpr int ButtonRowHeight = 37;

struct TButtonDesign {
  int Id;
  const wchar_t* Caption;
  int Left;
  int Width;
};

// The button row, left to right; all but the service button keep to the right edge.
constexpr TButtonDesign Buttons[] = {
    // The drop-down arrow lies over the right end of the service button, so it comes after it.
    {TMainForm::idServiceFuncs, L"Сервисные функции", 7, 148},
    {TMainForm::idDropDown, L"\x25BC", 129, 23},
    {TMainForm::idLoad, L"Загрузить...", 262, 81},
    {TMainForm::idCopy, L"Скопировать", 361, 81},
    {TMainForm::idSend, L"Отправить...", 464, 81},
    {TMainForm::idSave, L"Сохранить...", 567, 81},
    {TMainForm::idExit, L"Закрыть", 666, 81},
};

}  // namespace

std::wstring ProposedReportName(const SYSTEMTIME& time) {
  wchar_t stamp[32];
  std::swprintf(stamp, std::size(stamp), L"%04u-%02u-%02u %02u-%02u", time.wYear, time.wMonth, time.wDay, time.wHour,
                time.wMinute);
  return std::wstring(L"npORNPlugInVLX ") + stamp;
}

TMainForm::TMainForm(const std::vector<std::wstring>& arguments) {
  UINT dpi = WindowDpi(nullptr);
  RECT outer{0, 0, Scale(753, dpi), Scale(447, dpi)};
  const DWORD style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
  ::AdjustWindowRectEx(&outer, style, FALSE, WS_EX_CONTROLPARENT);
  int width = outer.right - outer.left, height = outer.bottom - outer.top;
  RECT bounds{(::GetSystemMetrics(SM_CXSCREEN) - width) / 2, (::GetSystemMetrics(SM_CYSCREEN) - height) / 2, 0, 0};
  bounds.right = bounds.left + width;
  bounds.bottom = bounds.top + height;
  CreateNative(L"TMainForm", ApplicationTitle, style, WS_EX_CONTROLPARENT, nullptr, bounds,
               ::LoadIconW(::GetModuleHandleW(nullptr), L"MAINICON"));
  SetMainThreadWindow(Handle());
  CreateControls();
  FormCreate(arguments);
}

TMainForm::~TMainForm() {
  if (FServiceMenu) ::DestroyMenu(FServiceMenu);
}

void TMainForm::CreateControls() {
  FFrame.Create(Handle());
  FLayout.Add(FFrame.Handle(), {0, 0, 753, 447 - ButtonRowHeight}, akLeft | akTop | akRight | akBottom);
  for (const TButtonDesign& button : Buttons) {
    DWORD style = WS_TABSTOP | BS_PUSHBUTTON | (button.Id == idServiceFuncs ? BS_LEFT : 0);
    HWND control = CreateControl(Handle(), L"BUTTON", button.Caption, style, button.Id);
    bool right = button.Id != idServiceFuncs && button.Id != idDropDown;
    FLayout.Add(control, {button.Left, 447 - 31, button.Left + button.Width, 447 - 6},
                akBottom | (right ? akRight : akLeft));
    if (button.Id == idServiceFuncs) FServiceButton = control;
    if (button.Id == idLoad) FLoadButton = control;
  }
  FServiceMenu = ::CreatePopupMenu();
  ::AppendMenuW(FServiceMenu, MF_STRING, idWriteToHosts, L"Записать в Hosts");
  ::AppendMenuW(FServiceMenu, MF_STRING, idWriteToProxyOverride, L"Записать в исключения прокси");
  ::AppendMenuW(FServiceMenu, MF_STRING, idExtMode, L"Расширенный режим");
  FLayout.Apply(Handle());
}

void TMainForm::FormCreate(const std::vector<std::wstring>& arguments) {
  TAppSettings settings;
  RunGuarded([&] { settings = ReadAppSettings(); });  // shown; the window opens with the defaults
  bool extended = settings.ExtendedMode;
  CustomEMailRecipient = settings.EMailRecipient;
  CustomEMailSubject = settings.EMailSubject;
  if (!arguments.empty()) {
    const std::wstring& first = arguments.front();
    const std::wstring extension = ExtractFileExt(first);
    if (SameText(first, L"/E")) {
      extended = true;
    } else if ((SameText(extension, L".iinf") || SameText(extension, L".xinf")) && LoadReportArgument(first)) {
      FFrame.SetExtendedMode(true);
      // The mark and the frame size are set here too: the menu tells the truth and the
      // sizing limits include the frame.
      ::CheckMenuItem(FServiceMenu, idExtMode, MF_CHECKED);
      MeasureBorderSize();
      ::ShowWindow(Handle(), SW_SHOWNORMAL);
      return;
    }
  }
  FFrame.SetExtendedMode(extended);
  ::ShowWindow(FLoadButton, extended ? SW_SHOW : SW_HIDE);
  ::CheckMenuItem(FServiceMenu, idExtMode, extended ? MF_CHECKED : MF_UNCHECKED);
  if (!extended) SetClientHeight(CommonClientHeight);
  SetModeIcon(extended);
  ::ShowWindow(Handle(), SW_SHOWNORMAL);
  MeasureBorderSize();
  try {
    TWaitCursor wait;
    FFrame.LoadInfo();
  } catch (const std::exception& error) {
    ShowApplicationError(error);  // the window opens with what could be gathered
  }
}

void TMainForm::MeasureBorderSize() {
  RECT outer{}, client{};
  ::GetWindowRect(Handle(), &outer);
  ::GetClientRect(Handle(), &client);
  FBorderSize = {(outer.right - outer.left) - client.right, (outer.bottom - outer.top) - client.bottom};
}

void TMainForm::SetClientHeight(int designHeight) {
  RECT outer{}, client{};
  ::GetWindowRect(Handle(), &outer);
  ::GetClientRect(Handle(), &client);
  int height = Scale(designHeight, WindowDpi(Handle())) + (outer.bottom - outer.top) - client.bottom;
  ::SetWindowPos(Handle(), nullptr, 0, 0, outer.right - outer.left, height, SWP_NOMOVE | SWP_NOZORDER);
}

void TMainForm::SetModeIcon(bool extended) {
  HICON icon = ::LoadIconW(::GetModuleHandleW(nullptr), extended ? L"ExtendedModeIcon" : L"CommonModeIcon");
  if (icon) ::SendMessageW(Handle(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
}

bool TMainForm::ExtModeChecked() const {
  return (::GetMenuState(FServiceMenu, idExtMode, MF_BYCOMMAND) & MF_CHECKED) != 0;
}

void TMainForm::SwitchToExtMode() {
  SwitchMode(true);
}

void TMainForm::SwitchToOrgMode() {
  SwitchMode(false);
}

void TMainForm::SwitchMode(bool extended) {
  if (FFrame.ExtendedMode() == extended) return;
  RECT before{}, client{};
  ::GetWindowRect(Handle(), &before);
  ::GetClientRect(Handle(), &client);
  const UINT dpi = WindowDpi(Handle());
  int designHeight = extended ? std::max(::MulDiv(client.bottom, 96, static_cast<int>(dpi)), ExtendedMinClientHeight)
                              : CommonClientHeight;
  SetClientHeight(designHeight);
  // Keep the window's vertical centre where it was.
  RECT after{};
  ::GetWindowRect(Handle(), &after);
  int oldHeight = before.bottom - before.top, newHeight = after.bottom - after.top;
  ::SetWindowPos(Handle(), nullptr, before.left, before.top + oldHeight / 2 - newHeight / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER);
  FFrame.SetExtendedMode(extended);
  ::CheckMenuItem(FServiceMenu, idExtMode, extended ? MF_CHECKED : MF_UNCHECKED);
  WriteExtendedMode(extended);
  ::ShowWindow(FLoadButton, extended ? SW_SHOW : SW_HIDE);
  SetModeIcon(extended);
}

void TMainForm::FormKeyDown(wchar_t keyChar) {
  bool letter = (keyChar >= L'A' && keyChar <= L'Z') || (keyChar >= L'a' && keyChar <= L'z');
  if (!letter) return;
  wchar_t upper = keyChar >= L'a' ? static_cast<wchar_t>(keyChar - L'a' + L'A') : keyChar;
  FCurrShortcut += upper;
  const std::wstring_view sequence = KeySequence;
  if (sequence.substr(0, FCurrShortcut.size()) == FCurrShortcut) {
    if (FCurrShortcut.size() == sequence.size()) {
      FCurrShortcut.clear();
      SwitchToExtMode();
    }
    return;
  }
  FCurrShortcut.assign(1, upper);
}

void TMainForm::LimitSizing(int edge, RECT& proposed) const {
  RECT current{};
  ::GetWindowRect(Handle(), &current);
  const bool extended = FFrame.ExtendedMode();
  const int minWidth = (extended ? 730 : 700) + FBorderSize.cx, maxWidth = 1200;
  const int minHeight = (extended ? 404 : 238) + FBorderSize.cy, maxHeight = (extended ? 600 : 238) + FBorderSize.cy;
  const bool leftEdge = edge == WMSZ_LEFT || edge == WMSZ_TOPLEFT || edge == WMSZ_BOTTOMLEFT;
  const bool topEdge = edge == WMSZ_TOP || edge == WMSZ_TOPLEFT || edge == WMSZ_TOPRIGHT;
  int width = proposed.right - proposed.left;
  if (width < minWidth || width > maxWidth) {
    if (leftEdge) proposed.left = current.left;
    proposed.right = proposed.left + (width < minWidth ? minWidth : maxWidth);
  }
  int height = proposed.bottom - proposed.top;
  if (height < minHeight || height > maxHeight) {
    if (topEdge) proposed.top = current.top;
    proposed.bottom = proposed.top + (height < minHeight ? minHeight : maxHeight);
  }
}

LRESULT TMainForm::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_NULL:
      RunQueuedCalls();
      return 0;
    case WM_SIZING:
      LimitSizing(static_cast<int>(wParam), *reinterpret_cast<RECT*>(lParam));
      return TRUE;
    case WM_SIZE:
      FLayout.Apply(Handle());
      return 0;
    case WM_DPICHANGED:
      FLayout.FollowDpiChange(Handle(), lParam);
      return 0;
    case WM_COMMAND:
      OnCommand(LOWORD(wParam));
      return 0;
    case WM_DESTROY:
      ::PostQuitMessage(0);
      return 0;
  }
  return TWindow::HandleMessage(message, wParam, lParam);
}

void TMainForm::OnCommand(int id) {
  switch (id) {
    case idServiceFuncs:
    case idDropDown:
      btnServiceFuncsClick();
      break;
    case idLoad:
      btnLoadClick();
      break;
    case idCopy:
      btnCopyClick();
      break;
    case idSend:
      SendInfoByEMail(FFrame.Info(), FFrame.ExtendedMode());
      break;
    case idSave:
      btnSaveClick();
      break;
    case idExit:
      ::DestroyWindow(Handle());
      break;
    case idWriteToHosts:
      miWriteToHostsClick();
      break;
    case idWriteToProxyOverride:
      miWriteToProxyOverrideClick();
      break;
    case idExtMode:
      miExtModeClick();
      break;
  }
}

void TMainForm::btnCopyClick() {
  UserInteraction().SetClipboardText(FFrame.Info()->SaveAsXML(L""));
}

// A report named on the command line that does not load is told about; the window then
// starts as without it.
bool TMainForm::LoadReportArgument(const std::wstring& fileName) {
  try {
    FFrame.LoadFromFile(fileName);
    return true;
  } catch (const std::exception& error) {
    ShowApplicationError(error);
    return false;
  }
}

void TMainForm::btnLoadClick() {
  std::wstring fileName = UserInteraction().ChooseFile({false, ReportFilter, L"iinf", L""});
  if (fileName.empty()) return;
  TWaitCursor wait;
  FFrame.LoadFromFile(fileName);  // an error is shown; the pages stay as they were
}

void TMainForm::btnSaveClick() {
  SYSTEMTIME now{};
  ::GetLocalTime(&now);
  std::wstring fileName = UserInteraction().ChooseFile({true, ReportFilter, L"iinf", ProposedReportName(now)});
  if (fileName.empty()) return;
  TWaitCursor wait;
  FFrame.Info()->SaveToFile(fileName);
}

void TMainForm::btnServiceFuncsClick() {
  // Under the lower-left corner of the service button, in screen coordinates.
  RECT button{};
  ::GetWindowRect(FServiceButton, &button);
  ::TrackPopupMenu(FServiceMenu, TPM_LEFTALIGN | TPM_TOPALIGN, button.left, button.bottom, 0, Handle(), nullptr);
}

void TMainForm::miWriteToHostsClick() {
  TWaitCursor wait;
  if (WritePlugInDomainToHosts(false) != 0) RunAsAdmin(L"/WH");
  FFrame.ReloadHostsInfo();
}

void TMainForm::miWriteToProxyOverrideClick() {
  TWaitCursor wait;
  if (TPlugInInfo::FindFirstProcess(L"iexplore.exe")) {
    ShowMessage(TMsgKind::Information, L"Запущен Internet Explorer. Приложение нужно закрыть и повторить попытку.");
    return;
  }
  if (WritePlugInDomainToProxyOverride(false) != 0) RunAsAdmin(L"/WP");
  FFrame.ReloadProxyInfo();
}

void TMainForm::miExtModeClick() {
  if (ExtModeChecked())
    SwitchToOrgMode();
  else
    SwitchToExtMode();
}

int RunMainWindow(const std::vector<std::wstring>& arguments) {
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_TAB_CLASSES | ICC_STANDARD_CLASSES};
  ::InitCommonControlsEx(&controls);
  TMainForm form(arguments);
  MSG message;
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMainWindowMessage(form, message);
  return 0;
}

void DispatchMainWindowMessage(TMainForm& form, MSG& message) {
  // The window sees every typed character first, wherever the focus is.
  if (message.message == WM_CHAR && (message.hwnd == form.Handle() || ::IsChild(form.Handle(), message.hwnd)))
    RunGuarded([&] { form.FormKeyDown(static_cast<wchar_t>(message.wParam)); });
  if (::IsDialogMessageW(form.Handle(), &message)) return;
  ::TranslateMessage(&message);
  ::DispatchMessageW(&message);
}

bool RunAsAdmin(const std::wstring& switchText) {
  ShellResult result =
      UserInteraction().ExecuteShell({L"runas", ModuleFileName(), switchText, SW_SHOWNORMAL, /*WantProcess=*/true});
  if (result.Succeeded && result.Process) ::WaitForSingleObject(result.Process.Get(), INFINITE);
  return result.Succeeded;
}

}  // namespace ornpm
