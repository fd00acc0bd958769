#pragma once
// The program's own settings: section "AppSettings" of the settings file (ornpm.ini beside
// the program when it exists, else in the plug-in data folder).

#include <string>

namespace ornpm {

// The program's file name with the extension ".ini" when that file exists, else the same
// file name in the plug-in data folder. An empty name stands for the running program.
std::wstring SettingsFileName(const std::wstring& programFile = {});

struct TAppSettings {
  bool ExtendedMode = false;
  std::wstring EMailRecipient;
  std::wstring EMailSubject;
};

// Defaults when the file does not exist; a file that exists but cannot be read raises its
// error.
TAppSettings ReadAppSettings();

// Remembers the mode. The settings folder does not exist before the first write on a
// workstation: it is created then.
void WriteExtendedMode(bool extended);

}  // namespace ornpm
