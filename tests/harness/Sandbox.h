#pragma once
// A private workstation for one test: a temporary folder tree that the folder variables
// (windir, AppData, ProgramFiles, ...) point into, and a scratch registry that stands in
// for HKEY_CURRENT_USER and HKEY_CLASSES_ROOT, in this process and in the programs it
// starts. Everything is restored and removed when the sandbox goes.

#include <windows.h>

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace ornpm::testing {

// Folder of the running test program, with its trailing delimiter; the program under test
// and the fixtures folder lie there.
std::wstring BinFolder();
std::wstring FixturePath(const std::wstring& name);

// UTF-8 for test messages.
std::string Narrow(std::wstring_view text);

// Text as an editor saves it "as Unicode" (UTF-16 LE) or as UTF-8, each with its byte-order mark.
std::string Utf16WithMark(std::wstring_view text);
std::string Utf8WithMark(std::wstring_view text);

std::string ReadBinaryFile(const std::wstring& path);
void WriteBinaryFile(const std::wstring& path, const std::string& bytes);

class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::wstring& Path() const { return FPath; }  // without trailing delimiter

 private:
  std::wstring FPath;
};

class RegistrySandbox {
 public:
  RegistrySandbox();
  ~RegistrySandbox();
  RegistrySandbox(const RegistrySandbox&) = delete;
  RegistrySandbox& operator=(const RegistrySandbox&) = delete;

  // Subkey of the real HKEY_CURRENT_USER that holds the scratch keys.
  const std::wstring& Root() const { return FRoot; }

 private:
  std::wstring FRoot;
};

// Sets environment variables for the sandbox's lifetime, restoring the old values after.
class EnvironmentOverride {
 public:
  EnvironmentOverride() = default;
  ~EnvironmentOverride();
  EnvironmentOverride(const EnvironmentOverride&) = delete;
  EnvironmentOverride& operator=(const EnvironmentOverride&) = delete;

  void Set(const std::wstring& name, const std::wstring& value);

 private:
  std::map<std::wstring, std::optional<std::wstring>> FSaved;
};

class WorkstationSandbox {
 public:
  WorkstationSandbox();

  const std::wstring& Root() const { return FFolder.Path(); }
  std::wstring WindowsFolder() const { return Root() + L"\\Windows"; }
  std::wstring AppDataFolder() const { return Root() + L"\\AppData\\Roaming"; }
  std::wstring HostsFile() const { return WindowsFolder() + L"\\System32\\Drivers\\etc\\hosts"; }
  const std::wstring& RegistryRoot() const { return FRegistry.Root(); }

 private:
  TempFolder FFolder;
  RegistrySandbox FRegistry;
  EnvironmentOverride FEnvironment;
};

// Copies a fixture DLL to folder\name (the folder is created) and registers it as the
// plug-in under its MIME type; returns the DLL's path.
std::wstring InstallPlugIn(const std::wstring& folder, const std::wstring& name = L"npORNPlugInVLX.dll",
                           const std::wstring& fixture = L"plugin_full.dll");

// Registry set-up and inspection for tests, through the (redirected) predefined keys.
void SetRegistryValue(HKEY root, const std::wstring& key, const std::wstring& name, DWORD type, const void* data,
                      DWORD size);
void SetRegistryString(HKEY root, const std::wstring& key, const std::wstring& name, const std::wstring& value,
                       DWORD type = REG_SZ);
void SetRegistryDword(HKEY root, const std::wstring& key, const std::wstring& name, DWORD value);
// The value's text when it is a string; nothing when it is missing.
std::optional<std::wstring> GetRegistryString(HKEY root, const std::wstring& key, const std::wstring& name);
bool RegistryKeyExists(HKEY root, const std::wstring& key);

}  // namespace ornpm::testing
