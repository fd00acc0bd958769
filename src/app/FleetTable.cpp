#include "app/FleetTable.h"

#include <windows.h>

#include <exception>
#include <memory>

#include "app/FleetInputs.h"
#include "app/FleetRow.h"
#include "app/FleetTableFormat.h"
#include "service/CompositeInfo.h"
#include "win/CommandLineOutput.h"
#include "win/Exceptions.h"
#include "win/Files.h"
#include "win/Text.h"

namespace ornpm {

namespace {

// What gathers before it goes to the file.
constexpr size_t WriteChunk = 256 * 1024;

// A report costs its own row only, whatever it holds: an error of any kind, out of memory
// included, is the row's error, and the error stream is told. A report cut off shows what
// it holds, with the error saying so.
TFleetRow ReadRow(const TFleetFile& file) {
  auto unread = [&](const std::wstring& error) {
    WriteErrorLine(Format(L"Отчёт не прочитан: %s: %s", {file.Path, error}));
    return MakeFleetRow(file, nullptr, error);
  };
  if (!file.Error.empty()) return unread(file.Error);
  try {
    const std::unique_ptr<TCompositeInfo> info = TCompositeInfo::ReadReportFile(file.Path);
    const std::wstring cutOff = info->CutOffMessage(file.Path);
    if (!cutOff.empty()) WriteErrorLine(cutOff);
    return MakeFleetRow(file, info.get(), cutOff);
  } catch (const std::exception& error) {
    return unread(ExceptionMessage(error));
  }
}

}  // namespace

bool WriteFleetTable(const std::wstring& output, const std::vector<std::wstring>& inputs) {
  THeadlessInteraction headless;
  const std::unique_ptr<TFleetTableFormat> format = FleetTableFormatFor(output);
  if (!format) {
    WriteErrorLine(Format(L"Неподдерживаемый формат файла таблицы: %s", {output}));
    return false;
  }
  const TFleetFiles found = FindFleetReports(inputs);
  bool complete = found.Unmatched.empty();
  for (const std::wstring& input : found.Unmatched) WriteErrorLine(Format(L"Не найдено ни одного отчёта: %s", {input}));
  if (found.Files.empty()) {
    if (inputs.empty()) WriteErrorLine(L"Не найдено ни одного отчёта");
    return false;
  }
  try {
    WriteFileReplacing(output, [&](const std::wstring& temporary) {
      TFileStream file(temporary, GENERIC_WRITE, 0, CREATE_ALWAYS);
      std::string bytes;
      auto flush = [&] {
        file.Write(bytes.data(), static_cast<DWORD>(bytes.size()));
        bytes.clear();
      };
      format->Head(FleetColumns(), bytes);
      for (const TFleetFile& report : found.Files) {
        // Read one at a time: memory stays flat however many there are.
        const TFleetRow row = ReadRow(report);
        if (!row.back().Text.empty()) complete = false;
        format->Row(row, bytes);
        if (bytes.size() >= WriteChunk) flush();
      }
      format->Tail(bytes);
      flush();
    });
  } catch (const std::exception& error) {
    WriteErrorLine(Format(L"Ошибка записи таблицы (%s): %s", {ExceptionKindName(error), ExceptionMessage(error)}));
    return false;
  }
  return complete;
}

}  // namespace ornpm
