#include "win/Text.h"

#include <limits>
#include <stdexcept>

#include "win/Exceptions.h"

namespace ornpm {

namespace {

int CheckedLength(size_t size) {
  if (size > static_cast<size_t>(std::numeric_limits<int>::max())) throw std::length_error("text too long");
  return static_cast<int>(size);
}

bool IsBlank(wchar_t c) {
  return c <= L' ';
}

}  // namespace

std::wstring BytesToWide(std::string_view bytes, UINT codePage) {
  if (bytes.empty()) return {};
  int size = CheckedLength(bytes.size());
  int length = ::MultiByteToWideChar(codePage, 0, bytes.data(), size, nullptr, 0);
  if (length == 0) throw EOSError(::GetLastError());
  std::wstring result(static_cast<size_t>(length), L'\0');
  ::MultiByteToWideChar(codePage, 0, bytes.data(), size, result.data(), length);
  return result;
}

std::string WideToBytes(std::wstring_view text, UINT codePage) {
  if (text.empty()) return {};
  int size = CheckedLength(text.size());
  int length = ::WideCharToMultiByte(codePage, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
  if (length == 0) throw EOSError(::GetLastError());
  std::string result(static_cast<size_t>(length), '\0');
  ::WideCharToMultiByte(codePage, 0, text.data(), size, result.data(), length, nullptr, nullptr);
  return result;
}

std::wstring Trim(std::wstring_view text) {
  size_t first = 0;
  while (first < text.size() && IsBlank(text[first])) ++first;
  return TrimRight(text.substr(first));
}

std::wstring TrimRight(std::wstring_view text) {
  size_t last = text.size();
  while (last > 0 && IsBlank(text[last - 1])) --last;
  return std::wstring(text.substr(0, last));
}

bool SameText(std::wstring_view a, std::wstring_view b) {
  return ::CompareStringOrdinal(a.data(), CheckedLength(a.size()), b.data(), CheckedLength(b.size()), TRUE) ==
         CSTR_EQUAL;
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
