#include "win/Text.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <type_traits>

#include "win/AsciiText.h"
#include "win/Exceptions.h"

namespace ornpm {

namespace {

int CheckedLength(size_t size) {
  if (size > static_cast<size_t>(std::numeric_limits<int>::max())) throw std::length_error("text too long");
  return static_cast<int>(size);
}

bool SameTextBySystem(std::wstring_view a, std::wstring_view b) {
  return ::CompareStringOrdinal(a.data(), CheckedLength(a.size()), b.data(), CheckedLength(b.size()), TRUE) ==
         CSTR_EQUAL;
}

// Report texts are mostly ASCII, which reads the same in every code page the program uses
// (the ANSI ones and UTF-8). An ASCII start is copied as it is; the system converts the rest,
// which starts on a character of its own since no ASCII unit is part of a longer character.
// The start is looked at eight bytes at a time, as a report runs to megabytes.
template <typename Unit>
size_t AsciiPrefix(std::basic_string_view<Unit> text) {
  static_assert(sizeof(Unit) <= 2);
  constexpr uint64_t nonAsciiBits = sizeof(Unit) == 1 ? 0x8080808080808080u : 0xFF80FF80FF80FF80u;
  constexpr size_t unitsPerWord = sizeof(uint64_t) / sizeof(Unit);
  size_t length = 0;
  for (uint64_t word; length + unitsPerWord <= text.size(); length += unitsPerWord) {
    std::memcpy(&word, text.data() + length, sizeof word);
    if (word & nonAsciiBits) break;
  }
  while (length < text.size() && static_cast<std::make_unsigned_t<Unit>>(text[length]) < 0x80) ++length;
  return length;
}

}  // namespace

bool IsAscii(std::string_view bytes) {
  return AsciiPrefix(bytes) == bytes.size();
}

bool IsAscii(std::wstring_view text) {
  return AsciiPrefix(text) == text.size();
}

void AppendWide(std::wstring& text, std::string_view bytes, UINT codePage) {
  size_t ascii = AsciiPrefix(bytes);
  std::string_view rest = bytes.substr(ascii);
  int size = CheckedLength(rest.size());
  int length = 0;
  if (!rest.empty()) {
    length = ::MultiByteToWideChar(codePage, 0, rest.data(), size, nullptr, 0);
    if (length == 0) throw EOSError(::GetLastError());
  }
  size_t start = text.size();
  text.resize(start + ascii + static_cast<size_t>(length));
  std::copy(bytes.begin(), bytes.begin() + ascii, text.begin() + start);
  if (length > 0) ::MultiByteToWideChar(codePage, 0, rest.data(), size, text.data() + start + ascii, length);
}

void AppendBytes(std::string& bytes, std::wstring_view text, UINT codePage) {
  size_t ascii = AsciiPrefix(text);
  std::wstring_view rest = text.substr(ascii);
  int size = CheckedLength(rest.size());
  int length = 0;
  if (!rest.empty()) {
    length = ::WideCharToMultiByte(codePage, 0, rest.data(), size, nullptr, 0, nullptr, nullptr);
    if (length == 0) throw EOSError(::GetLastError());
  }
  size_t start = bytes.size();
  bytes.resize(start + ascii + static_cast<size_t>(length));
  std::transform(text.begin(), text.begin() + ascii, bytes.begin() + start,
                 [](wchar_t c) { return static_cast<char>(c); });
  if (length > 0)
    ::WideCharToMultiByte(codePage, 0, rest.data(), size, bytes.data() + start + ascii, length, nullptr, nullptr);
}

std::wstring BytesToWide(std::string_view bytes, UINT codePage) {
  std::wstring text;
  AppendWide(text, bytes, codePage);
  return text;
}

std::string WideToBytes(std::wstring_view text, UINT codePage) {
  std::string bytes;
  AppendBytes(bytes, text, codePage);
  return bytes;
}

std::wstring Trim(std::wstring_view text) {
  size_t first = 0;
  while (first < text.size() && IsBlankOrControl(text[first])) ++first;
  return TrimRight(text.substr(first));
}

std::wstring TrimRight(std::wstring_view text) {
  size_t last = text.size();
  while (last > 0 && IsBlankOrControl(text[last - 1])) --last;
  return std::wstring(text.substr(0, last));
}

std::wstring EscapeControls(std::wstring_view text) {
  constexpr wchar_t Hex[] = L"0123456789ABCDEF";
  std::wstring shown;
  for (wchar_t c : text) {
    if (c == L'\r')
      shown += L"\\r";
    else if (c == L'\n')
      shown += L"\\n";
    else if (c < L' ' || c == 0x7F)
      shown += L"\\x" + std::wstring{Hex[c >> 4], Hex[c & 15]};
    else
      shown += c;
  }
  return shown;
}

// Most comparisons are decided by the length or by ASCII characters, whose case the program
// folds itself; text with other characters goes to the system's case table.
std::wstring FoldCase(std::wstring text) {
  if (IsAscii(text)) {
    for (wchar_t& c : text) c = FoldAscii(c);
  } else {
    ::LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, text.data(), static_cast<int>(text.size()), text.data(),
                    static_cast<int>(text.size()), nullptr, nullptr, 0);
  }
  return text;
}

bool SameText(std::wstring_view a, std::wstring_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i] >= 0x80 || b[i] >= 0x80) return SameTextBySystem(a, b);
    if (a[i] != b[i] && FoldAscii(a[i]) != FoldAscii(b[i])) return false;
  }
  return !a.empty() || SameTextBySystem(a, b);
}

bool StartsText(std::wstring_view prefix, std::wstring_view text) {
  return text.size() >= prefix.size() && SameText(prefix, text.substr(0, prefix.size()));
}

bool EndsText(std::wstring_view suffix, std::wstring_view text) {
  return text.size() >= suffix.size() && SameText(suffix, text.substr(text.size() - suffix.size()));
}

int StrToIntDef(std::wstring_view text, int defaultValue) {
  bool negative = false;
  if (!text.empty() && (text[0] == L'-' || text[0] == L'+')) {
    negative = text[0] == L'-';
    text.remove_prefix(1);
  }
  int base = 10;
  if (!text.empty() && text[0] == L'$') {
    base = 16;
    text.remove_prefix(1);
  } else if (text.size() > 1 && text[0] == L'0' && (text[1] == L'x' || text[1] == L'X')) {
    base = 16;
    text.remove_prefix(2);
  }
  if (text.empty()) return defaultValue;
  long long value = 0;
  for (wchar_t c : text) {
    int digit = c >= L'0' && c <= L'9'   ? c - L'0'
                : c >= L'a' && c <= L'f' ? c - L'a' + 10
                : c >= L'A' && c <= L'F' ? c - L'A' + 10
                                         : 99;
    if (digit >= base) return defaultValue;
    value = value * base + digit;
    if (value > 0x100000000LL) return defaultValue;
  }
  if (negative) value = -value;
  // Hexadecimal covers the whole 32-bit pattern, as "$FFFFFFFF" means -1.
  if (base == 16 && !negative && value > std::numeric_limits<int>::max() && value <= 0xFFFFFFFFLL)
    return static_cast<int>(static_cast<unsigned>(value));
  if (value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max()) return defaultValue;
  return static_cast<int>(value);
}

bool ContainsText(std::wstring_view text, std::wstring_view part) {
  if (part.size() > text.size()) return false;
  for (size_t i = 0; i + part.size() <= text.size(); ++i)
    if (SameText(part, text.substr(i, part.size()))) return true;
  return false;
}

std::wstring Format(std::wstring_view pattern, std::initializer_list<std::wstring_view> args) {
  std::wstring result;
  result.reserve(pattern.size());
  auto next = args.begin();
  for (size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] == L'%' && i + 1 < pattern.size()) {
      if (pattern[i + 1] == L'%') {
        result += L'%';
        ++i;
        continue;
      }
      if (pattern[i + 1] == L's' && next != args.end()) {
        result += *next++;
        ++i;
        continue;
      }
    }
    result += pattern[i];
  }
  return result;
}

}  // namespace ornpm
