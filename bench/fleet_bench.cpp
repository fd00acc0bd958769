// The fleet table over the history a support team keeps: a folder a day, every
// workstation's report in each. Prints, measured side by side in this run, each the best of
// a few runs:
//   - the table (/TABLE's own routine, CSV and the page with its history) against loading
//     the same files with the composite loader alone, a fresh composite per file, which is
//     the floor of the table;
//   - for 200 workstations x 15 days, 2,000 x 15 and 200 x 150, per report, to show the
//     growth is linear;
//   - the peak memory growth of a /TABLE run over each, each in a child process of its own,
//     with the number of changes the histories hold.

#include <windows.h>

#include <psapi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "fleet/FleetInputs.h"
#include "fleet/FleetTable.h"
#include "service/CompositeInfo.h"
#include "win/Environment.h"
#include "win/Files.h"
#include "win/Handles.h"
#include "win/Text.h"

using namespace ornpm;

namespace {

constexpr int Processes = 3;
constexpr int ModulesPerProcess = 60;
constexpr int Runs = 2;

// The processor time of this thread, user and kernel: other programs on the shared machine
// slow the wall clock down, but hardly this.
double ThreadSeconds() {
  FILETIME created, exited, kernel, user;
  ::GetThreadTimes(::GetCurrentThread(), &created, &exited, &kernel, &user);
  auto seconds = [](const FILETIME& time) {
    return (static_cast<uint64_t>(time.dwHighDateTime) << 32 | time.dwLowDateTime) / 1e7;
  };
  return seconds(kernel) + seconds(user);
}

struct TBest {
  double Wall = 1e9, Processor = 1e9;
};

void Measure(TBest& best, const std::function<void()>& work) {
  auto start = std::chrono::steady_clock::now();
  double processorStart = ThreadSeconds();
  work();
  best.Processor = std::min(best.Processor, ThreadSeconds() - processorStart);
  best.Wall = std::min(best.Wall, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
}

// A workstation's diagnosis as the window gathers it, built through the XML reader: a few
// browser processes holding the plug-in, five zones, the library check, logging.
std::wstring WorkstationXml(const std::wstring& version, bool hosts) {
  std::wstring xml = L"<Info><PlugIn Path=\"C:\\Program Files (x86)\\ORN\\PlugIn\\npORNPlugInVLX.dll\" Version=\"" +
                     version +
                     L"\" AppName=\"application/x-ORN-plugin-VLX\" ClassID=\"{5A5C1C43-0000-4B8A-9E0D-6F1C2D3E4F50}\" "
                     L"DomainInHosts=\"" +
                     (hosts ? L"True" : L"False") + L"\"><LibraryCheck><Checking Name=\"LoadLibrary\" Result=\"OK\"/>";
  for (const wchar_t* function : LibraryCheckFunctions)
    xml += std::wstring(L"<Checking Name=\"") + function + L"\" Result=\"OK\"/>";
  xml += L"</LibraryCheck><Processes>";
  for (int p = 0; p < Processes; ++p) {
    xml += L"<Process PID=\"" + std::to_wstring(4000 + 8 * p) + L"\" Name=\"" +
           (p == 0 ? L"ornPluginHostVLX.exe" : L"chrome.exe") + L"\"><Modules>";
    for (int m = 0; m < ModulesPerProcess; ++m)
      xml += L"<Module ID=\"" + std::to_wstring(0x60000000u + 0x20000u * m) +
             L"\" FileName=\"C:\\Windows\\SysWOW64\\lib" + std::to_wstring(m) + L".dll\"/>";
    xml += L"</Modules></Process>";
  }
  xml += L"</Processes></PlugIn><IEProxySettings Enable=\"True\" Override=\"&lt;local&gt;;ornpluginvlx.local\"/>";
  xml += L"<ActiveXSettings><InternetZones>";
  for (size_t z = 0; z < ZoneNames.size(); ++z) {
    xml += L"<Zone ID=\"" + std::to_wstring(z) + L"\" Caption=\"" + ZoneNames[z] + L"\">";
    for (const wchar_t* id : ZoneParamIDs)
      xml += std::wstring(L"<ZoneParam ID=\"") + id + L"\" Caption=\"\" Value=\"" + std::to_wstring(z % 4) + L"\"/>";
    xml += L"</Zone>";
  }
  return xml +
         L"</InternetZones></ActiveXSettings><Logging Enabled=\"True\" "
         L"FilePath=\"%AppData%\\ORN\\ORNPlugInVLX\\Logs\\\" "
         L"FileName=\"%LibName%.log\" ActualPath=\"C:\\Users\\user\\AppData\\Roaming\\ORN\\ORNPlugInVLX\\Logs\\\" "
         L"PathAccess=\"True\"/></Info>";
}

// The reports a workstation's history is made of, each saved in both formats.
enum TVariant { Old, Upgraded, UpgradedNoHosts, Variants };

std::wstring TemplatePath(const std::wstring& root, int variant, bool xml) {
  return root + L"\\template" + std::to_wstring(variant) + (xml ? L".xinf" : L".iinf");
}

void MakeTemplates(const std::wstring& root) {
  ForceDirectories(root);
  for (int variant = 0; variant < Variants; ++variant) {
    TCompositeInfo info(PlugInMimeType, PlugInProgID);
    if (!info.LoadFromXML(WorkstationXml(variant == Old ? L"9.8.1.0" : L"10.0.2.123", variant != UpgradedNoHosts)))
      std::printf("the synthetic report does not parse\n");
    info.SaveToFile(TemplatePath(root, variant, true));
    info.SaveToFile(TemplatePath(root, variant, false));
  }
}

// A fleet with history: a folder a day, each with every workstation's report of that day,
// written in the morning of that day. A third of the workstations upgrade the plug-in on a
// day of their own; every twentieth loses the hosts entry in the middle of the period and
// gets it back the next day. Odd workstations write XML, even ones INI.
struct TFleet {
  int Workstations, Days;
  std::wstring Folder;
  size_t Changes = 0;
};

TVariant VariantOf(int workstation, int day, int days) {
  const bool upgraded = workstation % 3 != 0 || day >= 1 + workstation % (days - 1);
  if (workstation % 20 == 0 && day == days / 2) return upgraded ? UpgradedNoHosts : Old;
  return upgraded ? Upgraded : Old;
}

void MakeFleet(const std::wstring& root, TFleet& fleet) {
  fleet.Folder = root + L"\\history-" + std::to_wstring(fleet.Workstations) + L"x" + std::to_wstring(fleet.Days);
  for (int w = 0; w < fleet.Workstations; ++w)
    for (int d = 1; d < fleet.Days; ++d) {
      const TVariant before = VariantOf(w, d - 1, fleet.Days), after = VariantOf(w, d, fleet.Days);
      fleet.Changes += (before == Old) != (after == Old);
      fleet.Changes += (before == UpgradedNoHosts) != (after == UpgradedNoHosts);
    }
  const std::wstring done = fleet.Folder + L"\\complete";
  if (FileExists(done)) return;
  const FILETIME start{0x3AAF7000u, 0x01DD69C6u};  // 01.11.2026 06:00 UTC
  for (int d = 0; d < fleet.Days; ++d) {
    wchar_t day[16];
    std::swprintf(day, 16, L"\\d%03d\\", d);
    const std::wstring folder = fleet.Folder + day;
    ForceDirectories(folder);
    for (int w = 0; w < fleet.Workstations; ++w) {
      const bool xml = w % 2 != 0;
      wchar_t name[32];
      std::swprintf(name, 32, L"WS-%04d%ls", w, xml ? L".xinf" : L".iinf");
      const std::wstring path = folder + name;
      ::CopyFileW(TemplatePath(root, VariantOf(w, d, fleet.Days), xml).c_str(), path.c_str(), FALSE);
      // A day and a minute per workstation later than the day before.
      const uint64_t time = (static_cast<uint64_t>(start.dwHighDateTime) << 32 | start.dwLowDateTime) +
                            (static_cast<uint64_t>(d) * 86400 + static_cast<uint64_t>(w % 600) * 60) * 10000000;
      const FILETIME written{static_cast<DWORD>(time), static_cast<DWORD>(time >> 32)};
      UniqueFileHandle file(::CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr));
      if (!file || !::SetFileTime(file.Get(), nullptr, nullptr, &written)) std::printf("cannot date %ls\n", name);
    }
  }
  WriteFileBytes(done, "");
}

struct TMemory {
  uint64_t WorkingSet = 0, PeakWorkingSet = 0;
};

// Wine takes these from the process's /proc/self/status: VmRSS and VmHWM.
TMemory MemoryNow() {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  ::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof counters);
  return {counters.WorkingSetSize, counters.PeakWorkingSetSize};
}

// The child: the table over one input, memory before and at the peak into the result file.
int TableChild(const std::wstring& input, const std::wstring& output, const std::wstring& result) {
  TMemory idle = MemoryNow();
  bool written = WriteFleetTable(output, {input});
  TMemory peak = MemoryNow();
  char text[128];
  std::snprintf(text, sizeof text, "%llu %llu %d", idle.WorkingSet, peak.PeakWorkingSet, written ? 1 : 0);
  WriteFileBytes(result, text);
  return 0;
}

// Peak working set above the idle one of a child that makes the table.
double TableMemoryGrowthMB(const std::wstring& input, const std::wstring& output, const std::wstring& result) {
  std::wstring commandLine =
      L"\"" + ModuleFileName() + L"\" --table-child \"" + input + L"\" \"" + output + L"\" \"" + result + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
    return -1;
  UniqueHandle processHandle(process.hProcess), threadHandle(process.hThread);
  ::WaitForSingleObject(process.hProcess, INFINITE);
  unsigned long long idle = 0, peak = 0;
  int written = 0;
  std::sscanf(ReadFileBytes(result).c_str(), "%llu %llu %d", &idle, &peak, &written);
  if (!written) std::printf("the child's table was not written\n");
  return (static_cast<double>(peak) - static_cast<double>(idle)) / (1024 * 1024);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc == 5 && std::wstring(argv[1]) == L"--table-child") return TableChild(argv[2], argv[3], argv[4]);

  const std::wstring root = GetEnv(L"TEMP") + L"\\ornpm-fleet-history-bench";
  MakeTemplates(root);
  struct TSize {
    TSize(int workstations, int days) : Fleet{workstations, days, {}, 0} {}
    TFleet Fleet;
    TBest Find, Load, Csv, Html;
    double MemoryCsv = 0, MemoryHtml = 0;
  };
  TSize sizes[] = {{200, 15}, {2000, 15}, {200, 150}};
  for (TSize& size : sizes) MakeFleet(root, size.Fleet);
  const std::wstring csv = root + L"\\fleet.csv", html = root + L"\\fleet.html";
  for (int run = 0; run < Runs; ++run) {
    for (TSize& size : sizes) {
      const std::vector<std::wstring> inputs{size.Fleet.Folder};
      TFleetFiles files;
      Measure(size.Find, [&] { files = FindFleetReports(inputs); });
      if (files.Count() != static_cast<size_t>(size.Fleet.Workstations * size.Fleet.Days))
        std::printf("found %zu reports\n", files.Count());
      const std::function<void()> measurements[] = {
          [&] {
            Measure(size.Load, [&] {
              for (size_t i = 0; i < files.Count(); ++i) {
                const std::wstring path = files.File(i).Path;
                TCompositeInfo info(PlugInMimeType, PlugInProgID);
                if (!info.LoadFromFile(path)) std::printf("%ls does not load\n", path.c_str());
              }
            });
          },
          [&] { Measure(size.Csv, [&] { WriteFleetTable(csv, inputs); }); },
          [&] { Measure(size.Html, [&] { WriteFleetTable(html, inputs); }); }};
      // Each takes its turn first: the machine is shared, and a busy moment should not
      // always fall on the same one.
      for (int i = 0; i < 3; ++i) measurements[(run + i) % 3]();
    }
  }
  for (TSize& size : sizes) {
    size.MemoryCsv = TableMemoryGrowthMB(size.Fleet.Folder, csv, root + L"\\memory.txt");
    size.MemoryHtml = TableMemoryGrowthMB(size.Fleet.Folder, html, root + L"\\memory.txt");
  }

  std::printf(
      "Fleet table over a history: a folder a day, each with every workstation's report of that day;\n"
      "reports of %d processes x %d modules, %zu zones, .xinf and .iinf alternating\n",
      Processes, ModulesPerProcess, ZoneNames.size());
  std::printf("Times are the best of %d runs; the floor loads each file into a fresh composite\n", Runs);
  for (bool wall : {true, false}) {
    std::printf(wall ? "Wall clock\n" : "Processor time of the thread (the machine is shared; this is the steadier)\n");
    std::printf("  workstations x reports   loads alone        CSV table                 HTML page\n");
    for (const TSize& size : sizes) {
      const double reports = size.Fleet.Workstations * size.Fleet.Days;
      const double load = wall ? size.Load.Wall : size.Load.Processor;
      const double table = wall ? size.Csv.Wall : size.Csv.Processor;
      const double page = wall ? size.Html.Wall : size.Html.Processor;
      std::printf("  %5d x %3d = %6.0f  %7.0f ms %5.2f ms  %7.0f ms %5.2f ms %4.2fx  %7.0f ms %5.2f ms %4.2fx\n",
                  size.Fleet.Workstations, size.Fleet.Days, reports, load * 1e3, load * 1e3 / reports, table * 1e3,
                  table * 1e3 / reports, table / load, page * 1e3, page * 1e3 / reports, page / load);
    }
  }
  std::printf(
      "  (columns: total, per report, table / loads alone; target for the page: at most 1.3x, per report flat)\n");
  std::printf("Of the tables' time, finding and ordering the files (processor time):\n");
  for (const TSize& size : sizes)
    std::printf("  %5d x %3d: %5.0f ms, %4.1f %% of the loads alone\n", size.Fleet.Workstations, size.Fleet.Days,
                size.Find.Processor * 1e3, 100 * size.Find.Processor / size.Load.Processor);
  std::printf("Peak memory growth of a table (child process; working set, which Wine takes from VmRSS and VmHWM):\n");
  for (const TSize& size : sizes)
    std::printf("  %5d workstations x %3d reports, %5zu changes: CSV %5.1f MB, HTML page %5.1f MB\n",
                size.Fleet.Workstations, size.Fleet.Days, size.Fleet.Changes, size.MemoryCsv, size.MemoryHtml);
  std::printf("  (target for the page: grows with the workstations and the changes, not with the reports)\n");
  return 0;
}
