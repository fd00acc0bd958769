// Gathering on a busy workstation: 25, 50 and 100 processes that hold the plug-in and 80
// other DLLs each. Prints, measured side by side in this run, each the best of a few runs
// that take turns, the composite's whole gathering (what the window waits for when it
// opens, and what /REPORT pays) against two floors of the system calls it cannot avoid,
// listing the processes, opening each, listing its modules and their file names:
//   - with the process-status calls, a file name asked for each module;
//   - with one module snapshot per process, which the gathering uses.

#include <windows.h>

#include <psapi.h>
#include <tlhelp32.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <iterator>
#include <memory>
#include <vector>

#include "harness/ChildProcess.h"
#include "harness/Sandbox.h"
#include "service/CompositeInfo.h"
#include "win/Environment.h"
#include "win/Handles.h"

using namespace ornpm;

namespace {

constexpr int OtherModules = 80;
constexpr int Runs = 3;
constexpr int ProcessCounts[] = {25, 50, 100};

struct TBest {
  double Value = 1e9;
};

void Measure(TBest& best, const std::function<void()>& work) {
  auto start = std::chrono::steady_clock::now();
  work();
  best.Value = std::min(best.Value, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
}

// Calls listModules for each process that opens; the number of module names it read.
size_t ForEachProcess(const std::function<size_t(DWORD id, HANDLE process)>& listModules) {
  DWORD ids[4096], bytes = 0;
  if (!::EnumProcesses(ids, sizeof ids, &bytes)) return 0;
  size_t names = 0;
  for (DWORD i = 0; i < bytes / sizeof(DWORD); ++i) {
    UniqueHandle process(::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, ids[i]));
    if (process) names += listModules(ids[i], process.Get());
  }
  return names;
}

size_t StatusCallsFloor() {
  return ForEachProcess([](DWORD, HANDLE process) {
    HMODULE modules[1024];
    DWORD needed = 0;
    size_t names = 0;
    if (!::EnumProcessModulesEx(process, modules, sizeof modules, &needed, LIST_MODULES_32BIT)) return names;
    for (DWORD m = 0; m < std::min<DWORD>(needed, sizeof modules) / sizeof(HMODULE); ++m) {
      wchar_t name[1024];
      if (::GetModuleFileNameExW(process, modules[m], name, 1024)) ++names;
    }
    return names;
  });
}

size_t SnapshotFloor() {
  return ForEachProcess([](DWORD id, HANDLE) {
    size_t names = 0;
    UniqueFileHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPMODULE | TH32CS_SNAPMODULE32, id));
    MODULEENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Module32FirstW(snapshot.Get(), &entry); more; more = ::Module32NextW(snapshot.Get(), &entry))
      ++names;
    return names;
  });
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  // A count on the command line measures that many processes only, for a quick look.
  std::vector<int> counts(std::begin(ProcessCounts), std::end(ProcessCounts));
  if (argc > 1) counts = {_wtoi(argv[1])};
  testing::WorkstationSandbox sandbox;
  testing::WriteBinaryFile(sandbox.HostsFile(), "127.0.0.1\tornpluginvlx.local\r\n");
  const std::wstring plugIn = testing::InstallPlugIn(sandbox.Root() + L"\\Program Files (x86)\\ORN");
  const std::wstring modules = sandbox.Root() + L"\\modules";
  ForceDirectories(modules);
  for (int m = 0; m < OtherModules; ++m)
    ::CopyFileW(testing::FixturePath(L"plugin_noversion.dll").c_str(),
                (modules + L"\\module" + std::to_wstring(m) + L".dll").c_str(), FALSE);

  std::printf("Gathering with busy processes that hold the plug-in and %d other DLLs each\n", OtherModules);
  std::printf("Times are the best of %d runs that take turns; per process in brackets\n", Runs);
  std::printf("  processes  gathering            floor: status calls      floor: snapshots    gathering / floors\n");
  std::vector<std::unique_ptr<testing::FixtureProcess>> hosts;
  for (int count : counts) {
    while (static_cast<int>(hosts.size()) < count) {
      hosts.push_back(std::make_unique<testing::FixtureProcess>(testing::FixturePath(L"busy_host.exe"),
                                                                L"\"" + modules + L"\" \"" + plugIn + L"\""));
      if (!hosts.back()->WaitForModule(L"npORNPlugInVLX.dll")) std::printf("a host did not load the plug-in\n");
    }
    TBest gathering, statusCalls, snapshots;
    int found = 0;
    size_t names[2] = {};
    const std::function<void()> measurements[] = {[&] {
                                                    Measure(gathering, [&] {
                                                      TCompositeInfo info(PlugInMimeType, PlugInProgID);
                                                      info.Load();
                                                      found = info.PlugInInfo().ProcessCount();
                                                    });
                                                  },
                                                  [&] { Measure(statusCalls, [&] { names[0] = StatusCallsFloor(); }); },
                                                  [&] { Measure(snapshots, [&] { names[1] = SnapshotFloor(); }); }};
    for (int run = 0; run < Runs; ++run)
      for (int i = 0; i < 3; ++i) measurements[(run + i) % 3]();
    if (found != count) std::printf("the gathering found %d processes holding the plug-in\n", found);
    if (names[0] != names[1]) std::printf("the floors read %zu and %zu module names\n", names[0], names[1]);
    std::printf("  %9d  %7.0f ms (%5.1f ms)  %7.0f ms (%5.1f ms)  %6.0f ms (%4.1f ms)  %5.2fx  %5.2fx\n", count,
                gathering.Value * 1e3, gathering.Value * 1e3 / count, statusCalls.Value * 1e3,
                statusCalls.Value * 1e3 / count, snapshots.Value * 1e3, snapshots.Value * 1e3 / count,
                gathering.Value / statusCalls.Value, gathering.Value / snapshots.Value);
    std::fflush(stdout);
  }
  std::printf("  (target: at most 1.5x the floor, per process flat)\n");
  return 0;
}
