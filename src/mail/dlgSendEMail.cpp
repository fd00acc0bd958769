#include "mail/dlgSendEMail.h"

#include <commctrl.h>

#include <algorithm>
#include <cwchar>
#include <memory>
#include <utility>

#include "mail/MailSubmission.h"
#include "mail/ReportAttachment.h"
#include "service/CompositeInfo.h"
#include "service/LogInfo.h"
#include "service/PlugInInfo.h"
#include "win/Environment.h"
#include "win/Exceptions.h"
#include "win/Files.h"
#include "win/FolderWalk.h"
#include "win/MainThread.h"
#include "win/Text.h"
#include "win/UserInteraction.h"
#include "win/Window.h"

namespace ornpm {

std::wstring CustomEMailRecipient;
std::wstring CustomEMailSubject;

namespace {

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

// While a send runs, the progress is shown anew at this interval.
constexpr UINT_PTR ProgressTimer = 1;
constexpr UINT ProgressIntervalMs = 200;
constexpr int ProgressSteps = 1000;

// Megabytes with one decimal, as the user's locale writes numbers.
std::wstring Megabytes(uint64_t bytes) {
  wchar_t text[32];
  std::swprintf(text, ARRAYSIZE(text), L"%.1f", static_cast<double>(bytes) / (1024 * 1024));
  std::wstring number = text;
  wchar_t decimal[4] = L",";
  ::GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, decimal, ARRAYSIZE(decimal));
  std::replace(number.begin(), number.end(), L'.', decimal[0]);
  return number;
}

const wchar_t* const ValidationMessages[] = {L"Не задан адрес SMTP-сервера", L"Не задан порт SMTP-сервера",
                                             L"Некорректное значение порта SMTP-сервера", L"Не определён почтовый ящик",
                                             L"Не введён пароль"};

}  // namespace

TSendEMailForm::TSendEMailForm(HWND owner)
    : TModalDialog(
          owner,
          {L"TSendEMailForm", L"Отправить по почте", {630, 403}, true, {MinSendFormWidth, MinSendFormHeight}, false}) {
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS};
  ::InitCommonControlsEx(&controls);
  const DWORD edit = ES_AUTOHSCROLL | WS_TABSTOP;
  AddControl(L"BUTTON", L"Настройки SMTP", BS_GROUPBOX, 0, {8, 4, 344, 110}, akLeft | akTop);
  AddControl(L"STATIC", L"Адрес сервера:", SS_LEFT, 0, {16, 20, 248, 36}, akLeft | akTop);
  edServerHost = AddControl(L"EDIT", L"", edit, idServerHost, {16, 36, 248, 59}, akLeft | akTop, WS_EX_CLIENTEDGE);
  AddControl(L"STATIC", L"Порт:", SS_LEFT, 0, {256, 20, 336, 36}, akLeft | akTop);
  edPort = AddControl(L"EDIT", L"", edit, idPort, {256, 36, 336, 59}, akLeft | akTop, WS_EX_CLIENTEDGE);
  AddControl(L"STATIC", L"Почтовый ящик:", SS_LEFT, 0, {16, 62, 248, 78}, akLeft | akTop);
  edUserName = AddControl(L"EDIT", L"", edit, idUserName, {16, 78, 248, 101}, akLeft | akTop, WS_EX_CLIENTEDGE);
  AddControl(L"STATIC", L"Пароль:", SS_LEFT, 0, {256, 62, 336, 78}, akLeft | akTop);
  edPassword =
      AddControl(L"EDIT", L"", edit | ES_PASSWORD, idPassword, {256, 78, 336, 101}, akLeft | akTop, WS_EX_CLIENTEDGE);
  AddControl(L"BUTTON", L"Тема письма", BS_GROUPBOX, 0, {8, 114, 344, 162}, akLeft | akTop);
  edEMailSubject =
      AddControl(L"EDIT", L"", edit, idEMailSubject, {16, 131, 336, 154}, akLeft | akTop, WS_EX_CLIENTEDGE);
  AddControl(L"BUTTON", L"Примечания", BS_GROUPBOX, 0, {8, 166, 344, 362}, akLeft | akTop | akBottom);
  memEMailBody = AddControl(L"EDIT", L"", ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN | WS_VSCROLL | WS_TABSTOP,
                            idEMailBody, {16, 183, 336, 354}, akLeft | akTop | akBottom, WS_EX_CLIENTEDGE);
  AddControl(L"BUTTON", L"Файлы журнала", BS_GROUPBOX, 0, {352, 4, 622, 362}, akLeft | akTop | akRight | akBottom);
  lbxLogFiles = AddControl(WC_LISTVIEWW, L"", LVS_REPORT | LVS_NOCOLUMNHEADER | LVS_SHOWSELALWAYS | WS_TABSTOP,
                           idLogFiles, {360, 21, 614, 354}, akLeft | akTop | akRight | akBottom, WS_EX_CLIENTEDGE);
  AddControl(L"BUTTON", L"Отправить", BS_DEFPUSHBUTTON | WS_TABSTOP, IDOK, {462, 370, 540, 395}, akRight | akBottom);
  AddControl(L"BUTTON", L"Отмена", WS_TABSTOP, IDCANCEL, {544, 370, 622, 395}, akRight | akBottom);
  // The send's progress, in the row of the buttons.
  FProgressText = AddControl(L"STATIC", L"", SS_LEFTNOWORDWRAP | SS_ENDELLIPSIS, idProgressText, {8, 375, 200, 391},
                             akLeft | akBottom);
  FProgressBar =
      AddControl(PROGRESS_CLASSW, L"", PBS_SMOOTH, idProgress, {204, 374, 454, 391}, akLeft | akRight | akBottom);
  ::SendMessageW(FProgressBar, PBM_SETRANGE32, 0, ProgressSteps);
  ::ShowWindow(FProgressBar, SW_HIDE);
  ListView_SetExtendedListViewStyle(lbxLogFiles, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
  LVCOLUMNW column{};
  column.mask = LVCF_WIDTH;
  ListView_InsertColumn(lbxLogFiles, 0, &column);
  ApplyLayout();
}

void TSendEMailForm::OnResized() {
  if (lbxLogFiles) ListView_SetColumnWidth(lbxLogFiles, 0, LVSCW_AUTOSIZE_USEHEADER);
}

void TSendEMailForm::LoadLogFileList(const TLogInfo* logInfo) {
  LogFileList.clear();
  ListView_DeleteAllItems(lbxLogFiles);
  // A report's log folder is another workstation's: here it could name any folder.
  if (!logInfo || logInfo->FromReport() || logInfo->ActualLogPath().empty()) return;
  const std::wstring folder = IncludeTrailingPathDelimiter(logInfo->ActualLogPath());
  // The folder and its virtual-store copy each count when they exist: the plug-in's writes
  // under a protected folder may have made only the copy. A folder that cannot be listed
  // is skipped; one reached twice, through a link, is listed once.
  std::vector<std::pair<uint64_t, std::wstring>> logs;  // last written, path
  TFolderWalker walker([&](const std::wstring& found, const WIN32_FIND_DATAW& file) {
    if (SameText(ExtractFileExt(file.cFileName), L".log"))
      logs.emplace_back(FileTimeNumber(file.ftLastWriteTime), found + file.cFileName);
  });
  walker.Walk(folder);
  if (std::wstring store = VirtualStoreFolder(folder); !store.empty()) walker.Walk(store);
  // By the files' own times, which the local clock repeats in the autumn hour; equal times
  // by path.
  std::sort(logs.begin(), logs.end(), [](const auto& a, const auto& b) {
    return a.first != b.first ? a.first < b.first : LessText(a.second, b.second);
  });
  for (auto& [time, path] : logs) LogFileList.push_back(std::move(path));
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
  SetLargeIcon(Handle(), FExtendedMode ? L"ExtendedModeIcon" : L"CommonModeIcon");
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

TSendEMailForm::~TSendEMailForm() {
  if (!Sending()) return;
  FProgress->Cancel();
  FSender.join();
}

void TSendEMailForm::EnableEntries(bool enabled) {
  for (HWND entry : {edServerHost, edPort, edUserName, edPassword, edEMailSubject, memEMailBody, lbxLogFiles,
                     ::GetDlgItem(Handle(), IDOK)})
    ::EnableWindow(entry, enabled);
}

// The entries stay as they are while the work runs; "Отмена" is the one control left.
void TSendEMailForm::StartSending() {
  TSendWork work = OnSend();
  FProgress = std::make_unique<TSendProgress>();
  FSendFailure = nullptr;
  EnableEntries(false);
  ::SetFocus(::GetDlgItem(Handle(), IDCANCEL));
  ::ShowWindow(FProgressBar, SW_SHOW);
  ShowProgress();
  ::SetTimer(Handle(), ProgressTimer, ProgressIntervalMs, nullptr);
  // The end is told on the main thread, and only to a dialog that is still there.
  std::weak_ptr<const bool> alive = FAlive;
  FSender = std::thread([this, alive, work = std::move(work)] {
    try {
      work(*FProgress);
    } catch (...) {
      FSendFailure = std::current_exception();
    }
    PostToMainThread([this, alive] {
      if (!alive.expired()) SendingEnded();
    });
  });
}

void TSendEMailForm::ShowProgress() {
  const uint64_t total = FProgress->Total(), sent = std::min(FProgress->Sent(), total);
  std::wstring text = L"Соединение с сервером…";
  if (FProgress->Cancelled())
    text = L"Отмена отправки…";
  else if (total)
    text = Format(L"Отправлено %s из %s МБ", {Megabytes(sent), Megabytes(total)});
  if (WindowText(FProgressText) != text) ::SetWindowTextW(FProgressText, text.c_str());
  const int position = total ? static_cast<int>(sent * ProgressSteps / total) : 0;
  ::SendMessageW(FProgressBar, PBM_SETPOS, position, 0);
}

// Only a delivered mail closes the dialog. A stopped or failed send leaves it as it was
// before Send, so that the person can correct an entry and send again without typing the
// rest anew.
void TSendEMailForm::SendingEnded() {
  FSender.join();
  ::KillTimer(Handle(), ProgressTimer);
  ShowProgress();
  const std::exception_ptr failure = std::exchange(FSendFailure, nullptr);
  if (!failure) {
    FSent = true;
    TModalDialog::HandleMessage(WM_COMMAND, IDOK, 0);
    return;
  }
  ::ShowWindow(FProgressBar, SW_HIDE);
  EnableEntries(true);
  ::SetFocus(::GetDlgItem(Handle(), IDOK));
  try {
    std::rethrow_exception(failure);
  } catch (const ESendCancelled&) {
    ::SetWindowTextW(FProgressText, L"Отправка отменена");
  } catch (const std::exception& error) {
    // The reason stays beside the entries once the message box is gone.
    const std::wstring text = L"Ошибка отправки почты: " + ExceptionMessage(error);
    ::SetWindowTextW(FProgressText, text.c_str());
    ShowMessage(TMsgKind::Error, text);
  }
}

LRESULT TSendEMailForm::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      // While a send runs, every way to close the dialog stops the send instead.
      if (Sending()) {
        if (LOWORD(wParam) == IDCANCEL && FProgress->Cancel()) ShowProgress();
        return 0;
      }
      if (LOWORD(wParam) == IDOK && OnSend && !FSent) {
        if (FormCloseQuery()) StartSending();
        return 0;
      }
      break;
    case WM_CLOSE:
      if (Sending()) return HandleMessage(WM_COMMAND, IDCANCEL, 0);
      break;
    case WM_TIMER:
      if (wParam == ProgressTimer && Sending()) ShowProgress();
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
  return TModalDialog::HandleMessage(message, wParam, lParam);
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

  TMailSettings settings;
  form.OnSend = [&]() -> TSendEMailForm::TSendWork {
    settings.Host = WindowText(form.edServerHost);
    settings.Port = WindowText(form.edPort);
    settings.UserName = WindowText(form.edUserName);
    settings.Password = WindowText(form.edPassword);
    subject = WindowText(form.edEMailSubject);
    TMailContent content;
    content.Recipients = CustomEMailRecipient.empty() ? DefaultEMailRecipient : CustomEMailRecipient;
    content.Subject = subject;
    // A report that cannot be written is not a mail error: it goes to the general error
    // display, and the dialog stays open.
    auto report = std::make_shared<TReportAttachment>(ReportAttachmentName(info->PlugInInfo().PlugInName()));
    info->SaveToFile(report->Path());
    content.HtmlBody = info->SaveAsHTML(WindowText(form.memEMailBody));
    content.Attachments.push_back(report->Path());
    for (std::wstring& logFile : form.CheckedLogFiles()) content.Attachments.push_back(std::move(logFile));
    // The report file goes when the work does, after the send.
    return [settings, content = std::move(content), report](TSendProgress& progress) {
      SubmitMessage(settings, content, &progress);
    };
  };
  if (!form.ShowModal()) return;
  // The mail is delivered: a failure from here on is only the settings' and keeps the
  // dialog closed, or the person would send the mail twice.
  try {
    RememberMailSettings(settings, subject);
  } catch (const std::exception& error) {
    ShowMessage(TMsgKind::Warning,
                L"Письмо отправлено, но настройки почты не удалось сохранить: " + ExceptionMessage(error));
  }
}

}  // namespace ornpm
