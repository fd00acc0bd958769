#include "app/fmMain.h"

#include <commctrl.h>
#include <windowsx.h>

#include <cstdio>

#include "app/AppSettings.h"
#include "mail/dlgSendEMail.h"
#include "service/Hosts.h"
#include "service/ProxyOverride.h"
#include "win/AsciiText.h"
#include "win/BusyWork.h"
#include "win/Dpi.h"
#include "win/Environment.h"
#include "win/ErrorDisplay.h"
#include "win/Fonts.h"
#include "win/Text.h"
#include "win/UserInteraction.h"
#include "win/WaitCursor.h"

namespace ornpm {

namespace {

constexpr wchar_t ReportFilter[] =
    L"Файлы информации в INI-формате (*.IINF)|*.iinf|Файлы информации в XML-формате (*.XINF)|*.xinf";
constexpr wchar_t KeySequence[] = L"MIRTHVOLK";
constexpr int CommonClientHeight = 238;
constexpr int ExtendedMinClientHeight = 404;
constexpr int ButtonRowHeight = 37;
constexpr SIZE DesignClient{753, 447};

// Limits of the client size by mode, at 96 DPI; the outer limits add the frame, but for
// the widest, which is an outer width.
struct TModeLimits {
  int MinWidth, MaxOuterWidth, MinHeight, MaxHeight;
};
constexpr TModeLimits CommonLimits{700, 1200, CommonClientHeight, CommonClientHeight};
constexpr TModeLimits ExtendedLimits{730, 1200, ExtendedMinClientHeight, 600};

struct TButtonDesign {
  int Id;
  const wchar_t* Caption;
  int Left;
  int Width;
};

// The button row, left to right; all but the service button keep to the right edge.
constexpr TButtonDesign Buttons[] = {
    // The drop-down arrow lies over the right end of the service button.
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

TMainForm::TMainForm(const std::vector<std::wstring>& arguments) : TTopWindow(DesignClient) {
  UINT dpi = WindowDpi(nullptr);
  RECT bounds{0, 0, Scale(DesignClient.cx, dpi), Scale(DesignClient.cy, dpi)};
  const DWORD style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
  ::AdjustWindowRectEx(&bounds, style, FALSE, WS_EX_CONTROLPARENT);
  CreateNative(L"TMainForm", ApplicationTitle, style, WS_EX_CONTROLPARENT, nullptr, bounds,
               ::LoadIconW(::GetModuleHandleW(nullptr), L"MAINICON"));
  CreateControls();
  FormCreate(arguments);
}

TMainForm::~TMainForm() = default;

void TMainForm::CreateControls() {
  FFrame.Create(Handle());
  Layout().Add(FFrame.Handle(), {0, 0, DesignClient.cx, DesignClient.cy - ButtonRowHeight},
               akLeft | akTop | akRight | akBottom);
  for (const TButtonDesign& button : Buttons) {
    const bool service = button.Id == idServiceFuncs, arrow = button.Id == idDropDown;
    // The arrow does what the service button does: one stop in the Tab order is enough.
    DWORD style = BS_PUSHBUTTON | (service ? BS_LEFT | WS_CLIPSIBLINGS : 0) | (arrow ? 0 : WS_TABSTOP);
    HWND control =
        Layout().AddControl(Handle(), L"BUTTON", button.Caption, style, button.Id,
                            {button.Left, DesignClient.cy - 31, button.Left + button.Width, DesignClient.cy - 6},
                            akBottom | (service || arrow ? akLeft : akRight));
    if (service) FServiceButton = control;
    if (arrow) FDropDownButton = control;
    if (button.Id == idLoad) FLoadButton = control;
  }
  // Later children lie below earlier ones: the arrow goes just above the service button.
  ::SetWindowPos(FDropDownButton, ::GetWindow(FServiceButton, GW_HWNDPREV), 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  FitServiceButton();
  FServiceMenu.Reset(::CreatePopupMenu());
  ::AppendMenuW(FServiceMenu.Get(), MF_STRING, idWriteToHosts, L"Записать в Hosts");
  ::AppendMenuW(FServiceMenu.Get(), MF_STRING, idWriteToProxyOverride, L"Записать в исключения прокси");
  ::AppendMenuW(FServiceMenu.Get(), MF_STRING, idExtMode, L"Расширенный режим");
  ApplyLayout();
}

// The service button's caption ends where the arrow begins and starts near the left edge.
// Where the system's font makes the caption longer than the designed room, the button and
// its arrow grow to the right by the difference.
void TMainForm::FitServiceButton() {
  const UINT dpi = WindowDpi(Handle());
  const TButtonDesign& service = Buttons[0];
  const TButtonDesign& arrow = Buttons[1];
  const SIZE text = TextExtent(FServiceButton, service.Caption);
  // Left-aligned text starts about 4 pixels into a button (at 96 DPI) whatever its margin;
  // one pixel more keeps it off the arrow.
  const int room = Scale(arrow.Left - service.Left - 5, dpi);
  const int grow = text.cx > room ? ::MulDiv(text.cx - room, 96, static_cast<int>(dpi)) + 1 : 0;
  const int top = DesignClient.cy - 31, bottom = DesignClient.cy - 6;
  Layout().Move(FServiceButton, {service.Left, top, service.Left + service.Width + grow, bottom});
  Layout().Move(FDropDownButton, {arrow.Left + grow, top, arrow.Left + arrow.Width + grow, bottom});
  RECT margin{Scale(1, dpi), 0, Scale(service.Left + service.Width - arrow.Left, dpi), 0};
  ::SendMessageW(FServiceButton, BCM_SETTEXTMARGIN, 0, reinterpret_cast<LPARAM>(&margin));
}

void TMainForm::FormCreate(const std::vector<std::wstring>& arguments) {
  TAppSettings settings;
  RunGuarded([&] { settings = ReadAppSettings(); });  // shown; the window opens with the defaults
  bool extended = settings.ExtendedMode;
  CustomEMailRecipient = settings.EMailRecipient;
  CustomEMailSubject = settings.EMailSubject;
  if (!arguments.empty()) {
    const std::wstring& first = arguments.front();
    if (SameText(first, L"/E")) {
      extended = true;
    } else if (ReportFormatOf(first) != TReportFormat::None && LoadReportArgument(first)) {
      FFrame.SetExtendedMode(true);
      // The mark and the frame size are set here too: the menu tells the truth and the
      // sizing limits include the frame.
      ::CheckMenuItem(FServiceMenu.Get(), idExtMode, MF_CHECKED);
      ShowCentred();
      return;
    }
  }
  FFrame.SetExtendedMode(extended);
  ::ShowWindow(FLoadButton, extended ? SW_SHOW : SW_HIDE);
  ::CheckMenuItem(FServiceMenu.Get(), idExtMode, extended ? MF_CHECKED : MF_UNCHECKED);
  if (!extended) SetClientHeight(CommonClientHeight);
  FHeightFixed = !extended;
  SetModeIcon(extended);
  ShowCentred();
  try {
    TWaitCursor wait;
    FFrame.LoadInfo();
  } catch (const std::exception& error) {
    ShowApplicationError(error);  // the window opens with what could be gathered
  }
}

// Centred on its monitor's work area, clear of the taskbar, at the height of its mode,
// then shown.
void TMainForm::ShowCentred() {
  RECT outer{};
  ::GetWindowRect(Handle(), &outer);
  const RECT workArea = WorkAreaOf(Handle());
  const RECT placed = CentredRect({outer.right - outer.left, outer.bottom - outer.top}, workArea, workArea);
  ::SetWindowPos(Handle(), nullptr, placed.left, placed.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  ::ShowWindow(Handle(), SW_SHOWNORMAL);
  MeasureBorderSize();
}

void TMainForm::MeasureBorderSize() {
  FBorderSize = BorderSize(Handle());
}

void TMainForm::SetClientHeight(int designHeight) {
  ornpm::SetClientHeight(Handle(), Scale(designHeight, WindowDpi(Handle())));
}

// Maximising, snapping and moves by the program size the window without a drag, so
// WM_SIZING never sees them: the fixed height of common mode holds here for them, at the
// window's DPI and with the frame it has now.
void TMainForm::KeepFixedHeight(MINMAXINFO& info) const {
  const int height = Scale(CommonClientHeight, WindowDpi(Handle())) + BorderSize(Handle()).cy;
  info.ptMaxSize.y = height;
  info.ptMinTrackSize.y = height;
  info.ptMaxTrackSize.y = height;
}

void TMainForm::SetModeIcon(bool extended) {
  SetLargeIcon(Handle(), extended ? L"ExtendedModeIcon" : L"CommonModeIcon");
}

bool TMainForm::ExtModeChecked() const {
  return (::GetMenuState(FServiceMenu.Get(), idExtMode, MF_BYCOMMAND) & MF_CHECKED) != 0;
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
  FHeightFixed = false;  // the fixed height would hold the window at the old one
  SetClientHeight(designHeight);
  FHeightFixed = !extended;
  // Keep the window's vertical centre where it was.
  RECT after{};
  ::GetWindowRect(Handle(), &after);
  int oldHeight = before.bottom - before.top, newHeight = after.bottom - after.top;
  ::SetWindowPos(Handle(), nullptr, before.left, before.top + oldHeight / 2 - newHeight / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER);
  FFrame.SetExtendedMode(extended);
  ::CheckMenuItem(FServiceMenu.Get(), idExtMode, extended ? MF_CHECKED : MF_UNCHECKED);
  WriteExtendedMode(extended);
  ::ShowWindow(FLoadButton, extended ? SW_SHOW : SW_HIDE);
  SetModeIcon(extended);
}

void TMainForm::FormKeyDown(wchar_t keyChar) {
  bool letter = (keyChar >= L'A' && keyChar <= L'Z') || (keyChar >= L'a' && keyChar <= L'z');
  if (!letter) return;
  const wchar_t upper = FoldAscii(keyChar);
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

TSizeLimits TMainForm::SizeLimits() const {
  const TModeLimits& mode = FFrame.ExtendedMode() ? ExtendedLimits : CommonLimits;
  const UINT dpi = WindowDpi(Handle());
  return {{Scale(mode.MinWidth, dpi) + FBorderSize.cx, Scale(mode.MinHeight, dpi) + FBorderSize.cy},
          {Scale(mode.MaxOuterWidth, dpi), Scale(mode.MaxHeight, dpi) + FBorderSize.cy}};
}

// The suggested size was held to the fixed height with the old DPI's frame; the service
// button's caption has the new font's width, the caption and frame the new DPI's sizes.
void TMainForm::OnDpiChanged() {
  if (FHeightFixed) SetClientHeight(CommonClientHeight);
  FitServiceButton();
  MeasureBorderSize();
}

LRESULT TMainForm::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_GETMINMAXINFO:
      if (FHeightFixed) KeepFixedHeight(*reinterpret_cast<MINMAXINFO*>(lParam));
      return 0;
    case WM_CONTEXTMENU:
      if (reinterpret_cast<HWND>(wParam) != FServiceButton && reinterpret_cast<HWND>(wParam) != FDropDownButton) break;
      PopUpServiceMenu(lParam == -1 ? std::optional<POINT>{} : POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
      return 0;
    case WM_COMMAND:
      OnCommand(LOWORD(wParam));
      return 0;
    case WM_DESTROY:
      ::PostQuitMessage(0);
      return 0;
  }
  return TTopWindow::HandleMessage(message, wParam, lParam);
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
  PopUpServiceMenu({});
}

// At the given screen point, else under the lower-left corner of the service button.
void TMainForm::PopUpServiceMenu(std::optional<POINT> at) {
  if (!at) {
    RECT button{};
    ::GetWindowRect(FServiceButton, &button);
    at = POINT{button.left, button.bottom};
  }
  ::TrackPopupMenu(FServiceMenu.Get(), TPM_LEFTALIGN | TPM_TOPALIGN, at->x, at->y, 0, Handle(), nullptr);
}

bool TMainForm::RepairHereAgreed() {
  const std::wstring report = FFrame.ShownReportFile();
  return report.empty() ||
         Confirm(Format(L"Показан отчёт \"%s\". Исправление будет выполнено на этом компьютере, после чего будут "
                        L"показаны его данные. Продолжить?",
                        {report}));
}

void TMainForm::miWriteToHostsClick() {
  if (!RepairHereAgreed()) return;
  TWaitCursor wait;
  if (WritePlugInDomainToHosts(false) != 0) RunAsAdmin(Handle(), L"/WH");
  FFrame.ReloadHostsInfo();
}

void TMainForm::miWriteToProxyOverrideClick() {
  if (!RepairHereAgreed()) return;
  TWaitCursor wait;
  if (TPlugInInfo::FindFirstProcess(L"iexplore.exe")) {
    ShowMessage(TMsgKind::Information, L"Запущен Internet Explorer. Приложение нужно закрыть и повторить попытку.");
    return;
  }
  if (WritePlugInDomainToProxyOverride(false) != 0) RunAsAdmin(Handle(), L"/WP");
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

bool RunAsAdmin(HWND owner, const std::wstring& switchText) {
  ShellResult result =
      UserInteraction().ExecuteShell({L"runas", ModuleFileName(), switchText, SW_SHOWNORMAL, /*WantProcess=*/true});
  // The copy may ask its own questions: the window paints and answers until it has ended.
  if (result.Succeeded && result.Process)
    RunBusy(owner, [&] { ::WaitForSingleObject(result.Process.Get(), INFINITE); });
  return result.Succeeded;
}

}  // namespace ornpm
