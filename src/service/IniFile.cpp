#include "service/IniFile.h"

#include <windows.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <iterator>
#include <list>
#include <memory_resource>
#include <optional>
#include <string_view>
#include <unordered_map>

#include "win/AsciiText.h"
#include "win/Exceptions.h"
#include "win/Files.h"
#include "win/Handles.h"
#include "win/Text.h"

namespace ornpm {

namespace {

// The code that reads our values reads them into buffers of 2048 units, as the profile
// functions return them.
constexpr size_t MaxValueLength = 2047;

// The blanks the profile functions trim around lines, names and values; ^Z is the old DOS
// end-of-file mark still found in files copied from old media.
template <typename Char>
bool IsBlank(Char c) {
  return (c >= '\t' && c <= '\r') || c == ' ' || c == 0x1A;
}

template <typename Char>
std::basic_string_view<Char> TrimBlanks(std::basic_string_view<Char> text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

std::wstring_view TrimBlanks(std::wstring_view text) {
  return TrimBlanks<wchar_t>(text);
}

// A name upper-cased by the operating system's case table, the one SameText compares with.
std::wstring FoldName(std::wstring_view name) {
  std::wstring folded(name);
  if (!folded.empty())
    ::LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, name.data(), static_cast<int>(name.size()), folded.data(),
                    static_cast<int>(folded.size()), nullptr, nullptr, 0);
  return folded;
}

// Names that differ only in letter case are one name: the indexes hash and compare the
// upper-cased form. ASCII names, nearly all of them, are folded on the fly; the system
// folds the others.
struct TNameHash {
  size_t operator()(std::wstring_view name) const {
    return IsAscii(name) ? HashFolded(name) : HashFolded<wchar_t>(FoldName(name));
  }
  // FNV-1a of the text with its ASCII letters upper-cased, which leaves a folded name as it is.
  template <typename Char>
  static size_t HashFolded(std::basic_string_view<Char> text) {
    uint32_t hash = 2166136261u;
    for (Char c : text) hash = (hash ^ FoldAscii(static_cast<wchar_t>(c))) * 16777619u;
    return hash;
  }
};

struct TNameEqual {
  bool operator()(std::wstring_view a, std::wstring_view b) const {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
      if (a[i] >= 0x80 || b[i] >= 0x80) return FoldName(a) == FoldName(b);
      if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
    }
    return true;
  }
};

enum class TLineKind { Blank, Comment, Section, Key, Other };

// One line of the file. Bytes are kept exactly as read, line end included, so a line
// nobody changes is written back unchanged even where the code page cannot round-trip it;
// a line read from the file views the file's bytes. A key line of ASCII, nearly every one,
// has its name and value in its bytes; other lines keep them converted. Names are blanks
// trimmed, values too, with their quotes kept. A line's name never changes once indexed.
struct TLine {
  std::string_view Bytes;
  TLineKind Kind = TLineKind::Other;
  bool Narrow = false;    // the name and the value are NarrowName and NarrowValue
  bool Shadowed = false;  // a key line after the first of its name in its section
  std::string_view NarrowName{}, NarrowValue{};
  std::wstring_view Name{}, Value{};
};

std::wstring_view Widened(std::string_view ascii, std::wstring& storage) {
  storage.assign(ascii.begin(), ascii.end());
  return storage;
}

std::wstring_view NameOf(const TLine& line, std::wstring& storage) {
  return line.Narrow ? Widened(line.NarrowName, storage) : line.Name;
}

std::wstring_view ValueOf(const TLine& line, std::wstring& storage) {
  return line.Narrow ? Widened(line.NarrowValue, storage) : line.Value;
}

bool HasEmptyName(const TLine& line) {
  return line.Narrow ? line.NarrowName.empty() : line.Name.empty();
}

size_t NameHash(const TLine& line) {
  return line.Narrow ? TNameHash::HashFolded(line.NarrowName) : TNameHash()(line.Name);
}

// The line's name against a name given as text, as TNameEqual compares them.
bool NameIs(const TLine& line, std::wstring_view name) {
  if (!line.Narrow) return TNameEqual()(line.Name, name);
  if (line.NarrowName.size() != name.size()) return false;
  for (size_t i = 0; i < name.size(); ++i) {
    if (name[i] >= 0x80) {
      std::wstring storage;
      return TNameEqual()(Widened(line.NarrowName, storage), name);
    }
    if (FoldAscii(static_cast<wchar_t>(line.NarrowName[i])) != FoldAscii(name[i])) return false;
  }
  return true;
}

using TLines = std::pmr::list<TLine>;
using TLineIt = TLines::iterator;

bool IsLineBreak(wchar_t c) {
  return c == L'\r' || c == L'\n';
}

// The length of the line's text, up to its line end.
size_t LineLength(std::string_view bytes) {
  return static_cast<size_t>(std::find_if(bytes.begin(), bytes.end(), [](char c) { return c == '\r' || c == '\n'; }) -
                             bytes.begin());
}

// What a line says, as the profile functions read it: a line starting with "[" and holding
// a "]" names a section (text after the last "]" is ignored), ";" starts a comment, and
// the first "=" parts a key from its value. Other lines belong to no key.
template <typename Char>
struct TLineParts {
  TLineKind Kind = TLineKind::Other;
  std::basic_string_view<Char> Name, Value;
};

template <typename Char>
TLineParts<Char> SplitLine(std::basic_string_view<Char> text) {
  using TView = std::basic_string_view<Char>;
  TLineParts<Char> parts;
  TView rest = TrimBlanks(text);
  if (rest.empty()) {
    parts.Kind = TLineKind::Blank;
  } else if (size_t close = rest.rfind(Char(']')); rest.front() == Char('[') && close != TView::npos) {
    parts.Kind = TLineKind::Section;
    parts.Name = TrimBlanks(rest.substr(1, close - 1));
  } else if (rest.front() == Char(';')) {
    parts.Kind = TLineKind::Comment;
  } else if (size_t equals = rest.find(Char('=')); equals != TView::npos) {
    parts.Kind = TLineKind::Key;
    parts.Name = TrimBlanks(rest.substr(0, equals));
    parts.Value = TrimBlanks(rest.substr(equals + 1));
  }
  return parts;
}

// The key lines of one section by name, the first line of each name: open addressing
// with linear probing in one block, since a report's sections hold thousands of keys.
class TKeyIndex {
 public:
  explicit TKeyIndex(size_t expected) { Resize(std::bit_ceil(std::max<size_t>(16, expected * 2))); }

  std::optional<TLineIt> Find(std::wstring_view name) const {
    const size_t hash = TNameHash()(name);
    for (size_t i = hash & FMask;; i = (i + 1) & FMask) {
      const TSlot& slot = FSlots[i];
      if (!slot.Used) return std::nullopt;
      if (slot.Hash == hash && NameIs(*slot.Line, name)) return slot.Line;
    }
  }

  // False when a line of the name is there already.
  bool Add(TLineIt line) {
    if ((FCount + 1) * 2 > FSlots.size()) Resize(FSlots.size() * 2);
    const size_t hash = NameHash(*line);
    size_t i = hash & FMask;
    for (; FSlots[i].Used; i = (i + 1) & FMask) {
      std::wstring storage;
      if (FSlots[i].Hash == hash && NameIs(*FSlots[i].Line, NameOf(*line, storage))) return false;
    }
    FSlots[i] = {hash, line, true};
    ++FCount;
    return true;
  }

  // Removing moves later entries of a probe run back, so that no run is broken.
  void Remove(std::wstring_view name) {
    const size_t hash = TNameHash()(name);
    size_t i = hash & FMask;
    for (;; i = (i + 1) & FMask) {
      if (!FSlots[i].Used) return;
      if (FSlots[i].Hash == hash && NameIs(*FSlots[i].Line, name)) break;
    }
    FSlots[i].Used = false;
    --FCount;
    for (size_t j = (i + 1) & FMask; FSlots[j].Used; j = (j + 1) & FMask) {
      const size_t home = FSlots[j].Hash & FMask;
      // The entry may move into the hole when its home is not within (hole, j].
      if (((j - home) & FMask) >= ((j - i) & FMask)) {
        FSlots[i] = FSlots[j];
        FSlots[j].Used = false;
        i = j;
      }
    }
  }

 private:
  struct TSlot {
    size_t Hash = 0;
    TLineIt Line;
    bool Used = false;
  };

  void Resize(size_t size) {
    std::vector<TSlot> old(size);
    old.swap(FSlots);
    FMask = size - 1;
    for (const TSlot& slot : old)
      if (slot.Used) {
        size_t i = slot.Hash & FMask;
        while (FSlots[i].Used) i = (i + 1) & FMask;
        FSlots[i] = slot;
      }
  }

  std::vector<TSlot> FSlots;
  size_t FMask = 0;
  size_t FCount = 0;
};

// Lines end at CR LF, LF or a lone CR, all of which the profile functions accept.
size_t NextLineStart(std::string_view bytes, size_t start) {
  size_t end = start + LineLength(bytes.substr(start));
  if (end == bytes.size()) return end;
  if (bytes[end] == '\r' && end + 1 < bytes.size() && bytes[end + 1] == '\n') return end + 2;
  return end + 1;
}

bool HasLineEnd(std::string_view bytes) {
  return bytes.empty() || bytes.back() == '\n' || bytes.back() == '\r';
}

// A line break written into a value would make the rest of it lines of their own on the
// next read, even a section header; the value stays on its line instead. The storage holds
// the changed text where there is a line break to replace.
std::wstring_view OnOneLine(std::wstring_view text, std::wstring& storage) {
  if (std::none_of(text.begin(), text.end(), IsLineBreak)) return text;
  storage = text;
  std::replace_if(storage.begin(), storage.end(), IsLineBreak, L' ');
  return storage;
}

// Names as they are written and looked up: blanks trimmed, on one line like values.
std::wstring_view CleanName(std::wstring_view name, std::wstring& storage) {
  return OnOneLine(TrimBlanks(name), storage);
}

// One pair of matching quotes around the value is removed, as GetPrivateProfileString does.
std::wstring_view ProfileValue(std::wstring_view value) {
  if (value.size() >= 2 && (value.front() == L'"' || value.front() == L'\'') && value.back() == value.front())
    value = value.substr(1, value.size() - 2);
  return value.substr(0, MaxValueLength);
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

// A missing file, or a missing folder, is an empty INI file that UpdateFile creates.
bool IsMissingFile(const std::wstring& fileName) {
  if (::GetFileAttributesW(fileName.c_str()) != INVALID_FILE_ATTRIBUTES) return false;
  DWORD error = ::GetLastError();
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

bool SetFileEnd(HANDLE file, uint64_t size) {
  LARGE_INTEGER position{};
  position.QuadPart = static_cast<LONGLONG>(size);
  return ::SetFilePointerEx(file, position, nullptr, FILE_BEGIN) && ::SetEndOfFile(file);
}

// Writes over the old content rather than truncating first: room for a longer content is
// taken before any old byte is overwritten, so a full disk fails with the file unchanged.
bool ReplaceContent(HANDLE file, const std::string& bytes) {
  LARGE_INTEGER oldSize{};
  if (!::GetFileSizeEx(file, &oldSize) || bytes.size() > MAXDWORD) return false;
  if (bytes.size() > static_cast<uint64_t>(oldSize.QuadPart) && !SetFileEnd(file, bytes.size())) return false;
  DWORD written = 0;
  return ::SetFilePointerEx(file, {}, nullptr, FILE_BEGIN) &&
         ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
         written == bytes.size() && SetFileEnd(file, bytes.size());
}

// Opening without truncating means a refused open leaves the file as it was.
void WriteOver(const std::wstring& fileName, const std::string& bytes) {
  UniqueFileHandle file(::CreateFileW(fileName.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file || !ReplaceContent(file.Get(), bytes))
    throw EIniFileException(Format(L"Unable to write to %s", {fileName}));
}

}  // namespace

// Lines in file order, and indexes from names to sections and to key lines, so that a
// lookup or a write costs the same in a file of ten lines and in a report of tens of
// thousands. The section index's keys are views of the headers' names; a section's key
// index holds its key lines and is made when the section is first looked into: reading
// a report visits each section once, and most sections of a file are never looked into.
struct TIniFile::TData {
  struct TSection {
    TLineIt Header;
    TLineIt Last;                   // the section's last line that is not blank: new keys go after it
    size_t KeyLines = 0;            // as read from the file, for the size of the index
    std::optional<TKeyIndex> Keys;  // the first key line of each name, once looked into
    std::wstring_view Name() const { return Header->Name; }
  };
  using TSections = std::pmr::list<TSection>;

  // The file as read; the lines read view it.
  std::string FileBytes;
  // Everything else of the file comes from one arena rather than tens of thousands of heap
  // blocks. What a removed or changed line held is given back only with the file object,
  // which lives for one load or one save.
  std::pmr::monotonic_buffer_resource Memory;
  TLines Lines{&Memory};
  TSections Sections{&Memory};
  // All sections of a name in file order; as with the profile functions the first one is
  // the one read and written, the others only come along in the file.
  std::pmr::unordered_map<std::wstring_view, std::vector<TSections::iterator>, TNameHash, TNameEqual> Index{&Memory};
  // The section found last: writes and reads mostly go to one section after another.
  TSection* LastFound = nullptr;
  bool Changed = false;
  // Where lines are put together before they are stored.
  std::string LineBytes;
  std::wstring LineText;

  void Load(std::string bytes);
  template <typename Char>
  std::wstring_view Keep(std::basic_string_view<Char> text);
  std::string_view KeepBytes(std::string_view bytes, std::string_view more = {});
  TLine ParseLine(std::string_view bytes);
  void EnsureLineEnd(TLine& line);
  std::wstring_view FormatKeyLine(std::wstring_view name, std::wstring_view value);
  TSection& AddSection(std::wstring_view name);
  TSection& IndexSection(TLineIt header);
  TSection* FindSection(std::wstring_view cleanName);
  TKeyIndex& KeysOf(TSection& section);
  const TLine* FindKey(std::wstring_view section, std::wstring_view key);
  template <typename KeyHandler>
  void ForEachKey(std::wstring_view section, KeyHandler keyHandler);
  void SetValue(std::wstring_view section, std::wstring_view key, std::wstring_view value);
  void InsertKey(TSection& section, std::wstring_view name, std::wstring_view value);
  void StoreKeyLine(TLine& line, std::wstring_view name, std::wstring_view value);
  void DeleteKey(std::wstring_view section, std::wstring_view key);
  void EraseSection(std::wstring_view name);
  std::string Bytes() const;
};

void TIniFile::TData::Load(std::string bytes) {
  FileBytes = std::move(bytes);
  const std::string_view file = FileBytes;
  TSection* current = nullptr;  // lines before the first header belong to no section
  for (size_t start = 0; start < file.size();) {
    size_t next = NextLineStart(file, start);
    TLineIt line = Lines.insert(Lines.end(), ParseLine(file.substr(start, next - start)));
    start = next;
    if (line->Kind == TLineKind::Section) {
      current = &IndexSection(line);
    } else if (current && line->Kind != TLineKind::Blank) {
      current->Last = line;
      if (line->Kind == TLineKind::Key) ++current->KeyLines;
    }
  }
}

// A copy of the text in the arena as wide text; bytes come here only when they are ASCII.
template <typename Char>
std::wstring_view TIniFile::TData::Keep(std::basic_string_view<Char> text) {
  if (text.empty()) return {};
  auto* kept = static_cast<wchar_t*>(Memory.allocate(text.size() * sizeof(wchar_t), alignof(wchar_t)));
  std::copy(text.begin(), text.end(), kept);
  return {kept, text.size()};
}

// A copy of the bytes, and of more after them, in the arena.
std::string_view TIniFile::TData::KeepBytes(std::string_view bytes, std::string_view more) {
  auto* kept = static_cast<char*>(Memory.allocate(bytes.size() + more.size(), 1));
  std::copy(more.begin(), more.end(), std::copy(bytes.begin(), bytes.end(), kept));
  return {kept, bytes.size() + more.size()};
}

// Lines of ASCII, nearly all of them, are taken apart as they are; other lines are
// converted first, since in a multi-byte code page a byte like "]" may be half a character.
TLine TIniFile::TData::ParseLine(std::string_view bytes) {
  std::string_view text = bytes.substr(0, LineLength(bytes));
  TLine line{bytes, TLineKind::Other};
  if (IsAscii(text)) {
    TLineParts<char> parts = SplitLine(text);
    line.Kind = parts.Kind;
    if (parts.Kind == TLineKind::Key) {
      line.Narrow = true;
      line.NarrowName = parts.Name;
      line.NarrowValue = parts.Value;
    } else {
      line.Name = Keep(parts.Name);
    }
    return line;
  }
  LineText.clear();
  AppendWide(LineText, text);
  TLineParts<wchar_t> parts = SplitLine(std::wstring_view(LineText));
  line.Kind = parts.Kind;
  line.Name = Keep(parts.Name);
  line.Value = Keep(parts.Value);
  return line;
}

// The last line of a file may lack its line end; a line written after it needs one.
void TIniFile::TData::EnsureLineEnd(TLine& line) {
  if (!HasLineEnd(line.Bytes)) line.Bytes = KeepBytes(line.Bytes, "\r\n");
}

// Puts the line together as the profile functions write it, "name=value" and CR LF, in
// LineBytes. Blanks around the value are dropped, as reading would drop them. Returns the
// value that reading gives back.
std::wstring_view TIniFile::TData::FormatKeyLine(std::wstring_view name, std::wstring_view value) {
  std::wstring storage;
  value = TrimBlanks(OnOneLine(value, storage));
  LineBytes.clear();
  AppendBytes(LineBytes, name);
  LineBytes += '=';
  size_t valueStart = LineBytes.size();
  AppendBytes(LineBytes, value);
  LineText.clear();
  AppendWide(LineText, std::string_view(LineBytes).substr(valueStart));
  LineBytes += "\r\n";
  return TrimBlanks(LineText);
}

// A new section at the end of the file.
TIniFile::TData::TSection& TIniFile::TData::AddSection(std::wstring_view name) {
  if (!Lines.empty()) EnsureLineEnd(Lines.back());
  LineBytes.assign(1, '[');
  AppendBytes(LineBytes, name);
  LineBytes += "]\r\n";
  TLine header{KeepBytes(LineBytes), TLineKind::Section};
  header.Name = Keep(name);
  TSection& section = IndexSection(Lines.insert(Lines.end(), header));
  section.Keys.emplace(0);
  return section;
}

TIniFile::TData::TSection& TIniFile::TData::IndexSection(TLineIt header) {
  auto section = Sections.insert(Sections.end(), TSection{header, header, 0, std::nullopt});
  Index[header->Name].push_back(section);
  return *section;
}

TIniFile::TData::TSection* TIniFile::TData::FindSection(std::wstring_view cleanName) {
  if (LastFound && TNameEqual()(LastFound->Name(), cleanName)) return LastFound;
  auto found = Index.find(cleanName);
  if (found == Index.end()) return nullptr;
  LastFound = &*found->second.front();
  return LastFound;
}

TKeyIndex& TIniFile::TData::KeysOf(TSection& section) {
  if (section.Keys) return *section.Keys;
  TKeyIndex& keys = section.Keys.emplace(section.KeyLines);
  for (auto line = std::next(section.Header); line != Lines.end() && line->Kind != TLineKind::Section; ++line)
    if (line->Kind == TLineKind::Key) line->Shadowed = !keys.Add(line);  // of a repeated name the first counts
  return keys;
}

const TLine* TIniFile::TData::FindKey(std::wstring_view section, std::wstring_view key) {
  std::wstring sectionStorage, keyStorage;
  TSection* found = FindSection(CleanName(section, sectionStorage));
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
    std::wstring nameStorage, valueStorage;
    std::wstring_view name = NameOf(old, nameStorage);
    std::wstring_view read = FormatKeyLine(name, value);
    if (read == ValueOf(old, valueStorage)) return;
    StoreKeyLine(old, name, read);
  }
  Changed = true;
}

// The key line put together in LineBytes becomes the line's content.
void TIniFile::TData::StoreKeyLine(TLine& line, std::wstring_view name, std::wstring_view value) {
  line.Bytes = KeepBytes(LineBytes);
  line.Narrow = IsAscii(name) && IsAscii(value);
  if (line.Narrow) {
    // Text of ASCII is written as it is: "name=value" and the line end.
    line.NarrowName = line.Bytes.substr(0, name.size());
    line.NarrowValue = line.Bytes.substr(name.size() + 1, value.size());
  } else {
    line.Name = Keep(name);
    line.Value = Keep(value);
  }
}

// The key line put together in LineBytes, after the section's last line.
void TIniFile::TData::InsertKey(TSection& section, std::wstring_view name, std::wstring_view value) {
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
  TKeyIndex& keys = KeysOf(*target);
  std::optional<TLineIt> found = keys.Find(key);
  if (!found) return;
  TLineIt first = *found;
  keys.Remove(key);
  // Every line of the name goes, so that a duplicate further down does not take its place.
  for (TLineIt line = first; line != Lines.end() && line->Kind != TLineKind::Section;) {
    TLineIt next = std::next(line);
    if (line->Kind == TLineKind::Key && NameIs(*line, key)) {
      while (target->Last == line || target->Last->Kind == TLineKind::Blank) --target->Last;
      Lines.erase(line);
    }
    line = next;
  }
  Changed = true;
}

void TIniFile::TData::EraseSection(std::wstring_view name) {
  std::wstring storage;
  auto found = Index.find(CleanName(name, storage));
  if (found == Index.end()) return;
  const std::vector<TSections::iterator> sections = std::move(found->second);
  Index.erase(found);
  LastFound = nullptr;
  // Every section of the name goes, from its header up to the next header.
  for (auto section : sections) {
    auto next = std::next(section);
    Lines.erase(section->Header, next == Sections.end() ? Lines.end() : next->Header);
    Sections.erase(section);
  }
  Changed = true;
}

std::string TIniFile::TData::Bytes() const {
  size_t size = 0;
  for (const TLine& line : Lines) size += line.Bytes.size();
  std::string bytes;
  bytes.reserve(size);
  for (const TLine& line : Lines) bytes += line.Bytes;
  return bytes;
}

TIniFile::TIniFile(std::wstring fileName) : FFileName(std::move(fileName)), FData(std::make_unique<TData>()) {
  if (!IsMissingFile(FFileName)) FData->Load(ReadFileBytes(FFileName));
}

TIniFile::~TIniFile() = default;

bool TIniFile::SectionExists(std::wstring_view section) const {
  std::wstring storage;
  return FData->FindSection(CleanName(section, storage)) != nullptr;
}

bool TIniFile::ValueExists(std::wstring_view section, std::wstring_view key) const {
  return FData->FindKey(section, key) != nullptr;
}

std::vector<std::wstring> TIniFile::ReadSections() const {
  std::vector<std::wstring> names;
  for (const TData::TSection& section : FData->Sections)
    if (!section.Name().empty() && &*FData->Index.at(section.Name()).front() == &section)
      names.emplace_back(section.Name());
  return names;
}

// The lines of the section's keys that are read: an empty name cannot be listed by the
// profile functions, and of a repeated one the first line is read.
template <typename KeyHandler>
void TIniFile::TData::ForEachKey(std::wstring_view sectionName, KeyHandler keyHandler) {
  std::wstring storage;
  TSection* found = FindSection(CleanName(sectionName, storage));
  if (!found) return;
  KeysOf(*found);  // marks the repeated names
  for (auto line = std::next(found->Header); line != Lines.end() && line->Kind != TLineKind::Section; ++line)
    if (line->Kind == TLineKind::Key && !HasEmptyName(*line) && !line->Shadowed) keyHandler(*line);
}

std::vector<std::wstring> TIniFile::ReadSection(std::wstring_view section) const {
  std::vector<std::wstring> keys;
  std::wstring storage;
  FData->ForEachKey(section, [&](const TLine& line) { keys.emplace_back(NameOf(line, storage)); });
  return keys;
}

TIniFile::TSectionValues TIniFile::ReadSectionValues(std::wstring_view section) const {
  std::vector<const TLine*> lines;
  FData->ForEachKey(section, [&](const TLine& line) { lines.push_back(&line); });
  // The text of ASCII lines is widened into one block, taken at its full size first so
  // that the views stay where they are.
  size_t size = 0;
  for (const TLine* line : lines)
    if (line->Narrow) size += line->NarrowName.size() + line->NarrowValue.size();
  TSectionValues values;
  values.Text.reserve(size);
  values.Keys.reserve(lines.size());
  auto widen = [&](std::string_view ascii) {
    values.Text.insert(values.Text.end(), ascii.begin(), ascii.end());
    return std::wstring_view(values.Text.data() + values.Text.size() - ascii.size(), ascii.size());
  };
  for (const TLine* line : lines) {
    if (line->Narrow)
      values.Keys.push_back({widen(line->NarrowName), ProfileValue(widen(line->NarrowValue))});
    else
      values.Keys.push_back({line->Name, ProfileValue(line->Value)});
  }
  return values;
}

std::wstring TIniFile::ReadString(std::wstring_view section, std::wstring_view key,
                                  std::wstring_view defaultValue) const {
  const TLine* line = FData->FindKey(section, key);
  std::wstring storage;
  return std::wstring(line ? ProfileValue(ValueOf(*line, storage)) : defaultValue);
}

int TIniFile::ReadInteger(std::wstring_view section, std::wstring_view key, int defaultValue) const {
  const TLine* line = FData->FindKey(section, key);
  std::wstring storage;
  return line ? ParseInt32(ProfileValue(ValueOf(*line, storage))).value_or(defaultValue) : defaultValue;
}

void TIniFile::WriteString(std::wstring_view section, std::wstring_view key, std::wstring_view value) {
  FData->SetValue(section, key, value);
}

void TIniFile::WriteInteger(std::wstring_view section, std::wstring_view key, int value) {
  FData->SetValue(section, key, std::to_wstring(value));
}

void TIniFile::DeleteKey(std::wstring_view section, std::wstring_view key) {
  FData->DeleteKey(section, key);
}

void TIniFile::EraseSection(std::wstring_view section) {
  FData->EraseSection(section);
}

void TIniFile::UpdateFile() {
  if (!FData->Changed) return;
  WriteOver(FFileName, FData->Bytes());
  FData->Changed = false;
}

}  // namespace ornpm
