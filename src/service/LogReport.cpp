// The logging part of the reports: the Logging element of the XML report, the Logging
// section of the INI report and the HTML table, with their readers.

#include "service/IniFile.h"
#include "service/LogInfo.h"
#include "service/ReportText.h"
#include "win/Text.h"

namespace ornpm {

// Literals on the paths taken for every element are views: a plain literal passed as a
// view is measured each time.
using namespace std::string_view_literals;

namespace {

constexpr wchar_t LoggingSection[] = L"Logging";
constexpr wchar_t HistorySection[] = L"Logging\\ChangeHistory";

bool IsTrue(std::wstring_view text) {
  return SameText(text, L"True");
}

}  // namespace

std::wstring TLogInfo::SaveAsXML(const std::wstring& indent) const {
  // What is not known is left out, so that a report read back does not know it either.
  if (!Known()) return {};
  TReportLines out(indent);
  out.Begin(0).Append(L"<Logging").Attribute(L"Enabled", BoolText(FEnabled));
  out.EscapedAttribute(L"FilePath", FLogFilePath).EscapedAttribute(L"FileName", FLogFileName);
  out.EscapedAttribute(L"ActualPath", FActualLogPath);
  if (FExistingPath != FActualLogPath) out.EscapedAttribute(L"ExistingPath", FExistingPath);
  out.Attribute(L"PathAccess", BoolText(FPathAccess)).Append(L"/>").End();
  return out.TakeText();
}

std::wstring TLogInfo::SaveAsHTML(const std::wstring& indent) const {
  TReportLines out(indent);
  out.Add(0, L"<table style=\"width:100%\">");
  out.Add(1, L"<caption><br>Журналирование</caption>");
  if (!Known()) {
    out.AddRow({Th(L"Включено:"), Td(NotInReportText)});
    out.Add(0, L"</table>");
    return out.Text();
  }
  out.AddRow({Th(L"Включено:"), Td(BoolToYesNo(FEnabled))});
  out.AddRow({Th(L"Путь к файлам:"), Td(FLogFilePath)});
  out.AddRow({Th(L"Имя файла:"), Td(FLogFileName)});
  out.AddRow({Th(L"Фактический путь:"), Td(FActualLogPath)});
  if (FExistingPath != FActualLogPath) out.AddRow({Th(L"Существующй путь:"), Td(FExistingPath)});
  out.AddRow({Th(L"Доступен:"), Td(BoolToYesNo(FPathAccess))});
  out.Add(0, L"</table>");
  return out.Text();
}

void TLogInfo::SaveToIniFile(TIniFile* file) const {
  if (!file || !Known()) return;
  file->WriteString(LoggingSection, L"Enabled", BoolText(FEnabled));
  file->WriteString(LoggingSection, L"FilePath", FLogFilePath);
  file->WriteString(LoggingSection, L"FileName", FLogFileName);
  file->WriteString(LoggingSection, L"ActualPath", FActualLogPath);
  file->WriteString(LoggingSection, L"ExistingPath", FExistingPath);
  file->WriteString(LoggingSection, L"PathAccess", BoolText(FPathAccess));
}

bool TLogInfo::LoadFromIniFile(TIniFile* file) {
  if (!file || !file->SectionExists(LoggingSection)) return false;
  SetFromReport(true);
  FRead = true;
  FEnabled = IsTrue(file->ReadString(LoggingSection, L"Enabled", L""));
  FLogFilePath = file->ReadString(LoggingSection, L"FilePath", L"");
  FLogFileName = file->ReadString(LoggingSection, L"FileName", L"");
  FActualLogPath = file->ReadString(LoggingSection, L"ActualPath", L"");
  // Empty when no folder of the path exists; reports of earlier versions have no such key.
  FExistingPath = file->ReadString(LoggingSection, L"ExistingPath", FActualLogPath);
  FPathAccess = IsTrue(file->ReadString(LoggingSection, L"PathAccess", L""));
  if (file->SectionExists(HistorySection)) {
    FChangeHistory.clear();
    for (const std::wstring& key : file->ReadSection(HistorySection))
      FChangeHistory.push_back(file->ReadString(HistorySection, key, L""));
  }
  return true;
}

void TLogInfo::ReadLoggingAttributes() {
  const TNameValueList& attributes = FXMLParser->NodeAttributes();
  FRead = true;
  FEnabled = IsTrue(attributes.Value(L"Enabled"));
  FLogFilePath = attributes.Value(L"FilePath");
  FLogFileName = attributes.Value(L"FileName");
  FActualLogPath = attributes.Value(L"ActualPath");
  // Left out when it is the actual path; written empty when no folder of the path exists.
  FExistingPath = FXMLParser->HasAttribute(L"ExistingPath") ? attributes.Value(L"ExistingPath") : FActualLogPath;
  const std::wstring_view access = attributes.Value(L"PathAccess");
  FPathAccess = access.empty() || IsTrue(access);
}

void TLogInfo::DoBeginNode(const std::wstring& nodeName) {
  if (!SameText(nodeName, L"ChangeHistory"sv)) {
    TCustomInfo::DoBeginNode(nodeName);
    return;
  }
  if (SameText(FXMLParser->CurrentNode(), L"Logging"sv)) ReadLoggingAttributes();
  FChangeHistory.clear();
}

void TLogInfo::DoEndNode(const std::wstring& nodeName) {
  if (SameText(nodeName, L"Logging"sv) && FXMLParser->CurrentNode() == nodeName)
    ReadLoggingAttributes();
  else if (SameText(nodeName, L"LogFile"sv))
    FChangeHistory.emplace_back(FXMLParser->NodeAttributes().Value(L"Name"));
  else
    TCustomInfo::DoEndNode(nodeName);
}

}  // namespace ornpm
