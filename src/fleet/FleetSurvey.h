#pragma once
// What the fleet page needs to know of every row once all reports are read: which cells
// show a problem, which differ from what most workstations have, and which columns are the
// same everywhere. A cell is kept as the number of its value among its column's distinct
// values, so a fleet of thousands costs a few hundred bytes a row.

#include <cstdint>
#include <string>
#include <vector>

#include "fleet/FleetRow.h"
#include "fleet/TextPool.h"

namespace ornpm {

enum class TFleetMark { None, Problem, Outlier };

// A column with marks, as the summary tells it.
struct TFleetFinding {
  size_t Column;
  TFleetMark Kind;
  size_t Marked;                     // rows with the mark
  size_t FirstRow;                   // the first of them
  std::vector<std::wstring> Values;  // the marked values, the most frequent first
};

class TFleetSurvey {
 public:
  TFleetSurvey();

  // A row of the table; read is false for a file that could not be read, whose empty cells
  // take no part in what the fleet has.
  void Add(const TFleetRow& row, bool read);
  // Settles the marks once every row is in.
  void Finish();

  size_t RowCount() const { return FRead.size(); }
  // Of the columns from FleetFileColumns on.
  const std::wstring& Text(size_t row, size_t column) const;
  TFleetMark Mark(size_t row, size_t column) const;
  // What a marked outlier is measured against: the value most workstations have, or the
  // newest version.
  const std::wstring& Reference(size_t column) const;
  // The value most workstations have.
  const std::wstring& MostCommon(size_t column) const;
  // Every workstation that was read has the same value here, and it is no problem.
  bool Same(size_t column) const;
  // The columns with marks, in column order.
  const std::vector<TFleetFinding>& Findings() const { return FFindings; }

 private:
  struct TColumnValues {
    TTextPool Texts;
    std::vector<uint32_t> Counts;  // rows read with the value, by its number
    uint32_t MostCommon = 0, Reference = 0;
    bool Same = true;
  };
  static constexpr uint32_t ProblemBit = 0x80000000u;

  uint32_t Cell(size_t row, size_t column) const { return FCells[row * FWidth + column - FleetFileColumns]; }
  TColumnValues& Values(size_t column) { return FColumns[column - FleetFileColumns]; }
  const TColumnValues& Values(size_t column) const { return FColumns[column - FleetFileColumns]; }
  void SettleColumn(size_t column);

  size_t FWidth;
  std::vector<TColumnValues> FColumns;
  std::vector<uint32_t> FCells;  // row by row, the number of each value, ProblemBit for a problem
  std::vector<bool> FRead;
  std::vector<TFleetFinding> FFindings;
};

}  // namespace ornpm
