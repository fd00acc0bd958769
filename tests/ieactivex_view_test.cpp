// The proxy and zones page: the statement about the proxy exceptions and the settings tree.

#include <windows.h>

#include <commctrl.h>

#include <gtest/gtest.h>

#include "harness/Sandbox.h"
#include "service/IEActiveXSettings.h"
#include "service/IniFile.h"
#include "service/Registry.h"
#include "service/SimpleXMLParser.h"
#include "views/frIEActiveXSettings.h"
#include "win/Text.h"

namespace ornpm {
namespace {

using Lines = std::vector<std::wstring>;

std::wstring Text(HWND control) {
  wchar_t buffer[1024] = {};
  ::GetWindowTextW(control, buffer, 1024);
  return buffer;
}

// The tree's items in order, two blanks per level, and those with children that are collapsed.
struct TreeDump {
  Lines Items;
  Lines Collapsed;
};

void Dump(HWND tree, HTREEITEM item, size_t depth, TreeDump& dump) {
  for (; item; item = TreeView_GetNextSibling(tree, item)) {
    wchar_t text[512] = {};
    TVITEMW data{};
    data.mask = TVIF_TEXT | TVIF_STATE;
    data.hItem = item;
    data.pszText = text;
    data.cchTextMax = 512;
    data.stateMask = TVIS_EXPANDED;
    TreeView_GetItem(tree, &data);
    dump.Items.push_back(std::wstring(depth * 2, L' ') + text);
    HTREEITEM child = TreeView_GetChild(tree, item);
    if (child && !(data.state & TVIS_EXPANDED)) dump.Collapsed.push_back(text);
    Dump(tree, child, depth + 1, dump);
  }
}

Lines ProxyItems(const std::wstring& enabled, const std::wstring& exceptions) {
  return {L"Настройки прокси-сервера", L"  Использовать прокси-сервер для локальных подключений", L"    " + enabled,
          L"  Не использовать прокси-сервер для адресов", L"    " + exceptions};
}

Lines operator+(Lines first, const Lines& second) {
  first.insert(first.end(), second.begin(), second.end());
  return first;
}

class IEActiveXViewTest : public ::testing::Test {
 protected:
  testing::WorkstationSandbox FSandbox;
  HWND FParent = nullptr;
  TIEActiveXSettingsFrame FView;

  void SetUp() override {
    FParent =
        ::CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPEDWINDOW, 0, 0, 800, 500, nullptr, nullptr, nullptr, nullptr);
    FView.Create(FParent);
  }
  void TearDown() override { ::DestroyWindow(FParent); }

  TreeDump Tree() const {
    TreeDump dump;
    Dump(FView.tvSettings, TreeView_GetRoot(FView.tvSettings), 0, dump);
    return dump;
  }
  // Report files are in the ANSI code page.
  void LoadReport(TIEActiveXSettings& settings, const std::wstring& iniText) {
    const std::wstring file = FSandbox.Root() + L"\\report.iinf";
    testing::WriteBinaryFile(file, WideToBytes(iniText));
    TIniFile ini(file);
    ASSERT_TRUE(settings.LoadFromIniFile(&ini));
  }
};

TEST_F(IEActiveXViewTest, TreeForEachKindOfZoneList) {
  TIEActiveXSettings report;
  // Parameters listed out of id order; the zone list's own order is kept.
  LoadReport(report,
             L"[IEProxySettings]\r\nEnable=1\r\nOverride=<local>;a.example\r\n"
             L"[ActiveXSettings\\InternetZones]\r\n0=Мой компьютер\r\n1=Интернет\r\n"
             L"[ActiveXSettings\\InternetZone\\1]\r\n1200=0\r\n1001=3\r\n");
  TIEActiveXSettings emptyList;
  TSimpleXMLParser parser;
  emptyList.SetXMLParser(&parser);
  ASSERT_TRUE(
      parser.Parse(L"<IEProxySettings Enable=\"False\" Override=\"\"/>\r\n"
                   L"<ActiveXSettings>\r\n  <InternetZones>\r\n  </InternetZones>\r\n</ActiveXSettings>\r\n"));
  emptyList.SetXMLParser(nullptr);
  TIEActiveXSettings neverRead;

  struct Case {
    const char* Name;
    TIEActiveXSettings* Settings;
    Lines Items;
  };
  const Case cases[] = {
      {"zones, one without parameters", &report,
       ProxyItems(L"Да/Использовать", L"<local>;a.example") +
           Lines{L"Зоны безопасности", L"  Мой компьютер", L"  Интернет", L"    " + GetZoneParamCaption(L"1200"),
                 L"      Включено/Разрешено", L"    Загружать подписанные элементы ActiveX",
                 L"      Отключено/Запрещено"}},
      {"an empty zone list", &emptyList, ProxyItems(L"Нет/Не использовать", L"") + Lines{L"Зоны безопасности"}},
      {"no zone list at all", &neverRead, ProxyItems(L"Нет/Не использовать", L"")},
  };
  // In this order each Load must also drop what the one before built.
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    FView.Load(c.Settings);
    const TreeDump tree = Tree();
    EXPECT_EQ(tree.Items, c.Items);
    EXPECT_EQ(tree.Collapsed, Lines{});
  }
}

TEST_F(IEActiveXViewTest, StatementAndProxyListFollowTheWorkstation) {
  const std::wstring settingsKey = InternetSettingsKey;
  testing::SetRegistryDword(HKEY_CURRENT_USER, settingsKey, L"ProxyEnable", 1);
  testing::SetRegistryString(HKEY_CURRENT_USER, settingsKey, L"ProxyOverride", L"<local>");
  TIEActiveXSettings settings;
  settings.Load();
  FView.Load(&settings);
  EXPECT_EQ(Text(FView.lblDomainInProxyOverride), L"Домен плагина в исключениях прокси-сервера: Нет");
  EXPECT_EQ(Tree().Items, ProxyItems(L"Да/Использовать", L"<local>"));

  // The exception repair: the statement and the list shown are the ones stored now.
  testing::SetRegistryString(HKEY_CURRENT_USER, settingsKey, L"ProxyOverride", L"<local>;ornpluginvlx.local");
  settings.ReloadProxyInfo();
  FView.ReloadProxyInfo();
  EXPECT_EQ(Text(FView.lblDomainInProxyOverride), L"Домен плагина в исключениях прокси-сервера: Да");
  EXPECT_EQ(Tree().Items, ProxyItems(L"Да/Использовать", L"<local>;ornpluginvlx.local"));

  // A report shows its own proxy values, the statement included: its workstation has no
  // exception for the domain, although this one has.
  LoadReport(settings,
             L"[IEProxySettings]\r\nEnable=0\r\nOverride=proxy.example\r\n"
             L"[ActiveXSettings\\InternetZones]\r\n0=Интернет\r\n");
  FView.Load(&settings);
  EXPECT_EQ(Text(FView.lblDomainInProxyOverride), L"Домен плагина в исключениях прокси-сервера: Нет");
  const Lines reportTree =
      ProxyItems(L"Нет/Не использовать", L"proxy.example") + Lines{L"Зоны безопасности", L"  Интернет"};
  EXPECT_EQ(Tree().Items, reportTree);
}

}  // namespace
}  // namespace ornpm
