#include "app/CommandLine.h"

#include <exception>

#include "fleet/FleetTable.h"
#include "app/HeadlessReport.h"
#include "service/Hosts.h"
#include "service/ProxyOverride.h"
#include "win/CommandLineOutput.h"
#include "win/Text.h"

namespace ornpm {

namespace {

constexpr const wchar_t* Switches[] = {L"/WH", L"/WP", L"/WHCHECK", L"/REPORT", L"/TABLE"};

enum class TSwitchOutcome { NotASwitch, Succeeded, Failed };

// argument points into the list; /REPORT takes the next one as its file name, /TABLE the
// next one as its output and all after it as its inputs.
TSwitchOutcome RunSwitch(std::vector<std::wstring>::const_iterator& argument,
                         std::vector<std::wstring>::const_iterator end) {
  if (SameText(*argument, L"/WH"))
    return WritePlugInDomainToHosts(true) == 0 ? TSwitchOutcome::Succeeded : TSwitchOutcome::Failed;
  if (SameText(*argument, L"/WP"))
    return WritePlugInDomainToProxyOverride(true) == 0 ? TSwitchOutcome::Succeeded : TSwitchOutcome::Failed;
  if (SameText(*argument, L"/WHCHECK"))
    return IsPlugInDomainInHosts() ? TSwitchOutcome::Succeeded : TSwitchOutcome::Failed;
  if (SameText(*argument, L"/REPORT")) {
    if (argument + 1 == end) {
      WriteErrorLine(L"Не указано имя файла отчёта");
      return TSwitchOutcome::Failed;
    }
    ++argument;
    return WriteHeadlessReport(*argument) ? TSwitchOutcome::Succeeded : TSwitchOutcome::Failed;
  }
  if (SameText(*argument, L"/TABLE")) {
    if (argument + 1 == end) {
      WriteErrorLine(L"Не указано имя файла таблицы");
      return TSwitchOutcome::Failed;
    }
    const std::wstring output = *++argument;
    const std::vector<std::wstring> inputs(argument + 1, end);
    argument = end - 1;
    return WriteFleetTable(output, inputs) ? TSwitchOutcome::Succeeded : TSwitchOutcome::Failed;
  }
  return TSwitchOutcome::NotASwitch;
}

}  // namespace

bool IsCommandLineRun(int count, const wchar_t* const* arguments) noexcept {
  for (int index = 0; index < count; ++index)
    for (const wchar_t* name : Switches)
      if (SameText(arguments[index], name)) return true;
  return false;
}

std::optional<int> RunCommandLineSwitches(const std::vector<std::wstring>& arguments) {
  bool handled = false;
  for (auto argument = arguments.cbegin(); argument != arguments.cend(); ++argument) {
    TSwitchOutcome outcome;
    try {
      outcome = RunSwitch(argument, arguments.cend());
    } catch (...) {
      // The presence checks run outside the repairs' own error reporting (a hosts file
      // that cannot be read, a proxy list of the wrong type), and anything unforeseen ends
      // up here too. The run fails all the same.
      WriteCurrentError();
      return 1;
    }
    if (outcome == TSwitchOutcome::Failed) return 1;
    if (outcome == TSwitchOutcome::Succeeded) handled = true;
  }
  if (handled) return 0;
  return std::nullopt;
}

}  // namespace ornpm
