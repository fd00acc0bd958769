#include "fleet/FleetHistory.h"

#include <algorithm>

namespace ornpm {

void TFleetHistory::Add(size_t report, bool newWorkstation, const TFleetRow& row, const std::wstring& error) {
  const uint32_t number = static_cast<uint32_t>(report);
  if (newWorkstation || FWorkstations.empty()) {
    FWorkstations.push_back({number, number, static_cast<uint32_t>(FChanges.size()), 0});
    FHasWhole = false;
  }
  TWorkstation& workstation = FWorkstations.back();
  workstation.Newest = number;
  if (!error.empty()) {
    FErrors.emplace_back(number, error);
    return;
  }
  if (FHasWhole) {
    // What differs by nature (the file, the time, the number of processes) is no change.
    const std::vector<TFleetColumn>& columns = FleetColumns();
    for (size_t c = FleetFileColumns; c < columns.size() && c < row.size(); ++c) {
      if (columns[c].Kind == TFleetColumnKind::Plain || row[c].Text == FWhole[c].Text) continue;
      FChanges.push_back({number, FWholeReport, static_cast<uint32_t>(c), FValues.Intern(FWhole[c].Text).first,
                          FValues.Intern(row[c].Text).first});
      ++workstation.ChangeCount;
    }
  }
  FHasWhole = true;
  FWholeReport = number;
  FWhole = row;
  FWhole.resize(FleetColumns().size());
}

std::span<const TFleetChange> TFleetHistory::Changes(const TWorkstation& workstation) const {
  return std::span<const TFleetChange>(FChanges).subspan(workstation.FirstChange, workstation.ChangeCount);
}

const TFleetChange* TFleetHistory::CurrentChange(const TWorkstation& workstation, size_t column) const {
  // The newest report's changes are the workstation's last ones.
  const std::span<const TFleetChange> changes = Changes(workstation);
  for (auto change = changes.rbegin(); change != changes.rend() && change->Report == workstation.Newest; ++change)
    if (change->Column == column) return &*change;
  return nullptr;
}

const std::wstring* TFleetHistory::Error(size_t report) const {
  const auto found = std::lower_bound(FErrors.begin(), FErrors.end(), report,
                                      [](const auto& error, size_t number) { return error.first < number; });
  return found != FErrors.end() && found->first == report ? &found->second : nullptr;
}

}  // namespace ornpm
