#pragma once
// An index of entries by the hash of their name: open addressing with linear probing in one
// block of slots, at most half full, so that a lookup costs the same among ten names and
// among tens of thousands. The index keeps no names: each call takes the caller's test of
// whether an entry is the one sought, so one index serves names held in any form and
// compared by any rule (the INI file's sections and keys, the XML reader's attributes).
// Portable: no Windows header, so that the XML reader can be built and fuzzed natively.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace ornpm {

template <typename Entry>
class THashIndex {
 public:
  // Room for the given number of slots, a power of two (or none).
  explicit THashIndex(size_t slots = 0) { Reset(slots); }

  size_t Slots() const { return FSlots.size(); }
  size_t Count() const { return FCount; }

  // The entry of the hash that is(entry) accepts.
  template <typename Is>
  std::optional<Entry> Find(uint32_t hash, Is is) const {
    if (FSlots.empty()) return std::nullopt;
    hash = InUse(hash);
    for (size_t i = hash & FMask;; i = (i + 1) & FMask) {
      const TSlot& slot = FSlots[i];
      if (!slot.Used()) return std::nullopt;
      if (slot.Hash == hash && is(slot.Item)) return slot.Item;
    }
  }

  // Adds the entry, unless one that is(entry) accepts is there already: false then. Grows
  // to twice its size rather than be more than half full.
  template <typename Is>
  bool Add(uint32_t hash, Entry entry, Is is) {
    if ((FCount + 1) * 2 > FSlots.size()) Grow(std::max<size_t>(FSlots.size() * 2, 2));
    hash = InUse(hash);
    size_t i = hash & FMask;
    for (; FSlots[i].Used(); i = (i + 1) & FMask)
      if (FSlots[i].Hash == hash && is(FSlots[i].Item)) return false;
    FSlots[i] = {hash, entry};
    ++FCount;
    return true;
  }

  // Removing moves later entries of a probe run back, so that no run is broken.
  template <typename Is>
  void Remove(uint32_t hash, Is is) {
    if (FSlots.empty()) return;
    hash = InUse(hash);
    size_t i = hash & FMask;
    for (;; i = (i + 1) & FMask) {
      if (!FSlots[i].Used()) return;
      if (FSlots[i].Hash == hash && is(FSlots[i].Item)) break;
    }
    FSlots[i] = {};
    --FCount;
    for (size_t j = (i + 1) & FMask; FSlots[j].Used(); j = (j + 1) & FMask) {
      const size_t home = FSlots[j].Hash & FMask;
      // The entry may move into the hole when its home is not within (hole, j].
      if (((j - home) & FMask) >= ((j - i) & FMask)) {
        FSlots[i] = FSlots[j];
        FSlots[j] = {};
        i = j;
      }
    }
  }

  // Fetches the slot where a search for the hash starts, ahead of an Add or a Find: the
  // cache misses of a large index then overlap rather than follow one another.
  void Prefetch(uint32_t hash) const { __builtin_prefetch(&FSlots[hash & FMask]); }

  // Empty, with the given number of slots.
  void Reset(size_t slots) {
    FSlots.assign(slots, TSlot{});
    FMask = slots - 1;
    FCount = 0;
  }

  // The entries kept, in the given number of slots.
  void Grow(size_t slots) {
    std::vector<TSlot> old(slots);
    old.swap(FSlots);
    FMask = slots - 1;
    for (const TSlot& slot : old)
      if (slot.Used()) {
        size_t i = slot.Hash & FMask;
        while (FSlots[i].Used()) i = (i + 1) & FMask;
        FSlots[i] = slot;
      }
  }

 private:
  // A slot in use holds the hash with its top bit set, so that it never holds 0 and needs
  // no flag of its own: a slot is two words rather than three. Indexes never reach 2^31
  // slots, so the bit never changes where a search starts.
  static uint32_t InUse(uint32_t hash) { return hash | 0x80000000u; }

  struct TSlot {
    uint32_t Hash = 0;
    Entry Item{};
    bool Used() const { return Hash != 0; }
  };

  std::vector<TSlot> FSlots;
  size_t FMask = 0;
  size_t FCount = 0;
};

}  // namespace ornpm
