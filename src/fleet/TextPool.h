#pragma once
// Distinct texts, each held once and known by its number in the order first seen: a fleet of
// thousands of workstations repeats the same few values in every column.

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace ornpm {

class TTextPool {
 public:
  // The text's number, and whether it was new.
  std::pair<uint32_t, bool> Intern(const std::wstring& text) {
    const auto [entry, added] = FIndex.try_emplace(text, static_cast<uint32_t>(FTexts.size()));
    if (added) FTexts.push_back(&entry->first);
    return {entry->second, added};
  }
  const std::wstring& Text(uint32_t id) const { return *FTexts[id]; }
  size_t Count() const { return FTexts.size(); }

 private:
  std::unordered_map<std::wstring, uint32_t> FIndex;
  std::vector<const std::wstring*> FTexts;  // by number, pointing into FIndex
};

}  // namespace ornpm
