#include "app/FleetTable.h"

#include <windows.h>

#include <exception>
#include <functional>
#include <memory>
#include <new>

#include "app/FleetInputs.h"
#include "app/FleetRow.h"
#include "app/FleetTableFormat.h"
#include "app/HeadlessReport.h"
#include "service/CompositeInfo.h"
#include "service/RepairOutcome.h"
#include "win/Exceptions.h"
#include "win/Files.h"
#include "win/Text.h"

namespace ornpm {

namespace {

// What gathers before it goes to the file.
constexpr size_t WriteChunk = 256 * 1024;

// Whole or not at all: write fills a temporary file in the same folder, which then
// replaces fileName; on any failure it is removed and an earlier file stays as it was.
void WriteReplacing(const std::wstring& fileName, const std::function<void(const std::wstring&)>& write) {
  const std::wstring temporary = fileName + L".~" + std::to_wstring(::GetCurrentProcessId()) + L".tmp";
  try {
    write(temporary);
    if (!::MoveFileExW(temporary.c_str(), fileName.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
      throw EFCreateError(
          Format(L"Не удалось записать файл \"%s\": %s", {fileName, SysErrorMessage(::GetLastError())}));
  } catch (...) {
    ::DeleteFileW(temporary.c_str());
    throw;
  }
}

// A report costs its own row only, whatever it holds: an error of any kind, out of memory
// included, is the row's error.
TFleetRow ReadRow(const TFleetFile& file) {
  if (!file.Error.empty()) return MakeFleetRow(file, nullptr, file.Error);
  std::wstring error;
  try {
    auto info = std::make_unique<TCompositeInfo>(PlugInMimeType, PlugInProgID);
    if (info->LoadFromFile(file.Path)) return MakeFleetRow(file, info.get(), {});
    error = L"Файл отчёта повреждён или имеет неверный формат";
  } catch (const std::bad_alloc&) {
    error = L"Недостаточно памяти для чтения отчёта";
  } catch (const std::exception& e) {
    error = ExceptionMessage(e);
  }
  return MakeFleetRow(file, nullptr, error);
}

}  // namespace

bool WriteFleetTable(const std::wstring& output, const std::vector<std::wstring>& inputs) {
  THeadlessInteraction headless;
  const std::unique_ptr<TFleetTableFormat> format = FleetTableFormatFor(output);
  if (!format) {
    WriteToParentErrorStream(Format(L"Неподдерживаемый формат файла таблицы: %s", {output}));
    return false;
  }
  const TFleetFiles found = FindFleetReports(inputs);
  bool complete = found.Unmatched.empty();
  for (const std::wstring& input : found.Unmatched)
    WriteToParentErrorStream(Format(L"Не найдено ни одного отчёта: %s", {input}));
  if (found.Files.empty()) {
    if (inputs.empty()) WriteToParentErrorStream(L"Не найдено ни одного отчёта");
    return false;
  }
  try {
    WriteReplacing(output, [&](const std::wstring& temporary) {
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
        if (!row.back().Text.empty()) {
          complete = false;
          WriteToParentErrorStream(Format(L"Отчёт не прочитан: %s: %s", {report.Path, row.back().Text}));
        }
        format->Row(row, bytes);
        if (bytes.size() >= WriteChunk) flush();
      }
      format->Tail(bytes);
      flush();
    });
  } catch (const std::exception& error) {
    WriteToParentErrorStream(
        Format(L"Ошибка записи таблицы (%s): %s", {ExceptionKindName(error), ExceptionMessage(error)}));
    return false;
  }
  return complete;
}

}  // namespace ornpm
