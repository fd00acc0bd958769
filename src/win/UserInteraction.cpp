#include "win/UserInteraction.h"

#include <commdlg.h>
#include <shellapi.h>

#include <algorithm>
#include <cstring>
#include <utility>

namespace ornpm {

namespace {

UINT IconStyle(TMsgKind kind) {
  switch (kind) {
    case TMsgKind::Information:
      return MB_ICONINFORMATION;
    case TMsgKind::Warning:
      return MB_ICONWARNING;
    case TMsgKind::Error:
      return MB_ICONERROR;
    case TMsgKind::Confirmation:
      return MB_ICONQUESTION;
  }
  return 0;
}

class TSystemInteraction final : public IUserInteraction {
 public:
  TMsgResult ShowMessage(TMsgKind kind, const std::wstring& text, TMsgButtons buttons) override {
    UINT style = IconStyle(kind) | (buttons == TMsgButtons::YesNo ? MB_YESNO : MB_OK) | MB_TASKMODAL;
    // The active window of this thread owns the box, so it stays in front of the window.
    int answer = ::MessageBoxW(::GetActiveWindow(), text.c_str(), MessageCaption(kind), style);
    if (buttons == TMsgButtons::Ok) return TMsgResult::Ok;
    return answer == IDYES ? TMsgResult::Yes : TMsgResult::No;
  }

  ShellResult ExecuteShell(const ShellRequest& request) override {
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = request.WantProcess ? SEE_MASK_NOCLOSEPROCESS : 0;
    info.hwnd = ::GetActiveWindow();
    info.lpVerb = request.Verb.c_str();
    info.lpFile = request.File.c_str();
    info.lpParameters = request.Parameters.empty() ? nullptr : request.Parameters.c_str();
    info.nShow = request.ShowCommand;
    ShellResult result;
    result.Succeeded = ::ShellExecuteExW(&info) != FALSE;
    if (result.Succeeded && request.WantProcess) result.Process.Reset(info.hProcess);
    return result;
  }

  std::wstring ChooseFile(const FileDialogRequest& request) override {
    std::wstring filter = request.Filter + L"||";  // the list ends with two nulls
    std::replace(filter.begin(), filter.end(), L'|', L'\0');
    std::wstring fileName = request.FileName;
    fileName.resize(32768);
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = ::GetActiveWindow();
    dialog.lpstrFilter = filter.c_str();
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = fileName.data();
    dialog.nMaxFile = static_cast<DWORD>(fileName.size());
    dialog.lpstrDefExt = request.DefaultExtension.c_str();
    dialog.Flags =
        OFN_EXPLORER | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | (request.Save ? OFN_OVERWRITEPROMPT : OFN_FILEMUSTEXIST);
    BOOL chosen = request.Save ? ::GetSaveFileNameW(&dialog) : ::GetOpenFileNameW(&dialog);
    return chosen ? std::wstring(fileName.c_str()) : std::wstring();
  }

  bool SetClipboardText(const std::wstring& text) override {
    if (!::OpenClipboard(::GetActiveWindow())) return false;
    ::EmptyClipboard();
    size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE, bytes);
    bool placed = false;
    if (memory) {
      std::memcpy(::GlobalLock(memory), text.c_str(), bytes);
      ::GlobalUnlock(memory);
      placed = ::SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
      if (!placed) ::GlobalFree(memory);  // the clipboard owns it only after success
    }
    ::CloseClipboard();
    return placed;
  }
};

TSystemInteraction systemInteraction;
IUserInteraction* replacement = nullptr;

}  // namespace

IUserInteraction& UserInteraction() {
  return replacement ? *replacement : systemInteraction;
}

IUserInteraction* SetUserInteraction(IUserInteraction* newReplacement) {
  return std::exchange(replacement, newReplacement);
}

const wchar_t* MessageCaption(TMsgKind kind) {
  switch (kind) {
    case TMsgKind::Information:
      return L"Информация";
    case TMsgKind::Warning:
      return L"Предупреждение";
    case TMsgKind::Error:
      return L"Ошибка";
    case TMsgKind::Confirmation:
      return L"Подтверждение";
  }
  return L"";
}

}  // namespace ornpm
