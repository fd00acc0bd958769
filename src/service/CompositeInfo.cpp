#include "service/CompositeInfo.h"

#include <algorithm>
#include <exception>
#include <new>
#include <optional>

#include "service/IniFile.h"
#include "service/ReportText.h"
#include "win/AsciiText.h"
#include "win/Environment.h"
#include "win/Exceptions.h"
#include "win/Files.h"
#include "win/Text.h"
#include "win/TextEncoding.h"

namespace ornpm {

namespace {

// The page around the parts' tables, up to the body's first line.
constexpr const wchar_t* PageHead[] = {
    L"<!DOCTYPE html>",
    L"<html>",
    L"  <head>",
    L"    <meta charset=\"windows-1251\">",
    L"    <title>ORN PlugIn Info</title>",
    L"    <style>",
    L"      table, th, td {",
    L"        border: 1px solid black;",
    L"        border-collapse: collapse;",
    L"      }",
    L"      th, td {",
    L"        padding: 5px;",
    L"        text-align: left;",
    L"      }",
    L"      caption {",
    L"        padding: 10px 5px 5px;",
    L"        font-weight: bold;",
    L"        font-style: italic;",
    L"      }",
    L"      p {",
    L"        color: red;",
    L"      }",
    L"    </style>",
    L"  </head>",
    L"  <body>",
};

std::wstring XMLHead(const std::wstring& indent) {
  return indent + L"<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n" + indent + L"<Info>\r\n";
}

constexpr wchar_t XMLTail[] = L"</Info>";

// Every version of the INI report wrote the plug-in's section first, its path first of all,
// and the logging section last, its access flag last of all.
constexpr wchar_t FirstIniSection[] = L"PlugIn";
constexpr wchar_t FirstIniKey[] = L"Path";
constexpr wchar_t LastIniSection[] = L"Logging";
constexpr wchar_t LastIniKey[] = L"PathAccess";

// A name from a report as a message shows it: its control characters visible, and not so
// long that it hides the rest of the message.
std::wstring ShownName(std::wstring_view name) {
  constexpr size_t MaxShown = 64;
  if (name.size() <= MaxShown) return EscapeControls(name);
  return EscapeControls(name.substr(0, MaxShown)) + L"…";
}

// The line of the text's last character that is not a blank, counted from 1.
long long LastLine(std::wstring_view text) {
  size_t end = text.size();
  while (end > 0 && IsBlankOrControl(text[end - 1])) --end;
  return std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(end), L'\n') + 1;
}

// Whether each line break of the text is a CR LF. Neither byte is part of a longer
// character in the code pages a report may come in, so the bytes can be looked at directly.
// Two searches for single bytes, which are quick, rather than one for either byte.
bool OnlyCrLfBreaks(std::string_view bytes) {
  for (size_t pos = 0; (pos = bytes.find('\r', pos)) != std::string_view::npos; ++pos)
    if (pos + 1 == bytes.size() || bytes[pos + 1] != '\n') return false;
  for (size_t pos = 0; (pos = bytes.find('\n', pos)) != std::string_view::npos; ++pos)
    if (pos == 0 || bytes[pos - 1] != '\r') return false;
  return true;
}

// Room is left for the line break ReadReportText may add, so a report of megabytes is not
// copied for two characters.
std::wstring DecodeReport(std::string_view bytes, TEncoding encoding) {
  std::wstring text;
  text.reserve(bytes.size() + 2);
  AppendDecoded(text, bytes.substr(ByteOrderMark(encoding).size()), encoding);
  return text;
}

}  // namespace

TCompositeInfo::TCompositeInfo(const std::wstring& appName, const std::wstring& className)
    : FPlugInInfo(std::make_unique<TPlugInInfo>(appName, className)),
      FActiveXSettings(std::make_unique<TIEActiveXSettings>()),
      FLogInfo(std::make_unique<TLogInfo>(FPlugInInfo.get())) {}

TCompositeInfo::~TCompositeInfo() {
  FLogInfo.reset();
  FActiveXSettings.reset();
  FPlugInInfo.reset();
}

void TCompositeInfo::Clear() {
  FLogInfo->Clear();
  FActiveXSettings->Clear();
  FPlugInInfo->Clear();
  FCutOff.clear();
  FXMLRoot = TXMLRoot::None;
  FHoldsPlugIn = false;
}

// The parts pass Info and PlugIn on. Every version wrote Info around the whole report and
// the plug-in's element first inside it; a second root element is nothing of a report's.
void TCompositeInfo::DoBeginNode(const std::wstring& nodeName) {
  const size_t depth = FXMLParser->Depth();
  if (depth == 0)
    FXMLRoot = FXMLRoot == TXMLRoot::None && SameText(nodeName, L"Info") ? TXMLRoot::Info : TXMLRoot::Other;
  else if (depth == 1 && FXMLRoot == TXMLRoot::Info && SameText(nodeName, L"PlugIn"))
    FHoldsPlugIn = true;
  TCustomInfo::DoBeginNode(nodeName);
}

bool TCompositeInfo::Load() {
  // A gather after a report keeps nothing of it, not even what a gather here does not set
  // (the log folder of a plug-in without settings of its own).
  if (FromReport()) Clear();
  SetFromReport(false);
  FCutOff.clear();
  // A part whose gathering raises an error (an unreadable hosts file, a registry value of
  // the wrong type) counts as not loaded; the others are still gathered, and the first
  // error is raised afterwards so that it is shown.
  std::exception_ptr firstError;
  auto loadPart = [&](TCustomInfo& part) {
    try {
      return part.Load();
    } catch (...) {
      if (!firstError) firstError = std::current_exception();
      return false;
    }
  };
  FPlugInInfoLoaded = loadPart(*FPlugInInfo);
  FActiveXSettingsLoaded = loadPart(*FActiveXSettings);
  FLogInfoLoaded = loadPart(*FLogInfo);
  if (!firstError) firstError = FPlugInInfo->HostsError();
  if (firstError) std::rethrow_exception(firstError);
  return FPlugInInfoLoaded && FActiveXSettingsLoaded && FLogInfoLoaded;
}

// Nothing of what the object held before survives, and everything from here on is the
// report's, whatever part of the file it comes from.
void TCompositeInfo::BeginReportLoad() {
  Clear();
  for (TCustomInfo* info :
       std::initializer_list<TCustomInfo*>{this, FPlugInInfo.get(), FActiveXSettings.get(), FLogInfo.get()})
    info->SetFromReport(true);
}

bool TCompositeInfo::LoadFromXML(const std::wstring& xml) {
  BeginReportLoad();
  TSimpleXMLParser parser;
  TCustomInfo* const chain[] = {this, FPlugInInfo.get(), FActiveXSettings.get(), FLogInfo.get()};
  for (TCustomInfo* info : chain) info->SetXMLParser(&parser);
  // Detached in reverse order whatever the parse does, so the reader's handlers unwind.
  struct TDetach {
    TCustomInfo* const* Chain;
    ~TDetach() {
      for (int i = 3; i >= 0; --i) Chain[i]->SetXMLParser(nullptr);
    }
  } detach{chain};
  const bool parsed = parser.Parse(xml);
  if (!FHoldsPlugIn) return false;
  // A text that ran out with elements open was cut off: it reads as far as it goes.
  if (const std::optional<std::wstring>& inside = parser.CutOffInside()) {
    FPlugInInfo->ReadCutOffPlugIn();
    FCutOff = Format(L"в строке %s внутри элемента %s", {TDecimalText(LastLine(xml)), ShownName(*inside)});
    return true;
  }
  return parsed;
}

std::wstring TCompositeInfo::SaveAsXML(const std::wstring& indent) const {
  const std::wstring inner = indent + L"  ";
  // Nearly all of the text is the plug-in's modules: the rest goes around it, into the room
  // its writer leaves, rather than all of it being copied into a new buffer.
  std::wstring xml = FPlugInInfo->SaveAsXML(inner);
  xml.insert(0, XMLHead(indent));
  xml.append(FActiveXSettings->SaveAsXML(inner)).append(FLogInfo->SaveAsXML(inner)).append(indent).append(XMLTail);
  return xml;
}

std::wstring TCompositeInfo::SaveAsHTML(const std::wstring& note) const {
  std::wstring page;
  for (const wchar_t* line : PageHead) page.append(line).append(L"\r\n");
  if (!Trim(note).empty()) page += L"    <p>" + TextToXML(note) + L"</p>\r\n";
  page += FPlugInInfo->SaveAsHTML(L"  ") + FActiveXSettings->SaveAsHTML(L"  ") + FLogInfo->SaveAsHTML(L"  ");
  return page + L"  </body>\r\n</html>";
}

bool TCompositeInfo::LoadFromIniFile(TIniFile* file) {
  BeginReportLoad();
  if (!file || !file->ValueExists(FirstIniSection, FirstIniKey)) return false;
  FPlugInInfo->LoadFromIniFile(file);
  FActiveXSettings->LoadFromIniFile(file);
  FLogInfo->LoadFromIniFile(file);
  // The flag is written "True" or "False": without it, or with only the start of either,
  // the file ends before the report does.
  const std::wstring lastValue = file->ReadString(LastIniSection, LastIniKey, L"");
  if (!SameText(lastValue, BoolText(true)) && !SameText(lastValue, BoolText(false)))
    FCutOff = Format(L"в разделе [%s]", {ShownName(file->ReadSections().back())});
  return true;
}

void TCompositeInfo::SaveToIniFile(TIniFile* file) const {
  FPlugInInfo->SaveToIniFile(file);
  FActiveXSettings->SaveToIniFile(file);
  FLogInfo->SaveToIniFile(file);
}

TReportFormat ReportFormatOf(std::wstring_view fileName) {
  const std::wstring extension = ExtractFileExt(fileName);
  if (SameText(extension, L".iinf")) return TReportFormat::Ini;
  return SameText(extension, L".xinf") ? TReportFormat::Xml : TReportFormat::None;
}

bool TCompositeInfo::LoadFromFile(const std::wstring& fileName) {
  const TReportFormat format = ReportFormatOf(fileName);
  if (format == TReportFormat::None) return false;
  if (GetFileSize(fileName) > MaxReportFileSize)
    throw EInOutError(Format(L"Файл \"%s\" слишком большой для файла отчёта (больше %s МБ)",
                             {fileName, TDecimalText(MaxReportFileSize / (1024 * 1024))}));
  if (format == TReportFormat::Ini) {
    // Written by this program, not read by another: a long proxy exception list comes back whole.
    TIniFile file(fileName, TIniFile::TValueLength::Whole);
    return LoadFromIniFile(&file);
  }
  return LoadFromXML(ReadReportText(fileName));
}

std::unique_ptr<TCompositeInfo> TCompositeInfo::ReadReportFile(const std::wstring& fileName) {
  if (ReportFormatOf(fileName) == TReportFormat::None)
    throw EFOpenError(
        Format(L"Файл \"%s\" не является файлом отчёта: ожидается расширение .iinf или .xinf", {fileName}));
  try {
    auto info = std::make_unique<TCompositeInfo>(PlugInMimeType, PlugInProgID);
    if (!info->LoadFromFile(fileName))
      throw EInOutError(Format(L"Файл отчёта \"%s\" повреждён или имеет неверный формат", {fileName}));
    return info;
  } catch (const std::bad_alloc&) {
    // Freed again by now; the user is told what could not be done, not the library's word.
    throw EOutOfMemory(Format(L"Недостаточно памяти для загрузки отчёта \"%s\"", {fileName}));
  }
}

std::wstring TCompositeInfo::CutOffMessage(const std::wstring& fileName) const {
  if (FCutOff.empty()) return {};
  return Format(L"Файл отчёта \"%s\" неполный: он обрывается %s; показано только то, что было прочитано до обрыва",
                {fileName, FCutOff});
}

void TCompositeInfo::SaveToFile(const std::wstring& fileName) const {
  const TReportFormat format = ReportFormatOf(fileName);
  if (format == TReportFormat::None)
    throw EFCreateError(Format(
        L"Не удалось сохранить файл \"%s\": отчёт сохраняется в файл с расширением .iinf или .xinf", {fileName}));
  WriteFileReplacing(fileName, [&](const std::wstring& temporary) {
    if (format == TReportFormat::Ini) {
      TIniFile file(temporary);
      SaveToIniFile(&file);
      file.UpdateFile();
      return;
    }
    // SaveAsXML's text, written as it is put together.
    TTextFileWriter file(temporary);
    const std::wstring inner = L"  ";
    file.Write(XMLHead(L""));
    FPlugInInfo->WriteXML(inner, [&](std::wstring_view piece) { file.Write(piece); });
    file.Write(FActiveXSettings->SaveAsXML(inner));
    file.Write(FLogInfo->SaveAsXML(inner));
    file.Write(XMLTail);
    file.Close();
  });
}

std::wstring ReadReportText(const std::wstring& fileName) {
  const std::string bytes = ReadFileBytes(fileName);
  const TEncoding encoding = EncodingOf(bytes);
  std::wstring text = DecodeReport(bytes, encoding);
  // A report as the program writes it has CR LF line breaks already and needs one at its end.
  if (!IsUtf16(encoding) && OnlyCrLfBreaks(bytes)) {
    if (!text.empty() && !text.ends_with(L"\r\n")) text.append(L"\r\n");
    return text;
  }
  std::wstring joined;
  joined.reserve(text.size() + 2);
  ForEachLine(text, [&](std::wstring_view line) { joined.append(line).append(L"\r\n"); });
  return joined;
}

}  // namespace ornpm
