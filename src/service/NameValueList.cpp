#include "service/NameValueList.h"

#include <functional>
#include <optional>
#include <stdexcept>

namespace ornpm {

namespace {

// Lines indexed together fetch the slot of the line this far ahead, so that the cache
// misses of a large index overlap rather than follow one another.
constexpr size_t FetchAhead = 8;

bool IsAsciiName(std::wstring_view name) {
  for (wchar_t c : name)
    if (static_cast<uint32_t>(c) >= 0x80) return false;
  return true;
}

}  // namespace

uint32_t TNameValueList::NameHash(std::wstring_view name) const {
  if (!FFold || IsAsciiName(name)) return HashAsciiFolded(name);
  return HashAsciiFolded<wchar_t>(FFold(std::wstring(name)));
}

bool TNameValueList::SameName(std::wstring_view a, std::wstring_view b) const {
  if (SameAsciiText(a, b)) return true;
  return FFold && a.size() == b.size() && !(IsAsciiName(a) && IsAsciiName(b)) &&
         FFold(std::wstring(a)) == FFold(std::wstring(b));
}

size_t TNameValueList::Find(std::wstring_view name, uint32_t hash) const {
  if (FIndex.Slots() == 0) {
    for (size_t i = 0; i < FCount; ++i)
      if (!FLines[i].Removed && FLines[i].Hash == hash && SameName(Text(FLines[i].Name), name)) return i;
    return npos;
  }
  const std::optional<uint32_t> index = FIndex.Find(hash, IsLineNamed(name));
  return index ? *index : npos;
}

size_t TNameValueList::IndexOf(std::wstring_view name) const {
  Settle();
  Compact();
  return Find(name);
}

const TNameValueList::TLine& TNameValueList::Line(size_t index) const {
  Settle();
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

bool TNameValueList::InText(std::wstring_view text) const {
  const std::less<const wchar_t*> before;
  return !text.empty() && !before(text.data(), FText.data()) && before(text.data(), FText.data() + FText.size());
}

void TNameValueList::AddLine(std::wstring_view name, std::wstring_view value, uint32_t hash) {
  if (FCount == FLines.size()) FLines.emplace_back();
  TLine& line = FLines[FCount];
  line.Name = Store(name);
  line.Value = Store(value);
  line.Hash = hash;
  line.Removed = false;
  ++FCount;
}

void TNameValueList::RemoveLine(size_t index) const {
  FLines[index].Removed = true;
  ++FRemoved;
}

void TNameValueList::ResizeIndex(size_t lines) const {
  size_t size = 32;
  while (size < lines * 2) size *= 2;
  FIndex.Reset(size);
}

void TNameValueList::IndexLines(size_t from) const {
  // At most half full, so that probes stay short; grown, it holds four times the lines.
  if ((FIndex.Count() + FCount - from) * 2 > FIndex.Slots()) {
    ResizeIndex(2 * (FCount - FRemoved));
    from = 0;
  }
  for (size_t i = from; i < FCount; ++i) {
    if (i + FetchAhead < FCount) FIndex.Prefetch(FLines[i + FetchAhead].Hash);
    const TLine& line = FLines[i];
    if (line.Removed) continue;
    // The first line of the name counts.
    if (!FIndex.Add(line.Hash, static_cast<uint32_t>(i), IsLineNamed(Text(line.Name)))) RemoveLine(i);
  }
}

void TNameValueList::SettleAppended() const {
  if (Indexed()) {
    IndexLines(FIndex.Slots() == 0 ? 0 : FSettled);
  } else {
    for (size_t i = FSettled; i < FCount; ++i)
      if (Find(Text(FLines[i].Name), FLines[i].Hash) != i) RemoveLine(i);
  }
  FSettled = FCount;
}

void TNameValueList::Compact() const {
  if (FRemoved == 0) return;
  size_t kept = 0;
  for (size_t i = 0; i < FCount; ++i)
    if (!FLines[i].Removed) FLines[kept++] = FLines[i];
  FCount = FSettled = kept;
  FRemoved = 0;
  if (FIndex.Slots() != 0) {
    ResizeIndex(2 * FCount);
    IndexLines(0);
  }
}

void TNameValueList::SetValue(std::wstring_view name, std::wstring_view value) {
  // Texts taken from this very list would move as the buffer grows.
  if (InText(name) || InText(value)) return SetValue(std::wstring(name), std::wstring(value));

  Settle();
  const uint32_t hash = NameHash(name);
  size_t index = Find(name, hash);
  if (value.empty()) {
    if (index == npos) return;
    RemoveLine(index);
    // Removed lines never outnumber the others for long, so the list stays its own size.
    if (FRemoved * 2 > FCount) Compact();
  } else if (index != npos) {
    FLines[index].Value = Store(value);
  } else {
    AddLine(name, value, hash);
    if (Indexed()) IndexLines(FIndex.Slots() == 0 ? 0 : FCount - 1);
    FSettled = FCount;
  }
}

void TNameValueList::Append(std::wstring_view name, std::wstring_view value) {
  if (value.empty()) return;
  if (InText(name) || InText(value)) return Append(std::wstring(name), std::wstring(value));
  AddLine(name, value, NameHash(name));
}

void TNameValueList::Reserve(size_t lines, size_t textLength) {
  FText.reserve(FText.size() + textLength);
  FLines.reserve(FCount + lines);
  if (FCount + lines > ShortList && FIndex.Slots() < (FCount + lines) * 2) {
    ResizeIndex(FCount + lines);
    IndexLines(0);
    FSettled = FCount;
  }
}

void TNameValueList::Clear() {
  FText.clear();
  FCount = 0;
  FRemoved = 0;
  FSettled = 0;
  // Freed rather than emptied: a long list once must not make every later Clear slow.
  if (FIndex.Slots() != 0) FIndex = THashIndex<uint32_t>();
}

}  // namespace ornpm
