// The proxy and zone part of the reports: IEProxySettings and ActiveXSettings elements of
// the XML report, their INI sections and the HTML table, with their readers.

#include "service/IEActiveXSettings.h"
#include "service/IniFile.h"
#include "service/ReportText.h"
#include "win/Text.h"

namespace ornpm {

namespace {

constexpr wchar_t ProxySection[] = L"IEProxySettings";
constexpr wchar_t ZonesSection[] = L"ActiveXSettings\\InternetZones";
constexpr wchar_t ZoneSectionPrefix[] = L"ActiveXSettings\\InternetZone\\";

// "True" or "False" in any letter case, or a number that is not zero.
bool ReportBoolean(const std::wstring& text) {
  if (SameText(text, L"True")) return true;
  if (SameText(text, L"False")) return false;
  return StrToIntDef(text, 0) != 0;
}

}  // namespace

std::wstring TIEActiveXSettings::SaveAsXML(const std::wstring& indent) const {
  TReportLines out(indent);
  out.Add(0, L"<IEProxySettings" + XMLAttribute(L"Enable", BoolText(FProxyEnable)) +
                 XMLAttribute(L"Override", FProxyOverride) + L"/>");
  out.Add(0, L"<ActiveXSettings>");
  out.Add(1, L"<InternetZones>");
  if (FZones) {
    for (size_t i = 0; i < FZones->size(); ++i) {
      const TZone& zone = (*FZones)[i];
      out.Add(2, L"<Zone" + XMLAttribute(L"ID", std::to_wstring(i)) + XMLAttribute(L"Caption", TextToXML(zone.Name)) +
                     L">");
      for (const TZoneParam& param : zone.Params)
        out.Add(3, L"<ZoneParam" + XMLAttribute(L"ID", param.ID()) +
                       XMLAttribute(L"Caption", TextToXML(param.Caption())) +
                       XMLAttribute(L"Value", std::to_wstring(param.Value())) +
                       XMLAttribute(L"ValueCaption", TextToXML(param.ValueCaption())) + L"/>");
      out.Add(2, L"</Zone>");
    }
  }
  out.Add(1, L"</InternetZones>");
  out.Add(0, L"</ActiveXSettings>");
  return out.Text();
}

std::wstring TIEActiveXSettings::SaveAsHTML(const std::wstring& indent) const {
  if (!FZones || FZones->empty()) return {};
  TReportLines out(indent);
  out.Add(0, L"<table style=\"width:100%\">");
  out.Add(1, L"<caption><br>Настройки Proxy и ActiveX</caption>");
  out.AddRow({Th(L"ID параметра"), Th(L"Название параметра"), Th(L"Значение")});
  out.AddRow({Td(L"ProxyEnable"), Td(L"Использовать прокси-сервер для локальных подключений"),
              Td(FProxyEnable ? L"Да" : L"Нет")});
  out.AddRow({Td(L"ProxyOverride"), Td(L"Не использовать прокси-сервер для адресов"), Td(FProxyOverride)});
  for (const TZone& zone : *FZones) {
    out.AddRow({L"<td colspan=\"3\" style=\"text-align: center;\"><b>Зона: </b>" + zone.Name + L"</td>"});
    for (const TZoneParam& param : zone.Params)
      out.AddRow({Td(param.ID()), Td(param.Caption()), Td(param.ValueCaption())});
  }
  out.Add(0, L"</table>");
  return out.Text();
}

void TIEActiveXSettings::SaveToIniFile(TIniFile* file) const {
  if (!file) return;
  file->WriteString(ProxySection, L"Enable", FProxyEnable ? L"1" : L"0");
  file->WriteString(ProxySection, L"Override", FProxyOverride);
  if (!FZones) return;
  for (size_t i = 0; i < FZones->size(); ++i) {
    const TZone& zone = (*FZones)[i];
    std::wstring position = std::to_wstring(i);
    file->WriteString(ZonesSection, position, zone.Name);
    for (const TZoneParam& param : zone.Params)
      file->WriteString(ZoneSectionPrefix + position, param.ID(), std::to_wstring(param.Value()));
  }
}

bool TIEActiveXSettings::LoadFromIniFile(TIniFile* file) {
  if (!file) return false;
  FProxyEnable = StrToIntDef(file->ReadString(ProxySection, L"Enable", L""), 0) != 0;
  FProxyOverride = file->ReadString(ProxySection, L"Override", L"");
  if (!file->SectionExists(ZonesSection)) return false;
  std::vector<TZone>& zones = ResetZones();
  for (const std::wstring& key : file->ReadSection(ZonesSection)) {
    TZone& zone = zones.emplace_back(TZone{file->ReadString(ZonesSection, key, L""), {}});
    const std::wstring paramSection = ZoneSectionPrefix + key;
    if (!file->SectionExists(paramSection)) continue;
    for (const std::wstring& id : file->ReadSection(paramSection))
      zone.Params.emplace_back(id, GetZoneParamCaption(id), StrToIntDef(file->ReadString(paramSection, id, L""), -1));
  }
  return true;
}

void TIEActiveXSettings::DoBeginNode(const std::wstring& nodeName) {
  const std::wstring& current = FXMLParser->CurrentNode();
  if (SameText(nodeName, L"InternetZones")) {
    if (SameText(current, L"ActiveXSettings")) ResetZones();
  } else if (SameText(nodeName, L"ZoneParam")) {
    // A zone is created at its first parameter, named by the Zone element just read.
    if (SameText(current, L"Zone")) {
      if (!FZones) FZones.emplace();
      FZones->push_back(TZone{FXMLParser->NodeAttributes().Value(L"Caption"), {}});
    }
  } else {
    TCustomInfo::DoBeginNode(nodeName);
  }
}

void TIEActiveXSettings::DoEndNode(const std::wstring& nodeName) {
  const TNameValueList& attributes = FXMLParser->NodeAttributes();
  bool selfClosing = FXMLParser->CurrentNode() == nodeName;
  if (SameText(nodeName, L"ZoneParam") && selfClosing) {
    if (!FZones || FZones->empty()) return;
    FZones->back().Params.emplace_back(attributes.Value(L"ID"), attributes.Value(L"Caption"),
                                       StrToIntDef(attributes.Value(L"Value"), 0));
  } else if (SameText(nodeName, L"IEProxySettings") && selfClosing) {
    FProxyEnable = ReportBoolean(attributes.Value(L"Enable"));
    FProxyOverride = attributes.Value(L"Override");
  } else {
    TCustomInfo::DoEndNode(nodeName);
  }
}

}  // namespace ornpm
