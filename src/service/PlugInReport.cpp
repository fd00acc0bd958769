// The plug-in's part of the reports: the PlugIn element of the XML report, the PlugIn
// sections of the INI report and its tables of the HTML page, with their readers.

#include <windows.h>

#include "service/Hosts.h"
#include "service/IniFile.h"
#include "service/PlugInDomain.h"
#include "service/PlugInInfo.h"
#include "service/ReportText.h"
#include "win/Environment.h"
#include "win/Exceptions.h"
#include "win/Files.h"
#include "win/Text.h"

namespace ornpm {

// Literals on the paths taken for every element are views: a plain literal passed as a
// view is measured each time.
using namespace std::string_view_literals;

namespace {

constexpr wchar_t PlugInSection[] = L"PlugIn";
constexpr wchar_t LibraryCheckSection[] = L"PlugIn\\LibraryCheck";
constexpr wchar_t ProcessesSection[] = L"PlugIn\\Processes";
constexpr wchar_t ProcessSectionPrefix[] = L"PlugIn\\Process\\";
constexpr wchar_t HostsSection[] = L"PlugIn\\Hosts";
constexpr wchar_t HostsLineKey[] = L"Line";

bool IsErrorLine(std::wstring_view name) {
  return EndsText(ErrorSuffix, name);
}

// The lines of the hosts file that mention the plug-in domain, trimmed, commented or not;
// nothing when the file cannot be read.
std::optional<std::vector<std::wstring>> HostsLinesWithDomain() {
  std::wstring text;
  try {
    text = BytesToWide(ReadFileBytes(GetHostsFileName()));
  } catch (const std::exception&) {
    return std::nullopt;
  }
  std::vector<std::wstring> lines;
  ForEachLine(text, [&](std::wstring_view line) {
    std::wstring trimmed = Trim(line);
    if (ContainsText(trimmed, PlugInDomain)) lines.push_back(std::move(trimmed));
  });
  return lines;
}

// Ids in reports are unsigned 32-bit decimals; a negative one, as earlier versions wrote
// large ids, is taken modulo 2^32. Anything else reads as 0.
uint32_t ReportNumber(std::wstring_view text) {
  const bool negative = text.starts_with(L'-');
  if (negative) text.remove_prefix(1);
  if (text.empty() || text.size() > 10) return 0;
  uint64_t value = 0;
  for (wchar_t c : text) {
    if (c < L'0' || c > L'9') return 0;
    value = value * 10 + static_cast<uint64_t>(c - L'0');
  }
  if (negative ? value > 0x80000000u : value > 0xFFFFFFFFu) return 0;
  return static_cast<uint32_t>(negative ? 0 - value : value);
}

// Room for the XML text, so that it is written into one buffer: a line of a process or a
// module takes at most LineMarkup characters besides its indent and its values (escaped
// values make the text grow as usual). The other lines, and the small other parts that the
// composite report puts around this one, go into OtherLines.
size_t XMLRoom(const std::vector<std::unique_ptr<TProcessInfo>>& processes, size_t indent) {
  constexpr size_t LineMarkup = 64;
  constexpr size_t OtherLines = 65536;
  size_t size = OtherLines;
  for (const auto& process : processes) {
    size += 4 * (indent + LineMarkup) + process->Name().size();
    for (const TLibraryInfo& module : process->Modules()) size += indent + LineMarkup + module.FileName().size();
  }
  return size;
}

}  // namespace

std::wstring TPlugInInfo::SaveAsXML(const std::wstring& indent) const {
  TReportLines out(indent);
  out.Reserve(XMLRoom(FProcesses, indent.size()));
  WriteXML(out);
  return out.TakeText();
}

void TPlugInInfo::WriteXML(const std::wstring& indent, const TTextSink& sink) const {
  TReportLines out(indent, sink);
  WriteXML(out);
  out.Flush();
}

void TPlugInInfo::WriteXML(TReportLines& out) const {
  out.Begin(0).Append(L"<PlugIn").EscapedAttribute(L"Path", FPlugInPath).EscapedAttribute(L"Version", FVersion);
  if (!FAppName.empty()) out.EscapedAttribute(L"AppName", FAppName);
  if (!FClassID.empty()) out.EscapedAttribute(L"ClassID", FClassID);
  if (DomainInHostsKnown()) out.Attribute(L"DomainInHosts", BoolText(DomainInHosts()));
  out.Append(L">").End();
  if (FLibCheckInfo) {
    out.Add(1, L"<LibraryCheck>");
    for (size_t i = 0; i < FLibCheckInfo->Count(); ++i) {
      const std::wstring_view name = FLibCheckInfo->Name(i);
      if (IsErrorLine(name)) continue;
      const std::wstring_view error = FLibCheckInfo->Value(std::wstring(name).append(ErrorSuffix));
      out.Begin(2).Append(L"<Checking").EscapedAttribute(L"Name", name);
      out.EscapedAttribute(L"Result", FLibCheckInfo->ValueAt(i));
      if (!error.empty()) out.EscapedAttribute(L"Error", error);
      out.Append(L"/>").End();
    }
    out.Add(1, L"</LibraryCheck>");
  }
  out.Add(1, L"<Processes>");
  for (const auto& process : FProcesses) {
    out.Begin(2).Append(L"<Process"sv).Attribute(L"PID"sv, TDecimalText(process->ID()));
    out.EscapedAttribute(L"Name"sv, process->Name());
    if (process->Modules().empty()) {
      out.Append(L"/>"sv).End();
      continue;
    }
    out.Append(L">"sv).End();
    out.Add(3, L"<Modules>"sv);
    for (const TLibraryInfo& module : process->Modules()) {
      out.Begin(4).Append(L"<Module"sv).Attribute(L"ID"sv, TDecimalText(module.ID()));
      out.EscapedAttribute(L"FileName"sv, module.FileName()).Append(L"/>"sv).End();
    }
    out.Add(3, L"</Modules>"sv);
    out.Add(2, L"</Process>"sv);
  }
  out.Add(1, L"</Processes>");
  if (auto hostsLines = HostsLines()) {
    out.Add(1, L"<Hosts>");
    for (const std::wstring& line : *hostsLines)
      out.Begin(2).Append(L"<Entry").EscapedAttribute(L"Line", line).Append(L"/>").End();
    out.Add(1, L"</Hosts>");
  }
  out.Add(0, L"</PlugIn>");
}

// A report keeps the lines it carried; only live data takes this workstation's.
std::optional<std::vector<std::wstring>> TPlugInInfo::HostsLines() const {
  return FromReport() ? FReportHostsLines : HostsLinesWithDomain();
}

std::wstring TPlugInInfo::SaveAsHTML(const std::wstring& indent) const {
  TReportLines out(indent);
  out.Add(0, L"<table style=\"width:100%\">");
  out.Add(1, L"<caption><br>Информация о плагине</caption>");
  out.AddRow({Th(L"Путь к плагину:"), Td(FPlugInPath)});
  out.AddRow({Th(L"Версия:"), Td(FVersion)});
  out.AddRow({Th(L"Домен в Hosts:"), Td(KnownOr(DomainInHostsKnown(), DomainInHosts() ? L"Да" : L"Нет"))});
  out.Add(0, L"</table>");
  if (FLibCheckInfo) {
    out.Add(0, L"<table style=\"width:100%\">");
    out.Add(1, L"<caption>Проверка динамической библиотеки</caption>");
    out.AddRow({Th(L"Название проверки"), Th(L"Результат проверки")});
    for (size_t i = 0; i < FLibCheckInfo->Count(); ++i) {
      const std::wstring_view name = FLibCheckInfo->Name(i);
      if (IsErrorLine(name)) continue;
      const std::wstring_view error = FLibCheckInfo->Value(std::wstring(name).append(ErrorSuffix));
      out.AddRow(
          {Td(name), Td(error.empty() ? std::wstring(FLibCheckInfo->ValueAt(i)) : L"Ошибка: " + std::wstring(error))});
    }
    out.Add(0, L"</table>");
  }
  if (!FProcesses.empty()) {
    out.Add(0, L"<table style=\"width:100%\">");
    out.Add(1, L"<caption>Процессы, использующие плагин</caption>");
    out.AddRow({Th(L"PID"), Th(L"Имя образа")});
    for (const auto& process : FProcesses) out.AddRow({Td(std::to_wstring(process->ID())), Td(process->Name())});
    out.Add(0, L"</table>");
  }
  return out.Text();
}

void TPlugInInfo::SaveToIniFile(TIniFile* file) const {
  if (!file) return;
  file->WriteString(PlugInSection, L"Path", FPlugInPath);
  file->WriteString(PlugInSection, L"Version", FVersion);
  file->WriteString(PlugInSection, L"AppName", FAppName);
  file->WriteString(PlugInSection, L"ClassID", FClassID);
  if (DomainInHostsKnown()) file->WriteString(PlugInSection, L"DomainInHosts", DomainInHosts() ? L"1" : L"0");
  if (FLibCheckInfo)
    for (size_t i = 0; i < FLibCheckInfo->Count(); ++i)
      file->WriteString(LibraryCheckSection, FLibCheckInfo->Name(i), FLibCheckInfo->ValueAt(i));
  for (const auto& process : FProcesses) {
    const TDecimalText id(process->ID());
    file->WriteString(ProcessesSection, id, process->Name());
    const std::wstring modulesSection = std::wstring(ProcessSectionPrefix).append(id);
    for (const TLibraryInfo& module : process->Modules())
      file->WriteString(modulesSection, TDecimalText(module.ID()), module.FileName());
  }
  // The count first, so that a readable hosts file without the domain still shows as such.
  if (auto hostsLines = HostsLines()) {
    file->WriteString(HostsSection, L"Count", TDecimalText(hostsLines->size()));
    for (size_t i = 0; i < hostsLines->size(); ++i)
      file->WriteString(HostsSection, std::wstring(HostsLineKey).append(TDecimalText(i + 1)), (*hostsLines)[i]);
  }
}

bool TPlugInInfo::LoadFromIniFile(TIniFile* file) {
  if (!file || !file->SectionExists(PlugInSection)) return false;
  SetFromReport(true);
  FLibCheckInfo.reset();
  FReportHostsLines.reset();
  SetPlugInPath(file->ReadString(PlugInSection, L"Path", L""));
  FVersion = file->ReadString(PlugInSection, L"Version", L"");
  FAppName = file->ReadString(PlugInSection, L"AppName", L"");
  FClassID = file->ReadString(PlugInSection, L"ClassID", L"");
  FDomainInHosts.reset();
  if (file->ValueExists(PlugInSection, L"DomainInHosts"))
    FDomainInHosts = file->ReadInteger(PlugInSection, L"DomainInHosts", 0) != 0;
  if (file->SectionExists(LibraryCheckSection)) {
    TNameValueList& checks = ResetLibCheckInfo();
    const TIniFile::TSectionSize size = file->SectionSize(LibraryCheckSection);
    checks.Reserve(size.Keys, size.NameLength + size.ValueLength);
    file->ForEachValue(LibraryCheckSection,
                       [&](std::wstring_view name, std::wstring_view value) { checks.Append(name, value); });
  }
  ResetProcesses();
  std::wstring modulesSection;
  file->ForEachValue(ProcessesSection, [&](std::wstring_view id, std::wstring_view name) {
    auto process = TProcessInfo::CreateAs(ReportNumber(id), std::wstring(name));
    modulesSection.assign(ProcessSectionPrefix).append(id);
    const TIniFile::TSectionSize size = file->SectionSize(modulesSection);
    process->ReserveModules(size.Keys, size.ValueLength);
    file->ForEachValue(modulesSection, [&](std::wstring_view moduleId, std::wstring_view fileName) {
      process->AddModule(ReportNumber(moduleId), fileName);
    });
    FProcesses.push_back(std::move(process));
  });
  ProcessesChanged();
  if (file->SectionExists(HostsSection)) {
    auto& lines = FReportHostsLines.emplace();
    file->ForEachValue(HostsSection, [&](std::wstring_view key, std::wstring_view line) {
      if (StartsText(HostsLineKey, key)) lines.emplace_back(line);
    });
  }
  return true;
}

void TPlugInInfo::SetPlugInPath(std::wstring path) {
  FPlugInPath = std::move(path);
  FPlugInName = ExtractFileName(FPlugInPath);
}

void TPlugInInfo::ReadPlugInAttributes() {
  const TNameValueList& attributes = FXMLParser->NodeAttributes();
  SetPlugInPath(std::wstring(attributes.Value(L"Path")));
  FVersion = attributes.Value(L"Version");
  FAppName = attributes.Value(L"AppName");
  FClassID = attributes.Value(L"ClassID");
  FDomainInHosts.reset();
  if (FXMLParser->HasAttribute(L"DomainInHosts"))
    FDomainInHosts = SameText(attributes.Value(L"DomainInHosts"), L"True");
}

void TPlugInInfo::ReadCutOffPlugIn() {
  if (FXMLParser && SameText(FXMLParser->CurrentNode(), L"PlugIn"sv)) ReadPlugInAttributes();
}

void TPlugInInfo::DoBeginNode(const std::wstring& nodeName) {
  const std::wstring& current = FXMLParser->CurrentNode();
  FProcessBegunLast = SameText(nodeName, L"Process"sv);
  if (FProcessBegunLast) {
    return;  // read at its end when it has no modules, else when they begin
  } else if (SameText(nodeName, L"LibraryCheck"sv)) {
    // The plug-in's own attributes are read as its first child begins, whichever it is.
    if (SameText(current, L"PlugIn"sv)) ReadPlugInAttributes();
    ResetLibCheckInfo();
  } else if (SameText(nodeName, L"Processes"sv)) {
    if (SameText(current, L"PlugIn"sv)) ReadPlugInAttributes();
    ResetProcesses();
  } else if (SameText(nodeName, L"Modules"sv)) {
    if (SameText(current, L"Process"sv)) AddReportProcess(FXMLParser->NodeAttributes());
  } else if (SameText(nodeName, L"Hosts"sv)) {
    if (SameText(current, L"PlugIn"sv)) ReadPlugInAttributes();
    FReportHostsLines.emplace();
  } else {
    TCustomInfo::DoBeginNode(nodeName);
  }
}

void TPlugInInfo::AddReportProcess(const TNameValueList& attributes) {
  FProcesses.push_back(
      TProcessInfo::CreateAs(ReportNumber(attributes.Value(L"PID"sv)), std::wstring(attributes.Value(L"Name"sv))));
}

void TPlugInInfo::DoEndNode(const std::wstring& nodeName) {
  const TNameValueList& attributes = FXMLParser->NodeAttributes();
  // The element's own tag was read last: it has no children.
  const bool childless = SameText(FXMLParser->CurrentNode(), nodeName);
  if (SameText(nodeName, L"PlugIn"sv) && childless) {
    ReadPlugInAttributes();
  } else if (SameText(nodeName, L"Process"sv)) {
    // A process without modules; one with modules was added as they began. An end tag
    // read last would look the same, hence the flag.
    if (childless && FProcessBegunLast) AddReportProcess(attributes);
    FProcessBegunLast = false;
  } else if (SameText(nodeName, L"Entry"sv)) {
    if (FReportHostsLines) FReportHostsLines->emplace_back(attributes.Value(L"Line"sv));
  } else if (SameText(nodeName, L"Checking"sv)) {
    if (!FLibCheckInfo) return;
    const std::wstring_view name = attributes.Value(L"Name"sv);
    FLibCheckInfo->SetValue(name, attributes.Value(L"Result"sv));
    if (const std::wstring_view error = attributes.Value(L"Error"sv); !error.empty())
      FLibCheckInfo->SetValue(std::wstring(name).append(ErrorSuffix), error);
  } else if (SameText(nodeName, L"Module"sv)) {
    if (!FProcesses.empty())
      FProcesses.back()->AddModule(ReportNumber(attributes.Value(L"ID"sv)), attributes.Value(L"FileName"sv));
  } else if (SameText(nodeName, L"Processes"sv)) {
    // Records were only added since the list was emptied, so those shown stay valid; the
    // whole list is announced once instead of once per process.
    ProcessesChanged();
  } else {
    TCustomInfo::DoEndNode(nodeName);
  }
}

}  // namespace ornpm
