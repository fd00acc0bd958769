#pragma once
// Registry access as the program uses it: read-only opens that settle for less access
// when refused, full-access opens for writing, typed reads where a missing value is normal,
// and errors of the kind ERegistryException for wrong types and failed writes.

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "win/Handles.h"

namespace ornpm {

// Per-user browser settings: proxy switch, proxy exceptions and the security zones.
inline constexpr wchar_t InternetSettingsKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";

class TRegistryKey {
 public:
  // Read access, else read access without change notification, else query-only access.
  // Empty when the key is missing or every attempt is refused.
  static std::optional<TRegistryKey> OpenReadOnly(HKEY root, const std::wstring& path);
  // Full access; creates the key when asked to. Empty when it cannot be opened.
  static std::optional<TRegistryKey> OpenForWriting(HKEY root, const std::wstring& path, bool create);
  // Reading and setting values of an existing key. Empty when the key is missing; any other
  // refusal (no write access) raises ERegistryException naming the key.
  static std::optional<TRegistryKey> OpenForUpdate(HKEY root, const std::wstring& path);

  bool ValueExists(const std::wstring& name) const { return ValueType(name).has_value(); }
  // REG_SZ, REG_DWORD and so on; empty when the value is missing.
  std::optional<DWORD> ValueType(const std::wstring& name) const;
  // String or expandable string, never expanded; a missing value reads as empty, and the
  // text ends at an embedded null character.
  std::wstring ReadString(const std::wstring& name) const;
  // A string value as stored: its type (REG_SZ or REG_EXPAND_SZ), its text without the
  // terminating null, and whether writing the text back would store the same bytes (not so
  // for an odd byte count or a null character inside). Empty when the value is missing.
  struct TStringValue {
    std::wstring Text;
    DWORD Type = REG_SZ;
    bool Exact = true;
  };
  std::optional<TStringValue> ReadStringValue(const std::wstring& name) const;
  // A 32-bit number; empty when the value is missing.
  std::optional<DWORD> ReadInteger(const std::wstring& name) const;
  void WriteString(const std::wstring& name, const std::wstring& value, DWORD type = REG_SZ) const;
  // Names of the direct subkeys in the registry's own order.
  std::vector<std::wstring> SubKeyNames() const;

  HKEY Handle() const { return FKey.Get(); }

 private:
  explicit TRegistryKey(HKEY key) : FKey(key) {}

  UniqueHKey FKey;
};

// Points HKEY_CURRENT_USER and HKEY_CLASSES_ROOT of this process at the subkeys "HKCU" and
// "HKCR" of HKEY_CURRENT_USER\<root>, creating them when missing. The program does this at
// start when ORNPM_REGISTRY_ROOT is set, so that tests can run it on a scratch registry.
void RedirectPredefinedKeys(const std::wstring& root);
// Undoes RedirectPredefinedKeys.
void RestorePredefinedKeys();

}  // namespace ornpm
