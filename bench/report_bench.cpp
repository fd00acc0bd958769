// The report files of the whole diagnosis at a large workstation's size: 200 processes
// holding the plug-in with 150 modules each, five zones with all twelve URL actions, the
// library check and the logging settings. Prints, measured side by side in this run and
// each the best of a few runs (the machine is shared, so the minimum is the least noisy):
//   - the INI report (.iinf) saved and loaded, per key against the system's profile
//     functions, which run on a slice of the report because they take milliseconds a key;
//   - the INI and the XML report (.xinf) saved and loaded, against writing and reading the
//     same bytes raw, the floor for both. A load is what opening a report file in the
//     program does: reading and decoding the file and replacing the records held before;
//   - what creating and freeing the module records alone takes, a floor of both loads;
//   - hostile report files, shaped to make a reader slow (many check lines or attributes,
//     deep nesting, one long value), from 1 to 16 MB, loaded as the window loads a file,
//     per MB against a normal report of the same size and format, and how the time per MB
//     grows with the size.

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "service/CompositeInfo.h"
#include "service/IniFile.h"
#include "service/SimpleXMLParser.h"
#include "win/Environment.h"
#include "win/Files.h"
#include "win/Text.h"

using namespace ornpm;

namespace {

constexpr int ProcessCount = 200;
constexpr int ModulesPerProcess = 150;
constexpr int ProfileSliceProcesses = 10;  // processes of the slice written through the profile functions
constexpr int Runs = 7;                    // runs of each of our and the raw measurements
constexpr int ProfileRuns = 2;             // runs of the profile functions, seconds each

double Seconds(const std::function<void()>& work) {
  auto start = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The best of several runs of each measurement. The runs of all measurements alternate, so
// that a busy moment of the machine does not fall on one of them only.
struct TBest {
  double Value = 1e9;
  void Add(double seconds) { Value = std::min(Value, seconds); }
};

std::wstring Attribute(const wchar_t* name, const std::wstring& value) {
  return std::wstring(L" ") + name + L"=\"" + value + L"\"";
}

std::wstring SyntheticReport(int processes) {
  std::wstring xml = L"<?xml version=\"1.0\" encoding=\"windows-1251\"?><Info>";
  xml += L"<PlugIn" + Attribute(L"Path", L"C:\\Program Files (x86)\\ORN\\PlugIn\\npORNPlugInVLX.dll") +
         Attribute(L"Version", L"10.0.2.123") + Attribute(L"AppName", PlugInMimeType) +
         Attribute(L"ClassID", L"{11111111-2222-3333-4444-555555555555}") + Attribute(L"DomainInHosts", L"True") +
         L"><LibraryCheck>";
  xml += L"<Checking Name=\"LoadLibrary\" Result=\"OK\"/>";
  for (size_t i = 0; i < LibraryCheckFunctions.size(); ++i)
    xml += L"<Checking" + Attribute(L"Name", LibraryCheckFunctions[i]) +
           (i < 5 ? Attribute(L"Result", L"OK") : Attribute(L"Result", L"Null") + Attribute(L"Error", L"127")) + L"/>";
  xml += L"</LibraryCheck><Processes>";
  for (int p = 0; p < processes; ++p) {
    xml += L"<Process" + Attribute(L"PID", std::to_wstring(1000 + p * 4)) +
           Attribute(L"Name", L"browser" + std::to_wstring(p) + L".exe") + L"><Modules>";
    for (int m = 0; m < ModulesPerProcess; ++m)
      xml += L"<Module" + Attribute(L"ID", std::to_wstring(0x10000000 + m * 0x10000)) +
             Attribute(L"FileName", L"C:\\Windows\\SysWOW64\\module_" + std::to_wstring(m) + L".dll") + L"/>";
    xml += L"</Modules></Process>";
  }
  xml += L"</Processes></PlugIn>";
  xml += L"<IEProxySettings Enable=\"True\" Override=\"*.ornpluginvlx.local;192.168.*\"/>";
  xml += L"<ActiveXSettings><InternetZones>";
  const int values[] = {0, 1, 3, 0x10000};
  for (size_t z = 0; z < ZoneNames.size(); ++z) {
    xml += L"<Zone" + Attribute(L"ID", std::to_wstring(z)) + Attribute(L"Caption", ZoneNames[z]) + L">";
    for (size_t k = 0; k < ZoneParamIDs.size(); ++k)
      xml += L"<ZoneParam" + Attribute(L"ID", ZoneParamIDs[k]) + Attribute(L"Caption", ZoneParamCaptions[k]) +
             Attribute(L"Value", std::to_wstring(values[(z + k) % 4])) + L"/>";
    xml += L"</Zone>";
  }
  xml += L"</InternetZones></ActiveXSettings>";
  xml += L"<Logging" + Attribute(L"Enabled", L"True") + Attribute(L"FilePath", DefaultLogFilePath) +
         Attribute(L"FileName", DefaultLogFileName) +
         Attribute(L"ActualPath", L"C:\\Users\\user\\AppData\\Roaming\\ORN\\ORNPlugInVLX\\Logs\\") +
         Attribute(L"PathAccess", L"True") + L"/>";
  return xml + L"</Info>";
}

void Fill(TCompositeInfo& info, const std::wstring& xml) {
  if (!info.LoadFromXML(xml)) std::printf("the synthetic report does not parse\n");
}

struct TKey {
  std::wstring Section, Name, Value;
};

// Every key of an INI report in file order.
std::vector<TKey> ReportKeys(const std::wstring& file) {
  TIniFile ini(file);
  std::vector<TKey> keys;
  for (const std::wstring& section : ini.ReadSections())
    for (const std::wstring& name : ini.ReadSection(section))
      keys.push_back({section, name, ini.ReadString(section, name, L"")});
  return keys;
}

// The keys through WritePrivateProfileStringW, one call each, and read back through
// GetPrivateProfileStringW, as a program without its own INI class would.
void ProfileWrite(const std::vector<TKey>& keys, const std::wstring& file) {
  ::DeleteFileW(file.c_str());
  for (const TKey& key : keys)
    ::WritePrivateProfileStringW(key.Section.c_str(), key.Name.c_str(), key.Value.c_str(), file.c_str());
}

void ProfileRead(const std::vector<TKey>& keys, const std::wstring& file) {
  wchar_t buffer[2048];
  for (const TKey& key : keys)
    ::GetPrivateProfileStringW(key.Section.c_str(), key.Name.c_str(), L"", buffer, 2048, file.c_str());
}

int ZoneCount(const TCompositeInfo& info) {
  const auto& zones = info.ActiveXSettings().Zones();
  return zones ? static_cast<int>(zones->size()) : 0;
}

// The records a load creates, 200 processes with their modules, each process's storage
// taken at its full size at once, and frees again, as a load frees the ones it replaces.
void CopyRecords(const TPlugInInfo& info) {
  std::vector<std::unique_ptr<TProcessInfo>> processes;
  for (const auto& process : info.Processes()) {
    auto copy = TProcessInfo::CreateAs(process->ID(), process->Name());
    size_t namesLength = 0;
    for (const TLibraryInfo& module : process->Modules()) namesLength += module.FileName().size();
    copy->ReserveModules(process->Modules().size(), namesLength);
    for (const TLibraryInfo& module : process->Modules()) copy->AddModule(module.ID(), module.FileName());
    processes.push_back(std::move(copy));
  }
}

// A hostile file's bytes for a count of its repeated piece, and the format of the normal
// report it is measured against.
struct THostileShape {
  const char* Name;
  bool Ini;
  std::function<std::string(size_t count)> Bytes;
};

std::string Repeat(size_t count, const std::function<std::string(size_t)>& piece) {
  std::string text;
  for (size_t i = 0; i < count; ++i) text += piece(i);
  return text;
}

const std::string XmlHead = "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n<Info>\r\n";
const std::string PlugInElement = "<PlugIn Path=\"C:\\ORN\\np.dll\" Version=\"1.0\" DomainInHosts=\"True\">\r\n";

std::vector<THostileShape> HostileShapes() {
  return {
      {"check lines (.iinf)", true,
       [](size_t count) {
         return "[PlugIn]\r\nPath=C:\\ORN\\np.dll\r\n[PlugIn\\LibraryCheck]\r\n" +
                Repeat(count, [](size_t i) { return "Check" + std::to_string(i) + "=OK\r\n"; }) +
                "[IEProxySettings]\r\nEnable=0\r\n[Logging]\r\nEnabled=False\r\n";
       }},
      {"check lines (.xinf)", false,
       [](size_t count) {
         return XmlHead + PlugInElement + "<LibraryCheck>\r\n" +
                Repeat(count,
                       [](size_t i) { return "<Checking Name=\"Check" + std::to_string(i) + "\" Result=\"OK\"/>\r\n"; }) +
                "</LibraryCheck>\r\n</PlugIn>\r\n</Info>";
       }},
      {"attributes of one element", false,
       [](size_t count) {
         return XmlHead + "<PlugIn" + Repeat(count, [](size_t i) { return " A" + std::to_string(i) + "=\"x\""; }) +
                ">\r\n<Processes>\r\n</Processes>\r\n</PlugIn>\r\n</Info>";
       }},
      {"attributes set and emptied", false,
       [](size_t count) {
         return XmlHead + "<PlugIn" +
                Repeat(count,
                       [](size_t i) { return " A" + std::to_string(i) + "=\"x\" A" + std::to_string(i) + "=\"\""; }) +
                ">\r\n<Processes>\r\n</Processes>\r\n</PlugIn>\r\n</Info>";
       }},
      {"nested elements", false,
       [](size_t count) {
         return XmlHead + Repeat(count, [](size_t) { return std::string("<Process PID=\"1\">"); }) +
                Repeat(count, [](size_t) { return std::string("</Process>"); }) + "\r\n</Info>";
       }},
      {"one long value (.xinf)", false,
       [](size_t count) {
         return XmlHead + "<PlugIn Path=\"" + std::string(count, 'x') +
                "\" Version=\"1\">\r\n<Processes>\r\n</Processes>\r\n</PlugIn>\r\n</Info>";
       }},
      {"one long value (.iinf)", true,
       [](size_t count) {
         return "[PlugIn]\r\nPath=" + std::string(count, 'x') +
                "\r\n[IEProxySettings]\r\nEnable=0\r\n[Logging]\r\nEnabled=False\r\n";
       }},
  };
}

// The shape's file of about mb megabytes: as many pieces as it takes.
std::string HostileOfSize(const THostileShape& shape, double mb) {
  constexpr size_t Probe = 10000;
  const double perPiece = static_cast<double>(shape.Bytes(2 * Probe).size() - shape.Bytes(Probe).size()) / Probe;
  return shape.Bytes(static_cast<size_t>(mb * 1e6 / perPiece));
}

// Loads each file the best of a few times into a new composite, as the window does; the
// runs alternate, so that a busy moment of the machine does not fall on one file only.
std::pair<double, double> LoadSeconds(const std::wstring& first, const std::wstring& second, int runs) {
  TBest one, other;
  for (int run = 0; run < runs; ++run) {
    for (auto [file, best] : {std::pair{&first, &one}, std::pair{&second, &other}})
      best->Add(Seconds([&] {
        TCompositeInfo target(PlugInMimeType, PlugInProgID);
        target.LoadFromFile(*file);
      }));
  }
  return {one.Value, other.Value};
}

// A normal report of the format, about size bytes: the synthetic report with as many
// processes as it takes.
std::wstring NormalReportOfSize(const std::wstring& folder, bool ini, size_t size) {
  const std::wstring file = folder + (ini ? L"\\normal.iinf" : L"\\normal.xinf");
  TCompositeInfo probe(L"", L"");
  Fill(probe, SyntheticReport(10));
  probe.SaveToFile(file);
  const size_t perProcess = ReadFileBytes(file).size() / 10;
  TCompositeInfo normal(L"", L"");
  Fill(normal, SyntheticReport(static_cast<int>(std::max<size_t>(1, size / perProcess))));
  normal.SaveToFile(file);
  return file;
}

// Each shape at 1 to 16 MB: its load time per MB, the ratio to a normal report of the same
// format and size, and how the time per MB grows from 1 to 16 MB (1.0 is linear).
void PrintHostileShapes(const std::wstring& folder) {
  constexpr double Sizes[] = {1, 2, 4, 8, 16};
  constexpr int GrowthRuns = 3;
  std::printf("Hostile report files, loaded into a new composite (best of %d), per MB against a normal report\n",
              GrowthRuns);
  std::printf("of the same format and size (target: at most 3x), and the growth of the time per MB from 1 to 16 MB\n");
  std::printf("  %-28s", "ms/MB (ratio to normal)");
  for (double mb : Sizes) std::printf(" %12.0f MB", mb);
  std::printf("   growth\n");
  for (const THostileShape& shape : HostileShapes()) {
    std::printf("  %-28s", shape.Name);
    double first = 0, last = 0;
    for (double mb : Sizes) {
      const std::string bytes = HostileOfSize(shape, mb);
      const std::wstring file = folder + (shape.Ini ? L"\\hostile.iinf" : L"\\hostile.xinf");
      WriteFileBytes(file, bytes);
      const std::wstring normalFile = NormalReportOfSize(folder, shape.Ini, bytes.size());
      const double normalMB = ReadFileBytes(normalFile).size() / 1e6, hostileMB = bytes.size() / 1e6;
      const auto [hostile, normal] = LoadSeconds(file, normalFile, GrowthRuns);
      last = hostile * 1e3 / hostileMB;
      if (first == 0) first = last;
      std::printf(" %7.1f (%.2fx)", last, last / (normal * 1e3 / normalMB));
      std::fflush(stdout);
    }
    std::printf("   %.2fx\n", last / first);
  }
}

void PrintLoaded(const char* format, const TCompositeInfo& info) {
  std::printf(format, info.PlugInInfo().ProcessCount(), ZoneCount(info), info.LogInfo().Enabled() ? "on" : "off");
}

}  // namespace

int main() {
  std::wstring folder = GetEnv(L"TEMP") + L"\\ornpm-bench";
  ::CreateDirectoryW(folder.c_str(), nullptr);
  const std::wstring iniFile = folder + L"\\report.iinf";
  const std::wstring profileFile = folder + L"\\profile.iinf";
  const std::wstring sliceFile = folder + L"\\slice.iinf";
  const std::wstring xmlFile = folder + L"\\report.xinf";
  const std::wstring rawFile = folder + L"\\raw.bin";

  TCompositeInfo info(L"", L"");
  Fill(info, SyntheticReport(ProcessCount));
  TCompositeInfo slice(L"", L"");
  Fill(slice, SyntheticReport(ProfileSliceProcesses));

  // A first save of each file gives the bytes for the raw floor and warms the caches.
  info.SaveToFile(iniFile);
  info.SaveToFile(xmlFile);
  const std::string iniBytes = ReadFileBytes(iniFile);
  const std::string xmlBytes = ReadFileBytes(xmlFile);
  const size_t allKeys = ReportKeys(iniFile).size();

  TBest iniSave, iniLoad, iniRawWrite, iniRawRead, xmlSave, xmlLoad, xmlRawWrite, xmlRawRead, records;
  TCompositeInfo fromIni(L"", L""), fromXml(L"", L"");
  for (int run = 0; run < Runs; ++run) {
    iniSave.Add(Seconds([&] { info.SaveToFile(iniFile); }));
    iniRawWrite.Add(Seconds([&] { WriteFileBytes(rawFile, iniBytes); }));
    iniLoad.Add(Seconds([&] { fromIni.LoadFromFile(iniFile); }));
    iniRawRead.Add(Seconds([&] { ReadFileBytes(rawFile); }));
    xmlSave.Add(Seconds([&] { info.SaveToFile(xmlFile); }));
    xmlRawWrite.Add(Seconds([&] { WriteFileBytes(rawFile, xmlBytes); }));
    xmlLoad.Add(Seconds([&] { fromXml.LoadFromFile(xmlFile); }));
    xmlRawRead.Add(Seconds([&] { ReadFileBytes(rawFile); }));
    records.Add(Seconds([&] { CopyRecords(info.PlugInInfo()); }));
  }

  // Where the loads and the INI save spend their time, step by step.
  TBest iniRead, iniIndex, iniFill, iniKeys, iniWrite, xmlText, xmlParse;
  for (int run = 0; run < Runs; ++run) {
    iniRead.Add(Seconds([&] { ReadFileBytes(iniFile); }));
    std::unique_ptr<TIniFile> loaded;
    iniIndex.Add(Seconds([&] { loaded = std::make_unique<TIniFile>(iniFile); }));
    TCompositeInfo target(L"", L"");
    iniFill.Add(Seconds([&] { target.LoadFromIniFile(loaded.get()); }));
    loaded.reset();
    ::DeleteFileW(iniFile.c_str());
    TIniFile fresh(iniFile);
    iniKeys.Add(Seconds([&] { info.SaveToIniFile(&fresh); }));
    iniWrite.Add(Seconds([&] { fresh.UpdateFile(); }));
    std::wstring text;
    xmlText.Add(Seconds([&] { text = ReadReportText(xmlFile); }));
    xmlParse.Add(Seconds([&] { TSimpleXMLParser().Parse(text); }));
  }

  slice.SaveToFile(sliceFile);
  const std::vector<TKey> sliceKeys = ReportKeys(sliceFile);
  TBest profileSave, profileLoad;
  for (int run = 0; run < ProfileRuns; ++run) {
    profileSave.Add(Seconds([&] { ProfileWrite(sliceKeys, profileFile); }));
    profileLoad.Add(Seconds([&] { ProfileRead(sliceKeys, profileFile); }));
  }

  std::printf("Composite report: %d processes x %d modules, %zu zones x %zu values, library check, logging\n",
              ProcessCount, ModulesPerProcess, ZoneNames.size(), ZoneParamIDs.size());
  std::printf("Times are the best of %d runs (profile functions: of %d runs)\n", Runs, ProfileRuns);

  double iniMB = iniBytes.size() / 1e6;
  double savePerKey = iniSave.Value / allKeys, loadPerKey = iniLoad.Value / allKeys;
  double profileSavePerKey = profileSave.Value / sliceKeys.size();
  double profileLoadPerKey = profileLoad.Value / sliceKeys.size();
  std::printf("INI report (.iinf), %zu keys, %.2f MB\n", allKeys, iniMB);
  std::printf("  ours:  save %8.2f ms %7.1f MB/s   load %8.2f ms %7.1f MB/s  (%.3f / %.3f us per key)\n",
              iniSave.Value * 1e3, iniMB / iniSave.Value, iniLoad.Value * 1e3, iniMB / iniLoad.Value, savePerKey * 1e6,
              loadPerKey * 1e6);
  std::printf(
      "  profile functions, on a %d-process slice of %zu keys: save %8.1f ms  read %8.1f ms  (%.1f / %.1f us per "
      "key)\n",
      ProfileSliceProcesses, sliceKeys.size(), profileSave.Value * 1e3, profileLoad.Value * 1e3,
      profileSavePerKey * 1e6, profileLoadPerKey * 1e6);
  std::printf("  raw:   write %7.2f ms %7.1f MB/s   read %8.2f ms %7.1f MB/s\n", iniRawWrite.Value * 1e3,
              iniMB / iniRawWrite.Value, iniRawRead.Value * 1e3, iniMB / iniRawRead.Value);
  std::printf("  per key, profile functions / ours: save %.0fx  load %.0fx  (target: at least 100x)\n",
              profileSavePerKey / savePerKey, profileLoadPerKey / loadPerKey);
  std::printf("  ours / raw: save %.1fx  load %.1fx  (target: at most 3x)\n", iniSave.Value / iniRawWrite.Value,
              iniLoad.Value / iniRawRead.Value);

  double xmlMB = xmlBytes.size() / 1e6;
  std::printf("XML report (.xinf), %.2f MB\n", xmlMB);
  std::printf("  ours:  save %8.2f ms %7.1f MB/s   load %8.2f ms %7.1f MB/s  (load: read, conversion, parse)\n",
              xmlSave.Value * 1e3, xmlMB / xmlSave.Value, xmlLoad.Value * 1e3, xmlMB / xmlLoad.Value);
  std::printf("  raw:   write %7.2f ms %7.1f MB/s   read %8.2f ms %7.1f MB/s\n", xmlRawWrite.Value * 1e3,
              xmlMB / xmlRawWrite.Value, xmlRawRead.Value * 1e3, xmlMB / xmlRawRead.Value);
  std::printf("  ours / raw: save %.1fx  load %.1fx  (target: at most 3x)\n", xmlSave.Value / xmlRawWrite.Value,
              xmlLoad.Value / xmlRawRead.Value);

  std::printf(
      "Steps: .iinf load: read %.2f ms, file object %.2f ms, records %.2f ms; "
      ".iinf save: keys %.2f ms, write %.2f ms\n",
      iniRead.Value * 1e3, iniIndex.Value * 1e3, iniFill.Value * 1e3, iniKeys.Value * 1e3, iniWrite.Value * 1e3);
  std::printf("       .xinf load: read and decode %.2f ms, parse without handlers %.2f ms\n", xmlText.Value * 1e3,
              xmlParse.Value * 1e3);
  std::printf("Module records: creating and freeing the %d alone takes %.2f ms, a floor of both loads\n",
              ProcessCount * ModulesPerProcess, records.Value * 1e3);
  PrintLoaded("loaded back from .iinf: %d processes, %d zones, logging %s\n", fromIni);
  PrintLoaded("loaded back from .xinf: %d processes, %d zones, logging %s\n", fromXml);
  PrintHostileShapes(folder);
  return 0;
}
