#include "app/AppSettings.h"

#include "service/IniFile.h"
#include "service/PlugInFiles.h"
#include "win/Environment.h"
#include "win/Text.h"

namespace ornpm {

namespace {

constexpr wchar_t SettingsSection[] = L"AppSettings";

}  // namespace

std::wstring SettingsFileName(const std::wstring& programFile) {
  std::wstring iniName = ChangeFileExt(programFile.empty() ? ModuleFileName() : programFile, L".ini");
  if (FileExists(iniName)) return iniName;
  return IncludeTrailingPathDelimiter(GetPlugInDataDir()) + ExtractFileName(iniName);
}

TAppSettings ReadAppSettings() {
  TAppSettings settings;
  const std::wstring fileName = SettingsFileName();
  if (!FileExists(fileName)) return settings;
  TIniFile file(fileName);
  settings.ExtendedMode = SameText(file.ReadString(SettingsSection, L"ExtendedMode", L"False"), L"True");
  settings.EMailRecipient = file.ReadString(SettingsSection, L"EMailRecipient", L"");
  settings.EMailSubject = file.ReadString(SettingsSection, L"EMailSubject", L"");
  return settings;
}

void WriteExtendedMode(bool extended) {
  const std::wstring fileName = SettingsFileName();
  ForceDirectories(ExtractFilePath(fileName));
  TIniFile file(fileName);
  file.WriteString(SettingsSection, L"ExtendedMode", extended ? L"True" : L"False");
  file.UpdateFile();
}

}  // namespace ornpm
