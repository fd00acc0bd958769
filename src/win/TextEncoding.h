#pragma once
// The encodings a text file comes in, as Windows reads profile files and our reports: the
// one a byte-order mark at the file's start names (UTF-8, UTF-16 in either byte order),
// else the ANSI code page. Text decoded from and encoded into them unit by unit, so that a
// file can be read line by line and written back in its own encoding.

#include <cstddef>
#include <string>
#include <string_view>

namespace ornpm {

enum class TEncoding { Ansi, Utf8, Utf16LE, Utf16BE };

// The encoding whose mark the bytes start with; Ansi when they start with none.
TEncoding EncodingOf(std::string_view bytes);
// The mark a file in the encoding starts with; empty for Ansi.
std::string_view ByteOrderMark(TEncoding encoding);

inline bool IsUtf16(TEncoding encoding) {
  return encoding == TEncoding::Utf16LE || encoding == TEncoding::Utf16BE;
}

// Bytes per text unit.
inline size_t UnitSize(TEncoding encoding) {
  return IsUtf16(encoding) ? 2 : 1;
}

// The text unit that starts at the position: a byte, or a UTF-16 unit.
inline wchar_t UnitAt(std::string_view bytes, size_t at, TEncoding encoding) {
  auto byte = [&](size_t i) { return static_cast<unsigned char>(bytes[i]); };
  switch (encoding) {
    case TEncoding::Utf16LE:
      return static_cast<wchar_t>(byte(at) | byte(at + 1) << 8);
    case TEncoding::Utf16BE:
      return static_cast<wchar_t>(byte(at) << 8 | byte(at + 1));
    default:
      return static_cast<wchar_t>(byte(at));
  }
}

// Bytes without their mark. Half a UTF-16 unit at the end is left out.
void AppendDecoded(std::wstring& text, std::string_view bytes, TEncoding encoding);
void AppendEncoded(std::string& bytes, std::wstring_view text, TEncoding encoding);

// ASCII text, such as a format's own characters, without a conversion call for each.
inline void AppendAscii(std::string& bytes, std::string_view ascii, TEncoding encoding) {
  for (char c : ascii) {
    if (encoding == TEncoding::Utf16BE) bytes += '\0';
    bytes += c;
    if (encoding == TEncoding::Utf16LE) bytes += '\0';
  }
}

}  // namespace ornpm
