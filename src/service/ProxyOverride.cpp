#include "service/ProxyOverride.h"

#include "service/PlugInDomain.h"
#include "service/Registry.h"
#include "service/EntryRepair.h"
#include "win/Exceptions.h"
#include "win/Text.h"

namespace ornpm {

namespace {

constexpr wchar_t ProxyOverrideValue[] = L"ProxyOverride";

void AppendPlugInDomain() {
  auto key = TRegistryKey::OpenForUpdate(HKEY_CURRENT_USER, InternetSettingsKey);
  if (!key) return;  // no browser settings for this user: nothing to repair
  std::optional<TRegistryKey::TStringValue> value = key->ReadStringValue(ProxyOverrideValue);
  // Writing back what the program can read of such a value would cut it short.
  if (value && !value->Exact)
    throw ERegistryException(
        Format(L"Параметр \"%s\" содержит данные, которые нельзя дописать без потерь "
               L"(нулевой символ внутри значения или нечётная длина); он оставлен без изменений",
               {ProxyOverrideValue}));
  std::wstring list = value ? value->Text : std::wstring();
  if (!list.empty() && list.back() != L';') list += L';';
  key->WriteString(ProxyOverrideValue, list + PlugInDomain, value ? value->Type : REG_SZ);
}

}  // namespace

bool IsPlugInDomainInProxyOverride() {
  auto key = TRegistryKey::OpenReadOnly(HKEY_CURRENT_USER, InternetSettingsKey);
  return key && key->ReadString(ProxyOverrideValue).find(PlugInDomain) != std::wstring::npos;
}

int WritePlugInDomainToProxyOverride(bool consoleMode) {
  return RepairEntry(consoleMode, IsPlugInDomainInProxyOverride(),
                     L"Информация о домене плагина уже содержится в исключениях прокси-сервера",
                     L"Ошибка записи информации о домене плагина в исключения прокси-сервера (%s): %s",
                     AppendPlugInDomain);
}

}  // namespace ornpm
