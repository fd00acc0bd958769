#include "harness/Sandbox.h"

#include <atomic>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>

#include "service/Registry.h"
#include "win/Environment.h"
#include "win/Text.h"

namespace ornpm::testing {

namespace {

std::wstring UniqueName() {
  static std::atomic<unsigned> counter{0};
  return std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(::GetTickCount()) + L"-" +
         std::to_wstring(++counter);
}

}  // namespace

std::wstring BinFolder() {
  return ExtractFilePath(ModuleFileName());
}

std::wstring FixturePath(const std::wstring& name) {
  return BinFolder() + L"fixtures\\" + name;
}

std::string Narrow(std::wstring_view text) {
  return WideToBytes(text, CP_UTF8);
}

std::string Utf16WithMark(std::wstring_view text) {
  std::string bytes = "\xFF\xFE";
  for (wchar_t unit : text) bytes += {static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
  return bytes;
}

std::string Utf8WithMark(std::wstring_view text) {
  return "\xEF\xBB\xBF" + WideToBytes(text, CP_UTF8);
}

std::string ReadBinaryFile(const std::wstring& path) {
  std::ifstream in(std::filesystem::path(path), std::ios::binary);
  EXPECT_TRUE(in.good()) << "cannot read " << std::filesystem::path(path).string();
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteBinaryFile(const std::wstring& path, const std::string& bytes) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream out(std::filesystem::path(path), std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  ASSERT_TRUE(out.good()) << "cannot write " << std::filesystem::path(path).string();
}

TempFolder::TempFolder() {
  wchar_t temp[MAX_PATH + 1];
  DWORD length = ::GetTempPathW(MAX_PATH + 1, temp);
  FPath = std::wstring(temp, length) + L"ornpm-test-" + UniqueName();
  std::filesystem::create_directories(FPath);
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(FPath, ignored);
}

RegistrySandbox::RegistrySandbox() : FRoot(L"Software\\ornpm-tests\\" + UniqueName()) {
  RedirectPredefinedKeys(FRoot);
}

RegistrySandbox::~RegistrySandbox() {
  RestorePredefinedKeys();
  ::RegDeleteTreeW(HKEY_CURRENT_USER, FRoot.c_str());
  ::RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\ornpm-tests");  // only when no other test holds a key
}

EnvironmentOverride::~EnvironmentOverride() {
  for (const auto& [name, value] : FSaved) ::SetEnvironmentVariableW(name.c_str(), value ? value->c_str() : nullptr);
}

void EnvironmentOverride::Set(const std::wstring& name, const std::wstring& value) {
  if (!FSaved.contains(name)) {
    bool present = ::GetEnvironmentVariableW(name.c_str(), nullptr, 0) > 0;
    FSaved[name] = present ? std::optional(GetEnv(name.c_str())) : std::nullopt;
  }
  ::SetEnvironmentVariableW(name.c_str(), value.c_str());
}

WorkstationSandbox::WorkstationSandbox() {
  const std::pair<const wchar_t*, std::wstring> folders[] = {
      {L"windir", WindowsFolder()},
      {L"AppData", AppDataFolder()},
      {L"LocalAppData", Root() + L"\\AppData\\Local"},
      // As a 32-bit program sees it on 64-bit Windows.
      {L"ProgramFiles", Root() + L"\\Program Files (x86)"},
      {L"ProgramFiles(x86)", Root() + L"\\Program Files (x86)"},
      {L"ProgramData", Root() + L"\\ProgramData"},
  };
  for (const auto& [name, folder] : folders) {
    std::filesystem::create_directories(folder);
    FEnvironment.Set(name, folder);
  }
  std::filesystem::create_directories(ExtractFilePath(HostsFile()));
  // Programs started from the test see the same scratch registry.
  FEnvironment.Set(L"ORNPM_REGISTRY_ROOT", FRegistry.Root());
}

std::wstring InstallPlugIn(const std::wstring& folder, const std::wstring& name, const std::wstring& fixture) {
  std::filesystem::create_directories(folder);
  const std::wstring dll = IncludeTrailingPathDelimiter(folder) + name;
  EXPECT_TRUE(::CopyFileW(FixturePath(fixture).c_str(), dll.c_str(), FALSE));
  const std::wstring classID = L"{11111111-2222-3333-4444-555555555555}";
  SetRegistryString(HKEY_CLASSES_ROOT, L"MIME\\Database\\Content Type\\application/x-ORN-plugin-VLX", L"CLSID",
                    classID);
  SetRegistryString(HKEY_CLASSES_ROOT, L"CLSID\\" + classID + L"\\InprocServer32", L"", dll);
  return dll;
}

void SetRegistryValue(HKEY root, const std::wstring& key, const std::wstring& name, DWORD type, const void* data,
                      DWORD size) {
  LONG status = ::RegSetKeyValueW(root, key.c_str(), name.c_str(), type, data, size);
  ASSERT_EQ(status, ERROR_SUCCESS) << "cannot set a registry value for the test";
}

void SetRegistryString(HKEY root, const std::wstring& key, const std::wstring& name, const std::wstring& value,
                       DWORD type) {
  SetRegistryValue(root, key, name, type, value.c_str(), static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

void SetRegistryDword(HKEY root, const std::wstring& key, const std::wstring& name, DWORD value) {
  SetRegistryValue(root, key, name, REG_DWORD, &value, sizeof(value));
}

std::optional<std::wstring> GetRegistryString(HKEY root, const std::wstring& key, const std::wstring& name) {
  wchar_t buffer[4096];
  DWORD size = sizeof(buffer);
  if (::RegGetValueW(root, key.c_str(), name.c_str(), RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND, nullptr,
                     buffer, &size) != ERROR_SUCCESS)
    return std::nullopt;
  return std::wstring(buffer);
}

bool RegistryKeyExists(HKEY root, const std::wstring& key) {
  HKEY handle = nullptr;
  if (::RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) return false;
  ::RegCloseKey(handle);
  return true;
}

}  // namespace ornpm::testing
