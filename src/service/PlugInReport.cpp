// The plug-in's part of the reports: the PlugIn element of the XML report, the PlugIn
// sections of the INI report and its tables of the HTML page, with their readers.

#include <windows.h>

#include "service/Constants.h"
#include "service/Hosts.h"
#include "service/IniFile.h"
#include "service/PlugInInfo.h"
#include "service/ReportText.h"
#include "win/Environment.h"
#include "win/Exceptions.h"
#include "win/Files.h"
#include "win/Text.h"

namespace ornpm {

namespace {

constexpr wchar_t PlugInSection[] = L"PlugIn";
constexpr wchar_t LibraryCheckSection[] = L"PlugIn\\LibraryCheck";
constexpr wchar_t ProcessesSection[] = L"PlugIn\\Processes";
constexpr wchar_t ProcessSectionPrefix[] = L"PlugIn\\Process\\";

bool IsErrorLine(const std::wstring& name) {
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

std::wstring UnsignedText(uint32_t value) {
  return std::to_wstring(value);
}

// Numbers in reports: a value that is not a signed 32-bit number reads as 0.
uint32_t ReportNumber(const std::wstring& text) {
  return static_cast<uint32_t>(StrToIntDef(text, 0));
}

}  // namespace

std::wstring TPlugInInfo::SaveAsXML(const std::wstring& indent) const {
  std::wstring attributes =
      XMLAttribute(L"Path", TextToXML(FPlugInPath)) + XMLAttribute(L"Version", TextToXML(FVersion));
  if (!FAppName.empty()) attributes += XMLAttribute(L"AppName", TextToXML(FAppName));
  if (!FClassID.empty()) attributes += XMLAttribute(L"ClassID", TextToXML(FClassID));
  attributes += XMLAttribute(L"DomainInHosts", BoolText(FDomainInHosts));

  TReportLines out(indent);
  out.Add(0, L"<PlugIn" + attributes + L">");
  if (FLibCheckInfo) {
    out.Add(1, L"<LibraryCheck>");
    for (size_t i = 0; i < FLibCheckInfo->Count(); ++i) {
      const std::wstring& name = FLibCheckInfo->Name(i);
      if (IsErrorLine(name)) continue;
      std::wstring error = FLibCheckInfo->Value(name + ErrorSuffix);
      out.Add(2, L"<Checking" + XMLAttribute(L"Name", name) + XMLAttribute(L"Result", FLibCheckInfo->ValueAt(i)) +
                     (error.empty() ? L"" : XMLAttribute(L"Error", error)) + L"/>");
    }
    out.Add(1, L"</LibraryCheck>");
  }
  out.Add(1, L"<Processes>");
  for (const auto& process : FProcesses) {
    std::wstring start = L"<Process" + XMLAttribute(L"PID", UnsignedText(process->ID())) +
                         XMLAttribute(L"Name", TextToXML(process->Name()));
    if (process->Modules().empty()) {
      out.Add(2, start + L"/>");
      continue;
    }
    out.Add(2, start + L">");
    out.Add(3, L"<Modules>");
    for (const auto& module : process->Modules())
      out.Add(4, L"<Module" + XMLAttribute(L"ID", UnsignedText(module->ID())) +
                     XMLAttribute(L"FileName", TextToXML(module->FileName())) + L"/>");
    out.Add(3, L"</Modules>");
    out.Add(2, L"</Process>");
  }
  out.Add(1, L"</Processes>");
  if (auto hostsLines = HostsLinesWithDomain()) {
    out.Add(1, L"<Hosts>");
    for (const std::wstring& line : *hostsLines) out.Add(2, L"<Entry" + XMLAttribute(L"Line", TextToXML(line)) + L"/>");
    out.Add(1, L"</Hosts>");
  }
  out.Add(0, L"</PlugIn>");
  return out.Text();
}

std::wstring TPlugInInfo::SaveAsHTML(const std::wstring& indent) const {
  TReportLines out(indent);
  out.Add(0, L"<table style=\"width:100%\">");
  out.Add(1, L"<caption><br>Информация о плагине</caption>");
  out.AddRow({Th(L"Путь к плагину:"), Td(FPlugInPath)});
  out.AddRow({Th(L"Версия:"), Td(FVersion)});
  out.AddRow({Th(L"Домен в Hosts:"), Td(FDomainInHosts ? L"Да" : L"Нет")});
  out.Add(0, L"</table>");
  if (FLibCheckInfo) {
    out.Add(0, L"<table style=\"width:100%\">");
    out.Add(1, L"<caption>Проверка динамической библиотеки</caption>");
    out.AddRow({Th(L"Название проверки"), Th(L"Результат проверки")});
    for (size_t i = 0; i < FLibCheckInfo->Count(); ++i) {
      const std::wstring& name = FLibCheckInfo->Name(i);
      if (IsErrorLine(name)) continue;
      std::wstring error = FLibCheckInfo->Value(name + ErrorSuffix);
      out.AddRow({Td(name), Td(error.empty() ? FLibCheckInfo->ValueAt(i) : L"Ошибка: " + error)});
    }
    out.Add(0, L"</table>");
  }
  if (!FProcesses.empty()) {
    out.Add(0, L"<table style=\"width:100%\">");
    out.Add(1, L"<caption>Процессы, использующие плагин</caption>");
    out.AddRow({Th(L"PID"), Th(L"Имя образа")});
    for (const auto& process : FProcesses) out.AddRow({Td(UnsignedText(process->ID())), Td(process->Name())});
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
  file->WriteString(PlugInSection, L"DomainInHosts", FDomainInHosts ? L"1" : L"0");
  if (FLibCheckInfo)
    for (size_t i = 0; i < FLibCheckInfo->Count(); ++i)
      file->WriteString(LibraryCheckSection, FLibCheckInfo->Name(i), FLibCheckInfo->ValueAt(i));
  for (const auto& process : FProcesses) {
    std::wstring id = UnsignedText(process->ID());
    file->WriteString(ProcessesSection, id, process->Name());
    for (const auto& module : process->Modules())
      file->WriteString(ProcessSectionPrefix + id, UnsignedText(module->ID()), module->FileName());
  }
}

bool TPlugInInfo::LoadFromIniFile(TIniFile* file) {
  if (!file || !file->SectionExists(PlugInSection)) return false;
  SetPlugInPath(file->ReadString(PlugInSection, L"Path", L""));
  FVersion = file->ReadString(PlugInSection, L"Version", L"");
  FAppName = file->ReadString(PlugInSection, L"AppName", L"");
  FClassID = file->ReadString(PlugInSection, L"ClassID", L"");
  FDomainInHosts = file->ReadInteger(PlugInSection, L"DomainInHosts", 0) != 0;
  if (file->SectionExists(LibraryCheckSection)) {
    TNameValueList& checks = ResetLibCheckInfo();
    for (const std::wstring& key : file->ReadSection(LibraryCheckSection))
      checks.SetValue(key, file->ReadString(LibraryCheckSection, key, L""));
  }
  ResetProcesses(true);
  if (file->SectionExists(ProcessesSection)) {
    for (const std::wstring& key : file->ReadSection(ProcessesSection)) {
      auto process = TProcessInfo::CreateAs(ReportNumber(key), file->ReadString(ProcessesSection, key, L""));
      const std::wstring modulesSection = ProcessSectionPrefix + key;
      if (file->SectionExists(modulesSection))
        for (const std::wstring& moduleKey : file->ReadSection(modulesSection))
          process->AddModule(ReportNumber(moduleKey), file->ReadString(modulesSection, moduleKey, L""));
      FProcesses.push_back(std::move(process));
    }
  }
  ProcessesChanged();
  return true;
}

void TPlugInInfo::SetPlugInPath(std::wstring path) {
  FPlugInPath = std::move(path);
  FPlugInName = ExtractFileName(FPlugInPath);
}

void TPlugInInfo::ReadPlugInAttributes() {
  const TNameValueList& attributes = FXMLParser->NodeAttributes();
  SetPlugInPath(attributes.Value(L"Path"));
  FVersion = attributes.Value(L"Version");
  FAppName = attributes.Value(L"AppName");
  FClassID = attributes.Value(L"ClassID");
  FDomainInHosts = SameText(attributes.Value(L"DomainInHosts"), L"True");
}

void TPlugInInfo::DoBeginNode(const std::wstring& nodeName) {
  const std::wstring& current = FXMLParser->CurrentNode();
  if (SameText(nodeName, L"LibraryCheck")) {
    if (SameText(current, L"PlugIn")) ReadPlugInAttributes();
    ResetLibCheckInfo();
  } else if (SameText(nodeName, L"Processes")) {
    if (SameText(current, L"PlugIn")) ReadPlugInAttributes();
    ResetProcesses(true);
  } else if (SameText(nodeName, L"Modules")) {
    if (SameText(current, L"Process")) {
      const TNameValueList& attributes = FXMLParser->NodeAttributes();
      FProcesses.push_back(TProcessInfo::CreateAs(ReportNumber(attributes.Value(L"PID")), attributes.Value(L"Name")));
      ProcessesChanged();
    }
  } else {
    TCustomInfo::DoBeginNode(nodeName);
  }
}

void TPlugInInfo::DoEndNode(const std::wstring& nodeName) {
  const TNameValueList& attributes = FXMLParser->NodeAttributes();
  if (SameText(nodeName, L"PlugIn") && FXMLParser->CurrentNode() == nodeName) {
    ReadPlugInAttributes();
  } else if (SameText(nodeName, L"Checking")) {
    if (!FLibCheckInfo) return;
    std::wstring name = attributes.Value(L"Name");
    FLibCheckInfo->SetValue(name, attributes.Value(L"Result"));
    if (std::wstring error = attributes.Value(L"Error"); !error.empty())
      FLibCheckInfo->SetValue(name + ErrorSuffix, error);
  } else if (SameText(nodeName, L"Module")) {
    if (!FProcesses.empty())
      FProcesses.back()->AddModule(ReportNumber(attributes.Value(L"ID")), attributes.Value(L"FileName"));
  } else {
    TCustomInfo::DoEndNode(nodeName);
  }
}

}  // namespace ornpm
