#pragma once
// The report files a fleet table is made from: files named on the command line, folders
// searched with their subfolders, and wildcards in the last element of a path.

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ornpm {

// One file, as a row of the table shows it.
struct TFleetFile {
  std::wstring Path;          // full path
  std::wstring ComputerName;  // the file's name without its extension
  FILETIME Time{};            // last written
  std::wstring Error;         // why the input could not be read; empty when it could
};

// The files found, each once. Held compactly, each folder's name once for all its files: a
// team that keeps a year of daily reports names millions of files.
class TFleetFiles {
 public:
  size_t Count() const { return FEntries.size(); }
  TFleetFile File(size_t i) const;
  std::wstring_view ComputerName(size_t i) const;
  // The last-write time as a number, 0 for an input that could not be read.
  uint64_t Time(size_t i) const { return FEntries[i].Time; }
  // Reports of one workstation: the same computer name, letter case ignored. An input that
  // could not be read is a workstation of its own.
  bool SameComputer(size_t i, size_t j) const;

  // Folders and wildcards that held no report.
  std::vector<std::wstring> Unmatched;

  void Add(const std::wstring& folder, std::wstring_view name, const FILETIME& time);
  // An input that could not be read; it names a computer unless it is a pattern.
  void AddError(std::wstring path, bool namesComputer, DWORD error);
  // Once every file is in: sorted by computer name and then by time, each workstation's
  // reports from the oldest to the newest (of equal times by folder and name), and the same
  // file reached through two inputs, by its path or by its identity, kept once.
  void Finish();

 private:
  struct TEntry {
    uint32_t Folder;          // in FFolders, which Finish sorts by name
    uint32_t Name;            // where the file's name begins in FNames
    uint16_t NameLength;      //
    uint16_t ComputerLength;  // the name without its extension; 0 when it names no computer
    uint32_t Error;           // 1 + its place in FErrors; 0 for none
    uint32_t Computer;        // the computer name's place among the names found
    uint64_t Time;
  };
  std::wstring Path(const TEntry& entry) const;
  std::wstring_view Name(const TEntry& entry) const;
  std::wstring_view ComputerName(const TEntry& entry) const;
  void NumberFolders();
  void NumberComputers();
  bool SameFile(const TEntry& a, const TEntry& b) const;
  void RemoveSameFiles();
  // The computer's name is the start of the file's name, computerLength long.
  void AddEntry(const std::wstring& folder, std::wstring_view name, size_t computerLength, uint64_t time,
                uint32_t error);

  std::vector<TEntry> FEntries;
  std::vector<std::wstring> FFolders;
  std::wstring FNames;
  std::vector<std::wstring> FErrors;
};

// Report files are those ending in ".xinf" or ".iinf"; a file named on its own is taken
// whatever its extension, so that the table says why it is not a report.
TFleetFiles FindFleetReports(const std::vector<std::wstring>& inputs);

}  // namespace ornpm
