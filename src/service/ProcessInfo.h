#pragma once
// Running processes and the DLL modules loaded in them.

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace ornpm {

class TProcessInfo;
class TPlugInInfo;

// One DLL loaded in a process. A large workstation lists tens of thousands of them, so a
// record is small and kept by value in its process: its file name is a piece of the
// process's text of module names, its base name the end of that piece.
class TLibraryInfo {
 public:
  TProcessInfo* Owner() const { return FOwner; }
  // The module handle, which is its load address in the owning process.
  uint32_t ID() const { return FID; }
  std::wstring_view FileName() const;
  std::wstring_view BaseName() const { return FileName().substr(FBaseStart); }

 private:
  friend class TProcessInfo;
  TLibraryInfo(TProcessInfo* owner, uint32_t id, size_t nameStart, size_t nameLength, size_t baseStart)
      : FOwner(owner),
        FID(id),
        FNameStart(static_cast<uint32_t>(nameStart)),
        FNameLength(static_cast<uint32_t>(nameLength)),
        FBaseStart(static_cast<uint32_t>(baseStart)) {}

  TProcessInfo* FOwner;
  uint32_t FID;
  uint32_t FNameStart;  // in the process's module names
  uint32_t FNameLength;
  uint32_t FBaseStart;  // in the file name
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
  // The module records point back at their process.
  TProcessInfo(const TProcessInfo&) = delete;
  TProcessInfo& operator=(const TProcessInfo&) = delete;

  uint32_t ID() const { return FID; }
  uint32_t PID() const { return FID; }
  const std::wstring& Name() const { return FName; }
  // The modules in enumeration (or report) order; the same base name may occur twice.
  const std::vector<TLibraryInfo>& Modules() const { return FModules; }
  // Adding a module may move the records added before: modules are added while the
  // record is built, and the views hand out processes, never module records.
  void AddModule(uint32_t id, std::wstring_view fileName);
  // Room for that many more modules whose file names have that many characters in all.
  void ReserveModules(size_t count, size_t nameLength);

  // Folder of the process's executable with its trailing backslash, read anew each time;
  // empty when the process cannot be queried.
  std::wstring Path() const;
  // "<id> - <name>", as the process is shown in lists and messages.
  std::wstring Line() const;
  // Appends its line carrying this process, then (when asked) one line per module:
  // two blanks and the module's base name.
  void SaveInfo(TInfoLines* lines, bool saveModules);
  bool UsesLibrary(const std::wstring& name) const;
  // Terminates the process and waits a few seconds at most until it has ended; false when
  // it could not be ended or was still running, with the system's error code in error
  // (WAIT_TIMEOUT for the latter), or when it had ended before (ProcessAlreadyEnded).
  bool Kill(DWORD* error = nullptr) const;

 private:
  TProcessInfo(uint32_t id, std::wstring name);
  void ReadModules(HANDLE process, DWORD moduleFilter);

  friend class TLibraryInfo;

  uint32_t FID;
  std::wstring FName;
  std::vector<TLibraryInfo> FModules;
  std::wstring FModuleNames;  // the modules' file names one after another
};

inline std::wstring_view TLibraryInfo::FileName() const {
  return {FOwner->FModuleNames.data() + FNameStart, FNameLength};
}

// Told when the plug-in's processes were terminated together: process is null then, and
// the records are still alive while the handler runs.
using TKillProcessEvent = std::function<void(TPlugInInfo* sender, TProcessInfo* process)>;

// What Kill says of a process that had ended before it was asked to: no process has its id
// any more, which the system calls an invalid parameter.
inline constexpr DWORD ProcessAlreadyEnded = ERROR_INVALID_PARAMETER;
// Whether a process that Kill failed on with that error may still be running.
constexpr bool MayStillRun(DWORD killError) {
  return killError != ERROR_SUCCESS && killError != ProcessAlreadyEnded;
}

// A process that was to be ended and was not, or had ended before, with the system's error
// code.
struct TNotEnded {
  std::wstring Process;  // as its line in a list: "<id> - <name>"
  DWORD Error;
};

// Runs a piece of work that waits; a window runs it aside and keeps answering meanwhile.
using TWaitRunner = std::function<void(const std::function<void()>& work)>;
// The work through run when one is given, else here.
inline void RunThrough(const TWaitRunner& run, const std::function<void()>& work) {
  if (run)
    run(work);
  else
    work();
}

// Whether any of them may still run: then the message is an error, else only information.
bool AnyMayStillRun(const std::vector<TNotEnded>& processes);
// Tells the person of them, an error or information as AnyMayStillRun says; nothing when
// there are none.
void ShowNotEnded(const std::vector<TNotEnded>& processes);
// The message that names each process that did not end and why, and each that had ended
// before; empty when all ended.
std::wstring NotEndedMessage(const std::vector<TNotEnded>& processes);

// Ids of all running processes, in the system's order; empty when they cannot be listed.
std::vector<uint32_t> EnumerateProcessIds();

}  // namespace ornpm
