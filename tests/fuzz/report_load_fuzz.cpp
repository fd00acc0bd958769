// Mutation fuzzing of the whole report load path, run under Wine: report files are written
// to disk and opened as the window opens them (reading, decoding, the INI or XML reader,
// the information objects' handlers), then written back in every format. The loaders need
// the Windows layer, so this is a Windows program without coverage feedback: inputs are
// mutated from real reports, and those that load into a shape not seen before join the pool.
//
//   report_load_fuzz.exe xinf|iinf SECONDS SEED_FOLDER OUT_FOLDER
//
// Before each load the input is in OUT_FOLDER\current.<ext>, so that a crash leaves it
// behind (scripts/fuzz keeps it). Findings are written as finding-N.<ext> with the reason
// in finding-N.txt. Prints executions and findings; exit code 0 when nothing was found.

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <set>
#include <string>
#include <vector>

#include "service/CompositeInfo.h"
#include "win/Environment.h"
#include "win/Exceptions.h"
#include "win/Files.h"
#include "win/Text.h"

using namespace ornpm;

namespace {

// Pieces of both report formats that mutations insert.
const char* const Tokens[] = {"<?xml version=\"1.0\" encoding=\"windows-1251\"?>",
                              "<Info>",
                              "</Info>",
                              "<PlugIn",
                              "</PlugIn>",
                              "<Processes>",
                              "</Processes>",
                              "<Process PID=\"",
                              "</Process>",
                              "<Modules>",
                              "</Modules>",
                              "<Module ID=\"",
                              "<LibraryCheck>",
                              "</LibraryCheck>",
                              "<Checking Name=\"",
                              "Result=\"",
                              "Error=\"",
                              "<Hosts>",
                              "</Hosts>",
                              "<Entry Line=\"",
                              "<IEProxySettings",
                              "<ActiveXSettings>",
                              "<InternetZones>",
                              "<Zone ID=\"0\" Caption=\"",
                              "<ZoneParam ID=\"",
                              "Value=\"",
                              "<Logging",
                              "<ChangeHistory>",
                              "<LogFile Name=\"",
                              "/>",
                              ">",
                              "</",
                              "<!--",
                              "-->",
                              "=\"",
                              "\"",
                              "&amp;",
                              "&lt;",
                              "&gt;",
                              "&quot;",
                              "&amp;lt;",
                              "4294967295",
                              "-2147483648",
                              "2147483648",
                              "0x10",
                              "True",
                              "\r\n",
                              "\n",
                              "\r",
                              "[PlugIn]",
                              "[PlugIn\\LibraryCheck]",
                              "[PlugIn\\Processes]",
                              "[PlugIn\\Process\\",
                              "[PlugIn\\Hosts]",
                              "Count=",
                              "Line1=",
                              "[IEProxySettings]",
                              "[ActiveXSettings\\InternetZones]",
                              "[ActiveXSettings\\InternetZone\\0]",
                              "[Logging]",
                              "[Logging\\ChangeHistory]",
                              "Enabled=True",
                              "Path=",
                              "=",
                              ";",
                              "[",
                              "]",
                              "\xEF\xBB\xBF",
                              "\xFF\xFE",
                              "\xFE\xFF",
                              "\xC6",
                              "\0"};

class TRandom {
 public:
  explicit TRandom(uint64_t seed) : FState(seed | 1) {}
  uint64_t Next() {
    FState ^= FState << 13;
    FState ^= FState >> 7;
    FState ^= FState << 17;
    return FState;
  }
  size_t Below(size_t bound) { return bound == 0 ? 0 : static_cast<size_t>(Next() % bound); }

 private:
  uint64_t FState;
};

void Mutate(std::string& data, const std::vector<std::string>& pool, TRandom& random) {
  const size_t steps = 1 + random.Below(8);
  for (size_t step = 0; step < steps; ++step) {
    const size_t at = random.Below(data.size() + 1);
    switch (random.Below(8)) {
      case 0:  // flip a bit
        if (!data.empty()) data[random.Below(data.size())] ^= static_cast<char>(1 << random.Below(8));
        break;
      case 1:  // a random byte
        if (!data.empty()) data[random.Below(data.size())] = static_cast<char>(random.Next());
        break;
      case 2: {  // a piece of the formats
        const std::string token = Tokens[random.Below(std::size(Tokens))];
        data.insert(at, token.empty() ? std::string(1, '\0') : token);
        break;
      }
      case 3:  // cut a range
        data.erase(at, random.Below(64));
        break;
      case 4: {  // repeat a range
        const std::string piece = data.substr(at, random.Below(256));
        for (size_t copies = 1 + random.Below(random.Below(2) ? 4 : 200); copies > 0; --copies) data.insert(at, piece);
        break;
      }
      case 5: {  // a range of another input
        const std::string& other = pool[random.Below(pool.size())];
        const size_t from = random.Below(other.size() + 1);
        data.insert(at, other.substr(from, random.Below(512)));
        break;
      }
      case 6:  // cut the end off
        data.resize(at);
        break;
      default: {  // move a range elsewhere
        const std::string piece = data.substr(at, random.Below(128));
        data.erase(at, piece.size());
        data.insert(random.Below(data.size() + 1), piece);
        break;
      }
    }
  }
  constexpr size_t MaxInput = 1 << 20;
  if (data.size() > MaxInput) data.resize(MaxInput);
}

// What a loaded report looks like, coarsely: a new shape makes an input worth keeping.
uint64_t Shape(const TCompositeInfo& info) {
  const TPlugInInfo& plugIn = info.PlugInInfo();
  uint64_t shape = std::min(plugIn.ProcessCount(), 4);
  for (const auto& process : plugIn.Processes()) shape = shape * 3 + std::min<size_t>(process->Modules().size(), 2);
  shape = shape * 4 + (plugIn.LibCheckInfo() ? std::min<size_t>(plugIn.LibCheckInfo()->Count(), 2) + 1 : 0);
  const auto& zones = info.ActiveXSettings().Zones();
  shape = shape * 4 + (zones ? std::min<size_t>(zones->size(), 2) + 1 : 0);
  shape = shape * 2 + plugIn.PlugInPath().empty();
  shape = shape * 2 + plugIn.ClassID().empty();
  shape = shape * 2 + info.LogInfo().Enabled();
  shape = shape * 2 + info.ActiveXSettings().ProxyOverride().empty();
  shape = shape * 4 + std::min<size_t>(info.LogInfo().ChangeHistory().size(), 3);
  return shape;
}

struct TFuzzer {
  std::wstring Extension;  // ".xinf" or ".iinf"
  std::wstring Out;
  std::vector<std::string> Pool;
  std::set<uint64_t> Shapes;
  uint64_t Executions = 0, Loaded = 0, Refused = 0, Findings = 0;

  void Finding(const std::string& input, const std::string& reason) {
    ++Findings;
    const std::wstring name = Out + L"\\finding-" + std::to_wstring(Findings);
    WriteFileBytes(name + Extension, input);
    WriteFileBytes(name + L".txt", reason + "\n");
    std::printf("finding %llu: %s\n", static_cast<unsigned long long>(Findings), reason.c_str());
  }

  // Loads, then writes back in every format and reads the XML again: the second reading
  // must give the same report as the first.
  void Run(const std::string& input) {
    ++Executions;
    const std::wstring file = Out + L"\\current" + Extension;
    WriteFileBytes(file, input);
    const auto start = std::chrono::steady_clock::now();
    std::unique_ptr<TCompositeInfo> info;
    try {
      info = TCompositeInfo::ReadReportFile(file);
    } catch (const Exception&) {
      ++Refused;
      return;
    } catch (const std::exception& error) {
      return Finding(input, std::string("unexpected error while loading: ") + error.what());
    }
    ++Loaded;
    if (!info->FromReport() || !info->PlugInInfo().FromReport() || !info->LogInfo().FromReport())
      return Finding(input, "a loaded report is not marked as one");
    try {
      const std::wstring xml = info->SaveAsXML(L"");
      TCompositeInfo again(PlugInMimeType, PlugInProgID);
      if (!again.LoadFromXML(xml)) return Finding(input, "the report's own XML does not read");
      if (const std::wstring second = again.SaveAsXML(L""); second != xml) {
        const size_t at = std::mismatch(xml.begin(), xml.end(), second.begin(), second.end()).first - xml.begin();
        const size_t from = at < 80 ? 0 : at - 80;
        return Finding(input, "the report's own XML reads as another report, first at\n" +
                                  WideToBytes(xml.substr(from, 160), CP_UTF8) + "\nread as\n" +
                                  WideToBytes(second.substr(from, 160), CP_UTF8));
      }
      info->SaveAsHTML(L"note");
      info->SaveToFile(Out + L"\\written.iinf");
      TCompositeInfo::ReadReportFile(Out + L"\\written.iinf");
    } catch (const std::exception& error) {
      return Finding(input, std::string("error after a successful load: ") + error.what());
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (seconds > 2) return Finding(input, "slow: " + std::to_string(seconds) + " s");
    if (Pool.size() < 4000 && Shapes.insert(Shape(*info)).second) Pool.push_back(input);
  }
};

// Real reports of either format; each seed also joins in the other format, as the
// program writes it.
void AddSeeds(TFuzzer& fuzzer, const std::wstring& folder) {
  WIN32_FIND_DATAW found;
  HANDLE search = ::FindFirstFileW((folder + L"\\*.?inf").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    const std::wstring seed = folder + L"\\" + found.cFileName;
    const std::string bytes = ReadFileBytes(seed);
    if (SameText(ExtractFileExt(seed), fuzzer.Extension)) {
      fuzzer.Pool.push_back(bytes);
      continue;
    }
    try {
      auto info = TCompositeInfo::ReadReportFile(seed);
      const std::wstring converted = fuzzer.Out + L"\\converted" + fuzzer.Extension;
      info->SaveToFile(converted);
      fuzzer.Pool.push_back(ReadFileBytes(converted));
    } catch (const std::exception&) {
    }
  } while (::FindNextFileW(search, &found));
  ::FindClose(search);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 5) {
    std::printf("usage: report_load_fuzz xinf|iinf SECONDS SEED_FOLDER OUT_FOLDER\n");
    return 2;
  }
  TFuzzer fuzzer;
  fuzzer.Extension = std::wstring(L".") + argv[1];
  const double seconds = _wtof(argv[2]);
  fuzzer.Out = argv[4];
  ::CreateDirectoryW(fuzzer.Out.c_str(), nullptr);
  AddSeeds(fuzzer, argv[3]);
  if (fuzzer.Pool.empty()) {
    std::printf("no seeds in the seed folder\n");
    return 2;
  }
  std::printf("%zu seeds\n", fuzzer.Pool.size());
  for (const std::string& seed : std::vector<std::string>(fuzzer.Pool)) fuzzer.Run(seed);

  TRandom random(static_cast<uint64_t>(::GetTickCount64()) * 2654435761u + ::GetCurrentProcessId());
  const auto start = std::chrono::steady_clock::now();
  auto report = start;
  for (;;) {
    const auto now = std::chrono::steady_clock::now();
    const double elapsed = std::chrono::duration<double>(now - start).count();
    if (elapsed >= seconds) break;
    if (now - report >= std::chrono::seconds(30)) {
      report = now;
      std::printf("%6.0f s: %llu executions (%.0f/s), pool %zu, loaded %llu, refused %llu, findings %llu\n", elapsed,
                  static_cast<unsigned long long>(fuzzer.Executions), fuzzer.Executions / elapsed, fuzzer.Pool.size(),
                  static_cast<unsigned long long>(fuzzer.Loaded), static_cast<unsigned long long>(fuzzer.Refused),
                  static_cast<unsigned long long>(fuzzer.Findings));
      std::fflush(stdout);
    }
    std::string input = fuzzer.Pool[random.Below(fuzzer.Pool.size())];
    Mutate(input, fuzzer.Pool, random);
    fuzzer.Run(input);
  }
  const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("done: %llu executions in %.0f s (%.0f/s), pool %zu, loaded %llu, refused %llu, findings %llu\n",
              static_cast<unsigned long long>(fuzzer.Executions), elapsed, fuzzer.Executions / elapsed,
              fuzzer.Pool.size(), static_cast<unsigned long long>(fuzzer.Loaded),
              static_cast<unsigned long long>(fuzzer.Refused), static_cast<unsigned long long>(fuzzer.Findings));
  return fuzzer.Findings == 0 ? 0 : 1;
}
