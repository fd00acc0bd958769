#include "fleet/FleetInputs.h"

#include <algorithm>

#include "service/CompositeInfo.h"
#include "win/Environment.h"
#include "win/Exceptions.h"
#include "win/FolderWalk.h"
#include "win/Text.h"

namespace ornpm {

namespace {

bool IsReportFileName(std::wstring_view name) {
  return ReportFormatOf(name) != TReportFormat::None;
}

TFleetFile FileEntry(std::wstring path, const FILETIME& time) {
  std::wstring computer = ExtractFileName(path);
  computer = ChangeFileExt(computer, L"");
  return {std::move(path), std::move(computer), time, {}};
}

TFleetFile ErrorEntry(std::wstring path, DWORD error) {
  if (path.ends_with(L'\\')) path.pop_back();  // a folder is named like a file
  TFleetFile entry = FileEntry(std::move(path), {});
  entry.Error = SysErrorMessage(error);
  return entry;
}

// Every report file in the folder and its subfolders; a subfolder that cannot be listed
// gets a row with its error.
void AddFolder(const std::wstring& root, std::vector<TFleetFile>& files) {
  TFolderWalker walker(
      [&](const std::wstring& folder, const WIN32_FIND_DATAW& file) {
        if (IsReportFileName(file.cFileName)) files.push_back(FileEntry(folder + file.cFileName, file.ftLastWriteTime));
      },
      [&](const std::wstring& folder, DWORD error) { files.push_back(ErrorEntry(folder, error)); });
  walker.Walk(root);
}

void AddPattern(const std::wstring& pattern, std::vector<TFleetFile>& files) {
  const std::wstring folder = ExtractFilePath(pattern);
  DWORD error = 0;
  const bool searched = FindEntries(
      pattern,
      [&](const WIN32_FIND_DATAW& data) {
        // The extension is checked here too: a pattern is also matched against short names.
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && IsReportFileName(data.cFileName))
          files.push_back(FileEntry(folder + data.cFileName, data.ftLastWriteTime));
      },
      error);
  if (!searched) {
    files.push_back(ErrorEntry(pattern, error));
    files.back().ComputerName.clear();  // a pattern names no computer
  }
}

std::wstring FullPath(const std::wstring& path) {
  DWORD size = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (size == 0) return path;
  std::wstring full(size, L'\0');
  size = ::GetFullPathNameW(path.c_str(), size, full.data(), nullptr);
  full.resize(size);
  return full;
}

void AddInput(const std::wstring& input, TFleetFiles& found) {
  const std::wstring path = FullPath(input);
  const size_t before = found.Files.size();
  if (ExtractFileName(path).find_first_of(L"*?") != std::wstring::npos) {
    AddPattern(path, found.Files);
  } else {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) {
      found.Files.push_back(ErrorEntry(path, ::GetLastError()));
    } else if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      AddFolder(path, found.Files);
    } else {
      found.Files.push_back(FileEntry(path, data.ftLastWriteTime));
    }
  }
  if (found.Files.size() == before) found.Unmatched.push_back(input);
}

int CompareIgnoringCase(const std::wstring& a, const std::wstring& b, bool linguistic) {
  const int result = linguistic ? ::CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.data(),
                                                   static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()))
                                : ::CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                                                         static_cast<int>(b.size()), TRUE);
  return result - CSTR_EQUAL;
}

}  // namespace

TFleetFiles FindFleetReports(const std::vector<std::wstring>& inputs) {
  TFleetFiles found;
  for (const std::wstring& input : inputs) AddInput(input, found);
  // The same file reached through two inputs sorts next to itself.
  std::sort(found.Files.begin(), found.Files.end(), [](const TFleetFile& a, const TFleetFile& b) {
    if (int order = CompareIgnoringCase(a.ComputerName, b.ComputerName, true)) return order < 0;
    return CompareIgnoringCase(a.Path, b.Path, false) < 0;
  });
  auto duplicates = std::unique(found.Files.begin(), found.Files.end(),
                                [](const TFleetFile& a, const TFleetFile& b) { return SameText(a.Path, b.Path); });
  found.Files.erase(duplicates, found.Files.end());
  return found;
}

}  // namespace ornpm
