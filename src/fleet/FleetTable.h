#pragma once
// Fleet overview for support teams: one table, a row per report file, from the reports that
// /REPORT collected across the workstations. Never opens a window or waits for a person.

#include <string>
#include <vector>

namespace ornpm {

// Reads every report that the inputs name (files, folders with their subfolders, wildcards
// in the last path element), one at a time, and writes the table to output: ".csv" or
// ".html" by its extension. Messages go to the standard error stream. True when every
// input was read and the table written.
bool WriteFleetTable(const std::wstring& output, const std::vector<std::wstring>& inputs);

}  // namespace ornpm
