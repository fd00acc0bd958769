#include "service/Hosts.h"

#include "service/PlugInDomain.h"
#include "service/EntryRepair.h"
#include "win/Environment.h"
#include "win/Exceptions.h"
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
  const uint64_t size = file.Size();
  if (size > 0) {
    char last = 0;
    file.Seek(size - 1);
    file.ReadExactly(&last, 1);
    if (last != '\n') entry.insert(0, "\r\n");
  }
  file.SeekToEnd();
  try {
    file.Write(entry.data(), static_cast<DWORD>(entry.size()));
  } catch (const Exception& error) {
    // Half a line (a full disk) would be a broken entry: the file goes back to what it was.
    throw EInOutError(error.Message() + (file.TryTruncate(size) ? L" Файл оставлен без изменений."
                                                                : L" Вернуть файл к прежнему виду не удалось."));
  }
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
