#pragma once
// How the text of an INI file falls into lines and what each line says, as the profile
// functions read it: lines end at CR LF, LF or a lone CR; a line starting with "[" and
// holding a "]" names a section (text after the last "]" is ignored), ";" starts a comment,
// and the first "=" parts a key from its value. Other lines belong to no key. Lines are
// taken apart as bytes where they are ASCII and as UTF-16 otherwise, so the parts are
// templates over the character type.

#include <cstddef>
#include <string_view>

#include "win/TextEncoding.h"

namespace ornpm {

// The blanks the profile functions trim around lines, names and values; ^Z is the old DOS
// end-of-file mark still found in files copied from old media.
template <typename Char>
bool IsBlank(Char c) {
  return (c >= '\t' && c <= '\r') || c == ' ' || c == 0x1A;
}

template <typename Char>
std::basic_string_view<Char> TrimBlanks(std::basic_string_view<Char> text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

inline std::wstring_view TrimBlanks(std::wstring_view text) {
  return TrimBlanks<wchar_t>(text);
}

template <typename Char>
bool IsLineBreak(Char c) {
  return c == Char('\r') || c == Char('\n');
}

enum class TLineKind { Blank, Comment, Section, Key, Other };

// A line's kind, and for a section header its name, for a key line its name and value, all
// with blanks trimmed and the value's quotes kept.
template <typename Char>
struct TLineParts {
  TLineKind Kind = TLineKind::Other;
  std::basic_string_view<Char> Name, Value;
};

// The text of one line, without its line end.
template <typename Char>
TLineParts<Char> SplitLine(std::basic_string_view<Char> text) {
  using TView = std::basic_string_view<Char>;
  TLineParts<Char> parts;
  TView rest = TrimBlanks(text);
  if (rest.empty()) {
    parts.Kind = TLineKind::Blank;
  } else if (size_t close = rest.rfind(Char(']')); rest.front() == Char('[') && close != TView::npos) {
    parts.Kind = TLineKind::Section;
    parts.Name = TrimBlanks(rest.substr(1, close - 1));
  } else if (rest.front() == Char(';')) {
    parts.Kind = TLineKind::Comment;
  } else if (size_t equals = rest.find(Char('=')); equals != TView::npos) {
    parts.Kind = TLineKind::Key;
    parts.Name = TrimBlanks(rest.substr(0, equals));
    parts.Value = TrimBlanks(rest.substr(equals + 1));
  }
  return parts;
}

// Of the file's bytes in the encoding, its mark left out: the length of the first line
// without its line end, where the next line starts after the one at start, and whether the
// bytes end with a line end (or hold less than a unit).
size_t LineLength(std::string_view bytes, TEncoding encoding);
size_t NextLineStart(std::string_view bytes, size_t start, TEncoding encoding);
bool HasLineEnd(std::string_view bytes, TEncoding encoding);

}  // namespace ornpm
