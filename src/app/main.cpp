// Program entry: the repair switches, else the main window.

#include <windows.h>

#include <exception>
#include <vector>

#include "app/CommandLine.h"
#include "app/fmMain.h"
#include "service/Registry.h"
#include "win/Environment.h"
#include "win/Exceptions.h"
#include "win/UserInteraction.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  try {
    // A scratch registry for test runs; see RedirectPredefinedKeys.
    if (std::wstring registryRoot = ornpm::GetEnv(L"ORNPM_REGISTRY_ROOT"); !registryRoot.empty())
      ornpm::RedirectPredefinedKeys(registryRoot);

    std::vector<std::wstring> arguments(__wargv + 1, __wargv + __argc);
    if (std::optional<int> exitCode = ornpm::RunCommandLineSwitches(arguments)) return *exitCode;
    return ornpm::RunMainWindow(arguments);
  } catch (const std::exception& error) {
    ornpm::ShowMessage(ornpm::TMsgKind::Error, ornpm::ExceptionMessage(error));
    return 1;
  }
}
