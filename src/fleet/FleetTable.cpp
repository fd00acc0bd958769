#include "fleet/FleetTable.h"

#include <windows.h>

#include <exception>
#include <memory>

#include "fleet/FleetInputs.h"
#include "fleet/FleetRow.h"
#include "fleet/FleetTableFormat.h"
#include "service/CompositeInfo.h"
#include "win/CommandLineOutput.h"
#include "win/Exceptions.h"
#include "win/Files.h"
#include "win/Text.h"

namespace ornpm {

namespace {

// A report costs its own row only, whatever it holds: an error of any kind, out of memory
// included, is the row's error, and the error stream is told. A report cut off shows what
// it holds, with the error saying so.
struct TReadRow {
  TFleetRow Row;
  bool Read;  // false: the file could not be read, the row holds its error only
};

TReadRow ReadRow(const TFleetFile& file) {
  auto unread = [&](const std::wstring& error) {
    WriteErrorLine(Format(L"Отчёт не прочитан: %s: %s", {file.Path, error}));
    return TReadRow{MakeFleetRow(file, nullptr, error), false};
  };
  if (!file.Error.empty()) return unread(file.Error);
  try {
    const std::unique_ptr<TCompositeInfo> info = TCompositeInfo::ReadReportFile(file.Path);
    const std::wstring cutOff = info->CutOffMessage(file.Path);
    if (!cutOff.empty()) WriteErrorLine(cutOff);
    return TReadRow{MakeFleetRow(file, info.get(), cutOff), true};
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
  if (found.Count() == 0) {
    if (inputs.empty()) WriteErrorLine(L"Не найдено ни одного отчёта");
    return false;
  }
  try {
    WriteFileReplacing(output, [&](const std::wstring& temporary) {
      TFileStream file(temporary, GENERIC_WRITE, 0, CREATE_ALWAYS);
      TFleetOutput out([&](std::string_view bytes) { file.Write(bytes.data(), static_cast<DWORD>(bytes.size())); });
      format->Begin(out);
      for (size_t i = 0; i < found.Count(); ++i) {
        // Read one at a time: besides what the format keeps of a row, memory stays flat
        // however many there are.
        const TReadRow read = ReadRow(found.File(i));
        if (!read.Row.back().Text.empty()) complete = false;
        format->Row(found, i, read.Row, read.Read, out);
      }
      format->End(found, out);
      out.Spill(true);
    });
  } catch (const std::exception& error) {
    WriteErrorLine(Format(L"Ошибка записи таблицы (%s): %s", {ExceptionKindName(error), ExceptionMessage(error)}));
    return false;
  }
  return complete;
}

}  // namespace ornpm
