#pragma once
// One row of the fleet table: what a support team looks for in a workstation's report,
// each cell marked when it shows a problem.

#include <cstdint>
#include <string>
#include <vector>

#include "fleet/FleetInputs.h"

namespace ornpm {

class TCompositeInfo;

struct TFleetCell {
  std::wstring Text;  // may hold line breaks (CR LF)
  bool Problem = false;
};
using TFleetRow = std::vector<TFleetCell>;

// How a column's cells are compared across the fleet.
enum class TFleetColumnKind {
  Plain,    // differs by nature from workstation to workstation (the file, a count)
  Problem,  // marked where the plug-in cannot work, never for differing
  Common,   // marked where it differs from the value most workstations have
  Newest,   // a version: marked where it is not the newest the fleet has
};

struct TFleetColumn {
  std::wstring Caption;
  TFleetColumnKind Kind;
};

// The columns: the file, the plug-in, the hosts entry and the proxy exception, one column
// per zone and URL action, the logging settings, and the error last. The first
// FleetFileColumns come from the file alone, not from what it holds.
const std::vector<TFleetColumn>& FleetColumns();
inline constexpr size_t FleetFileColumns = 3;

// A file's time on this workstation's clock, as a spreadsheet with Russian settings reads
// it ("30.11.2026 08:09:10"), or to the minute or the day in a sentence; empty for none.
enum class TTimePrecision { Second, Minute, Day };
std::wstring FleetTimeText(uint64_t time, TTimePrecision precision = TTimePrecision::Second);

// The row of a report read into info; without info, the row of a file that could not be
// read, which says why in its last cell.
TFleetRow MakeFleetRow(const TFleetFile& file, const TCompositeInfo* info, const std::wstring& error);

}  // namespace ornpm
