#pragma once
// Report collection without a desktop, for fleet tools: gathers the live diagnosis as the
// window does at start and writes it to a file, never opening a window or waiting for a person.

#include <string>

namespace ornpm {

// Writes the report; the format comes from the extension (".xinf", ".iinf", ".html",
// ".htm"). Messages go to the standard error stream. False when no file could be written.
bool WriteHeadlessReport(const std::wstring& fileName);

}  // namespace ornpm
