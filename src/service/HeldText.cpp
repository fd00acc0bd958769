#include "service/HeldText.h"

#include <algorithm>

#include "win/AsciiText.h"
#include "win/Text.h"

namespace ornpm {

void AppendHeld(std::string& held, std::wstring_view text) {
  // The ASCII start, nearly always the whole text, a byte a unit.
  const size_t start = held.size();
  held.resize(start + text.size());
  size_t ascii = 0;
  for (; ascii < text.size() && static_cast<uint32_t>(text[ascii]) < 0x80; ++ascii)
    held[start + ascii] = static_cast<char>(text[ascii]);
  held.resize(start + ascii);
  for (wchar_t unit : text.substr(ascii)) {
    const auto u = static_cast<uint32_t>(unit);
    if (u < 0x80) {
      held += static_cast<char>(u);
    } else if (u < 0x800) {
      held += static_cast<char>(0xC0 | u >> 6);
      held += static_cast<char>(0x80 | (u & 0x3F));
    } else {
      held += static_cast<char>(0xE0 | u >> 12);
      held += static_cast<char>(0x80 | (u >> 6 & 0x3F));
      held += static_cast<char>(0x80 | (u & 0x3F));
    }
  }
}

void AppendUnits(std::wstring& text, std::string_view held) {
  if (IsAscii(held)) {
    const size_t start = text.size();
    text.resize(start + held.size());
    std::copy(held.begin(), held.end(), text.begin() + start);
    return;
  }
  auto bits = [&](size_t i) { return static_cast<uint32_t>(static_cast<unsigned char>(held[i])); };
  for (size_t i = 0; i < held.size();) {
    const uint32_t lead = bits(i);
    if (lead < 0x80) {
      text += static_cast<wchar_t>(lead);
      i += 1;
    } else if (lead < 0xE0) {
      text += static_cast<wchar_t>((lead & 0x1F) << 6 | (bits(i + 1) & 0x3F));
      i += 2;
    } else {
      text += static_cast<wchar_t>((lead & 0x0F) << 12 | (bits(i + 1) & 0x3F) << 6 | (bits(i + 2) & 0x3F));
      i += 3;
    }
  }
}

std::wstring Units(std::string_view held) {
  std::wstring text;
  AppendUnits(text, held);
  return text;
}

uint32_t NameHash(std::string_view held) {
  return IsAscii(held) ? HashAsciiFolded(held) : HashAsciiFolded<wchar_t>(FoldCase(Units(held)));
}

uint32_t NameHash(std::wstring_view name) {
  return IsAscii(name) ? HashAsciiFolded(name) : HashAsciiFolded<wchar_t>(FoldCase(std::wstring(name)));
}

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() == b.size()) {
    size_t i = 0;
    for (; i < a.size() && static_cast<unsigned char>(a[i] | b[i]) < 0x80; ++i)
      if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
    if (i == a.size()) return true;
  } else if (IsAscii(a) && IsAscii(b)) {
    return false;
  }
  return FoldCase(Units(a)) == FoldCase(Units(b));
}

bool SameName(std::string_view held, std::wstring_view name) {
  if (held.size() == name.size()) {
    size_t i = 0;
    for (; i < name.size() && static_cast<unsigned char>(held[i]) < 0x80 && static_cast<uint32_t>(name[i]) < 0x80; ++i)
      if (FoldAscii(held[i]) != FoldAscii(name[i])) return false;
    if (i == name.size()) return true;
  } else if (IsAscii(held) && IsAscii(name)) {
    return false;
  }
  return FoldCase(Units(held)) == FoldCase(std::wstring(name));
}

}  // namespace ornpm
