#include "service/NameValueList.h"

#include <algorithm>

namespace ornpm {

size_t TNameValueList::IndexOf(std::wstring_view name) const {
  for (size_t i = 0; i < FCount; ++i)
    if (SameAsciiText(FLines[i].first, name)) return i;
  return npos;
}

const std::wstring& TNameValueList::Value(std::wstring_view name) const {
  static const std::wstring missing;
  size_t index = IndexOf(name);
  return index == npos ? missing : FLines[index].second;
}

void TNameValueList::SetValue(std::wstring_view name, std::wstring_view value) {
  size_t index = IndexOf(name);
  if (value.empty()) {
    if (index == npos) return;
    // The removed line's storage moves behind the list, the others keep their order.
    std::rotate(FLines.begin() + static_cast<std::ptrdiff_t>(index),
                FLines.begin() + static_cast<std::ptrdiff_t>(index) + 1,
                FLines.begin() + static_cast<std::ptrdiff_t>(FCount));
    --FCount;
  } else if (index != npos) {
    FLines[index].second = value;
  } else {
    if (FCount == FLines.size()) FLines.emplace_back();
    FLines[FCount].first = name;
    FLines[FCount].second = value;
    ++FCount;
  }
}

}  // namespace ornpm
