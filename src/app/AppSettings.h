#pragma once
// The program's own settings: section "AppSettings" of the settings file (ornpm.ini beside
// the program when it exists, else in the plug-in data folder).

#include <string>

namespace ornpm {

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
