#pragma once
// An ordered list of name=value lines with unique names found without regard to letter
// case: of ASCII letters, and of every letter when the list is given a case fold for the
// other characters (the portable readers have none; the program passes the system's).
// Setting an empty value removes the line, so an empty value and a missing one read the
// same. Portable: no Windows header, so the XML reader that uses it can be built and
// fuzzed natively.
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

#include "service/HashIndex.h"
#include "win/AsciiText.h"

namespace ornpm {

class TNameValueList {
 public:
  // Maps a text to one letter case for every letter, keeping its length; it is given only
  // texts with characters beyond ASCII.
  using TCaseFold = std::wstring (*)(std::wstring);

  explicit TNameValueList(TCaseFold foldOthers = nullptr) : FFold(foldOthers) {}

  // The value of the line with that name, empty when there is none. Views into the list:
  // valid while it is not changed.
  std::wstring_view Value(std::wstring_view name) const;
  bool Contains(std::wstring_view name) const { return Find(name) != npos; }
  // Replaces the value of an existing line, appends a new line, or removes the line when
  // the value is empty.
  void SetValue(std::wstring_view name, std::wstring_view value);
  // For filling the list with many lines at once, such as the keys of an INI section: a new
  // line at the end when the value is not empty, but of a name that is there already the
  // earlier line stays (the first counts, as with the keys of an INI section). The lines
  // appended are looked at together before the list is next read, so that the index's
  // memory is reached for many lines at a time rather than line after line.
  void Append(std::wstring_view name, std::wstring_view value);

  size_t Count() const {
    Settle();
    return FCount - FRemoved;
  }
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
  // True when the text lies in the list's own buffer, which moves as it grows.
  bool InText(std::wstring_view text) const;
  void AddLine(std::wstring_view name, std::wstring_view value, uint32_t hash);
  void RemoveLine(size_t index) const;
  // Where the line is kept (removed lines still take their place until Compact), or npos.
  size_t Find(std::wstring_view name) const {
    Settle();
    return Find(name, NameHash(name));
  }
  // Alike for names that are the same but for letter case.
  uint32_t NameHash(std::wstring_view name) const;
  bool SameName(std::wstring_view a, std::wstring_view b) const;
  size_t Find(std::wstring_view name, uint32_t hash) const;
  // The index's test for a line of that name.
  auto IsLineNamed(std::wstring_view name) const {
    return [this, name](uint32_t index) { return !FLines[index].Removed && SameName(Text(FLines[index].Name), name); };
  }
  const TLine& Line(size_t index) const;
  bool Indexed() const { return FIndex.Slots() != 0 || FCount > ShortList; }
  // An empty index with room for that many lines at most half full.
  void ResizeIndex(size_t lines) const;
  // Puts the lines from that position on into the index, growing it first when needed; a
  // line whose name is there already is removed.
  void IndexLines(size_t from) const;
  // Lines appended since the list was last read are checked for names already there and
  // indexed.
  void Settle() const {
    if (FSettled != FCount) SettleAppended();
  }
  void SettleAppended() const;
  // Drops removed lines, so that positions are those of the list again.
  void Compact() const;

  // Up to this many lines are searched directly: the attributes of an element are a handful.
  static constexpr size_t ShortList = 8;

  TCaseFold FFold;
  // The names and values, one after the other. A replaced value stays behind until Clear:
  // the buffer grows at most by what was set.
  std::wstring FText;
  // Lines removed since the last Compact stay in FLines marked as such: closing the gap at
  // once would move every line after it. Lookups are const but may compact or settle lines
  // appended, hence mutable.
  mutable std::vector<TLine> FLines;
  mutable size_t FCount = 0;  // lines in FLines, removed ones included
  mutable size_t FRemoved = 0;
  mutable size_t FSettled = 0;  // lines before this one are known to have names of their own
  // Line positions by the hash of the name, so that a probe rarely has to look at a line.
  // Empty while the list is short. Entries of removed lines stay until the index is rebuilt.
  mutable THashIndex<uint32_t> FIndex;
};

}  // namespace ornpm
