#include "fleet/FleetInputs.h"

#include <algorithm>
#include <optional>
#include <unordered_map>

#include "service/CompositeInfo.h"
#include "win/Environment.h"
#include "win/Exceptions.h"
#include "win/Files.h"
#include "win/FolderWalk.h"
#include "win/Text.h"

namespace ornpm {

namespace {

bool IsReportFileName(std::wstring_view name) {
  return ReportFormatOf(name) != TReportFormat::None;
}

int CompareIgnoringCase(std::wstring_view a, std::wstring_view b, bool linguistic) {
  const int result = linguistic ? ::CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.data(),
                                                   static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()))
                                : ::CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                                                         static_cast<int>(b.size()), TRUE);
  return result - CSTR_EQUAL;
}

// Every report file in the folder and its subfolders; a subfolder that cannot be listed
// gets a row with its error.
void AddFolder(const std::wstring& root, TFleetFiles& files) {
  TFolderWalker walker(
      [&](const std::wstring& folder, const WIN32_FIND_DATAW& file) {
        if (IsReportFileName(file.cFileName)) files.Add(folder, file.cFileName, file.ftLastWriteTime);
      },
      [&](const std::wstring& folder, DWORD error) { files.AddError(folder, true, error); });
  walker.Walk(root);
}

void AddPattern(const std::wstring& pattern, TFleetFiles& files) {
  const std::wstring folder = ExtractFilePath(pattern);
  DWORD error = 0;
  const bool searched = FindEntries(
      pattern,
      [&](const WIN32_FIND_DATAW& data) {
        // The extension is checked here too: a pattern is also matched against short names.
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && IsReportFileName(data.cFileName))
          files.Add(folder, data.cFileName, data.ftLastWriteTime);
      },
      error);
  if (!searched) files.AddError(pattern, false, error);  // a pattern names no computer
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
  const size_t before = found.Count();
  if (ExtractFileName(path).find_first_of(L"*?") != std::wstring::npos) {
    AddPattern(path, found);
  } else {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) {
      found.AddError(path, true, ::GetLastError());
    } else if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      AddFolder(path, found);
    } else {
      found.Add(ExtractFilePath(path), ExtractFileName(path), data.ftLastWriteTime);
    }
  }
  if (found.Count() == before) found.Unmatched.push_back(input);
}

}  // namespace

void TFleetFiles::AddEntry(const std::wstring& folder, std::wstring_view name, size_t computerLength, uint64_t time,
                           uint32_t error) {
  // A walk hands over a folder's files one after another.
  if (FFolders.empty() || FFolders.back() != folder) FFolders.push_back(folder);
  name = name.substr(0, UINT16_MAX);
  FEntries.push_back({static_cast<uint32_t>(FFolders.size() - 1), static_cast<uint32_t>(FNames.size()),
                      static_cast<uint16_t>(name.size()),
                      static_cast<uint16_t>(std::min<size_t>(computerLength, name.size())), error, 0, time});
  FNames.append(name);
}

void TFleetFiles::Add(const std::wstring& folder, std::wstring_view name, const FILETIME& time) {
  const size_t computer = ChangeFileExt(name, L"").size();
  AddEntry(folder, name, computer, FileTimeNumber(time), 0);
}

void TFleetFiles::AddError(std::wstring path, bool namesComputer, DWORD error) {
  if (path.ends_with(L'\\')) path.pop_back();  // a folder is named like a file
  FErrors.push_back(SysErrorMessage(error));
  const std::wstring name = ExtractFileName(path);
  const size_t computer = namesComputer ? ChangeFileExt(name, L"").size() : 0;
  AddEntry(ExtractFilePath(path), name, computer, 0, static_cast<uint32_t>(FErrors.size()));
}

std::wstring TFleetFiles::Path(const TEntry& entry) const {
  return FFolders[entry.Folder] + FNames.substr(entry.Name, entry.NameLength);
}

std::wstring_view TFleetFiles::ComputerName(const TEntry& entry) const {
  return std::wstring_view(FNames).substr(entry.Name, entry.ComputerLength);
}

std::wstring_view TFleetFiles::ComputerName(size_t i) const {
  return ComputerName(FEntries[i]);
}

TFleetFile TFleetFiles::File(size_t i) const {
  const TEntry& entry = FEntries[i];
  TFleetFile file{Path(entry), std::wstring(ComputerName(entry)), FileTimeOf(entry.Time), {}};
  if (entry.Error) file.Error = FErrors[entry.Error - 1];
  return file;
}

bool TFleetFiles::SameComputer(size_t i, size_t j) const {
  const TEntry &a = FEntries[i], &b = FEntries[j];
  return !a.Error && !b.Error && a.ComputerLength && a.Computer == b.Computer;
}

std::wstring_view TFleetFiles::Name(const TEntry& entry) const {
  return std::wstring_view(FNames).substr(entry.Name, entry.NameLength);
}

// Sorting compares numbers: the texts are compared once per distinct folder and name, not
// once per comparison of files, which a history of thousands of files per name would repeat.
// A folder named twice, in whatever letter case, gets one number: two files are one path
// exactly when their folders' numbers and their names are the same.
void TFleetFiles::NumberFolders() {
  std::vector<uint32_t> byName(FFolders.size());
  for (uint32_t i = 0; i < byName.size(); ++i) byName[i] = i;
  std::sort(byName.begin(), byName.end(),
            [&](uint32_t a, uint32_t b) { return CompareIgnoringCase(FFolders[a], FFolders[b], false) < 0; });
  std::vector<uint32_t> place(FFolders.size());
  std::vector<std::wstring> folders;
  for (uint32_t folder : byName) {
    if (folders.empty() || CompareIgnoringCase(folders.back(), FFolders[folder], false) != 0)
      folders.push_back(std::move(FFolders[folder]));
    place[folder] = static_cast<uint32_t>(folders.size() - 1);
  }
  FFolders = std::move(folders);
  for (TEntry& entry : FEntries) entry.Folder = place[entry.Folder];
}

// One number per computer name, letter case ignored, in the order a person reads names.
void TFleetFiles::NumberComputers() {
  std::unordered_map<std::wstring, uint32_t> numbers;
  std::vector<std::wstring_view> names;  // by number, as first found
  for (TEntry& entry : FEntries) {
    const auto [found, added] = numbers.try_emplace(FoldCase(std::wstring(ComputerName(entry))), names.size());
    if (added) names.push_back(ComputerName(entry));
    entry.Computer = found->second;
  }
  std::vector<uint32_t> byName(names.size());
  for (uint32_t i = 0; i < byName.size(); ++i) byName[i] = i;
  std::sort(byName.begin(), byName.end(), [&](uint32_t a, uint32_t b) {
    if (int order = CompareIgnoringCase(names[a], names[b], true)) return order < 0;
    return CompareIgnoringCase(names[a], names[b], false) < 0;
  });
  std::vector<uint32_t> place(names.size());
  for (uint32_t i = 0; i < byName.size(); ++i) place[byName[i]] = i;
  for (TEntry& entry : FEntries) entry.Computer = place[entry.Computer];
}

// Two paths of one file: the same text, or, for files of the same name, the same volume and
// file index (a linked or mounted folder, another drive letter for a share).
bool TFleetFiles::SameFile(const TEntry& a, const TEntry& b) const {
  if (CompareIgnoringCase(Name(a), Name(b), false) != 0) return false;
  if (a.Folder == b.Folder) return true;
  if (a.Error || b.Error) return false;
  const std::optional<TFileIdentity> identity = TryFileIdentity(Path(a));
  return identity && identity == TryFileIdentity(Path(b));
}

// Only files of one computer and time can be one file; such runs are short.
void TFleetFiles::RemoveSameFiles() {
  std::vector<TEntry> kept;
  kept.reserve(FEntries.size());
  for (size_t start = 0; start < FEntries.size();) {
    size_t end = start + 1;
    while (end < FEntries.size() && FEntries[end].Time == FEntries[start].Time &&
           FEntries[end].Computer == FEntries[start].Computer)
      ++end;
    const size_t runStart = kept.size();
    for (size_t i = start; i < end; ++i)
      if (std::none_of(kept.begin() + runStart, kept.end(), [&](const TEntry& k) { return SameFile(k, FEntries[i]); }))
        kept.push_back(FEntries[i]);
    start = end;
  }
  FEntries = std::move(kept);
}

void TFleetFiles::Finish() {
  NumberFolders();
  NumberComputers();
  std::sort(FEntries.begin(), FEntries.end(), [&](const TEntry& a, const TEntry& b) {
    if (a.Computer != b.Computer) return a.Computer < b.Computer;
    if (a.Time != b.Time) return a.Time < b.Time;
    if (a.Folder != b.Folder) return a.Folder < b.Folder;
    return CompareIgnoringCase(Name(a), Name(b), false) < 0;
  });
  RemoveSameFiles();
}

TFleetFiles FindFleetReports(const std::vector<std::wstring>& inputs) {
  TFleetFiles found;
  for (const std::wstring& input : inputs) AddInput(input, found);
  found.Finish();
  return found;
}

}  // namespace ornpm
