#include "service/NameValueList.h"

#include <functional>
#include <stdexcept>

namespace ornpm {

namespace {

// Up to this many lines are searched directly: the attributes of an element are a handful.
constexpr size_t ShortList = 8;

uint64_t Slot(uint32_t hash, size_t line) {
  return static_cast<uint64_t>(hash) << 32 | static_cast<uint32_t>(line + 1);
}

}  // namespace

uint32_t TNameValueList::HashName(std::wstring_view name) {
  uint32_t hash = 2166136261u;  // FNV-1a over the letter-case-folded characters
  for (wchar_t c : name) hash = (hash ^ static_cast<uint32_t>(FoldAscii(c))) * 16777619u;
  return hash;
}

size_t TNameValueList::Find(std::wstring_view name, uint32_t hash) const {
  if (FSlots.empty()) {
    for (size_t i = 0; i < FCount; ++i)
      if (!FLines[i].Removed && FLines[i].Hash == hash && SameAsciiText(Text(FLines[i].Name), name)) return i;
    return npos;
  }
  const size_t mask = FSlots.size() - 1;
  for (size_t slot = hash & mask; FSlots[slot] != 0; slot = (slot + 1) & mask) {
    if (FSlots[slot] >> 32 != hash) continue;
    const size_t index = static_cast<uint32_t>(FSlots[slot]) - 1;
    if (!FLines[index].Removed && SameAsciiText(Text(FLines[index].Name), name)) return index;
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

std::wstring_view TNameValueList::Value(std::wstring_view name) const {
  size_t index = Find(name);
  return index == npos ? std::wstring_view() : Text(FLines[index].Value);
}

TNameValueList::TSpan TNameValueList::Store(std::wstring_view text) {
  if (FText.size() + text.size() > UINT32_MAX) throw std::length_error("name=value list too long");
  TSpan span{static_cast<uint32_t>(FText.size()), static_cast<uint32_t>(text.size())};
  FText.append(text);
  return span;
}

void TNameValueList::AddToIndex(size_t line) const {
  // At most half full, so that probes stay short.
  if ((FSlotsUsed + 1) * 2 > FSlots.size()) return RebuildIndex();
  const size_t mask = FSlots.size() - 1;
  size_t slot = FLines[line].Hash & mask;
  while (FSlots[slot] != 0) slot = (slot + 1) & mask;
  FSlots[slot] = Slot(FLines[line].Hash, line);
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
  for (size_t i = 0; i < FCount; ++i)
    if (!FLines[i].Removed) FLines[kept++] = FLines[i];
  FCount = kept;
  FRemoved = 0;
  if (!FSlots.empty()) RebuildIndex();
}

void TNameValueList::SetValue(std::wstring_view name, std::wstring_view value) {
  // Texts taken from this very list would move as the buffer grows.
  const std::less<const wchar_t*> before;
  const auto inText = [&](std::wstring_view text) {
    return !text.empty() && !before(text.data(), FText.data()) && before(text.data(), FText.data() + FText.size());
  };
  if (inText(name) || inText(value)) return SetValue(std::wstring(name), std::wstring(value));

  const uint32_t hash = HashName(name);
  size_t index = Find(name, hash);
  if (value.empty()) {
    if (index == npos) return;
    FLines[index].Removed = true;
    ++FRemoved;
    // Removed lines never outnumber the others for long, so the list stays its own size.
    if (FRemoved * 2 > FCount) Compact();
  } else if (index != npos) {
    FLines[index].Value = Store(value);
  } else {
    if (FCount == FLines.size()) FLines.emplace_back();
    TLine& line = FLines[FCount];
    line.Name = Store(name);
    line.Value = Store(value);
    line.Hash = hash;
    line.Removed = false;
    ++FCount;
    if (!FSlots.empty())
      AddToIndex(FCount - 1);
    else if (FCount > ShortList)
      RebuildIndex();
  }
}

void TNameValueList::Reserve(size_t lines, size_t textLength) {
  FText.reserve(FText.size() + textLength);
  FLines.reserve(FCount + lines);
  if (FCount + lines > ShortList && FSlots.size() < (FCount + lines) * 2) {
    size_t size = 32;
    while (size < (FCount + lines) * 2) size *= 2;
    FSlots.assign(size, 0);
    FSlotsUsed = 0;
    for (size_t i = 0; i < FCount; ++i)
      if (!FLines[i].Removed) AddToIndex(i);
  }
}

void TNameValueList::Clear() {
  FText.clear();
  FCount = 0;
  FRemoved = 0;
  // Freed rather than emptied: a long list once must not make every later Clear slow.
  if (!FSlots.empty()) std::vector<uint64_t>().swap(FSlots);
  FSlotsUsed = 0;
}

}  // namespace ornpm
