#include "fleet/FleetSurvey.h"

#include <algorithm>
#include <map>
#include <optional>

namespace ornpm {

namespace {

// "10.0.2.123" as its numbers; empty for text that is not a version of dotted numbers.
std::optional<std::vector<uint32_t>> VersionNumbers(std::wstring_view text) {
  std::vector<uint32_t> numbers;
  for (size_t start = 0;;) {
    const size_t dot = std::min(text.find(L'.', start), text.size());
    const std::wstring_view part = text.substr(start, dot - start);
    if (part.empty() || part.size() > 9 ||
        !std::all_of(part.begin(), part.end(), [](wchar_t c) { return c >= L'0' && c <= L'9'; }))
      return std::nullopt;
    numbers.push_back(static_cast<uint32_t>(std::stoul(std::wstring(part))));
    if (dot == text.size()) return numbers;
    start = dot + 1;
  }
}

// 10.0 and 10.0.0 are the same version.
bool OlderVersion(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b) {
  for (size_t i = 0; i < std::max(a.size(), b.size()); ++i) {
    const uint32_t x = i < a.size() ? a[i] : 0, y = i < b.size() ? b[i] : 0;
    if (x != y) return x < y;
  }
  return false;
}

}  // namespace

TFleetSurvey::TFleetSurvey() : FWidth(FleetColumns().size() - FleetFileColumns), FColumns(FWidth) {}

void TFleetSurvey::Add(const TFleetRow& row, bool read) {
  for (size_t c = FleetFileColumns; c < FleetColumns().size(); ++c) {
    static const TFleetCell none;
    const TFleetCell& cell = c < row.size() ? row[c] : none;
    TColumnValues& values = Values(c);
    const auto [id, added] = values.Texts.Intern(cell.Text);
    if (added) values.Counts.push_back(0);
    if (read) ++values.Counts[id];
    FCells.push_back(id | (cell.Problem ? ProblemBit : 0));
  }
  FRead.push_back(read);
}

void TFleetSurvey::SettleColumn(size_t column) {
  TColumnValues& values = Values(column);
  // The most frequent; of equally frequent ones the first in the table.
  for (uint32_t id = 0; id < values.Counts.size(); ++id)
    if (values.Counts[id] > values.Counts[values.MostCommon]) values.MostCommon = id;
  values.Reference = values.MostCommon;
  if (FleetColumns()[column].Kind == TFleetColumnKind::Newest) {
    std::optional<std::vector<uint32_t>> newest;
    for (uint32_t id = 0; id < values.Counts.size(); ++id) {
      const auto numbers = values.Counts[id] ? VersionNumbers(values.Texts.Text(id)) : std::nullopt;
      if (numbers && (!newest || OlderVersion(*newest, *numbers))) {
        newest = numbers;
        values.Reference = id;
      }
    }
  }
  std::optional<uint32_t> seen;
  for (size_t r = 0; r < RowCount() && values.Same; ++r) {
    // A file that could not be read has no values, but its error is a problem.
    const uint32_t cell = Cell(r, column);
    if (!FRead[r] && !(cell & ProblemBit)) continue;
    values.Same = !(cell & ProblemBit) && (!seen || *seen == cell);
    seen = cell;
  }
}

void TFleetSurvey::Finish() {
  for (size_t c = FleetFileColumns; c < FleetColumns().size(); ++c) {
    SettleColumn(c);
    TFleetFinding finding{c, TFleetMark::None, 0, 0, {}};
    std::map<uint32_t, size_t> marked;  // value number, rows
    for (size_t r = 0; r < RowCount(); ++r) {
      const TFleetMark mark = Mark(r, c);
      if (mark == TFleetMark::None) continue;
      // A column of a problem kind is a problem column, even where it also differs.
      if (finding.Marked++ == 0) finding.FirstRow = r;
      if (finding.Kind != TFleetMark::Problem) finding.Kind = mark;
      ++marked[Cell(r, c) & ~ProblemBit];
    }
    if (!finding.Marked) continue;
    std::vector<std::pair<uint32_t, size_t>> byRows(marked.begin(), marked.end());
    std::stable_sort(byRows.begin(), byRows.end(), [](const auto& a, const auto& b) { return a.second > b.second; });
    for (const auto& [id, rows] : byRows) finding.Values.push_back(Values(c).Texts.Text(id));
    FFindings.push_back(std::move(finding));
  }
}

const std::wstring& TFleetSurvey::Text(size_t row, size_t column) const {
  return Values(column).Texts.Text(Cell(row, column) & ~ProblemBit);
}

TFleetMark TFleetSurvey::Mark(size_t row, size_t column) const {
  const uint32_t cell = Cell(row, column);
  if (cell & ProblemBit) return TFleetMark::Problem;
  if (!FRead[row]) return TFleetMark::None;
  const TColumnValues& values = Values(column);
  switch (FleetColumns()[column].Kind) {
    case TFleetColumnKind::Common:
      return cell == values.Reference ? TFleetMark::None : TFleetMark::Outlier;
    case TFleetColumnKind::Newest:
      // No version at all is told by the registration and the library check.
      return cell == values.Reference || values.Texts.Text(cell).empty() ? TFleetMark::None : TFleetMark::Outlier;
    default:
      return TFleetMark::None;
  }
}

const std::wstring& TFleetSurvey::Reference(size_t column) const {
  const TColumnValues& values = Values(column);
  return values.Texts.Text(values.Reference);
}

const std::wstring& TFleetSurvey::MostCommon(size_t column) const {
  const TColumnValues& values = Values(column);
  return values.Texts.Text(values.MostCommon);
}

bool TFleetSurvey::Same(size_t column) const {
  return Values(column).Same;
}

}  // namespace ornpm
