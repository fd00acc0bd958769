// The proxy and zone part of the reports: IEProxySettings and ActiveXSettings elements of
// the XML report, their INI sections and the HTML table, with their readers.

#include "service/IEActiveXSettings.h"
#include "service/IniFile.h"
#include "service/ReportText.h"
#include "win/Text.h"

namespace ornpm {

// Literals on the paths taken for every element are views: a plain literal passed as a
// view is measured each time.
using namespace std::string_view_literals;

namespace {

constexpr wchar_t ProxySection[] = L"IEProxySettings";
constexpr wchar_t ZonesSection[] = L"ActiveXSettings\\InternetZones";
constexpr wchar_t ZoneSectionPrefix[] = L"ActiveXSettings\\InternetZone\\";

// "True" or "False" in any letter case, or a number that is not zero.
bool ReportBoolean(std::wstring_view text) {
  if (SameText(text, L"True")) return true;
  if (SameText(text, L"False")) return false;
  return StrToIntDef(text, 0) != 0;
}

}  // namespace

std::wstring TIEActiveXSettings::SaveAsXML(const std::wstring& indent) const {
  TReportLines out(indent);
  // What is not known is left out, so that a report read back does not know it either.
  if (ProxyKnown()) {
    out.Begin(0).Append(L"<IEProxySettings").Attribute(L"Enable", BoolText(FProxyEnable));
    out.EscapedAttribute(L"Override", FProxyOverride).Append(L"/>").End();
  }
  // A report that held no zone list says nothing of zones; live data has the frame always.
  if (!FZones && FromReport()) return out.TakeText();
  out.Add(0, L"<ActiveXSettings>");
  out.Add(1, L"<InternetZones>");
  if (FZones) {
    for (size_t i = 0; i < FZones->size(); ++i) {
      const TZone& zone = (*FZones)[i];
      out.Begin(2).Append(L"<Zone").Attribute(L"ID", TDecimalText(i)).EscapedAttribute(L"Caption", zone.Name);
      out.Append(L">").End();
      for (const TZoneParam& param : zone.Params) {
        out.Begin(3)
            .Append(L"<ZoneParam")
            .EscapedAttribute(L"ID", param.ID())
            .EscapedAttribute(L"Caption", param.Caption());
        out.Attribute(L"Value", TDecimalText(param.Value())).EscapedAttribute(L"ValueCaption", param.ValueCaption());
        out.Append(L"/>").End();
      }
      out.Add(2, L"</Zone>");
    }
  }
  out.Add(1, L"</InternetZones>");
  out.Add(0, L"</ActiveXSettings>");
  return out.TakeText();
}

std::wstring TIEActiveXSettings::SaveAsHTML(const std::wstring& indent) const {
  if (!FZones || FZones->empty()) return {};
  TReportLines out(indent);
  out.Add(0, L"<table style=\"width:100%\">");
  out.Add(1, L"<caption><br>Настройки Proxy и ActiveX</caption>");
  out.AddRow({Th(L"ID параметра"), Th(L"Название параметра"), Th(L"Значение")});
  out.AddRow({Td(L"ProxyEnable"), Td(L"Использовать прокси-сервер для локальных подключений"),
              Td(KnownOr(ProxyKnown(), FProxyEnable ? L"Да" : L"Нет"))});
  out.AddRow({Td(L"ProxyOverride"), Td(L"Не использовать прокси-сервер для адресов"),
              Td(KnownOr(ProxyKnown(), FProxyOverride))});
  for (const TZone& zone : *FZones) {
    out.AddRow({L"<td colspan=\"3\" style=\"text-align: center;\"><b>Зона: </b>" + TextToXML(zone.Name) + L"</td>"});
    for (const TZoneParam& param : zone.Params)
      out.AddRow({Td(param.ID()), Td(param.Caption()), Td(param.ValueCaption())});
  }
  out.Add(0, L"</table>");
  return out.Text();
}

void TIEActiveXSettings::SaveToIniFile(TIniFile* file) const {
  if (!file) return;
  if (ProxyKnown()) {
    file->WriteString(ProxySection, L"Enable", FProxyEnable ? L"1" : L"0");
    file->WriteString(ProxySection, L"Override", FProxyOverride);
  }
  if (!FZones) return;
  for (size_t i = 0; i < FZones->size(); ++i) {
    const TZone& zone = (*FZones)[i];
    const TDecimalText position(i);
    file->WriteString(ZonesSection, position, zone.Name);
    const std::wstring paramSection = std::wstring(ZoneSectionPrefix).append(position);
    for (const TZoneParam& param : zone.Params)
      file->WriteString(paramSection, param.ID(), TDecimalText(param.Value()));
  }
}

bool TIEActiveXSettings::LoadFromIniFile(TIniFile* file) {
  if (!file) return false;
  SetFromReport(true);
  FZones.reset();
  FProxyRead = file->SectionExists(ProxySection);
  FProxyEnable = StrToIntDef(file->ReadString(ProxySection, L"Enable", L""), 0) != 0;
  SetProxyOverride(file->ReadString(ProxySection, L"Override", L""));
  // A workstation without a Zones key writes no zone sections; its report still reads.
  if (!file->SectionExists(ZonesSection)) return true;
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
  FZoneBegunLast = SameText(nodeName, L"Zone"sv);
  if (FZoneBegunLast) {
    return;  // created at its first parameter, or at its end when it has none
  } else if (SameText(nodeName, L"InternetZones"sv)) {
    if (SameText(current, L"ActiveXSettings"sv)) ResetZones();
  } else if (SameText(nodeName, L"ZoneParam"sv)) {
    // A zone is created at its first parameter, named by the Zone element just read.
    if (SameText(current, L"Zone"sv)) {
      if (!FZones) FZones.emplace();
      FZones->push_back(TZone{std::wstring(FXMLParser->NodeAttributes().Value(L"Caption")), {}});
    }
  } else {
    TCustomInfo::DoBeginNode(nodeName);
  }
}

void TIEActiveXSettings::DoEndNode(const std::wstring& nodeName) {
  const TNameValueList& attributes = FXMLParser->NodeAttributes();
  bool selfClosing = FXMLParser->CurrentNode() == nodeName;
  if (SameText(nodeName, L"ZoneParam"sv) && selfClosing) {
    if (!FZones || FZones->empty()) return;
    FZones->back().Params.emplace_back(std::wstring(attributes.Value(L"ID")),
                                       std::wstring(attributes.Value(L"Caption")),
                                       StrToIntDef(attributes.Value(L"Value"), 0));
  } else if (SameText(nodeName, L"Zone"sv)) {
    // A zone without parameters, as a workstation may have; an end tag read last would
    // look the same, hence the flag.
    if (selfClosing && FZoneBegunLast) {
      if (!FZones) FZones.emplace();
      FZones->push_back(TZone{std::wstring(attributes.Value(L"Caption")), {}});
    }
    FZoneBegunLast = false;
  } else if (SameText(nodeName, L"IEProxySettings"sv) && selfClosing) {
    FProxyRead = true;
    FProxyEnable = ReportBoolean(attributes.Value(L"Enable"));
    SetProxyOverride(attributes.Value(L"Override"));
  } else {
    TCustomInfo::DoEndNode(nodeName);
  }
}

}  // namespace ornpm
