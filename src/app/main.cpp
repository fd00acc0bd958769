// Program entry: the command-line switches, else the main window.

#include <windows.h>

#include <vector>

#include "app/CommandLine.h"
#include "app/fmMain.h"
#include "service/Registry.h"
#include "win/CommandLineOutput.h"
#include "win/Environment.h"
#include "win/ErrorDisplay.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  const bool commandLineRun = ornpm::IsCommandLineRun(__argc - 1, __wargv + 1);
  try {
    // A scratch registry for test runs; see RedirectPredefinedKeys.
    if (std::wstring registryRoot = ornpm::GetEnv(L"ORNPM_REGISTRY_ROOT"); !registryRoot.empty())
      ornpm::RedirectPredefinedKeys(registryRoot);

    std::vector<std::wstring> arguments(__wargv + 1, __wargv + __argc);
    if (std::optional<int> exitCode = ornpm::RunCommandLineSwitches(arguments)) return *exitCode;
    return ornpm::RunMainWindow(arguments);
  } catch (...) {
    // A run with switches has no one to close a message box.
    if (commandLineRun)
      ornpm::WriteCurrentError();
    else
      ornpm::ShowCurrentError();
    return 1;
  }
}
