#pragma once
// An ordered list of name=value lines with unique names found without regard to letter
// case (ASCII letters). Setting an empty value removes the line, so an empty value and a
// missing one read the same. Portable: no Windows header, so the XML reader that uses it
// can be built and fuzzed natively.
//
// Every operation takes constant time on average, whatever the names: a report from
// elsewhere may carry tens of thousands of attributes or check lines. A short list is
// searched directly; a longer one through a hash index of its lines.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "win/AsciiText.h"

namespace ornpm {

class TNameValueList {
 public:
  // The value of the line with that name, empty when there is none; valid while the list
  // is not changed.
  const std::wstring& Value(std::wstring_view name) const;
  bool Contains(std::wstring_view name) const { return Find(name) != npos; }
  // Replaces the value of an existing line in place, appends a new line, or removes the
  // line when the value is empty.
  void SetValue(std::wstring_view name, std::wstring_view value);

  size_t Count() const { return FCount - FRemoved; }
  const std::wstring& Name(size_t index) const { return Line(index).Name; }
  const std::wstring& ValueAt(size_t index) const { return Line(index).Value; }
  // The lines' storage stays for the next lines: the XML reader fills the list anew for
  // each of the thousands of elements of a report.
  void Clear();

  static constexpr size_t npos = static_cast<size_t>(-1);
  // The position of the line with that name among Name and ValueAt, npos when there is none.
  size_t IndexOf(std::wstring_view name) const;

 private:
  struct TLine {
    std::wstring Name;
    std::wstring Value;
    bool Removed = false;
  };

  // Where the line is kept (removed lines still take their place until Compact), or npos.
  size_t Find(std::wstring_view name) const;
  const TLine& Line(size_t index) const;
  void AddToIndex(size_t line) const;
  void RebuildIndex() const;
  // Drops removed lines, so that positions are those of the list again.
  void Compact() const;

  // Lines removed since the last Compact stay in FLines marked as such: closing the gap at
  // once would move every line after it. Lookups are const but may compact, hence mutable.
  mutable std::vector<TLine> FLines;  // the first FCount of them are in use
  mutable size_t FCount = 0;
  mutable size_t FRemoved = 0;
  // Open addressing: a slot holds a line's position plus one, 0 when free. Empty while the
  // list is short. Slots of removed lines stay until the index is rebuilt.
  mutable std::vector<uint32_t> FSlots;
  mutable size_t FSlotsUsed = 0;
};

}  // namespace ornpm
