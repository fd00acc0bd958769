#include <cstdint>
#include <gtest/gtest.h>
#include <random>
#include <set>

#include "service/HashIndex.h"

namespace ornpm {
namespace {

// Every key hashes to one of the last three slots, whatever the index's size, and keys
// alike modulo 3 hash alike: probe runs are long, wrap around the end of the slots, and
// only the caller's test tells entries of one hash apart.
uint32_t CrowdedHash(int key) {
  return 0xFFFFFFFDu + static_cast<uint32_t>(key % 3);
}

auto Is(int key) {
  return [key](int entry) { return entry == key; };
}

// Random adds and removals compared with a set after each step: a removal that breaks a
// probe run, or moves an entry before its home, loses entries further along the run.
TEST(HashIndex, FindsWhatWasAddedAndNotRemovedInCrowdedWrappingRuns) {
  THashIndex<int> index(16);
  std::set<int> model;
  std::mt19937 random(7);
  std::uniform_int_distribution<int> keys(0, 39);
  for (int step = 0; step < 3000; ++step) {
    const int key = keys(random);
    if (random() % 3 == 0) {
      index.Remove(CrowdedHash(key), Is(key));
      model.erase(key);
    } else {
      ASSERT_EQ(index.Add(CrowdedHash(key), key, Is(key)), model.insert(key).second) << "step " << step;
    }
    ASSERT_EQ(index.Count(), model.size()) << "step " << step;
    ASSERT_LE(index.Count() * 2, index.Slots()) << "step " << step;
    for (int other = 0; other <= 39; ++other)
      ASSERT_EQ(index.Find(CrowdedHash(other), Is(other)).has_value(), model.contains(other))
          << "step " << step << ", key " << other;
  }
}

TEST(HashIndex, AnIndexWithoutSlotsFindsNothingAndGrowsOnItsFirstAdd) {
  THashIndex<int> index;
  EXPECT_FALSE(index.Find(CrowdedHash(1), Is(1)));
  index.Remove(CrowdedHash(1), Is(1));
  EXPECT_TRUE(index.Add(CrowdedHash(1), 1, Is(1)));
  EXPECT_EQ(index.Find(CrowdedHash(1), Is(1)), 1);
}

}  // namespace
}  // namespace ornpm
