#pragma once
// The fleet table as a file: a CSV list that a spreadsheet with Russian settings opens as
// columns, or an HTML page in the style of the report page.

#include <memory>
#include <string>
#include <vector>

#include "fleet/FleetRow.h"

namespace ornpm {

// Each part is appended to out as the file's bytes, so that a table of thousands of rows
// is written as it is made.
class TFleetTableFormat {
 public:
  virtual ~TFleetTableFormat() = default;
  virtual void Head(const std::vector<std::wstring>& columns, std::string& out) const = 0;
  virtual void Row(const TFleetRow& row, std::string& out) const = 0;
  virtual void Tail(std::string& out) const = 0;
};

// By the file name's extension, ".csv" or ".html" with letter case ignored; null for another.
std::unique_ptr<TFleetTableFormat> FleetTableFormatFor(const std::wstring& fileName);

}  // namespace ornpm
