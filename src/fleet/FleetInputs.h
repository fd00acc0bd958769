#pragma once
// The report files a fleet table is made from: files named on the command line, folders
// searched with their subfolders, and wildcards in the last element of a path.

#include <windows.h>

#include <string>
#include <vector>

namespace ornpm {

struct TFleetFile {
  std::wstring Path;          // full path
  std::wstring ComputerName;  // the file's name without its extension
  FILETIME Time{};            // last written
  std::wstring Error;         // why the input could not be read; empty when it could
};

struct TFleetFiles {
  // Sorted by computer name, each file once.
  std::vector<TFleetFile> Files;
  // Folders and wildcards that held no report.
  std::vector<std::wstring> Unmatched;
};

// Report files are those ending in ".xinf" or ".iinf"; a file named on its own is taken
// whatever its extension, so that the table says why it is not a report.
TFleetFiles FindFleetReports(const std::vector<std::wstring>& inputs);

}  // namespace ornpm
