#include "app/HeadlessReport.h"

#include <exception>

#include "service/CompositeInfo.h"
#include "win/CommandLineOutput.h"
#include "win/Environment.h"
#include "win/Exceptions.h"
#include "win/Files.h"
#include "win/Text.h"
#include "win/UserInteraction.h"

namespace ornpm {

namespace {

// Whole or not at all: a failed write leaves no partial report under the name, and an
// earlier report there as it was.
void WriteReport(const TCompositeInfo& info, const std::wstring& fileName, bool html) {
  if (!html) return info.SaveToFile(fileName);
  const std::string page = WideToBytes(info.SaveAsHTML(L""), 1251);
  WriteFileReplacing(fileName, [&](const std::wstring& temporary) { WriteFileBytes(temporary, page); });
}

}  // namespace

bool WriteHeadlessReport(const std::wstring& fileName) {
  THeadlessInteraction headless;
  const std::wstring extension = ExtractFileExt(fileName);
  const bool html = SameText(extension, L".html") || SameText(extension, L".htm");
  if (!html && ReportFormatOf(fileName) == TReportFormat::None) {
    WriteErrorLine(Format(L"Неподдерживаемый формат файла отчёта: %s", {fileName}));
    return false;
  }
  TCompositeInfo info(PlugInMimeType, PlugInProgID);
  try {
    info.Load();
  } catch (const std::exception& error) {
    // The parts that could be gathered still go into the report.
    WriteErrorLine(MessageCaption(TMsgKind::Error) + std::wstring(L": ") + ExceptionMessage(error));
  }
  try {
    WriteReport(info, fileName, html);
    return true;
  } catch (const std::exception& error) {
    WriteErrorLine(Format(L"Ошибка записи отчёта (%s): %s", {ExceptionKindName(error), ExceptionMessage(error)}));
    return false;
  }
}

}  // namespace ornpm
