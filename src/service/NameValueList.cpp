#include "service/NameValueList.h"

#include <utility>

namespace ornpm {

namespace {

// Up to this many lines are searched directly: the attributes of an element are a handful.
constexpr size_t ShortList = 8;

size_t HashName(std::wstring_view name) {
  uint32_t hash = 2166136261u;  // FNV-1a over the letter-case-folded characters
  for (wchar_t c : name) hash = (hash ^ static_cast<uint32_t>(FoldAscii(c))) * 16777619u;
  return hash;
}

}  // namespace

size_t TNameValueList::Find(std::wstring_view name) const {
  if (FSlots.empty()) {
    for (size_t i = 0; i < FCount; ++i)
      if (!FLines[i].Removed && SameAsciiText(FLines[i].Name, name)) return i;
    return npos;
  }
  const size_t mask = FSlots.size() - 1;
  for (size_t slot = HashName(name) & mask; FSlots[slot] != 0; slot = (slot + 1) & mask) {
    const TLine& line = FLines[FSlots[slot] - 1];
    if (!line.Removed && SameAsciiText(line.Name, name)) return FSlots[slot] - 1;
  }
  return npos;
}

size_t TNameValueList::IndexOf(std::wstring_view name) const {
  Compact();
  return Find(name);
}

const TNameValueList::TLine& TNameValueList::Line(size_t index) const {
  Compact();
  return FLines[index];
}

const std::wstring& TNameValueList::Value(std::wstring_view name) const {
  static const std::wstring missing;
  size_t index = Find(name);
  return index == npos ? missing : FLines[index].Value;
}

void TNameValueList::AddToIndex(size_t line) const {
  // At most half full, so that probes stay short.
  if ((FSlotsUsed + 1) * 2 > FSlots.size()) return RebuildIndex();
  const size_t mask = FSlots.size() - 1;
  size_t slot = HashName(FLines[line].Name) & mask;
  while (FSlots[slot] != 0) slot = (slot + 1) & mask;
  FSlots[slot] = static_cast<uint32_t>(line + 1);
  ++FSlotsUsed;
}

void TNameValueList::RebuildIndex() const {
  size_t size = 32;
  while (size < Count() * 4) size *= 2;
  FSlots.assign(size, 0);
  FSlotsUsed = 0;
  for (size_t i = 0; i < FCount; ++i)
    if (!FLines[i].Removed) AddToIndex(i);
}

void TNameValueList::Compact() const {
  if (FRemoved == 0) return;
  size_t kept = 0;
  for (size_t i = 0; i < FCount; ++i) {
    if (FLines[i].Removed) continue;
    if (kept != i) std::swap(FLines[kept], FLines[i]);  // the removed line's storage moves behind
    ++kept;
  }
  for (size_t i = kept; i < FCount; ++i) FLines[i].Removed = false;
  FCount = kept;
  FRemoved = 0;
  if (!FSlots.empty()) RebuildIndex();
}

void TNameValueList::SetValue(std::wstring_view name, std::wstring_view value) {
  size_t index = Find(name);
  if (value.empty()) {
    if (index == npos) return;
    FLines[index].Removed = true;
    ++FRemoved;
    // Removed lines never outnumber the others for long, so the list stays its own size.
    if (FRemoved * 2 > FCount) Compact();
  } else if (index != npos) {
    FLines[index].Value = value;
  } else {
    if (FCount == FLines.size()) FLines.emplace_back();
    TLine& line = FLines[FCount];
    line.Name = name;
    line.Value = value;
    line.Removed = false;
    ++FCount;
    if (!FSlots.empty())
      AddToIndex(FCount - 1);
    else if (FCount > ShortList)
      RebuildIndex();
  }
}

void TNameValueList::Clear() {
  FCount = 0;
  FRemoved = 0;
  // Freed rather than emptied: a long list once must not make every later Clear slow.
  if (!FSlots.empty()) std::vector<uint32_t>().swap(FSlots);
  FSlotsUsed = 0;
}

}  // namespace ornpm
