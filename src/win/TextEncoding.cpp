#include "win/TextEncoding.h"

#include <windows.h>

#include <utility>

#include "win/Text.h"

namespace ornpm {

namespace {

constexpr std::pair<std::string_view, TEncoding> Marks[] = {
    {"\xEF\xBB\xBF", TEncoding::Utf8}, {"\xFF\xFE", TEncoding::Utf16LE}, {"\xFE\xFF", TEncoding::Utf16BE}};

UINT CodePageOf(TEncoding encoding) {
  return encoding == TEncoding::Utf8 ? CP_UTF8 : CP_ACP;
}

}  // namespace

TEncoding EncodingOf(std::string_view bytes) {
  for (const auto& [mark, encoding] : Marks)
    if (bytes.starts_with(mark)) return encoding;
  return TEncoding::Ansi;
}

std::string_view ByteOrderMark(TEncoding encoding) {
  for (const auto& [mark, marked] : Marks)
    if (marked == encoding) return mark;
  return {};
}

void AppendDecoded(std::wstring& text, std::string_view bytes, TEncoding encoding) {
  if (!IsUtf16(encoding)) return AppendWide(text, bytes, CodePageOf(encoding));
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) text += UnitAt(bytes, i, encoding);
}

void AppendEncoded(std::string& bytes, std::wstring_view text, TEncoding encoding) {
  if (!IsUtf16(encoding)) return AppendBytes(bytes, text, CodePageOf(encoding));
  for (wchar_t unit : text) {
    const char low = static_cast<char>(unit & 0xFF), high = static_cast<char>(unit >> 8 & 0xFF);
    bytes += encoding == TEncoding::Utf16LE ? low : high;
    bytes += encoding == TEncoding::Utf16LE ? high : low;
  }
}

}  // namespace ornpm
