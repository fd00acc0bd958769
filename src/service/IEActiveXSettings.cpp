#include "service/IEActiveXSettings.h"

#include "service/PlugInDomain.h"
#include "service/Registry.h"
#include "win/Text.h"

namespace ornpm {

const std::array<const wchar_t*, 12> ZoneParamCaptions = {
    L"Загружать подписанные элементы ActiveX",
    L"Загружать неподписанные элементы ActiveX",
    L"Запускать элементы ActiveX и подключаемые модули",
    L"Использование элементов ActiveX, не помеченных как безопасные для выполнения сценариев",
    L"Разрешить запуск элементов управления ActiveX, которые не использовались ранее, без предупреждения",
    L"Разрешить сценарии",
    L"Переопределять ограничения ActiveX для веб-сайтов (на базе домена)",
    L"Переопределять ограничения ActiveX для веб-сайтов (на базе домена)",
    L"Выполнять сценарии элементов управления ActiveX, помеченных как безопасные",
    L"Поведение двоичного кода и сценариев",
    L"Автоматически запрашивать элементы управления ActiveX",
    L"Защищённый режим",
};

const std::array<const wchar_t*, 5> ZoneNames = {L"Мой компьютер", L"Местная интрасеть", L"Надежные узлы", L"Интернет",
                                                 L"Ограниченные узлы"};

std::wstring GetZoneParamCaption(const std::wstring& id) {
  for (size_t i = 0; i < ZoneParamIDs.size(); ++i)
    if (id == ZoneParamIDs[i]) return ZoneParamCaptions[i];
  return {};
}

std::wstring TZoneParam::ValueCaption() const {
  switch (FValue) {
    case 0:
      return L"Включено/Разрешено";
    case 1:
      return L"По запросу";
    case 3:
      return L"Отключено/Запрещено";
    case 0x10000:
      return L"Допущенные администратором";
    default:
      return L"Неизвестное значение";
  }
}

// The proxy values too: a report without them must not show the ones held before.
void TIEActiveXSettings::Clear() {
  FZones.reset();
  FProxyRead = false;
  FProxyEnable = false;
  FProxyOverride.clear();
  FPlugInHostInProxyOverride = false;
}

std::vector<TZone>& TIEActiveXSettings::ResetZones() {
  if (FZones)
    FZones->clear();
  else
    FZones.emplace();
  return *FZones;
}

// The flag goes with the list it is taken from, whether read here or from a report.
void TIEActiveXSettings::SetProxyOverride(std::wstring_view value) {
  FProxyOverride = value;
  FPlugInHostInProxyOverride = FProxyOverride.find(PlugInDomain) != std::wstring::npos;
}

void TIEActiveXSettings::ReadProxyInfo() {
  // Without the key the user has no proxy settings: known, and none.
  FProxyRead = true;
  FProxyEnable = false;
  SetProxyOverride(L"");
  auto key = TRegistryKey::OpenReadOnly(HKEY_CURRENT_USER, std::wstring(InternetSettingsKey) + L"\\");
  if (!key) return;
  FProxyEnable = key->ValueExists(L"ProxyEnable") && key->ReadInteger(L"ProxyEnable") == 1u;
  SetProxyOverride(key->ReadString(L"ProxyOverride"));
}

void TIEActiveXSettings::ReloadProxyInfo() {
  ReadProxyInfo();
}

bool TIEActiveXSettings::Load() {
  Clear();
  ReadProxyInfo();
  const std::wstring zonesKey = std::wstring(InternetSettingsKey) + L"\\Zones\\";
  std::vector<std::wstring> names;
  {
    auto zones = TRegistryKey::OpenReadOnly(HKEY_CURRENT_USER, zonesKey);
    if (!zones) return false;
    if (!FZones) FZones.emplace();
    names = zones->SubKeyNames();
  }
  for (const std::wstring& name : names) {
    int number = StrToIntDef(name, -1);
    if (number < 0 || number >= static_cast<int>(ZoneNames.size())) continue;
    TZone& zone = FZones->emplace_back(TZone{ZoneNames[static_cast<size_t>(number)], {}});
    auto key = TRegistryKey::OpenReadOnly(HKEY_CURRENT_USER, zonesKey + name);
    if (!key) continue;
    for (size_t k = 0; k < ZoneParamIDs.size(); ++k) {
      // Only values that exist as DWORDs count; anything else gives no entry.
      if (key->ValueType(ZoneParamIDs[k]) != REG_DWORD) continue;
      zone.Params.emplace_back(ZoneParamIDs[k], ZoneParamCaptions[k],
                               static_cast<int>(*key->ReadInteger(ZoneParamIDs[k])));
    }
  }
  return true;
}

}  // namespace ornpm
