// Proxy and security-zone settings: gathered from a sandboxed registry, and their report sections.

#include <gtest/gtest.h>

#include "harness/Sandbox.h"
#include "service/IEActiveXSettings.h"
#include "service/IniFile.h"
#include "service/Registry.h"
#include "win/Exceptions.h"
#include "win/Text.h"

namespace ornpm {
namespace {

using testing::SetRegistryDword;
using testing::SetRegistryString;

const std::wstring Settings = InternetSettingsKey;
const std::wstring Zones = Settings + L"\\Zones\\";

std::wstring Lines(std::initializer_list<std::wstring> lines) {
  std::wstring text;
  for (const std::wstring& line : lines) text += line + L"\r\n";
  return text;
}

class IEActiveXTest : public ::testing::Test {
 protected:
  testing::WorkstationSandbox FSandbox;
  TIEActiveXSettings FSettings;

  std::vector<std::wstring> ZoneNamesRead() const {
    std::vector<std::wstring> names;
    for (const TZone& zone : *FSettings.Zones()) names.push_back(zone.Name);
    return names;
  }
  bool LoadFromXML(const std::wstring& xml) {
    TSimpleXMLParser parser;
    FSettings.SetXMLParser(&parser);
    bool result = parser.Parse(xml);
    FSettings.SetXMLParser(nullptr);
    return result;
  }
};

TEST_F(IEActiveXTest, ValueCaptionsAndCaptionLookup) {
  const std::pair<int, const wchar_t*> cases[] = {
      {0, L"Включено/Разрешено"},   {1, L"По запросу"},
      {3, L"Отключено/Запрещено"},  {0x10000, L"Допущенные администратором"},
      {2, L"Неизвестное значение"}, {-1, L"Неизвестное значение"}};
  for (const auto& [value, caption] : cases) EXPECT_EQ(TZoneParam(L"1001", L"", value).ValueCaption(), caption);
  EXPECT_EQ(GetZoneParamCaption(L"120A"), L"Переопределять ограничения ActiveX для веб-сайтов (на базе домена)");
  EXPECT_EQ(GetZoneParamCaption(L"120a"), L"") << "ids are compared exactly";
  EXPECT_EQ(GetZoneParamCaption(L"9999"), L"");
}

TEST_F(IEActiveXTest, LoadsTheFiveStandardZonesWithTheirDwordValuesInTableOrder) {
  SetRegistryDword(HKEY_CURRENT_USER, Settings, L"ProxyEnable", 1);
  SetRegistryString(HKEY_CURRENT_USER, Settings, L"ProxyOverride", L"<local>;ornpluginvlx.local");
  // Values written in reverse table order; one of another type; one zone empty; zone 5 ignored.
  SetRegistryDword(HKEY_CURRENT_USER, Zones + L"3", L"2500", 3);
  SetRegistryDword(HKEY_CURRENT_USER, Zones + L"3", L"1201", 1);
  SetRegistryDword(HKEY_CURRENT_USER, Zones + L"3", L"1001", 0);
  SetRegistryString(HKEY_CURRENT_USER, Zones + L"3", L"1004", L"0");
  SetRegistryDword(HKEY_CURRENT_USER, Zones + L"0", L"1200", 2);
  SetRegistryString(HKEY_CURRENT_USER, Zones + L"1", L"", L"");
  SetRegistryDword(HKEY_CURRENT_USER, Zones + L"5", L"1001", 0);
  SetRegistryDword(HKEY_CURRENT_USER, Zones + L"Custom", L"1001", 0);

  ASSERT_TRUE(FSettings.Load());
  EXPECT_TRUE(FSettings.ProxyEnable());
  EXPECT_TRUE(FSettings.PlugInHostInProxyOverride());
  EXPECT_EQ(ZoneNamesRead(), (std::vector<std::wstring>{L"Мой компьютер", L"Местная интрасеть", L"Интернет"}));
  const auto& internet = (*FSettings.Zones())[2].Params;
  ASSERT_EQ(internet.size(), 3u);
  EXPECT_EQ(internet[0].ID(), L"1001");
  EXPECT_EQ(internet[1].ID(), L"1201");
  EXPECT_EQ(internet[2].ID(), L"2500");
  EXPECT_EQ(internet[2].Caption(), L"Защищённый режим");
  EXPECT_EQ(internet[2].Value(), 3);
  EXPECT_TRUE((*FSettings.Zones())[1].Params.empty());

  ASSERT_TRUE(FSettings.Load());
  EXPECT_EQ(FSettings.Zones()->size(), 3u) << "a second load replaces, not appends";
}

TEST_F(IEActiveXTest, ProxyValuesFollowTheRegistryStrictly) {
  struct Case {
    std::optional<DWORD> Enable;
    std::optional<std::wstring> Override;
    bool Enabled;
    bool DomainPresent;
  };
  const Case cases[] = {
      {std::nullopt, std::nullopt, false, false},
      {2, L"ornpluginvlx.local", false, true},
      {1, L"ORNPLUGINVLX.LOCAL", true, false},
      {0, L"a;x.ornpluginvlx.local.y", false, true},
  };
  for (const Case& c : cases) {
    ::RegDeleteTreeW(HKEY_CURRENT_USER, Settings.c_str());
    SetRegistryString(HKEY_CURRENT_USER, Settings, L"User Agent", L"x");
    if (c.Enable) SetRegistryDword(HKEY_CURRENT_USER, Settings, L"ProxyEnable", *c.Enable);
    if (c.Override) SetRegistryString(HKEY_CURRENT_USER, Settings, L"ProxyOverride", *c.Override);
    EXPECT_FALSE(FSettings.Load()) << "no Zones key";
    EXPECT_EQ(FSettings.ProxyEnable(), c.Enabled);
    EXPECT_EQ(FSettings.PlugInHostInProxyOverride(), c.DomainPresent);
    EXPECT_EQ(FSettings.ProxyOverride(), c.Override.value_or(L""));
  }
  EXPECT_FALSE(FSettings.Zones()) << "the zone list never existed";
  SetRegistryString(HKEY_CURRENT_USER, Settings, L"ProxyEnable", L"1");
  EXPECT_THROW(FSettings.ReloadProxyInfo(), ERegistryException);
}

TEST_F(IEActiveXTest, ReportSectionsExactly) {
  ASSERT_TRUE(LoadFromXML(Lines({
      L"<IEProxySettings Enable=\"true\" Override=\"&lt;local&gt;;ornpluginvlx.local\"/>",
      L"<ActiveXSettings>",
      L"  <InternetZones>",
      L"    <Zone ID=\"0\" Caption=\"Мой компьютер\">",
      L"    </Zone>",
      L"    <Zone ID=\"7\" Caption=\"Интернет &amp; Co\">",
      L"      <ZoneParam ID=\"1001\" Caption=\"Своя подпись\" Value=\"0\" ValueCaption=\"x\"/>",
      L"      <ZoneParam ID=\"1004\" Caption=\"Другая\" Value=\"abc\"/>",
      L"    </Zone>",
      L"  </InternetZones>",
      L"</ActiveXSettings>",
  })));
  EXPECT_TRUE(FSettings.ProxyEnable());
  EXPECT_TRUE(FSettings.PlugInHostInProxyOverride()) << "the report's own list has the domain";
  EXPECT_EQ(
      FSettings.SaveAsXML(L""),
      Lines({
          L"<IEProxySettings Enable=\"True\" Override=\"&lt;local&gt;;ornpluginvlx.local\"/>",
          L"<ActiveXSettings>",
          L"  <InternetZones>",
          L"    <Zone ID=\"0\" Caption=\"Мой компьютер\">",
          L"    </Zone>",
          L"    <Zone ID=\"1\" Caption=\"Интернет &amp; Co\">",
          L"      <ZoneParam ID=\"1001\" Caption=\"Своя подпись\" Value=\"0\" ValueCaption=\"Включено/Разрешено\"/>",
          L"      <ZoneParam ID=\"1004\" Caption=\"Другая\" Value=\"0\" ValueCaption=\"Включено/Разрешено\"/>",
          L"    </Zone>",
          L"  </InternetZones>",
          L"</ActiveXSettings>",
      }));
  EXPECT_EQ(FSettings.SaveAsHTML(L""),
            Lines({
                L"<table style=\"width:100%\">",
                L"  <caption><br>Настройки Proxy и ActiveX</caption>",
                L"  <tr>",
                L"    <th>ID параметра</th>",
                L"    <th>Название параметра</th>",
                L"    <th>Значение</th>",
                L"  </tr>",
                L"  <tr>",
                L"    <td>ProxyEnable</td>",
                L"    <td>Использовать прокси-сервер для локальных подключений</td>",
                L"    <td>Да</td>",
                L"  </tr>",
                L"  <tr>",
                L"    <td>ProxyOverride</td>",
                L"    <td>Не использовать прокси-сервер для адресов</td>",
                L"    <td>&lt;local&gt;;ornpluginvlx.local</td>",
                L"  </tr>",
                L"  <tr>",
                L"    <td colspan=\"3\" style=\"text-align: center;\"><b>Зона: </b>Мой компьютер</td>",
                L"  </tr>",
                L"  <tr>",
                L"    <td colspan=\"3\" style=\"text-align: center;\"><b>Зона: </b>Интернет &amp; Co</td>",
                L"  </tr>",
                L"  <tr>",
                L"    <td>1001</td>",
                L"    <td>Своя подпись</td>",
                L"    <td>Включено/Разрешено</td>",
                L"  </tr>",
                L"  <tr>",
                L"    <td>1004</td>",
                L"    <td>Другая</td>",
                L"    <td>Включено/Разрешено</td>",
                L"  </tr>",
                L"</table>",
            }));
}

TEST_F(IEActiveXTest, WithoutZonesTheHtmlIsEmptyAndTheXmlKeepsItsFrame) {
  EXPECT_EQ(FSettings.SaveAsHTML(L"  "), L"");
  EXPECT_EQ(FSettings.SaveAsXML(L"  "),
            Lines({L"  <IEProxySettings Enable=\"False\" Override=\"\"/>", L"  <ActiveXSettings>",
                   L"    <InternetZones>", L"    </InternetZones>", L"  </ActiveXSettings>"}));
}

// A report describes its own workstation: whether the plug-in domain is among its proxy
// exceptions is read from its own list, in either form, whatever this workstation has.
TEST_F(IEActiveXTest, AReportsDomainFlagComesFromItsOwnList) {
  const std::pair<std::wstring, bool> lists[] = {
      {L"<local>;ornpluginvlx.local", true}, {L"<local>", false}, {L"ORNPLUGINVLX.LOCAL", false}};
  const std::wstring file = FSandbox.Root() + L"\\r.iinf";
  for (const wchar_t* workstation : {L"ornpluginvlx.local", L""}) {
    SetRegistryString(HKEY_CURRENT_USER, Settings, L"ProxyOverride", workstation);
    for (const auto& [list, present] : lists) {
      SCOPED_TRACE(testing::Narrow(list + L" read on a workstation with \"" + workstation + L"\""));
      FSettings.Load();
      ASSERT_TRUE(LoadFromXML(L"<IEProxySettings Enable=\"True\" Override=\"" + TextToXML(list) + L"\"/>"));
      EXPECT_EQ(FSettings.PlugInHostInProxyOverride(), present) << "XML";
      FSettings.Load();
      testing::WriteBinaryFile(file, "[IEProxySettings]\r\nOverride=" + WideToBytes(list) + "\r\n");
      TIniFile ini(file);
      ASSERT_TRUE(FSettings.LoadFromIniFile(&ini));
      EXPECT_EQ(FSettings.PlugInHostInProxyOverride(), present) << "INI";
    }
  }
}

TEST_F(IEActiveXTest, IniRoundTripAndItsReadingRules) {
  const std::wstring file = FSandbox.Root() + L"\\r.iinf";
  testing::WriteBinaryFile(file,
                           "[IEProxySettings]\r\nEnable=5\r\nOverride=a;b\r\n"
                           "[ActiveXSettings\\InternetZones]\r\n0=Мой компьютер\r\n1=Интернет\r\n"
                           "[ActiveXSettings\\InternetZone\\1]\r\n1001=3\r\n9999=1\r\n1004=x\r\n");
  {
    TIniFile ini(file);
    ASSERT_TRUE(FSettings.LoadFromIniFile(&ini));
  }
  EXPECT_TRUE(FSettings.ProxyEnable());
  ASSERT_EQ(FSettings.Zones()->size(), 2u);
  const auto& params = (*FSettings.Zones())[1].Params;
  ASSERT_EQ(params.size(), 3u);
  EXPECT_EQ(params[0].Caption(), L"Загружать подписанные элементы ActiveX");
  EXPECT_EQ(params[1].Caption(), L"") << "an unknown id has no caption";
  EXPECT_EQ(params[2].Value(), -1) << "a value that is not a number";
  EXPECT_EQ(params[2].ValueCaption(), L"Неизвестное значение");

  const std::wstring copy = FSandbox.Root() + L"\\copy.iinf";
  {
    TIniFile ini(copy);
    FSettings.SaveToIniFile(&ini);
    ini.UpdateFile();
  }
  TIniFile ini(copy);
  EXPECT_EQ(ini.ReadSections(), (std::vector<std::wstring>{L"IEProxySettings", L"ActiveXSettings\\InternetZones",
                                                           L"ActiveXSettings\\InternetZone\\1"}));
  EXPECT_EQ(ini.ReadString(L"IEProxySettings", L"Enable", L""), L"1");
  EXPECT_EQ(ini.ReadString(L"ActiveXSettings\\InternetZone\\1", L"1004", L""), L"-1");

  TIEActiveXSettings noZones;
  testing::WriteBinaryFile(copy, "[IEProxySettings]\r\nEnable=1\r\n");
  TIniFile proxyOnly(copy);
  EXPECT_TRUE(noZones.LoadFromIniFile(&proxyOnly)) << "a workstation without a Zones key";
  EXPECT_TRUE(noZones.ProxyEnable());
  EXPECT_FALSE(noZones.Zones().has_value());
}

}  // namespace
}  // namespace ornpm
