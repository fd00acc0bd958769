// The fleet table over a folder of reports of a typical workstation (20 processes holding
// the plug-in with 80 modules each, five zones, the library check, logging), both formats
// mixed. Prints, measured side by side in this run, each the best of a few runs:
//   - the table (/TABLE's own routine, CSV and HTML) against loading the same files with the
//     composite loader alone, a fresh composite per file, which is the floor of the table;
//   - both at 2,000 and 10,000 reports, per report, to show the growth is linear;
//   - the peak memory growth of a /TABLE run over 10,000 reports, CSV and HTML, against one
//     over a single report, each in a child process of its own.

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

constexpr int Processes = 20;
constexpr int ModulesPerProcess = 80;
constexpr int FolderReports = 500;  // the reports lie in folders of this many
constexpr int Folders = 20;
constexpr int SmallFolders = 4;  // the smaller fleet
constexpr int Runs = 3;

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

// A workstation's diagnosis as the window gathers it, built through the XML reader.
std::wstring WorkstationXml() {
  std::wstring xml =
      L"<Info><PlugIn Path=\"C:\\Program Files (x86)\\ORN\\PlugIn\\npORNPlugInVLX.dll\" Version=\"10.0.2.123\" "
      L"AppName=\"application/x-ORN-plugin-VLX\" ClassID=\"{5A5C1C43-0000-4B8A-9E0D-6F1C2D3E4F50}\" "
      L"DomainInHosts=\"True\"><LibraryCheck><Checking Name=\"LoadLibrary\" Result=\"OK\"/>";
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

// Folders of reports, odd ones XML, even ones INI; made once, kept between runs.
std::vector<std::wstring> MakeFolders(const std::wstring& root) {
  TCompositeInfo info(PlugInMimeType, PlugInProgID);
  if (!info.LoadFromXML(WorkstationXml())) std::printf("the synthetic report does not parse\n");
  const std::wstring xml = root + L"\\template.xinf", ini = root + L"\\template.iinf";
  ForceDirectories(root);
  info.SaveToFile(xml);
  info.SaveToFile(ini);
  std::vector<std::wstring> folders;
  for (wchar_t letter = L'a'; letter < L'a' + Folders; ++letter) {
    folders.push_back(root + L"\\fleet\\" + letter);
    ForceDirectories(folders.back());
    for (int i = 0; i < FolderReports; ++i) {
      const std::wstring number = std::to_wstring(10000 + i).substr(1);
      const std::wstring name = L"\\WS-" + std::wstring(1, letter) + number + (i % 2 ? L".xinf" : L".iinf");
      ::CopyFileW((i % 2 ? xml : ini).c_str(), (folders.back() + name).c_str(), FALSE);
    }
  }
  ForceDirectories(root + L"\\one");
  ::CopyFileW(xml.c_str(), (root + L"\\one\\WS-0000.xinf").c_str(), FALSE);
  return folders;
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

  const std::wstring root = GetEnv(L"TEMP") + L"\\ornpm-fleet-bench";
  const std::vector<std::wstring> folders = MakeFolders(root);
  struct TSize {
    int Reports;
    std::vector<std::wstring> Inputs;
    TBest Load, Csv, Html;
  };
  TSize sizes[] = {{SmallFolders * FolderReports, {folders.begin(), folders.begin() + SmallFolders}, {}, {}, {}},
                   {Folders * FolderReports, {root + L"\\fleet"}, {}, {}, {}}};
  const std::wstring csv = root + L"\\fleet.csv", html = root + L"\\fleet.html";
  for (int run = 0; run < Runs; ++run) {
    for (TSize& size : sizes) {
      const TFleetFiles files = FindFleetReports(size.Inputs);
      if (static_cast<int>(files.Count()) != size.Reports) std::printf("found %zu reports\n", files.Count());
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
          [&] { Measure(size.Csv, [&] { WriteFleetTable(csv, size.Inputs); }); },
          [&] { Measure(size.Html, [&] { WriteFleetTable(html, size.Inputs); }); }};
      // Each takes its turn first: the machine is shared, and a busy moment should not
      // always fall on the same one.
      for (int i = 0; i < 3; ++i) measurements[(run + i) % 3]();
    }
  }

  std::printf("Fleet table: reports of %d processes x %d modules, %zu zones, .xinf and .iinf alternating\n", Processes,
              ModulesPerProcess, ZoneNames.size());
  std::printf("Times are the best of %d runs; the floor loads each file into a fresh composite\n", Runs);
  for (bool wall : {true, false}) {
    std::printf(wall ? "Wall clock\n" : "Processor time of the thread (the machine is shared; this is the steadier)\n");
    std::printf("  reports   loads alone        CSV table                 HTML table\n");
    for (const TSize& size : sizes) {
      const double load = wall ? size.Load.Wall : size.Load.Processor;
      const double table = wall ? size.Csv.Wall : size.Csv.Processor;
      const double page = wall ? size.Html.Wall : size.Html.Processor;
      std::printf("  %7d  %7.0f ms %5.2f ms  %7.0f ms %5.2f ms %4.2fx  %7.0f ms %5.2f ms %4.2fx\n", size.Reports,
                  load * 1e3, load * 1e3 / size.Reports, table * 1e3, table * 1e3 / size.Reports, table / load,
                  page * 1e3, page * 1e3 / size.Reports, page / load);
    }
  }
  std::printf("  (columns: total, per report, table / loads alone; target: at most 1.3x, per report flat)\n");
  const double growthCsv = TableMemoryGrowthMB(root + L"\\fleet", csv, root + L"\\memory.txt");
  const double growthPage = TableMemoryGrowthMB(root + L"\\fleet", html, root + L"\\memory.txt");
  const double growthOne = TableMemoryGrowthMB(root + L"\\one", html, root + L"\\memory.txt");
  std::printf(
      "Peak memory growth of a table (child process; working set, which Wine takes from VmRSS and VmHWM):\n"
      "  %d reports: CSV %.1f MB, HTML %.1f MB; 1 report %.1f MB (target: under 32 MB)\n",
      Folders * FolderReports, growthCsv, growthPage, growthOne);
  return 0;
}
