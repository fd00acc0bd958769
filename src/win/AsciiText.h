#pragma once
// Character tests that look at ASCII only, as file formats and Windows names compare. No
// Windows header here: the portable readers use them too and are built and fuzzed natively.

#include <cstdint>
#include <string_view>

namespace ornpm {

// Codes 32 and below: the blanks that line-oriented text and the report writers' line
// breaks and indents consist of. Compared unsigned: wchar_t is signed on some platforms.
constexpr bool IsBlankOrControl(wchar_t c) {
  return static_cast<std::uint32_t>(c) <= 32;
}

// Upper case for ASCII letters; every other character as it is.
constexpr wchar_t FoldAscii(wchar_t c) {
  return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c;
}

// Letter case of ASCII letters ignored; other characters compared as they are.
constexpr bool SameAsciiText(std::wstring_view a, std::wstring_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
  return true;
}

}  // namespace ornpm
