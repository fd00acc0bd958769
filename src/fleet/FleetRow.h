#pragma once
// One row of the fleet table: what a support team looks for in a workstation's report,
// each cell marked when it shows a problem.

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

// The captions of the columns: the file, the plug-in, the hosts entry and the proxy
// exception, one column per zone and URL action, the logging settings, and the error last.
const std::vector<std::wstring>& FleetColumns();

// The row of a report read into info; without info, the row of a file that could not be
// read, which says why in its last cell.
TFleetRow MakeFleetRow(const TFleetFile& file, const TCompositeInfo* info, const std::wstring& error);

}  // namespace ornpm
