#include "mail/ReportAttachment.h"

#include <windows.h>

#include <atomic>

#include "win/Environment.h"
#include "win/Exceptions.h"
#include "win/FolderWalk.h"
#include "win/Text.h"

namespace ornpm {

namespace {

// Names that open a device instead of a file, whatever the extension.
bool IsDeviceName(std::wstring_view baseName) {
  static const wchar_t* const devices[] = {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"};
  for (const wchar_t* device : devices)
    if (SameText(baseName, device)) return true;
  return baseName.size() == 4 && (StartsText(L"COM", baseName) || StartsText(L"LPT", baseName)) &&
         baseName[3] >= L'0' && baseName[3] <= L'9';
}

std::wstring NewFolderName() {
  static std::atomic<unsigned> counter{0};
  return Format(L"ornpm-%s-%s-%s", {std::to_wstring(::GetCurrentProcessId()), std::to_wstring(::GetTickCount()),
                                    std::to_wstring(++counter)});
}

}  // namespace

std::wstring ReportAttachmentName(std::wstring_view plugInName) {
  std::wstring name = ChangeFileExt(ExtractFileName(plugInName), L".xinf");
  for (wchar_t& c : name)
    if (c < L' ' || std::wstring_view(L"<>:\"/\\|?*").find(c) != std::wstring_view::npos) c = L'_';
  const size_t dot = name.find(L'.');
  if (IsDeviceName(std::wstring_view(name).substr(0, dot))) name.insert(0, 1, L'_');
  return name;
}

TReportAttachment::TReportAttachment(const std::wstring& fileName) {
  wchar_t temp[MAX_PATH + 1];
  const DWORD length = ::GetTempPathW(ARRAYSIZE(temp), temp);
  if (length == 0 || length > MAX_PATH) throw EOSError(::GetLastError());
  for (;;) {
    std::wstring folder = IncludeTrailingPathDelimiter(temp) + NewFolderName();
    if (::CreateDirectoryW(folder.c_str(), nullptr)) {
      FFolder = folder;
      break;
    }
    const DWORD error = ::GetLastError();
    if (error != ERROR_ALREADY_EXISTS)
      throw EFCreateError(Format(L"Не удалось создать папку \"%s\": %s", {folder, SysErrorMessage(error)}));
  }
  FPath = FFolder + L"\\" + fileName;
}

// Everything in the folder is ours: the report and whatever a failed save left beside it.
TReportAttachment::~TReportAttachment() {
  DWORD ignored = 0;
  FindEntries(
      FFolder + L"\\*",
      [&](const WIN32_FIND_DATAW& entry) {
        if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
          ::DeleteFileW((FFolder + L"\\" + entry.cFileName).c_str());
      },
      ignored);
  ::RemoveDirectoryW(FFolder.c_str());
}

}  // namespace ornpm
