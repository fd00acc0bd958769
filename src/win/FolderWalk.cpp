#include "win/FolderWalk.h"

#include <string_view>
#include <utility>
#include <vector>

#include "win/Environment.h"
#include "win/Handles.h"

namespace ornpm {

bool FindEntries(const std::wstring& pattern, const TFoundEntry& found, DWORD& error) {
  WIN32_FIND_DATAW data;
  UniqueFindHandle search(
      ::FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr, 0));
  if (!search) {
    error = ::GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_NO_MORE_FILES;
  }
  do {
    if (std::wstring_view name = data.cFileName; name != L"." && name != L"..") found(data);
  } while (::FindNextFileW(search.Get(), &data));
  return true;
}

std::optional<TFileIdentity> TryFileIdentity(const std::wstring& path) {
  UniqueFileHandle handle(::CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  BY_HANDLE_FILE_INFORMATION information{};
  if (!handle || !::GetFileInformationByHandle(handle.Get(), &information)) return std::nullopt;
  return TFileIdentity{information.dwVolumeSerialNumber, information.nFileIndexHigh, information.nFileIndexLow};
}

TFolderWalker::TFolderWalker(TFileFound fileFound, TFolderUnreadable unreadable)
    : FFileFound(std::move(fileFound)), FUnreadable(std::move(unreadable)) {}

// A folder whose identity cannot be read is entered: listing it then fails or succeeds on
// its own, and a folder that cannot be opened cannot lead back into the tree either.
bool TFolderWalker::FirstVisit(const std::wstring& folder) {
  const std::optional<TFileIdentity> identity = TryFileIdentity(folder);
  return !identity || FVisited.insert(*identity).second;
}

void TFolderWalker::Walk(const std::wstring& root) {
  std::vector<std::wstring> pending{IncludeTrailingPathDelimiter(root)};
  while (!pending.empty()) {
    const std::wstring folder = std::move(pending.back());
    pending.pop_back();
    if (!FirstVisit(folder)) continue;
    DWORD error = 0;
    const bool listed = FindEntries(
        folder + L"*",
        [&](const WIN32_FIND_DATAW& entry) {
          if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            pending.push_back(folder + entry.cFileName + L"\\");
          else
            FFileFound(folder, entry);
        },
        error);
    if (!listed && FUnreadable) FUnreadable(folder, error);
  }
}

}  // namespace ornpm
