#include "mail/dlgSendEMail.h"

#include <commctrl.h>

#include <algorithm>
#include <cwchar>
#include <memory>
#include <set>
#include <tuple>

#include "mail/MailSubmission.h"
#include "service/CompositeInfo.h"
#include "service/LogInfo.h"
#include "service/PlugInInfo.h"
#include "win/Environment.h"
#include "win/Exceptions.h"
#include "win/Handles.h"
#include "win/MainThread.h"
#include "win/Text.h"
#include "win/UserInteraction.h"

namespace ornpm {

std::wstring CustomEMailRecipient;
std::wstring CustomEMailSubject;

namespace {

// A folder reached twice, through a link or a junction, is the same volume and file index.
using TFolderId = std::tuple<DWORD, DWORD, DWORD>;
using TFolderIds = std::set<TFolderId>;

bool FirstVisit(const std::wstring& folder, TFolderIds& visited) {
  UniqueFileHandle handle(::CreateFileW(folder.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  BY_HANDLE_FILE_INFORMATION information{};
  if (!handle || !::GetFileInformationByHandle(handle.Get(), &information)) return true;
  return visited.insert({information.dwVolumeSerialNumber, information.nFileIndexHigh, information.nFileIndexLow})
      .second;
}

// "YYYY.MM.DD HH:NN:SS.ZZZ" in local time: sorts like the moments it shows.
std::wstring LocalTimeStamp(const FILETIME& written) {
  FILETIME local{};
  SYSTEMTIME time{};
  ::FileTimeToLocalFileTime(&written, &local);
  ::FileTimeToSystemTime(&local, &time);
  wchar_t text[32];
  std::swprintf(text, ARRAYSIZE(text), L"%04u.%02u.%02u %02u:%02u:%02u.%03u", time.wYear, time.wMonth, time.wDay,
                time.wHour, time.wMinute, time.wSecond, time.wMilliseconds);
  return text;
}

// Adds "stamp path" for every .log file below folder (which ends in a delimiter).
void ScanFolder(const std::wstring& folder, std::vector<std::wstring>& stamped, TFolderIds& visited) {
  if (!FirstVisit(folder, visited)) return;
  WIN32_FIND_DATAW found{};
  UniqueFindHandle search(::FindFirstFileW((folder + L"*.*").c_str(), &found));
  if (!search) return;  // unreadable folders are skipped
  do {
    const std::wstring name = found.cFileName;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      if (name != L"." && name != L"..") ScanFolder(folder + name + L"\\", stamped, visited);
    } else if (SameText(ExtractFileExt(name), L".log")) {
      stamped.push_back(LocalTimeStamp(found.ftLastWriteTime) + L" " + folder + name);
    }
  } while (::FindNextFileW(search.Get(), &found));
}

// The per-user copy Windows keeps of a folder under one of the virtual-store roots; empty
// when the folder lies under none of them.
std::wstring VirtualStoreFolder(const std::wstring& folder) {
  for (const wchar_t* root : VirtualStoreRoots) {
    const std::wstring value = GetEnv(root);
    if (value.empty()) continue;
    const std::wstring prefix = IncludeTrailingPathDelimiter(value);
    if (!StartsText(prefix, folder)) continue;
    const std::wstring rootFolder = prefix.substr(0, prefix.size() - 1);
    return IncludeTrailingPathDelimiter(GetEnv(L"LocalAppData")) + L"VirtualStore\\" + ExtractFileName(rootFolder) +
           folder.substr(rootFolder.size());
  }
  return L"";
}

bool LessText(const std::wstring& a, const std::wstring& b) {
  return ::CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.c_str(), static_cast<int>(a.size()), b.c_str(),
                          static_cast<int>(b.size())) == CSTR_LESS_THAN;
}

const wchar_t* const ValidationMessages[] = {L"Не задан адрес SMTP-сервера", L"Не задан порт SMTP-сервера",
                                             L"Некорректное значение порта SMTP-сервера", L"Не определён почтовый ящик",
                                             L"Не введён пароль"};

// The XML report goes next to the plug-in's DLL, named after it.
// Beside the plug-in for this workstation's data. A report names folders of another
// workstation, and without a plug-in there is no folder: the temporary folder then.
std::wstring ReportFileName(const TPlugInInfo& plugIn) {
  if (!plugIn.FromReport() && !plugIn.PlugInPath().empty())
    return ExtractFilePath(plugIn.PlugInPath()) + ChangeFileExt(plugIn.PlugInName(), L".xinf");
  wchar_t folder[MAX_PATH + 1] = L"";
  const DWORD length = ::GetTempPathW(MAX_PATH + 1, folder);
  return std::wstring(folder, length <= MAX_PATH ? length : 0) + L"npORNPlugInVLX.xinf";
}

}  // namespace

TSendEMailForm::TSendEMailForm(HWND owner) {
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
  ::InitCommonControlsEx(&controls);
  const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_CLIPCHILDREN;
  const DWORD exStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
  const UINT dpi = WindowDpi(owner);
  RECT outer{0, 0, Scale(630, dpi), Scale(403, dpi)};
  ::AdjustWindowRectEx(&outer, style, FALSE, exStyle);
  const int width = outer.right - outer.left, height = outer.bottom - outer.top;
  const int left = (::GetSystemMetrics(SM_CXSCREEN) - width) / 2, top = (::GetSystemMetrics(SM_CYSCREEN) - height) / 2;
  CreateNative(L"TSendEMailForm", L"Отправить по почте", style, exStyle,
               owner ? ::GetAncestor(owner, GA_ROOT) : nullptr, {left, top, left + width, top + height});
  auto add = [&](const wchar_t* className, const std::wstring& text, DWORD controlStyle, int id, RECT design,
                 unsigned anchors, DWORD controlExStyle = 0) {
    HWND control = CreateControl(Handle(), className, text, controlStyle, id, controlExStyle);
    FLayout.Add(control, design, anchors);
    return control;
  };
  const DWORD edit = ES_AUTOHSCROLL | WS_TABSTOP;
  add(L"BUTTON", L"Настройки SMTP", BS_GROUPBOX, 0, {8, 4, 344, 110}, akLeft | akTop);
  add(L"STATIC", L"Адрес сервера:", SS_LEFT, 0, {16, 20, 248, 36}, akLeft | akTop);
  edServerHost = add(L"EDIT", L"", edit, idServerHost, {16, 36, 248, 59}, akLeft | akTop, WS_EX_CLIENTEDGE);
  add(L"STATIC", L"Порт:", SS_LEFT, 0, {256, 20, 336, 36}, akLeft | akTop);
  edPort = add(L"EDIT", L"", edit, idPort, {256, 36, 336, 59}, akLeft | akTop, WS_EX_CLIENTEDGE);
  add(L"STATIC", L"Почтовый ящик:", SS_LEFT, 0, {16, 62, 248, 78}, akLeft | akTop);
  edUserName = add(L"EDIT", L"", edit, idUserName, {16, 78, 248, 101}, akLeft | akTop, WS_EX_CLIENTEDGE);
  add(L"STATIC", L"Пароль:", SS_LEFT, 0, {256, 62, 336, 78}, akLeft | akTop);
  edPassword = add(L"EDIT", L"", edit | ES_PASSWORD, idPassword, {256, 78, 336, 101}, akLeft | akTop, WS_EX_CLIENTEDGE);
  add(L"BUTTON", L"Тема письма", BS_GROUPBOX, 0, {8, 114, 344, 162}, akLeft | akTop);
  edEMailSubject = add(L"EDIT", L"", edit, idEMailSubject, {16, 131, 336, 154}, akLeft | akTop, WS_EX_CLIENTEDGE);
  add(L"BUTTON", L"Примечания", BS_GROUPBOX, 0, {8, 166, 344, 395}, akLeft | akTop | akBottom);
  memEMailBody = add(L"EDIT", L"", ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN | WS_VSCROLL | WS_TABSTOP, idEMailBody,
                     {16, 183, 336, 387}, akLeft | akTop | akBottom, WS_EX_CLIENTEDGE);
  add(L"BUTTON", L"Файлы журнала", BS_GROUPBOX, 0, {352, 4, 622, 362}, akLeft | akTop | akRight | akBottom);
  lbxLogFiles = add(WC_LISTVIEWW, L"", LVS_REPORT | LVS_NOCOLUMNHEADER | LVS_SHOWSELALWAYS | WS_TABSTOP, idLogFiles,
                    {360, 21, 614, 354}, akLeft | akTop | akRight | akBottom, WS_EX_CLIENTEDGE);
  add(L"BUTTON", L"Отправить", BS_DEFPUSHBUTTON | WS_TABSTOP, IDOK, {462, 370, 540, 395}, akRight | akBottom);
  add(L"BUTTON", L"Отмена", WS_TABSTOP, IDCANCEL, {544, 370, 622, 395}, akRight | akBottom);
  ListView_SetExtendedListViewStyle(lbxLogFiles, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
  LVCOLUMNW column{};
  column.mask = LVCF_WIDTH;
  ListView_InsertColumn(lbxLogFiles, 0, &column);
  FLayout.Apply(Handle());
  ListView_SetColumnWidth(lbxLogFiles, 0, LVSCW_AUTOSIZE_USEHEADER);
}

void TSendEMailForm::LoadLogFileList(const TLogInfo* logInfo) {
  LogFileList.clear();
  ListView_DeleteAllItems(lbxLogFiles);
  // A report's log folder is another workstation's: here it could name any folder.
  if (!logInfo || logInfo->FromReport()) return;
  const std::wstring folder = IncludeTrailingPathDelimiter(logInfo->ActualLogPath());
  if (logInfo->ActualLogPath().empty() || !DirectoryExists(folder)) return;
  std::vector<std::wstring> stamped;
  TFolderIds visited;
  ScanFolder(folder, stamped, visited);
  if (std::wstring store = VirtualStoreFolder(folder); !store.empty()) ScanFolder(store, stamped, visited);
  // The stamps sort by time; equal stamps by path.
  std::sort(stamped.begin(), stamped.end(), LessText);
  const size_t stampLength = 24;
  for (const std::wstring& entry : stamped) LogFileList.push_back(entry.substr(stampLength));
  for (auto path = LogFileList.rbegin(); path != LogFileList.rend(); ++path) {
    std::wstring name = ExtractFileName(*path);
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = ListView_GetItemCount(lbxLogFiles);
    item.pszText = name.data();
    ListView_InsertItem(lbxLogFiles, &item);
  }
  if (!LogFileList.empty()) SetLogFileChecked(0, true);
}

bool TSendEMailForm::LogFileChecked(int item) const {
  return ListView_GetCheckState(lbxLogFiles, item) != 0;
}

void TSendEMailForm::SetLogFileChecked(int item, bool checked) {
  ListView_SetCheckState(lbxLogFiles, item, checked);
}

std::vector<std::wstring> TSendEMailForm::CheckedLogFiles() const {
  std::vector<std::wstring> files;
  const int count = static_cast<int>(LogFileList.size());
  for (int item = 0; item < count; ++item)
    if (LogFileChecked(item)) files.push_back(LogFileList[static_cast<size_t>(count - 1 - item)]);
  return files;
}

void TSendEMailForm::FormShow() {
  const wchar_t* name = FExtendedMode ? L"ExtendedModeIcon" : L"CommonModeIcon";
  if (HICON icon = ::LoadIconW(::GetModuleHandleW(nullptr), name))
    ::SendMessageW(Handle(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
}

// Ticking one of several selected files ticks them all.
void TSendEMailForm::lbxLogFilesChangeCheck(int sender) {
  const bool checked = LogFileChecked(sender);
  FPropagatingCheck = true;
  for (int item = -1; (item = ListView_GetNextItem(lbxLogFiles, item, LVNI_SELECTED)) >= 0;)
    if (item != sender && LogFileChecked(item) != checked) SetLogFileChecked(item, checked);
  FPropagatingCheck = false;
}

// Keeps the dialog open with the first missing or wrong entry named; texts are not trimmed.
bool TSendEMailForm::FormCloseQuery() {
  const std::wstring port = WindowText(edPort);
  const int portNumber = StrToIntDef(port, 0);
  const bool failed[] = {WindowText(edServerHost).empty(), port.empty(), portNumber < 1 || portNumber > 65535,
                         WindowText(edUserName).empty(), WindowText(edPassword).empty()};
  for (size_t check = 0; check < std::size(failed); ++check) {
    if (failed[check]) {
      ShowMessage(TMsgKind::Warning, ValidationMessages[check]);
      return false;
    }
  }
  return true;
}

// The edge being dragged moves; the opposite one stays where it is.
void TSendEMailForm::FormSizing(WPARAM edge, RECT& proposed) const {
  RECT current{};
  ::GetWindowRect(Handle(), &current);
  const UINT dpi = WindowDpi(Handle());
  const int minWidth = Scale(MinSendFormWidth, dpi), minHeight = Scale(MinSendFormHeight, dpi);
  if (proposed.right - proposed.left < minWidth) {
    if (edge == WMSZ_LEFT || edge == WMSZ_TOPLEFT || edge == WMSZ_BOTTOMLEFT) proposed.left = current.left;
    proposed.right = proposed.left + minWidth;
  }
  if (proposed.bottom - proposed.top < minHeight) {
    if (edge == WMSZ_TOP || edge == WMSZ_TOPLEFT || edge == WMSZ_TOPRIGHT) proposed.top = current.top;
    proposed.bottom = proposed.top + minHeight;
  }
}

bool TSendEMailForm::ShowModal() {
  FormShow();
  FResult = 0;
  return RunModal(Handle(), edServerHost, FResult) == IDOK;
}

LRESULT TSendEMailForm::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_NULL:
      RunQueuedCalls();
      return 0;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDCANCEL) FResult = IDCANCEL;
      if (LOWORD(wParam) == IDOK && FormCloseQuery()) FResult = IDOK;
      return 0;
    case WM_CLOSE:
      FResult = IDCANCEL;
      return 0;
    case WM_SIZING:
      FormSizing(wParam, *reinterpret_cast<RECT*>(lParam));
      return TRUE;
    case WM_SIZE:
      FLayout.Apply(Handle());
      ListView_SetColumnWidth(lbxLogFiles, 0, LVSCW_AUTOSIZE_USEHEADER);
      return 0;
    case WM_DPICHANGED:
      FLayout.FollowDpiChange(Handle(), lParam);
      return 0;
    case WM_NOTIFY: {
      const auto* change = reinterpret_cast<const NMLISTVIEW*>(lParam);
      if (change->hdr.hwndFrom == lbxLogFiles && change->hdr.code == LVN_ITEMCHANGED && !FPropagatingCheck &&
          (change->uChanged & LVIF_STATE) && ((change->uNewState ^ change->uOldState) & LVIS_STATEIMAGEMASK) &&
          change->uOldState & LVIS_STATEIMAGEMASK)
        lbxLogFilesChangeCheck(change->iItem);
      return 0;
    }
  }
  return TWindow::HandleMessage(message, wParam, lParam);
}

void SendInfoByEMail(TCompositeInfo* info, bool extendedMode) {
  TSendEMailForm form(::GetActiveWindow());
  form.FExtendedMode = extendedMode;
  const TRememberedMailSettings remembered = LoadMailSettings();
  ::SetWindowTextW(form.edServerHost, remembered.Host.c_str());
  ::SetWindowTextW(form.edPort, remembered.Port.c_str());
  ::SetWindowTextW(form.edUserName, remembered.UserName.c_str());
  // A remembered subject wins over the configured one, which wins over the built-in one.
  std::wstring subject = remembered.Subject;
  if (subject.empty()) subject = CustomEMailSubject.empty() ? DefaultEMailSubject : CustomEMailSubject;
  ::SetWindowTextW(form.edEMailSubject, subject.c_str());
  form.LoadLogFileList(&info->LogInfo());
  if (!form.ShowModal()) return;

  TWaitCursor waitCursor;
  TMailSettings settings;
  settings.Host = WindowText(form.edServerHost);
  settings.Port = WindowText(form.edPort);
  settings.UserName = WindowText(form.edUserName);
  settings.Password = WindowText(form.edPassword);
  TMailContent content;
  content.Recipients = CustomEMailRecipient.empty() ? DefaultEMailRecipient : CustomEMailRecipient;
  content.Subject = WindowText(form.edEMailSubject);
  // A report that cannot be written is not a mail error: it goes to the general error display.
  const std::wstring reportFile = ReportFileName(info->PlugInInfo());
  info->SaveToFile(reportFile);
  content.HtmlBody = info->SaveAsHTML(WindowText(form.memEMailBody));
  content.Attachments.push_back(reportFile);
  for (std::wstring& logFile : form.CheckedLogFiles()) content.Attachments.push_back(std::move(logFile));
  try {
    RunBusy(::GetWindow(form.Handle(), GW_OWNER), [&] { SubmitMessage(settings, content); });
    RememberMailSettings(settings, content.Subject);
  } catch (const std::exception& error) {
    ShowMessage(TMsgKind::Error, L"Ошибка отправки почты: " + ExceptionMessage(error));
  }
}

}  // namespace ornpm
