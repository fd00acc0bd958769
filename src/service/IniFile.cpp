#include "service/IniFile.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <iterator>
#include <list>
#include <memory_resource>
#include <optional>
#include <string_view>
#include <utility>

#include "service/HashIndex.h"
#include "service/HeldText.h"
#include "service/IniLineParser.h"
#include "win/Exceptions.h"
#include "win/Files.h"
#include "win/Text.h"
#include "win/TextEncoding.h"

namespace ornpm {

namespace {

// The code that reads our values reads them into buffers of 2048 units, as the profile
// functions return them.
constexpr size_t MaxValueLength = 2047;

// One line of the file. Its bytes are kept exactly as read, line end included, so a line
// nobody changes is written back unchanged even where the encoding cannot round-trip it;
// a line read from the file views the file's bytes. Its name and value are held text,
// blanks trimmed, the value's quotes kept. A line's name never changes once indexed.
struct TLine {
  std::string_view Bytes;
  TLineKind Kind = TLineKind::Other;
  mutable bool Shadowed = false;  // a key line after the first of its name, marked when its section is indexed
  bool Ascii = false;             // the name and the value are known to be ASCII: read without decoding
  std::string_view Name{}, Value{};
};

using TLines = std::pmr::list<TLine>;
using TLineIt = TLines::iterator;

// Entries by name, the first entry of each name, for the sections of the file and for the
// keys of a section, since a report's sections hold thousands of keys. An entry is an
// iterator to something with a held Name.
template <typename Entry>
class TNameIndex {
 public:
  explicit TNameIndex(size_t expected) : FIndex(std::bit_ceil(std::max<size_t>(16, expected * 2))) {}

  // By a held name or by a name asked for.
  template <typename Name>
  std::optional<Entry> Find(Name name) const {
    return FIndex.Find(NameHash(name), Named(name));
  }

  // False when an entry of the name is there already.
  bool Add(Entry item) { return FIndex.Add(NameHash(item->Name), item, Named(item->Name)); }

  // Many entries at once: forEach(visit) calls visit(entry) for each in turn, and added(entry,
  // bool) is told of each in the same order whether it was added. The slot of an entry a few
  // ahead is fetched while the one before it is added.
  template <typename ForEach, typename Added>
  void AddAll(ForEach forEach, Added added) {
    constexpr size_t Ahead = 8;
    std::array<std::pair<Entry, uint32_t>, Ahead> waiting;
    size_t count = 0;
    auto add = [&](const std::pair<Entry, uint32_t>& entry) {
      added(entry.first, FIndex.Add(entry.second, entry.first, Named(entry.first->Name)));
    };
    forEach([&](Entry item) {
      const uint32_t hash = NameHash(item->Name);
      FIndex.Prefetch(hash);
      auto& place = waiting[count++ % Ahead];
      if (count > Ahead) add(place);
      place = {item, hash};
    });
    for (size_t i = count > Ahead ? count - Ahead : 0; i < count; ++i) add(waiting[i % Ahead]);
  }

  void Remove(std::wstring_view name) { FIndex.Remove(NameHash(name), Named(name)); }

 private:
  template <typename Name>
  static auto Named(Name name) {
    return [name](const Entry& entry) { return SameName(entry->Name, name); };
  }

  THashIndex<Entry> FIndex;
};

// A line break written into a value would make the rest of it lines of their own on the
// next read, even a section header; the value stays on its line instead. The storage holds
// the changed text where there is a line break to replace.
std::wstring_view OnOneLine(std::wstring_view text, std::wstring& storage) {
  if (std::none_of(text.begin(), text.end(), IsLineBreak<wchar_t>)) return text;
  storage = text;
  std::replace_if(storage.begin(), storage.end(), IsLineBreak<wchar_t>, L' ');
  return storage;
}

// Names as they are written and looked up: blanks trimmed, on one line like values.
std::wstring_view CleanName(std::wstring_view name, std::wstring& storage) {
  return OnOneLine(TrimBlanks(name), storage);
}

// One pair of matching quotes around the value is removed, as GetPrivateProfileString does.
std::wstring_view Unquoted(std::wstring_view value) {
  if (value.size() >= 2 && (value.front() == L'"' || value.front() == L'\'') && value.back() == value.front())
    value = value.substr(1, value.size() - 2);
  return value;
}

// Decimal digits with an optional sign, nothing else: "12abc" or "0x10" are not numbers
// here, although GetPrivateProfileInt would read a leading part of them.
std::optional<int> ParseInt32(std::wstring_view text) {
  bool negative = !text.empty() && text.front() == L'-';
  if (!text.empty() && (text.front() == L'-' || text.front() == L'+')) text.remove_prefix(1);
  if (text.empty()) return std::nullopt;
  int64_t magnitude = 0;
  for (wchar_t c : text) {
    if (c < L'0' || c > L'9') return std::nullopt;
    magnitude = magnitude * 10 + (c - L'0');
    if (magnitude > int64_t{INT32_MAX} + 1) return std::nullopt;
  }
  int64_t value = negative ? -magnitude : magnitude;
  if (value > INT32_MAX) return std::nullopt;
  return static_cast<int>(value);
}
}  // namespace

// Lines in file order, and indexes from names to sections and to key lines, so that a
// lookup or a write costs the same in a file of ten lines and in a report of tens of
// thousands. A section's key index holds its key lines and is made when the section is
// first looked into: reading a report visits each section once, and most sections of a
// file are never looked into. Lookups fill the caches, which is why they are mutable.
struct TIniFile::TData {
  struct TSection {
    TLineIt Header;
    TLineIt Last;  // the section's last line that is not blank: new keys go after it
    std::string_view Name;
    size_t KeyLines = 0;                              // as read from the file, for the size of the index
    mutable std::optional<TNameIndex<TLineIt>> Keys;  // the first key line of each name, once looked into
  };
  using TSections = std::pmr::list<TSection>;
  using TSectionIt = TSections::iterator;

  // The file as read; the lines read view it.
  std::string FileBytes;
  TEncoding Encoding = TEncoding::Ansi;
  std::string_view Mark;  // the byte-order mark the file starts with, written back first
  std::string_view Tail;  // half a UTF-16 unit at the file's end, kept there
  // Everything else of the file comes from one arena rather than tens of thousands of heap
  // blocks. What a removed or changed line held is given back only with the file object,
  // which lives for one load or one save.
  std::pmr::monotonic_buffer_resource Memory;
  TLines Lines{&Memory};
  TSections Sections{&Memory};
  // The first section of each name; as with the profile functions it is the one read and
  // written, the others only come along in the file.
  TNameIndex<TSectionIt> SectionIndex{0};
  // The section found last: writes and reads mostly go to one section after another.
  mutable const TSection* LastFound = nullptr;
  bool Changed = false;
  // Where lines are put together before they are stored.
  std::string LineBytes;
  std::string LineHeld;
  std::wstring LineText;
  std::wstring LineName;

  void Load(std::string bytes);
  std::string_view Keep(std::string_view bytes, std::string_view more = {});
  std::string_view KeepHeld(std::wstring_view text);
  TLine ParseLine(std::string_view bytes);
  void EnsureLineEnd(TLine& line);
  std::string_view FormatKeyLine(std::wstring_view name, std::wstring_view value);
  TSection& AddSection(std::wstring_view name);
  void IndexSection(TLineIt header);
  const TSection* FindSection(std::wstring_view name) const;
  TSection* FindSection(std::wstring_view name) {
    return const_cast<TSection*>(std::as_const(*this).FindSection(name));
  }
  const TNameIndex<TLineIt>& KeysOf(const TSection& section) const;
  const TLine* FindKey(std::wstring_view section, std::wstring_view key) const;
  template <typename KeyHandler>
  void ForEachKey(std::wstring_view section, KeyHandler keyHandler) const;
  void SetValue(std::wstring_view section, std::wstring_view key, std::wstring_view value);
  void InsertKey(TSection& section, std::wstring_view name, std::string_view value);
  void StoreKeyLine(TLine& line, std::wstring_view name, std::string_view value);
  void DeleteKey(std::wstring_view section, std::wstring_view key);
  void EraseSection(std::wstring_view name);
  std::string Bytes() const;
};

void TIniFile::TData::Load(std::string bytes) {
  FileBytes = std::move(bytes);
  Encoding = EncodingOf(FileBytes);
  std::string_view file = FileBytes;
  Mark = file.substr(0, ByteOrderMark(Encoding).size());
  file.remove_prefix(Mark.size());
  if (file.size() % UnitSize(Encoding)) {
    Tail = file.substr(file.size() - 1);
    file.remove_suffix(1);
  }
  TSection* current = nullptr;  // lines before the first header belong to no section
  for (size_t start = 0; start < file.size();) {
    size_t next = NextLineStart(file, start, Encoding);
    TLineIt line = Lines.insert(Lines.end(), ParseLine(file.substr(start, next - start)));
    start = next;
    if (line->Kind == TLineKind::Section) {
      IndexSection(line);
      current = &Sections.back();
    } else if (current && line->Kind != TLineKind::Blank) {
      current->Last = line;
      if (line->Kind == TLineKind::Key) ++current->KeyLines;
    }
  }
}

// A copy of the bytes, and of more after them, in the arena.
std::string_view TIniFile::TData::Keep(std::string_view bytes, std::string_view more) {
  if (bytes.empty() && more.empty()) return {};
  auto* kept = static_cast<char*>(Memory.allocate(bytes.size() + more.size(), 1));
  std::copy(more.begin(), more.end(), std::copy(bytes.begin(), bytes.end(), kept));
  return {kept, bytes.size() + more.size()};
}

std::string_view TIniFile::TData::KeepHeld(std::wstring_view text) {
  LineHeld.clear();
  AppendHeld(LineHeld, text);
  return Keep(LineHeld);
}

// Lines of ASCII in a file of bytes, nearly all lines there are, are taken apart as they
// are; other lines are decoded first, since in a multi-byte code page a byte like "]" may
// be half a character.
TLine TIniFile::TData::ParseLine(std::string_view bytes) {
  std::string_view text = bytes.substr(0, LineLength(bytes, Encoding));
  TLine line{bytes, TLineKind::Other};
  if (!IsUtf16(Encoding) && IsAscii(text)) {
    TLineParts<char> parts = SplitLine(text);
    line.Kind = parts.Kind;
    line.Ascii = true;
    line.Name = parts.Name;
    line.Value = parts.Value;
    return line;
  }
  LineText.clear();
  AppendDecoded(LineText, text, Encoding);
  TLineParts<wchar_t> parts = SplitLine(std::wstring_view(LineText));
  line.Kind = parts.Kind;
  line.Name = KeepHeld(parts.Name);
  line.Value = KeepHeld(parts.Value);
  return line;
}

// The last line of a file may lack its line end; a line written after it needs one.
void TIniFile::TData::EnsureLineEnd(TLine& line) {
  if (HasLineEnd(line.Bytes, Encoding)) return;
  std::string lineEnd;  // LineBytes may hold the line that goes after this one
  AppendAscii(lineEnd, "\r\n", Encoding);
  line.Bytes = Keep(line.Bytes, lineEnd);
}

// Puts the line together as the profile functions write it, "name=value" and CR LF, in
// LineBytes, in the file's encoding. Blanks around the value are dropped, as reading would
// drop them. Returns the value that reading gives back, held.
std::string_view TIniFile::TData::FormatKeyLine(std::wstring_view name, std::wstring_view value) {
  std::wstring storage;
  value = TrimBlanks(OnOneLine(value, storage));
  LineBytes.clear();
  AppendEncoded(LineBytes, name, Encoding);
  AppendAscii(LineBytes, "=", Encoding);
  const size_t valueStart = LineBytes.size();
  AppendEncoded(LineBytes, value, Encoding);
  const size_t valueEnd = LineBytes.size();
  AppendAscii(LineBytes, "\r\n", Encoding);
  // ASCII written into a file of bytes is its own held text.
  if (!IsUtf16(Encoding) && IsAscii(value))
    return std::string_view(LineBytes).substr(valueStart, valueEnd - valueStart);
  // What the encoding cannot hold reads back as the system's substitute.
  LineText.clear();
  AppendDecoded(LineText, std::string_view(LineBytes).substr(valueStart, valueEnd - valueStart), Encoding);
  LineHeld.clear();
  AppendHeld(LineHeld, TrimBlanks(LineText));
  return LineHeld;
}

// A new section at the end of the file.
TIniFile::TData::TSection& TIniFile::TData::AddSection(std::wstring_view name) {
  if (!Lines.empty()) EnsureLineEnd(Lines.back());
  LineBytes.clear();
  AppendAscii(LineBytes, "[", Encoding);
  AppendEncoded(LineBytes, name, Encoding);
  AppendAscii(LineBytes, "]\r\n", Encoding);
  TLine header{Keep(LineBytes), TLineKind::Section};
  header.Name = !IsUtf16(Encoding) && IsAscii(name) ? header.Bytes.substr(1, name.size()) : KeepHeld(name);
  IndexSection(Lines.insert(Lines.end(), header));
  TSection& section = Sections.back();
  section.Keys.emplace(0);
  return section;
}

void TIniFile::TData::IndexSection(TLineIt header) {
  SectionIndex.Add(Sections.insert(Sections.end(), TSection{header, header, header->Name, 0, std::nullopt}));
}

const TIniFile::TData::TSection* TIniFile::TData::FindSection(std::wstring_view name) const {
  if (LastFound && SameName(LastFound->Name, name)) return LastFound;
  std::optional<TSectionIt> found = SectionIndex.Find(name);
  if (!found) return nullptr;
  LastFound = &**found;
  return LastFound;
}

const TNameIndex<TLineIt>& TIniFile::TData::KeysOf(const TSection& section) const {
  if (section.Keys) return *section.Keys;
  TNameIndex<TLineIt>& keys = section.Keys.emplace(section.KeyLines);
  keys.AddAll(
      [&](auto visit) {
        for (auto line = std::next(section.Header); line != Lines.end() && line->Kind != TLineKind::Section; ++line)
          if (line->Kind == TLineKind::Key) visit(line);
      },
      [](TLineIt line, bool added) { line->Shadowed = !added; });  // of a repeated name the first counts
  return keys;
}

const TLine* TIniFile::TData::FindKey(std::wstring_view section, std::wstring_view key) const {
  std::wstring sectionStorage, keyStorage;
  const TSection* found = FindSection(CleanName(section, sectionStorage));
  if (!found) return nullptr;
  std::optional<TLineIt> line = KeysOf(*found).Find(CleanName(key, keyStorage));
  return line ? &**line : nullptr;
}

void TIniFile::TData::SetValue(std::wstring_view sectionName, std::wstring_view keyName, std::wstring_view value) {
  std::wstring sectionStorage, keyStorage;
  std::wstring_view section = CleanName(sectionName, sectionStorage);
  std::wstring_view key = CleanName(keyName, keyStorage);
  TSection* target = FindSection(section);
  if (!target) target = &AddSection(section);
  std::optional<TLineIt> found = KeysOf(*target).Find(key);
  if (!found) {
    InsertKey(*target, key, FormatKeyLine(key, value));
  } else {
    // The file's own spelling of the name stays; an unchanged value leaves the line as it is.
    TLine& old = **found;
    LineName.clear();
    AppendUnits(LineName, old.Name);
    std::string_view read = FormatKeyLine(LineName, value);
    if (read == old.Value) return;
    StoreKeyLine(old, LineName, read);
  }
  Changed = true;
}

// The key line put together in LineBytes becomes the line's content. Where the line's bytes
// are the held text, name and value view them.
void TIniFile::TData::StoreKeyLine(TLine& line, std::wstring_view name, std::string_view value) {
  line.Bytes = Keep(LineBytes);
  line.Ascii = IsAscii(name) && IsAscii(value);
  if (!IsUtf16(Encoding) && line.Ascii) {
    line.Name = line.Bytes.substr(0, name.size());
    line.Value = line.Bytes.substr(name.size() + 1, value.size());
  } else {
    line.Value = Keep(value);  // before the name: the value may be in LineHeld
    line.Name = KeepHeld(name);
  }
}

// The key line put together in LineBytes, after the section's last line.
void TIniFile::TData::InsertKey(TSection& section, std::wstring_view name, std::string_view value) {
  EnsureLineEnd(*section.Last);
  section.Last = Lines.insert(std::next(section.Last), TLine{{}, TLineKind::Key});
  StoreKeyLine(*section.Last, name, value);
  section.Keys->Add(section.Last);
}

void TIniFile::TData::DeleteKey(std::wstring_view sectionName, std::wstring_view keyName) {
  std::wstring sectionStorage, keyStorage;
  TSection* target = FindSection(CleanName(sectionName, sectionStorage));
  if (!target) return;
  std::wstring_view key = CleanName(keyName, keyStorage);
  std::optional<TLineIt> found = KeysOf(*target).Find(key);
  if (!found) return;
  TLineIt first = *found;
  target->Keys->Remove(key);
  // Every line of the name goes, so that a duplicate further down does not take its place.
  for (TLineIt line = first; line != Lines.end() && line->Kind != TLineKind::Section;) {
    TLineIt next = std::next(line);
    if (line->Kind == TLineKind::Key && SameName(line->Name, key)) {
      while (target->Last == line || target->Last->Kind == TLineKind::Blank) --target->Last;
      Lines.erase(line);
    }
    line = next;
  }
  Changed = true;
}

void TIniFile::TData::EraseSection(std::wstring_view name) {
  std::wstring storage;
  std::wstring_view section = CleanName(name, storage);
  if (!FindSection(section)) return;
  SectionIndex.Remove(section);
  LastFound = nullptr;
  // Every section of the name goes, from its header up to the next header.
  for (auto it = Sections.begin(); it != Sections.end();) {
    auto next = std::next(it);
    if (SameName(it->Name, section)) {
      Lines.erase(it->Header, next == Sections.end() ? Lines.end() : next->Header);
      Sections.erase(it);
    }
    it = next;
  }
  Changed = true;
}

std::string TIniFile::TData::Bytes() const {
  size_t size = Mark.size() + Tail.size();
  for (const TLine& line : Lines) size += line.Bytes.size();
  std::string bytes;
  bytes.reserve(size);
  bytes += Mark;
  for (const TLine& line : Lines) bytes += line.Bytes;
  bytes += Tail;
  return bytes;
}

TIniFile::TIniFile(std::wstring fileName, TValueLength valueLength)
    : FFileName(std::move(fileName)), FValueLength(valueLength), FData(std::make_unique<TData>()) {
  if (!IsMissingFile(FFileName)) FData->Load(ReadFileBytes(FFileName));
}

TIniFile::~TIniFile() = default;

std::wstring_view TIniFile::ReadValue(std::wstring_view value) const {
  value = Unquoted(value);
  return FValueLength == TValueLength::Profile ? value.substr(0, MaxValueLength) : value;
}

bool TIniFile::SectionExists(std::wstring_view section) const {
  std::wstring storage;
  return Data().FindSection(CleanName(section, storage)) != nullptr;
}

bool TIniFile::ValueExists(std::wstring_view section, std::wstring_view key) const {
  return Data().FindKey(section, key) != nullptr;
}

std::vector<std::wstring> TIniFile::ReadSections() const {
  std::vector<std::wstring> names;
  for (auto section = FData->Sections.begin(); section != FData->Sections.end(); ++section)
    if (!section->Name.empty() && Data().SectionIndex.Find(section->Name) == section)
      names.push_back(Units(section->Name));
  return names;
}

// The lines of the section's keys that are read: an empty name cannot be listed by the
// profile functions, and of a repeated one the first line is read.
template <typename KeyHandler>
void TIniFile::TData::ForEachKey(std::wstring_view sectionName, KeyHandler keyHandler) const {
  std::wstring storage;
  const TSection* found = FindSection(CleanName(sectionName, storage));
  if (!found) return;
  KeysOf(*found);  // marks the repeated names
  for (auto line = std::next(found->Header); line != Lines.end() && line->Kind != TLineKind::Section; ++line)
    if (line->Kind == TLineKind::Key && !line->Name.empty() && !line->Shadowed) keyHandler(*line);
}

std::vector<std::wstring> TIniFile::ReadSection(std::wstring_view section) const {
  std::vector<std::wstring> keys;
  Data().ForEachKey(section, [&](const TLine& line) { keys.push_back(Units(line.Name)); });
  return keys;
}

void TIniFile::ForEachValue(std::wstring_view section, const TKeyVisitor& visit) const {
  std::wstring name, value;
  Data().ForEachKey(section, [&](const TLine& line) {
    name.clear();
    AppendUnits(name, line.Name);
    value.clear();
    AppendUnits(value, line.Value);
    visit(name, ReadValue(value));
  });
}

// Held text has at least a byte for each unit.
TIniFile::TSectionSize TIniFile::SectionSize(std::wstring_view section) const {
  TSectionSize size;
  Data().ForEachKey(section, [&](const TLine& line) {
    ++size.Keys;
    size.NameLength += line.Name.size();
    size.ValueLength += line.Value.size();
  });
  return size;
}

std::wstring TIniFile::ReadString(std::wstring_view section, std::wstring_view key,
                                  std::wstring_view defaultValue) const {
  const TLine* line = Data().FindKey(section, key);
  return line ? std::wstring(ReadValue(Units(line->Value))) : std::wstring(defaultValue);
}

int TIniFile::ReadInteger(std::wstring_view section, std::wstring_view key, int defaultValue) const {
  const TLine* line = Data().FindKey(section, key);
  return line ? ParseInt32(ReadValue(Units(line->Value))).value_or(defaultValue) : defaultValue;
}

void TIniFile::WriteString(std::wstring_view section, std::wstring_view key, std::wstring_view value) {
  Data().SetValue(section, key, value);
}

void TIniFile::DeleteKey(std::wstring_view section, std::wstring_view key) {
  Data().DeleteKey(section, key);
}

void TIniFile::EraseSection(std::wstring_view section) {
  Data().EraseSection(section);
}

void TIniFile::UpdateFile() {
  if (!FData->Changed) return;
  if (!TryWriteOver(FFileName, FData->Bytes())) throw EIniFileException(Format(L"Unable to write to %s", {FFileName}));
  FData->Changed = false;
}

}  // namespace ornpm