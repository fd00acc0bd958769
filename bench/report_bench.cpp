// Report writing and reading at a large workstation's size: 200 processes holding the
// plug-in, 150 modules each. Prints, measured side by side in this run:
//   - the INI report saved and loaded with our INI class, against the system's per-key
//     profile functions (on a slice of the keys: per key they take milliseconds);
//   - the XML report's writing and parsing throughput;
//   - the same bytes written and read raw, the floor for both.

#include <windows.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <string>

#include "service/IniFile.h"
#include "service/PlugInInfo.h"
#include "win/Environment.h"
#include "win/Files.h"
#include "win/Text.h"

using namespace ornpm;

namespace {

constexpr int ProcessCount = 200;
constexpr int ModulesPerProcess = 150;
constexpr int ProfileSliceProcesses = 10;  // processes written through the profile functions

double Seconds(const std::function<void()>& work) {
  auto start = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

std::wstring SyntheticReport(int processes) {
  std::wstring xml =
      L"<PlugIn Path=\"C:\\Program Files (x86)\\ORN\\PlugIn\\npORNPlugInVLX.dll\" Version=\"10.0.2.123\" "
      L"AppName=\"application/x-ORN-plugin-VLX\" ClassID=\"{11111111-2222-3333-4444-555555555555}\" "
      L"DomainInHosts=\"True\"><Processes>";
  for (int p = 0; p < processes; ++p) {
    xml += L"<Process PID=\"" + std::to_wstring(1000 + p * 4) + L"\" Name=\"browser" + std::to_wstring(p) +
           L".exe\"><Modules>";
    for (int m = 0; m < ModulesPerProcess; ++m)
      xml += L"<Module ID=\"" + std::to_wstring(0x10000000 + m * 0x10000) +
             L"\" FileName=\"C:\\Windows\\SysWOW64\\module_" + std::to_wstring(m) + L".dll\"/>";
    xml += L"</Modules></Process>";
  }
  return xml + L"</Processes></PlugIn>";
}

void Fill(TPlugInInfo& info, const std::wstring& xml) {
  TSimpleXMLParser parser;
  info.SetXMLParser(&parser);
  parser.Parse(xml);
  info.SetXMLParser(nullptr);
}

// Every key of the report through WritePrivateProfileStringW, one call each, and read back
// through GetPrivateProfileStringW, as a program without its own INI class would.
size_t ProfileWrite(const TPlugInInfo& info, const std::wstring& file) {
  size_t keys = 0;
  auto write = [&](const std::wstring& section, const std::wstring& key, const std::wstring& value) {
    ::WritePrivateProfileStringW(section.c_str(), key.c_str(), value.c_str(), file.c_str());
    ++keys;
  };
  write(L"PlugIn", L"Path", info.PlugInPath());
  for (const auto& process : info.Processes()) {
    std::wstring id = std::to_wstring(process->ID());
    write(L"PlugIn\\Processes", id, process->Name());
    for (const auto& module : process->Modules())
      write(L"PlugIn\\Process\\" + id, std::to_wstring(module->ID()), module->FileName());
  }
  return keys;
}

void ProfileRead(const TPlugInInfo& info, const std::wstring& file) {
  wchar_t buffer[2048];
  for (const auto& process : info.Processes()) {
    std::wstring section = L"PlugIn\\Process\\" + std::to_wstring(process->ID());
    for (const auto& module : process->Modules())
      ::GetPrivateProfileStringW(section.c_str(), std::to_wstring(module->ID()).c_str(), L"", buffer, 2048,
                                 file.c_str());
  }
}

}  // namespace

int main() {
  std::wstring folder = GetEnv(L"TEMP") + L"\\ornpm-bench";
  ::CreateDirectoryW(folder.c_str(), nullptr);
  const std::wstring iniFile = folder + L"\\report.iinf";
  const std::wstring profileFile = folder + L"\\profile.iinf";
  const std::wstring xmlFile = folder + L"\\report.xinf";
  const std::wstring rawFile = folder + L"\\raw.bin";

  TPlugInInfo info(L"", L"");
  Fill(info, SyntheticReport(ProcessCount));
  TPlugInInfo slice(L"", L"");
  Fill(slice, SyntheticReport(ProfileSliceProcesses));
  const double allKeys = 5 + ProcessCount * (1.0 + ModulesPerProcess);

  // INI: our class against the profile functions, per key.
  ::DeleteFileW(iniFile.c_str());
  double iniSave = Seconds([&] {
    TIniFile ini(iniFile);
    info.SaveToIniFile(&ini);
    ini.UpdateFile();
  });
  TPlugInInfo loaded(L"", L"");
  double iniLoad = Seconds([&] {
    TIniFile ini(iniFile);
    loaded.LoadFromIniFile(&ini);
  });
  ::DeleteFileW(profileFile.c_str());
  size_t profileKeys = 0;
  double profileSave = Seconds([&] { profileKeys = ProfileWrite(slice, profileFile); });
  double profileLoad = Seconds([&] { ProfileRead(slice, profileFile); });
  double ourSavePerKey = iniSave / allKeys, ourLoadPerKey = iniLoad / allKeys;
  double profileSavePerKey = profileSave / profileKeys, profileLoadPerKey = profileLoad / profileKeys;
  std::printf("INI report, %.0f keys (%d processes x %d modules)\n", allKeys, ProcessCount, ModulesPerProcess);
  std::printf("  our INI class:     save %8.1f ms  load %8.1f ms  (%.2f / %.2f us per key)\n", iniSave * 1e3,
              iniLoad * 1e3, ourSavePerKey * 1e6, ourLoadPerKey * 1e6);
  std::printf("  profile functions: %zu keys: save %8.1f ms  read %8.1f ms  (%.2f / %.2f us per key)\n", profileKeys,
              profileSave * 1e3, profileLoad * 1e3, profileSavePerKey * 1e6, profileLoadPerKey * 1e6);
  std::printf("  ratio per key, profile functions / ours: save %.0fx  load %.0fx\n", profileSavePerKey / ourSavePerKey,
              profileLoadPerKey / ourLoadPerKey);
  std::printf("  loaded back: %d processes\n", loaded.ProcessCount());

  // XML: writing the report text and parsing it back into an object.
  std::wstring xml;
  double xmlSave = Seconds([&] { xml = info.SaveAsXML(L""); });
  std::string bytes = WideToBytes(xml);
  double xmlWrite = Seconds([&] { info.SaveToFile(xmlFile); });
  TPlugInInfo parsed(L"", L"");
  double xmlParse = Seconds([&] { Fill(parsed, BytesToWide(ReadFileBytes(xmlFile))); });
  double megabytes = bytes.size() / 1e6;
  std::printf("XML report, %.1f MB\n", megabytes);
  std::printf("  text  %8.1f ms  %7.1f MB/s\n", xmlSave * 1e3, megabytes / xmlSave);
  std::printf("  file  %8.1f ms  %7.1f MB/s (text, conversion and write)\n", xmlWrite * 1e3, megabytes / xmlWrite);
  std::printf("  parse %8.1f ms  %7.1f MB/s (read, conversion and parse into the object)\n", xmlParse * 1e3,
              megabytes / xmlParse);

  // The floor: the same bytes written and read without any formatting.
  double rawWrite = Seconds([&] { WriteFileBytes(rawFile, bytes); });
  double rawRead = Seconds([&] { bytes = ReadFileBytes(rawFile); });
  std::printf("raw bytes, %.1f MB\n", megabytes);
  std::printf("  write %8.1f ms  %7.1f MB/s   read %8.1f ms  %7.1f MB/s\n", rawWrite * 1e3, megabytes / rawWrite,
              rawRead * 1e3, megabytes / rawRead);
  std::printf("  XML file write / raw write: %.1fx   XML parse / raw read: %.1fx\n", xmlWrite / rawWrite,
              xmlParse / rawRead);
  std::printf("  parsed back: %d processes\n", parsed.ProcessCount());
  return 0;
}
