#include "service/ProxyOverride.h"

#include "service/PlugInDomain.h"
#include "service/Registry.h"
#include "service/RepairOutcome.h"

namespace ornpm {

namespace {

constexpr wchar_t ProxyOverrideValue[] = L"ProxyOverride";

void AppendPlugInDomain() {
  auto key = TRegistryKey::OpenForWriting(HKEY_CURRENT_USER, InternetSettingsKey, false);
  if (!key) return;
  std::wstring list = key->ReadString(ProxyOverrideValue);
  if (!list.empty() && list.back() != L';') list += L';';
  key->WriteString(ProxyOverrideValue, list + PlugInDomain);
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
