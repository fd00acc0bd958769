#include <gtest/gtest.h>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "service/NameValueList.h"

namespace ornpm {
namespace {

// What the list must hold: lines in order, names compared with ASCII letter case ignored.
class TModel {
 public:
  const std::wstring* Value(std::wstring_view name) const {
    for (const auto& line : FLines)
      if (SameAsciiText(line.first, name)) return &line.second;
    return nullptr;
  }
  size_t IndexOf(std::wstring_view name) const {
    for (size_t i = 0; i < FLines.size(); ++i)
      if (SameAsciiText(FLines[i].first, name)) return i;
    return TNameValueList::npos;
  }
  void SetValue(const std::wstring& name, const std::wstring& value) {
    const size_t at = IndexOf(name);
    if (value.empty()) {
      if (at != TNameValueList::npos) FLines.erase(FLines.begin() + static_cast<std::ptrdiff_t>(at));
    } else if (at != TNameValueList::npos) {
      FLines[at].second = value;
    } else {
      FLines.emplace_back(name, value);
    }
  }
  void Append(const std::wstring& name, const std::wstring& value) {
    if (!value.empty() && IndexOf(name) == TNameValueList::npos) FLines.emplace_back(name, value);
  }
  const std::vector<std::pair<std::wstring, std::wstring>>& Lines() const { return FLines; }
  void Clear() { FLines.clear(); }

 private:
  std::vector<std::pair<std::wstring, std::wstring>> FLines;
};

std::vector<std::pair<std::wstring, std::wstring>> LinesOf(const TNameValueList& list) {
  std::vector<std::pair<std::wstring, std::wstring>> lines;
  for (size_t i = 0; i < list.Count(); ++i) lines.emplace_back(list.Name(i), list.ValueAt(i));
  return lines;
}

// Random changes and lookups, each compared with the model: short lists searched directly,
// lists that cross into the index and grow it, lines appended in bulk with names repeated in
// other letter cases, values emptied, texts taken from the list itself.
TEST(NameValueList, BehavesAsAnOrderedListOfUniqueNames) {
  for (const size_t names : {6, 14, 3000}) {
    SCOPED_TRACE(names);
    std::mt19937 random(static_cast<unsigned>(names));
    auto pick = [&](size_t count) { return static_cast<size_t>(random() % count); };
    auto nameOf = [&](size_t n) {
      std::wstring name = L"key" + std::to_wstring(n) + (n % 7 == 0 ? L"\x0416" : L"");  // "Ж", not folded
      for (wchar_t& c : name)
        if (pick(2)) c = FoldAscii(c);
      return name;
    };
    auto valueOf = [&] { return pick(5) == 0 ? std::wstring() : L"v" + std::to_wstring(pick(1000)); };
    TNameValueList list;
    TModel model;
    const int steps = names > 100 ? 6000 : 20000;
    for (int step = 0; step < steps; ++step) {
      const std::wstring name = nameOf(pick(names));
      switch (pick(names > 100 ? 12 : 8)) {
        case 0:
        case 1: {
          const std::wstring value = valueOf();
          list.SetValue(name, value);
          model.SetValue(name, value);
          break;
        }
        case 2:
        case 3: {
          // A run of lines at once, as a report's section is read.
          const size_t run = 1 + pick(names > 100 ? 400 : 12);
          if (pick(2)) list.Reserve(run, run * 8);
          for (size_t i = 0; i < run; ++i) {
            const std::wstring appended = nameOf(pick(names)), value = valueOf();
            list.Append(appended, value);
            model.Append(appended, value);
          }
          break;
        }
        case 4:
          if (list.Count() > 0) {  // a name and a value that view the list's own text
            const size_t line = pick(list.Count()), other = pick(list.Count());
            const std::wstring name(list.Name(line)), value(list.ValueAt(other));
            list.SetValue(list.Name(line), list.ValueAt(other));
            model.SetValue(name, value);
            const std::wstring newName(list.ValueAt(line)), newValue(list.Name(line));
            list.Append(list.ValueAt(line), list.Name(line));
            model.Append(newName, newValue);
          }
          break;
        case 5:
          if (pick(200) == 0) {
            list.Clear();
            model.Clear();
          }
          break;
        default: {
          const std::wstring* expected = model.Value(name);
          ASSERT_EQ(list.Value(name), expected ? *expected : L"") << "step " << step << ": " << name;
          ASSERT_EQ(list.Contains(name), expected != nullptr) << "step " << step;
          ASSERT_EQ(list.IndexOf(name), model.IndexOf(name)) << "step " << step;
        }
      }
      if (step % 97 == 0) {
        ASSERT_EQ(LinesOf(list), model.Lines()) << "step " << step;
      }
    }
    EXPECT_EQ(LinesOf(list), model.Lines());
  }
}

}  // namespace
}  // namespace ornpm
