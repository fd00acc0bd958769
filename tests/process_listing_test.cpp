// The modules of a running process as the plug-in's process list records them, against the
// process-status calls asked one module at a time.

#include <windows.h>

#include <psapi.h>

#include <gtest/gtest.h>
#include <utility>
#include <vector>

#include "harness/ChildProcess.h"
#include "harness/Sandbox.h"
#include "service/ProcessInfo.h"
#include "win/Environment.h"
#include "win/Text.h"

namespace ornpm {
namespace {

using Modules = std::vector<std::pair<uint32_t, std::wstring>>;

// Every ".dll" module, in the system's order, with its full file name.
Modules ReferenceModules(HANDLE process) {
  std::vector<HMODULE> handles(4096);
  DWORD needed = 0;
  EXPECT_TRUE(::EnumProcessModulesEx(process, handles.data(), static_cast<DWORD>(handles.size() * sizeof(HMODULE)),
                                     &needed, LIST_MODULES_32BIT));
  handles.resize(needed / sizeof(HMODULE));
  Modules modules;
  for (HMODULE handle : handles) {
    std::wstring name(32768, L'\0');
    name.resize(::GetModuleFileNameExW(process, handle, name.data(), static_cast<DWORD>(name.size())));
    if (SameText(ExtractFileExt(name), L".dll"))
      modules.emplace_back(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(handle)), name);
  }
  return modules;
}

TEST(ProcessListingTest, ModulesMatchTheSystemsListingLongNamesIncluded) {
  testing::WorkstationSandbox sandbox;
  const std::wstring folder = sandbox.Root() + L"\\modules";
  ForceDirectories(folder);
  for (const wchar_t* name : {L"first.dll", L"SECOND.DLL", L"control.ocx", L"third.Dll"})
    ASSERT_TRUE(
        ::CopyFileW(testing::FixturePath(L"plugin_noversion.dll").c_str(), (folder + L"\\" + name).c_str(), FALSE));
  // The plug-in under a path longer than MAX_PATH.
  std::wstring longFolder = L"\\\\?\\" + sandbox.Root();
  for (wchar_t letter : {L'a', L'b', L'c'}) {
    longFolder += L"\\" + std::wstring(100, letter);
    ASSERT_TRUE(::CreateDirectoryW(longFolder.c_str(), nullptr));
  }
  const std::wstring plugIn = longFolder + L"\\npORNPlugInVLX.dll";
  ASSERT_TRUE(::CopyFileW(testing::FixturePath(L"plugin_full.dll").c_str(), plugIn.c_str(), FALSE));

  testing::FixtureProcess host(testing::FixturePath(L"busy_host.exe"), L"\"" + folder + L"\" \"" + plugIn + L"\"");
  ASSERT_TRUE(host.WaitForModule(L"npORNPlugInVLX.dll"));
  TProcessInfo process(host.Id(), LIST_MODULES_32BIT);
  Modules listed;
  for (const TLibraryInfo& module : process.Modules()) listed.emplace_back(module.ID(), module.FileName());

  EXPECT_EQ(listed, ReferenceModules(host.Handle()));
  EXPECT_EQ(process.Name(), L"busy_host.exe");
  size_t longest = 0, libraries = 0;
  for (const auto& [id, name] : listed) {
    longest = std::max(longest, name.size());
    if (StartsText(folder, name)) ++libraries;
  }
  EXPECT_EQ(libraries, 3u) << "the three DLLs, not the control";
  EXPECT_GT(longest, static_cast<size_t>(MAX_PATH)) << "the plug-in's long name whole";
  EXPECT_TRUE(process.UsesLibrary(L"npornpluginvlx.dll"));
}

}  // namespace
}  // namespace ornpm
