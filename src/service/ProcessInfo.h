#pragma once
// Running processes and the DLL modules loaded in them.

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace ornpm {

class TProcessInfo;
class TPlugInInfo;

// One DLL loaded in a process.
class TLibraryInfo {
 public:
  TLibraryInfo(TProcessInfo* owner, uint32_t id, std::wstring fileName);

  TProcessInfo* Owner() const { return FOwner; }
  // The module handle, which is its load address in the owning process.
  uint32_t ID() const { return FID; }
  uint32_t ModuleID() const { return FID; }
  const std::wstring& FileName() const { return FFileName; }
  const std::wstring& BaseName() const { return FBaseName; }

 private:
  TProcessInfo* FOwner;
  uint32_t FID;
  std::wstring FFileName;
  std::wstring FBaseName;
};

// A line of a printed process list; a process line carries its process, module lines none.
struct TInfoLine {
  std::wstring Text;
  TProcessInfo* Process = nullptr;
};
using TInfoLines = std::vector<TInfoLine>;

class TProcessInfo {
 public:
  // Reads the process from the system: its executable name and its ".dll" modules. A
  // process that cannot be opened or read keeps an empty name and no modules.
  // moduleFilter selects the modules to enumerate (LIST_MODULES_32BIT, which every caller passes).
  TProcessInfo(uint32_t id, DWORD moduleFilter);
  // A record built from a report, without asking the system; modules are added after.
  static std::unique_ptr<TProcessInfo> CreateAs(uint32_t id, std::wstring name);

  uint32_t ID() const { return FID; }
  uint32_t PID() const { return FID; }
  const std::wstring& Name() const { return FName; }
  // The modules in enumeration (or report) order; the same base name may occur twice.
  const std::vector<std::unique_ptr<TLibraryInfo>>& Modules() const { return FModules; }
  void AddModule(uint32_t id, std::wstring fileName);

  // Folder of the process's executable with its trailing backslash, read anew each time;
  // empty when the process cannot be queried.
  std::wstring Path() const;
  // Appends "<id> - <name>" carrying this process, then (when asked) one line per module:
  // two blanks and the module's base name.
  void SaveInfo(TInfoLines* lines, bool saveModules);
  bool UsesLibrary(const std::wstring& name) const;
  // Terminates the process and waits until it has ended; false when it could not.
  bool Kill() const;

 private:
  TProcessInfo(uint32_t id, std::wstring name);
  void ReadModules(HANDLE process, DWORD moduleFilter);

  uint32_t FID;
  std::wstring FName;
  std::vector<std::unique_ptr<TLibraryInfo>> FModules;
};

// Told when the plug-in's processes were terminated together: process is null then, and
// the records are still alive while the handler runs.
using TKillProcessEvent = std::function<void(TPlugInInfo* sender, TProcessInfo* process)>;

// Ids of all running processes, in the system's order; empty when they cannot be listed.
std::vector<uint32_t> EnumerateProcessIds();

}  // namespace ornpm
