#include "service/Registry.h"

#include "win/Exceptions.h"
#include "win/Text.h"

namespace ornpm {

namespace {

[[noreturn]] void RaiseWrongType(const std::wstring& name) {
  throw ERegistryException(Format(L"Неверный тип данных параметра \"%s\"", {name}));
}

[[noreturn]] void RaiseReadError(const std::wstring& name, LONG status) {
  throw ERegistryException(
      Format(L"Не удалось прочитать параметр \"%s\": %s", {name, SysErrorMessage(static_cast<DWORD>(status))}));
}

}  // namespace

std::optional<TRegistryKey> TRegistryKey::OpenReadOnly(HKEY root, const std::wstring& path) {
  const REGSAM attempts[] = {KEY_READ, KEY_READ & ~KEY_NOTIFY, KEY_QUERY_VALUE};
  for (REGSAM access : attempts) {
    HKEY key = nullptr;
    LONG status = ::RegOpenKeyExW(root, path.c_str(), 0, access, &key);
    if (status == ERROR_SUCCESS) return TRegistryKey(key);
    if (status == ERROR_FILE_NOT_FOUND) break;
  }
  return std::nullopt;
}

std::optional<TRegistryKey> TRegistryKey::OpenForWriting(HKEY root, const std::wstring& path, bool create) {
  HKEY key = nullptr;
  LONG status = create ? ::RegCreateKeyExW(root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                                           nullptr, &key, nullptr)
                       : ::RegOpenKeyExW(root, path.c_str(), 0, KEY_ALL_ACCESS, &key);
  if (status != ERROR_SUCCESS) return std::nullopt;
  return TRegistryKey(key);
}

std::optional<TRegistryKey> TRegistryKey::OpenForUpdate(HKEY root, const std::wstring& path) {
  HKEY key = nullptr;
  LONG status = ::RegOpenKeyExW(root, path.c_str(), 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &key);
  if (status == ERROR_FILE_NOT_FOUND) return std::nullopt;
  if (status != ERROR_SUCCESS)
    throw ERegistryException(Format(L"Не удалось открыть раздел реестра \"%s\" для записи: %s",
                                    {path, SysErrorMessage(static_cast<DWORD>(status))}));
  return TRegistryKey(key);
}

std::optional<DWORD> TRegistryKey::ValueType(const std::wstring& name) const {
  DWORD type = 0;
  if (::RegQueryValueExW(Handle(), name.c_str(), nullptr, &type, nullptr, nullptr) != ERROR_SUCCESS)
    return std::nullopt;
  return type;
}

std::optional<TRegistryKey::TStringValue> TRegistryKey::ReadStringValue(const std::wstring& name) const {
  DWORD type = 0;
  DWORD size = 0;
  LONG status = ::RegQueryValueExW(Handle(), name.c_str(), nullptr, &type, nullptr, &size);
  for (;;) {
    if (status == ERROR_FILE_NOT_FOUND) return std::nullopt;
    if (status != ERROR_SUCCESS && status != ERROR_MORE_DATA) RaiseReadError(name, status);
    if (type != REG_SZ && type != REG_EXPAND_SZ) RaiseWrongType(name);
    std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
    size = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    status = ::RegQueryValueExW(Handle(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(text.data()), &size);
    if (status == ERROR_SUCCESS && (type == REG_SZ || type == REG_EXPAND_SZ)) {
      text.resize(size / sizeof(wchar_t));
      if (!text.empty() && text.back() == L'\0') text.pop_back();
      const bool exact = size % sizeof(wchar_t) == 0 && text.find(L'\0') == std::wstring::npos;
      return TStringValue{std::move(text), type, exact};
    }
    // The value changed since its size was asked: go round with what it is now.
  }
}

std::wstring TRegistryKey::ReadString(const std::wstring& name) const {
  std::optional<TStringValue> value = ReadStringValue(name);
  if (!value) return {};
  return value->Text.substr(0, value->Text.find(L'\0'));
}

std::optional<DWORD> TRegistryKey::ReadInteger(const std::wstring& name) const {
  DWORD type = 0;
  DWORD value = 0;
  DWORD size = sizeof(value);
  LONG status = ::RegQueryValueExW(Handle(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
  if (status == ERROR_FILE_NOT_FOUND) return std::nullopt;
  if (status == ERROR_MORE_DATA || (status == ERROR_SUCCESS && (type != REG_DWORD || size != sizeof(value))))
    RaiseWrongType(name);
  if (status != ERROR_SUCCESS) RaiseReadError(name, status);
  return value;
}

void TRegistryKey::WriteString(const std::wstring& name, const std::wstring& value, DWORD type) const {
  LONG status = ::RegSetValueExW(Handle(), name.c_str(), 0, type, reinterpret_cast<const BYTE*>(value.c_str()),
                                 static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  if (status != ERROR_SUCCESS)
    throw ERegistryException(
        Format(L"Не удалось записать параметр \"%s\": %s", {name, SysErrorMessage(static_cast<DWORD>(status))}));
}

std::vector<std::wstring> TRegistryKey::SubKeyNames() const {
  DWORD maxLength = 0;
  LONG status = ::RegQueryInfoKeyW(Handle(), nullptr, nullptr, nullptr, nullptr, &maxLength, nullptr, nullptr, nullptr,
                                   nullptr, nullptr, nullptr);
  if (status != ERROR_SUCCESS) RaiseReadError(L"", status);
  std::vector<std::wstring> names;
  std::wstring buffer(maxLength + 1, L'\0');
  DWORD index = 0;
  for (;;) {
    DWORD length = static_cast<DWORD>(buffer.size());
    status = ::RegEnumKeyExW(Handle(), index, buffer.data(), &length, nullptr, nullptr, nullptr, nullptr);
    if (status == ERROR_NO_MORE_ITEMS) return names;
    if (status == ERROR_MORE_DATA) {  // a longer subkey appeared meanwhile: retry this index
      buffer.resize(buffer.size() * 2);
      continue;
    }
    if (status != ERROR_SUCCESS) RaiseReadError(L"", status);
    names.emplace_back(buffer.data(), length);
    ++index;
  }
}

void RedirectPredefinedKeys(const std::wstring& root) {
  // Both targets are opened before either override: afterwards HKEY_CURRENT_USER would
  // already resolve to the scratch key.
  UniqueHKey currentUser;
  UniqueHKey classesRoot;
  for (auto [name, key] : {std::pair{L"\\HKCU", &currentUser}, std::pair{L"\\HKCR", &classesRoot}}) {
    LONG status = ::RegCreateKeyExW(HKEY_CURRENT_USER, (root + name).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                    KEY_ALL_ACCESS, nullptr, key->Put(), nullptr);
    if (status != ERROR_SUCCESS) throw EOSError(static_cast<DWORD>(status));
  }
  for (auto [predefined, key] :
       {std::pair{HKEY_CURRENT_USER, &currentUser}, std::pair{HKEY_CLASSES_ROOT, &classesRoot}}) {
    LONG status = ::RegOverridePredefKey(predefined, key->Get());
    if (status != ERROR_SUCCESS) throw EOSError(static_cast<DWORD>(status));
  }
}

void RestorePredefinedKeys() {
  ::RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
  ::RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
}

}  // namespace ornpm
