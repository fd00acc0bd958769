#include "service/IniLineParser.h"

#include <algorithm>

namespace ornpm {

size_t LineLength(std::string_view bytes, TEncoding encoding) {
  if (!IsUtf16(encoding))
    return static_cast<size_t>(std::find_if(bytes.begin(), bytes.end(), IsLineBreak<char>) - bytes.begin());
  const size_t unit = UnitSize(encoding);
  size_t length = 0;
  while (length + unit <= bytes.size() && !IsLineBreak(UnitAt(bytes, length, encoding))) length += unit;
  return length;
}

size_t NextLineStart(std::string_view bytes, size_t start, TEncoding encoding) {
  const size_t unit = UnitSize(encoding);
  size_t end = start + LineLength(bytes.substr(start), encoding);
  if (end + unit > bytes.size()) return end;
  if (UnitAt(bytes, end, encoding) == L'\r' && end + 2 * unit <= bytes.size() &&
      UnitAt(bytes, end + unit, encoding) == L'\n')
    return end + 2 * unit;
  return end + unit;
}

bool HasLineEnd(std::string_view bytes, TEncoding encoding) {
  const size_t unit = UnitSize(encoding);
  return bytes.size() < unit || IsLineBreak(UnitAt(bytes, bytes.size() - unit, encoding));
}

}  // namespace ornpm
