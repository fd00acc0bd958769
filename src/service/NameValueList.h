#pragma once
// An ordered list of name=value lines with unique names found without regard to letter
// case (ASCII letters). Setting an empty value removes the line, so an empty value and a
// missing one read the same. Portable: no Windows header, so the XML reader that uses it
// can be built and fuzzed natively.
//
// Every operation takes constant time on average, whatever the names: a report from
// elsewhere may carry tens of thousands of attributes or check lines. A short list is
// searched directly, a longer one through a hash index. The texts of all lines share one
// buffer, so that a line costs no allocation of its own.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "win/AsciiText.h"

namespace ornpm {

class TNameValueList {
 public:
  // The value of the line with that name, empty when there is none. Views into the list:
  // valid while it is not changed.
  std::wstring_view Value(std::wstring_view name) const;
  bool Contains(std::wstring_view name) const { return Find(name) != npos; }
  // Replaces the value of an existing line, appends a new line, or removes the line when
  // the value is empty.
  void SetValue(std::wstring_view name, std::wstring_view value);

  size_t Count() const { return FCount - FRemoved; }
  std::wstring_view Name(size_t index) const { return Text(Line(index).Name); }
  std::wstring_view ValueAt(size_t index) const { return Text(Line(index).Value); }
  // Room for that many lines with names and values of that total length, taken at once.
  void Reserve(size_t lines, size_t textLength);
  // The storage stays for the next lines: the XML reader fills the list anew for each of
  // the thousands of elements of a report.
  void Clear();

  static constexpr size_t npos = static_cast<size_t>(-1);
  // The position of the line with that name among Name and ValueAt, npos when there is none.
  size_t IndexOf(std::wstring_view name) const;

 private:
  struct TSpan {
    uint32_t Start = 0;
    uint32_t Length = 0;
  };
  struct TLine {
    TSpan Name;
    TSpan Value;
    uint32_t Hash = 0;  // of the name, letter case folded
    bool Removed = false;
  };

  std::wstring_view Text(TSpan span) const { return std::wstring_view(FText).substr(span.Start, span.Length); }
  TSpan Store(std::wstring_view text);
  // Where the line is kept (removed lines still take their place until Compact), or npos.
  size_t Find(std::wstring_view name) const { return Find(name, HashName(name)); }
  size_t Find(std::wstring_view name, uint32_t hash) const;
  static uint32_t HashName(std::wstring_view name);
  const TLine& Line(size_t index) const;
  void AddToIndex(size_t line) const;
  void RebuildIndex() const;
  // Drops removed lines, so that positions are those of the list again.
  void Compact() const;

  // The names and values, one after the other. A replaced value stays behind until Clear:
  // the buffer grows at most by what was set.
  std::wstring FText;
  // Lines removed since the last Compact stay in FLines marked as such: closing the gap at
  // once would move every line after it. Lookups are const but may compact, hence mutable.
  mutable std::vector<TLine> FLines;
  mutable size_t FCount = 0;  // lines in FLines, removed ones included
  mutable size_t FRemoved = 0;
  // Open addressing: a slot holds a line's position plus one in its low half, 0 when free,
  // and the name's hash in its high half, so that a probe rarely has to look at a line.
  // Empty while the list is short. Slots of removed lines stay until the index is rebuilt.
  mutable std::vector<uint64_t> FSlots;
  mutable size_t FSlotsUsed = 0;
};

}  // namespace ornpm
