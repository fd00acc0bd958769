#pragma once
// What changed on each workstation from one whole report to the next. Reports come
// workstation by workstation, each oldest first; only what changed is kept, so a long
// history costs what changed in it, not the number of its reports.

#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "fleet/FleetRow.h"
#include "fleet/TextPool.h"

namespace ornpm {

struct TFleetChange {
  uint32_t Report;    // the report that first shows the new value
  uint32_t Previous;  // the last whole report before it, which shows the old one
  uint32_t Column;
  uint32_t From, To;  // the values, by their number in TFleetHistory::Value
};

class TFleetHistory {
 public:
  // Reports are numbered as the caller lists them; a workstation's are consecutive.
  struct TWorkstation {
    uint32_t First, Newest;             // its reports, the oldest and the newest
    uint32_t FirstChange, ChangeCount;  // its changes, oldest first
  };

  // The row of a report; error says why the report is not whole (cut off or not read at
  // all), and such a report takes no part in the comparison: the next whole one is
  // compared with the last whole one before it.
  void Add(size_t report, bool newWorkstation, const TFleetRow& row, const std::wstring& error);

  const std::vector<TWorkstation>& Workstations() const { return FWorkstations; }
  std::span<const TFleetChange> Changes(const TWorkstation& workstation) const;
  // The change that the workstation's newest report shows in the column; null for none.
  const TFleetChange* CurrentChange(const TWorkstation& workstation, size_t column) const;
  const std::wstring& Value(uint32_t id) const { return FValues.Text(id); }
  // Why the report is not whole; null for a whole one.
  const std::wstring* Error(size_t report) const;

 private:
  std::vector<TWorkstation> FWorkstations;
  std::vector<TFleetChange> FChanges;
  std::vector<std::pair<uint32_t, std::wstring>> FErrors;  // by report
  TTextPool FValues;
  // The last whole report of the workstation being read.
  bool FHasWhole = false;
  uint32_t FWholeReport = 0;
  TFleetRow FWhole;
};

}  // namespace ornpm
