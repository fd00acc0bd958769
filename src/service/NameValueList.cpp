#include "service/NameValueList.h"

namespace ornpm {

namespace {

wchar_t FoldAscii(wchar_t c) {
  return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c;
}

}  // namespace

bool SameAsciiText(std::wstring_view a, std::wstring_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
  return true;
}

size_t TNameValueList::IndexOf(std::wstring_view name) const {
  for (size_t i = 0; i < FLines.size(); ++i)
    if (SameAsciiText(FLines[i].first, name)) return i;
  return npos;
}

std::wstring TNameValueList::Value(std::wstring_view name) const {
  size_t index = IndexOf(name);
  return index == npos ? std::wstring() : FLines[index].second;
}

void TNameValueList::SetValue(std::wstring_view name, std::wstring_view value) {
  size_t index = IndexOf(name);
  if (value.empty()) {
    if (index != npos) FLines.erase(FLines.begin() + static_cast<std::ptrdiff_t>(index));
  } else if (index != npos) {
    FLines[index].second = value;
  } else {
    FLines.emplace_back(name, value);
  }
}

}  // namespace ornpm
