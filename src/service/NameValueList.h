#pragma once
// An ordered list of name=value lines with unique names found without regard to letter
// case (ASCII letters). Setting an empty value removes the line, so an empty value and a
// missing one read the same. Portable: no Windows header, so the XML reader that uses it
// can be built and fuzzed natively.

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "win/AsciiText.h"

namespace ornpm {

class TNameValueList {
 public:
  // The value of the line with that name, empty when there is none; valid while the list
  // is not changed.
  const std::wstring& Value(std::wstring_view name) const;
  bool Contains(std::wstring_view name) const { return IndexOf(name) != npos; }
  // Replaces the value of an existing line in place, appends a new line, or removes the
  // line when the value is empty.
  void SetValue(std::wstring_view name, std::wstring_view value);

  size_t Count() const { return FCount; }
  const std::wstring& Name(size_t index) const { return FLines[index].first; }
  const std::wstring& ValueAt(size_t index) const { return FLines[index].second; }
  // The lines' storage stays for the next lines: the XML reader fills the list anew for
  // each of the thousands of elements of a report.
  void Clear() { FCount = 0; }

  static constexpr size_t npos = static_cast<size_t>(-1);
  size_t IndexOf(std::wstring_view name) const;

 private:
  std::vector<std::pair<std::wstring, std::wstring>> FLines;  // the first FCount of them are the list
  size_t FCount = 0;
};

}  // namespace ornpm
