#pragma once
// The fleet table as a file: a CSV list that a spreadsheet with Russian settings opens as
// columns, or an HTML page in the style of the report page.

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "fleet/FleetInputs.h"
#include "fleet/FleetRow.h"

namespace ornpm {

// The file's bytes as they are made: gathered, and handed on whenever enough have gathered,
// so that a table of thousands of rows is never held whole.
class TFleetOutput {
 public:
  explicit TFleetOutput(std::function<void(std::string_view)> write) : FWrite(std::move(write)) {}
  std::string& Bytes() { return FBytes; }
  // Hands on what gathered when it is enough, or all of it.
  void Spill(bool all = false);

 private:
  std::function<void(std::string_view)> FWrite;
  std::string FBytes;
};

class TFleetTableFormat {
 public:
  virtual ~TFleetTableFormat() = default;
  virtual void Begin(TFleetOutput& out) = 0;
  // The row of the file numbered report in files, which come by computer name and then by
  // time; read is false for a file that could not be read at all.
  virtual void Row(const TFleetFiles& files, size_t report, const TFleetRow& row, bool read, TFleetOutput& out) = 0;
  // After the last row.
  virtual void End(const TFleetFiles& files, TFleetOutput& out) = 0;
};

// By the file name's extension, ".csv" or ".html" with letter case ignored; null for another.
std::unique_ptr<TFleetTableFormat> FleetTableFormatFor(const std::wstring& fileName);

// The page: a row per workstation, its newest report, with its history; a summary of what
// is wrong, what changed and what differs above a table of the columns that differ.
std::unique_ptr<TFleetTableFormat> MakeFleetPage();

}  // namespace ornpm
