#include "service/EntryRepair.h"

#include <exception>
#include <string>

#include "win/CommandLineOutput.h"
#include "win/Exceptions.h"
#include "win/Text.h"
#include "win/UserInteraction.h"

namespace ornpm {

int RepairEntry(bool consoleMode, bool present, const wchar_t* presentText, const wchar_t* errorPattern,
                const std::function<void()>& write) {
  if (present) {
    // A logon script or a deployment job must not stop on a box where the entry is there.
    if (consoleMode && HasCommandLineOutput())
      WriteErrorLine(presentText);
    else
      ShowMessage(TMsgKind::Information, presentText);
    return 0;
  }
  try {
    write();
    return 0;
  } catch (const std::exception& error) {
    const std::wstring text = Format(errorPattern, {ExceptionKindName(error), ExceptionMessage(error)});
    if (consoleMode)
      WriteErrorLine(text);
    else
      ShowMessage(TMsgKind::Error, text);
    return 1;
  }
}

}  // namespace ornpm
