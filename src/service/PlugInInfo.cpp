#include "service/PlugInInfo.h"

#include <windows.h>

#include <psapi.h>

#include <algorithm>
#include <exception>

#include "service/Hosts.h"
#include "service/PlugInFiles.h"
#include "service/Registry.h"
#include "win/Environment.h"
#include "win/Exceptions.h"
#include "win/Handles.h"
#include "win/Text.h"

namespace ornpm {

namespace {

// The value of a key under HKEY_CLASSES_ROOT; empty when the key does not open.
std::wstring ReadClassesValue(const std::wstring& keyName, const std::wstring& valueName) {
  auto key = TRegistryKey::OpenReadOnly(HKEY_CLASSES_ROOT, keyName);
  return key ? key->ReadString(valueName) : std::wstring();
}

}  // namespace

TPlugInInfo::TPlugInInfo(std::wstring appName, std::wstring className)
    : FMimeType(std::move(appName)), FAppName(FMimeType), FClassName(std::move(className)) {}

TPlugInInfo::~TPlugInInfo() = default;

void TPlugInInfo::Clear() {
  FAppName = FMimeType;
  FHostsError = nullptr;
  FPlugInName.clear();
  FPlugInPath.clear();
  FVersion.clear();
  FClassID.clear();
  FDomainInHosts.reset();
  FLibCheckInfo.reset();
  FReportHostsLines.reset();
  ResetProcesses();
}

void TPlugInInfo::ReloadHostsInfo() {
  FDomainInHosts = false;  // a file that cannot be read counts as one without the entry
  FHostsError = nullptr;
  try {
    FDomainInHosts = IsPlugInDomainInHosts();
  } catch (...) {
    FHostsError = std::current_exception();
    throw;
  }
}

std::wstring TPlugInInfo::FindClassID() const {
  std::wstring classID = ReadClassesValue(L"MIME\\Database\\Content Type\\" + FMimeType, L"CLSID");
  if (!classID.empty()) return classID;
  // The ProgID key must open before its CLSID subkey is consulted.
  if (!TRegistryKey::OpenReadOnly(HKEY_CLASSES_ROOT, FClassName)) return {};
  return ReadClassesValue(FClassName + L"\\CLSID", L"");
}

bool TPlugInInfo::Load() {
  SetFromReport(false);
  Clear();
  // The hosts file is the workstation's, not the plug-in's: when it cannot be read the
  // plug-in is gathered all the same, and the kept error is raised by whoever gathers all.
  try {
    ReloadHostsInfo();
  } catch (...) {
  }
  FClassID = FindClassID();
  if (FClassID.empty()) return false;
  FPlugInPath = ReadClassesValue(L"CLSID\\" + FClassID + L"\\InprocServer32", L"");
  if (FPlugInPath.empty() || !FileExists(FPlugInPath)) return false;
  FPlugInName = ExtractFileName(FPlugInPath);
  FVersion = GetFileVersionString(FPlugInPath);
  // The processes are listed before the check maps the DLL into this program.
  ReloadProcesses();
  CheckLibrary();
  return true;
}

TNameValueList& TPlugInInfo::ResetLibCheckInfo() {
  if (FLibCheckInfo)
    FLibCheckInfo->Clear();
  else
    FLibCheckInfo.emplace(FoldCase);  // check names from a report may be in any script
  return *FLibCheckInfo;
}

void TPlugInInfo::CheckLibrary() {
  TNameValueList& checks = ResetLibCheckInfo();
  UniqueModule library;
  try {
    // Mapped as an image without resolving imports or running DllMain: the plug-in's code
    // never runs in this program.
    library.Reset(::LoadLibraryExW(FPlugInPath.c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES));
  } catch (const std::exception& error) {
    checks.SetValue(L"LoadLibrary", L"Fail");
    checks.SetValue(std::wstring(L"LoadLibrary") + ErrorSuffix, ExceptionMessage(error));
    return;
  }
  if (!library) {
    DWORD error = ::GetLastError();
    checks.SetValue(L"LoadLibrary", L"Fail");
    checks.SetValue(std::wstring(L"LoadLibrary") + ErrorSuffix, std::to_wstring(error));
    return;
  }
  checks.SetValue(L"LoadLibrary", L"OK");
  for (const wchar_t* function : LibraryCheckFunctions) {
    if (::GetProcAddress(library.Get(), WideToBytes(function).c_str())) {
      checks.SetValue(function, L"OK");
    } else {
      DWORD error = ::GetLastError();
      checks.SetValue(function, L"Null");
      checks.SetValue(std::wstring(function) + ErrorSuffix, std::to_wstring(error));
    }
  }
}

// Told at once, not after the refill: a refill that fails halfway must not leave a
// listener holding the freed records.
void TPlugInInfo::ResetProcesses() {
  FProcesses.clear();
  ProcessesChanged();
}

void TPlugInInfo::ProcessesChanged() {
  if (OnProcessesChanged) OnProcessesChanged(this);
}

void TPlugInInfo::ReloadProcesses() {
  if (FromReport()) return;  // a report's DLL name would pick this workstation's processes
  ResetProcesses();
  for (uint32_t id : EnumerateProcessIds()) {
    auto process = std::make_unique<TProcessInfo>(id, LIST_MODULES_32BIT);
    if (process->UsesLibrary(FPlugInName)) FProcesses.push_back(std::move(process));
  }
  ProcessesChanged();
}

TProcessInfo* TPlugInInfo::FindProcess(const std::wstring& name, const std::wstring& path) const {
  for (const auto& process : FProcesses)
    if (StartsText(name, process->Name()) && SameText(process->Path(), path)) return process.get();
  return nullptr;
}

std::unique_ptr<TProcessInfo> TPlugInInfo::FindFirstProcess(const std::wstring& name) {
  for (uint32_t id : EnumerateProcessIds()) {
    auto process = std::make_unique<TProcessInfo>(id, LIST_MODULES_32BIT);
    if (StartsText(name, process->Name())) return process;
  }
  return nullptr;
}

void TPlugInInfo::KillProcess(TProcessInfo* process, std::vector<TNotEnded>* notEnded, const TWaitRunner& run) {
  if (!process || FromReport()) return;
  DWORD error = ERROR_SUCCESS;
  RunThrough(run, [&] { process->Kill(&error); });
  if (error != ERROR_SUCCESS && notEnded) notEnded->push_back({process->Line(), error});
  // One that may still run stays listed: the person sees it is there.
  if (!MayStillRun(error)) std::erase_if(FProcesses, [&](const auto& entry) { return entry.get() == process; });
  ProcessesChanged();
}

void TPlugInInfo::KillProcess(uint32_t pid) {
  auto found = std::find_if(FProcesses.begin(), FProcesses.end(), [&](const auto& p) { return p->ID() == pid; });
  if (found != FProcesses.end()) KillProcess(found->get());
}

std::vector<TNotEnded> TPlugInInfo::KillAllProcesses(const TWaitRunner& run) {
  if (FromReport()) return {};
  std::vector<TNotEnded> notEnded;
  std::vector<const TProcessInfo*> running;
  // Only the terminations and their waits run aside; the list changes here afterwards.
  const auto killAll = [&] {
    for (const auto& process : FProcesses) {
      DWORD error = ERROR_SUCCESS;
      if (process->Kill(&error)) continue;
      notEnded.push_back({process->Line(), error});
      if (MayStillRun(error)) running.push_back(process.get());
    }
  };
  RunThrough(run, killAll);
  if (OnProcessKilled) OnProcessKilled(this, nullptr);
  std::erase_if(FProcesses, [&](const auto& process) {
    return std::find(running.begin(), running.end(), process.get()) == running.end();
  });
  ProcessesChanged();
  return notEnded;
}

void TPlugInInfo::SaveProcessesInfo(TInfoLines* lines, bool clearBeforeSave, bool saveModulesInfo) const {
  if (!lines) return;
  if (clearBeforeSave) lines->clear();
  for (const auto& process : FProcesses) process->SaveInfo(lines, saveModulesInfo);
}

}  // namespace ornpm
