#pragma once
// Character tests that look at ASCII only, as file formats and Windows names compare. No
// Windows header here: the portable readers use them too and are built and fuzzed natively.

#include <cstdint>
#include <string_view>
#include <type_traits>

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

// A hash of the text with its ASCII letters upper-cased, the same for the same characters
// whether they are held as bytes or as UTF-16 units: names that differ only in the case of
// ASCII letters hash alike. Two characters a step, each step a bijection of the state, so
// texts of one length that differ in one place never collide; the end mixes every bit of
// the state into every bit of the result, for tables indexed by the low or the high bits.
template <typename Char>
constexpr std::uint32_t HashAsciiFolded(std::basic_string_view<Char> text) {
  const auto unit = [](Char c) {
    const auto u = static_cast<std::uint32_t>(static_cast<std::make_unsigned_t<Char>>(c));
    return u - 'a' < 26 ? u - ('a' - 'A') : u;
  };
  std::uint32_t hash = 0x9E3779B9u ^ static_cast<std::uint32_t>(text.size());
  size_t i = 0;
  for (; i + 1 < text.size(); i += 2) hash = (hash ^ (unit(text[i]) | unit(text[i + 1]) << 16)) * 0x01000193u;
  if (i < text.size()) hash = (hash ^ unit(text[i])) * 0x01000193u;
  hash ^= hash >> 16;
  hash *= 0x85EBCA6Bu;
  hash ^= hash >> 13;
  hash *= 0xC2B2AE35u;
  return hash ^ hash >> 16;
}

}  // namespace ornpm
