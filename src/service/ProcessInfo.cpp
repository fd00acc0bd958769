#include "service/ProcessInfo.h"

#include <psapi.h>

#include "win/Environment.h"
#include "win/Handles.h"
#include "win/Text.h"

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

void TProcessInfo::ReadModules(HANDLE process, DWORD moduleFilter) {
  std::vector<HMODULE> modules(1024);
  for (;;) {
    DWORD needed = 0;
    DWORD bytes = static_cast<DWORD>(modules.size() * sizeof(HMODULE));
    if (!::EnumProcessModulesEx(process, modules.data(), bytes, &needed, moduleFilter)) return;
    if (needed <= bytes) {
      modules.resize(needed / sizeof(HMODULE));
      break;
    }
    modules.resize(needed / sizeof(HMODULE) + 64);  // room for modules loaded meanwhile
  }
  for (HMODULE module : modules) {
    if (!module) continue;
    std::wstring fileName =
        QueryName([&](wchar_t* name, DWORD size) { return ::GetModuleFileNameExW(process, module, name, size); });
    if (fileName.empty() || !SameText(ExtractFileExt(fileName), L".dll")) continue;
    AddModule(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(module)), fileName);
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

void TProcessInfo::SaveInfo(TInfoLines* lines, bool saveModules) {
  if (!lines) return;
  lines->push_back({std::to_wstring(FID) + L" - " + FName, this});
  if (!saveModules) return;
  for (const TLibraryInfo& module : FModules)
    lines->push_back({std::wstring(L"  ").append(module.BaseName()), nullptr});
}

bool TProcessInfo::UsesLibrary(const std::wstring& name) const {
  for (const TLibraryInfo& module : FModules)
    if (SameText(module.BaseName(), name)) return true;
  return false;
}

bool TProcessInfo::Kill() const {
  UniqueHandle process(::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, FID));
  if (!process || !::TerminateProcess(process.Get(), 0xFFFFFFFF)) return false;
  ::WaitForSingleObject(process.Get(), INFINITE);
  return true;
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
