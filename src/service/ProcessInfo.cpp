#include "service/ProcessInfo.h"

#include <psapi.h>
#include <tlhelp32.h>

#include <algorithm>

#include "win/Environment.h"
#include "win/Exceptions.h"
#include "win/Handles.h"
#include "win/Text.h"
#include "win/UserInteraction.h"

namespace ornpm {

namespace {

// Reads a name through one of the process-status calls, growing the buffer while the
// call fills it completely (it truncates silently).
template <typename Query>
std::wstring QueryName(Query query) {
  std::wstring buffer(1024, L'\0');
  for (;;) {
    DWORD length = query(buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return {};
    if (length < buffer.size() - 1 || buffer.size() >= 32768) {
      buffer.resize(length);
      return buffer;
    }
    buffer.resize(buffer.size() * 2);
  }
}

std::wstring ExecutableFileName(HANDLE process) {
  return QueryName([&](wchar_t* name, DWORD size) { return ::GetModuleFileNameExW(process, nullptr, name, size); });
}

}  // namespace

TProcessInfo::TProcessInfo(uint32_t id, std::wstring name) : FID(id), FName(std::move(name)) {}

std::unique_ptr<TProcessInfo> TProcessInfo::CreateAs(uint32_t id, std::wstring name) {
  return std::unique_ptr<TProcessInfo>(new TProcessInfo(id, std::move(name)));
}

TProcessInfo::TProcessInfo(uint32_t id, DWORD moduleFilter) : FID(id) {
  UniqueHandle process(::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, id));
  if (!process) return;
  FName =
      QueryName([&](wchar_t* name, DWORD size) { return ::GetModuleBaseNameW(process.Get(), nullptr, name, size); });
  ReadModules(process.Get(), moduleFilter);
}

// All module names from one snapshot of the process's module list. Asking for each name
// on its own walks that list in the other process from its start every time: a busy
// workstation's processes of a hundred modules each then cost seconds.
void TProcessInfo::ReadModules(HANDLE process, DWORD moduleFilter) {
  const DWORD kinds = TH32CS_SNAPMODULE | (moduleFilter & LIST_MODULES_32BIT ? TH32CS_SNAPMODULE32 : 0);
  UniqueFileHandle snapshot;
  // A list that changes while it is read fails with ERROR_BAD_LENGTH; it is read again.
  for (int attempt = 0; attempt < 8 && !snapshot; ++attempt) {
    snapshot.Reset(::CreateToolhelp32Snapshot(kinds, FID));
    if (!snapshot && ::GetLastError() != ERROR_BAD_LENGTH) return;
  }
  MODULEENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = ::Module32FirstW(snapshot.Get(), &entry); more; more = ::Module32NextW(snapshot.Get(), &entry)) {
    std::wstring fileName = entry.szExePath;
    // The entry holds MAX_PATH - 1 characters at most: a name that fills it may be cut.
    if (fileName.size() >= MAX_PATH - 1)
      fileName = QueryName(
          [&](wchar_t* name, DWORD size) { return ::GetModuleFileNameExW(process, entry.hModule, name, size); });
    if (fileName.empty() || !SameText(ExtractFileExt(fileName), L".dll")) continue;
    AddModule(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(entry.hModule)), fileName);
  }
}

void TProcessInfo::AddModule(uint32_t id, std::wstring_view fileName) {
  FModules.push_back(TLibraryInfo(this, id, FModuleNames.size(), fileName.size(), FileNameStart(fileName)));
  FModuleNames.append(fileName);
}

void TProcessInfo::ReserveModules(size_t count, size_t nameLength) {
  FModules.reserve(FModules.size() + count);
  FModuleNames.reserve(FModuleNames.size() + nameLength);
}

std::wstring TProcessInfo::Path() const {
  UniqueHandle process(::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, FID));
  if (!process) return {};
  std::wstring fileName = ExecutableFileName(process.Get());
  return fileName.empty() ? std::wstring() : ExtractFilePath(fileName);
}

std::wstring TProcessInfo::Line() const {
  return std::to_wstring(FID) + L" - " + FName;
}

void TProcessInfo::SaveInfo(TInfoLines* lines, bool saveModules) {
  if (!lines) return;
  lines->push_back({Line(), this});
  if (!saveModules) return;
  for (const TLibraryInfo& module : FModules)
    lines->push_back({std::wstring(L"  ").append(module.BaseName()), nullptr});
}

bool TProcessInfo::UsesLibrary(const std::wstring& name) const {
  for (const TLibraryInfo& module : FModules)
    if (SameText(module.BaseName(), name)) return true;
  return false;
}

bool TProcessInfo::Kill(DWORD* error) const {
  // Ending a process takes milliseconds; one that has not ended after seconds is stuck (in
  // a driver, say) and may never end. The person waits for it no longer than that.
  constexpr DWORD EndWaitMs = 5000;
  DWORD failure = ERROR_SUCCESS;
  UniqueHandle process(::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, FID));
  if (!process) {
    failure = ::GetLastError();
  } else if (!::TerminateProcess(process.Get(), 0xFFFFFFFF)) {
    // One that ended between the two calls refuses to be terminated, and has ended all the same.
    failure = ::GetLastError();
    if (::WaitForSingleObject(process.Get(), 0) == WAIT_OBJECT_0) failure = ProcessAlreadyEnded;
  } else if (DWORD waited = ::WaitForSingleObject(process.Get(), EndWaitMs); waited != WAIT_OBJECT_0) {
    failure = waited == WAIT_TIMEOUT ? WAIT_TIMEOUT : ::GetLastError();
  }
  if (error) *error = failure;
  return failure == ERROR_SUCCESS;
}

bool AnyMayStillRun(const std::vector<TNotEnded>& processes) {
  return std::any_of(processes.begin(), processes.end(), [](const TNotEnded& p) { return MayStillRun(p.Error); });
}

void ShowNotEnded(const std::vector<TNotEnded>& processes) {
  if (!processes.empty())
    ShowMessage(AnyMayStillRun(processes) ? TMsgKind::Error : TMsgKind::Information, NotEndedMessage(processes));
}

std::wstring NotEndedMessage(const std::vector<TNotEnded>& processes) {
  std::wstring text;
  for (const TNotEnded& process : processes) {
    if (!text.empty()) text += L"\r\n";
    text += process.Error == ProcessAlreadyEnded
                ? Format(L"Процесс %s уже завершился", {process.Process})
                : Format(L"Не удалось завершить процесс %s: %s", {process.Process, SysErrorMessage(process.Error)});
  }
  return text;
}

std::vector<uint32_t> EnumerateProcessIds() {
  std::vector<DWORD> ids(1024);
  for (;;) {
    DWORD bytes = static_cast<DWORD>(ids.size() * sizeof(DWORD));
    DWORD returned = 0;
    if (!::EnumProcesses(ids.data(), bytes, &returned)) return {};
    // A full buffer may mean more processes than it holds: ask again with a larger one.
    if (returned < bytes) return std::vector<uint32_t>(ids.begin(), ids.begin() + returned / sizeof(DWORD));
    ids.resize(ids.size() * 2);
  }
}

}  // namespace ornpm
