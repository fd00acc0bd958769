#include "service/Hosts.h"

#include "service/PlugInDomain.h"
#include "service/RepairOutcome.h"
#include "win/Environment.h"
#include "win/Files.h"
#include "win/Text.h"

namespace ornpm {

namespace {

std::wstring_view TrimView(std::wstring_view line) {
  while (!line.empty() && line.front() <= L' ') line.remove_prefix(1);
  while (!line.empty() && line.back() <= L' ') line.remove_suffix(1);
  return line;
}

bool IsPlugInDomainLine(std::wstring_view line) {
  line = TrimView(line);
  return StartsText(LocalHostAddress, line) && EndsText(PlugInDomain, line);
}

void AppendPlugInDomain(const std::wstring& hostsFileName) {
  TFileStream file(hostsFileName, GENERIC_READ | GENERIC_WRITE, 0);
  std::string entry = WideToBytes(std::wstring(LocalHostAddress) + L'\t' + PlugInDomain + L"\r\n");
  if (uint64_t size = file.Size(); size > 0) {
    char last = 0;
    file.Seek(size - 1);
    file.ReadExactly(&last, 1);
    if (last != '\n') entry.insert(0, "\r\n");
  }
  file.SeekToEnd();
  file.Write(entry.data(), static_cast<DWORD>(entry.size()));
}

}  // namespace

std::wstring GetHostsFileName() {
  return GetEnv(L"windir") + L"\\System32\\Drivers\\etc\\hosts";
}

bool IsPlugInDomainInHosts() {
  std::wstring text = BytesToWide(ReadFileBytes(GetHostsFileName()));
  bool found = false;
  ForEachLine(text, [&](std::wstring_view line) { found = found || IsPlugInDomainLine(line); });
  return found;
}

int WritePlugInDomainToHosts(bool consoleMode) {
  return RepairEntry(consoleMode, IsPlugInDomainInHosts(), L"Информация о домене плагина уже содержится в Hosts",
                     L"Ошибка записи информации о домене плагина в Hosts (%s): %s",
                     [] { AppendPlugInDomain(GetHostsFileName()); });
}

}  // namespace ornpm
