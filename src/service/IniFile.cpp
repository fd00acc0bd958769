#include "service/IniFile.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <list>
#include <memory_resource>
#include <optional>
#include <string_view>
#include <unordered_map>

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
bool IsBlank(wchar_t c) {
  return (c >= L'\t' && c <= L'\r') || c == L' ' || c == 0x1A;
}

std::wstring_view TrimBlanks(std::wstring_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

wchar_t FoldAscii(wchar_t c) {
  return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c;
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
    bool ascii = std::all_of(name.begin(), name.end(), [](wchar_t c) { return c < 0x80; });
    return ascii ? HashFolded(name) : HashFolded(FoldName(name));
  }
  // FNV-1a of the text with its ASCII letters upper-cased, which leaves a folded name as it is.
  static size_t HashFolded(std::wstring_view text) {
    uint32_t hash = 2166136261u;
    for (wchar_t c : text) hash = (hash ^ FoldAscii(c)) * 16777619u;
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
// nobody changes is written back unchanged even where the code page cannot round-trip it.
// The indexes hold views of the names, so a line's name never changes once it is stored.
struct TLine {
  TLine(TLineKind kind, std::string_view bytes, std::wstring_view name, std::wstring_view value,
        std::pmr::memory_resource* memory)
      : Bytes(bytes, memory), Kind(kind), Name(name, memory), Value(value, memory) {}

  std::pmr::string Bytes;
  TLineKind Kind;
  std::pmr::wstring Name;   // section or key name, blanks trimmed
  std::pmr::wstring Value;  // key value, blanks trimmed, quotes kept
};

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

// As the profile functions read: a line starting with "[" and holding a "]" names a
// section (text after the last "]" is ignored), ";" starts a comment, and the first "="
// parts a key from its value. Other lines belong to no key. The text is converted into
// a buffer kept from line to line.
TLine ParseLine(std::string_view bytes, std::wstring& text, std::pmr::memory_resource* memory) {
  text.clear();
  AppendWide(text, bytes.substr(0, LineLength(bytes)));
  std::wstring_view rest = TrimBlanks(text);
  TLineKind kind = TLineKind::Other;
  std::wstring_view name, value;
  if (rest.empty()) {
    kind = TLineKind::Blank;
  } else if (size_t close = rest.rfind(L']'); rest.front() == L'[' && close != std::wstring_view::npos) {
    kind = TLineKind::Section;
    name = TrimBlanks(rest.substr(1, close - 1));
  } else if (rest.front() == L';') {
    kind = TLineKind::Comment;
  } else if (size_t equals = rest.find(L'='); equals != std::wstring_view::npos) {
    kind = TLineKind::Key;
    name = TrimBlanks(rest.substr(0, equals));
    value = TrimBlanks(rest.substr(equals + 1));
  }
  return TLine(kind, bytes, name, value, memory);
}

// Lines end at CR LF, LF or a lone CR, all of which the profile functions accept.
size_t NextLineStart(std::string_view bytes, size_t start) {
  size_t end = start + LineLength(bytes.substr(start));
  if (end == bytes.size()) return end;
  if (bytes[end] == '\r' && end + 1 < bytes.size() && bytes[end + 1] == '\n') return end + 2;
  return end + 1;
}

// The last line of a file may lack its line end; a line written after it needs one.
void EnsureLineEnd(TLine& line) {
  if (!line.Bytes.empty() && line.Bytes.back() != '\n' && line.Bytes.back() != '\r') line.Bytes += "\r\n";
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
// thousands. The indexes' keys are views of the names of the lines they lead to.
struct TIniFile::TData {
  struct TSection {
    TLineIt Header;
    TLineIt Last;  // the section's last line that is not blank: new keys go after it
    std::pmr::unordered_map<std::wstring_view, TLineIt, TNameHash, TNameEqual> Keys;  // the first key line of each name
    const std::pmr::wstring& Name() const { return Header->Name; }
  };
  using TSections = std::pmr::list<TSection>;

  // Everything of the file comes from one arena rather than tens of thousands of heap
  // blocks. What a removed line held is given back only with the file object, which
  // lives for one load or one save; a changed value takes new storage only when it
  // outgrows its line's.
  std::pmr::monotonic_buffer_resource Memory;
  TLines Lines{&Memory};
  TSections Sections{&Memory};
  // All sections of a name in file order; as with the profile functions the first one is
  // the one read and written, the others only come along in the file.
  std::pmr::unordered_map<std::wstring_view, std::vector<TSections::iterator>, TNameHash, TNameEqual> Index{&Memory};
  bool Changed = false;
  // Where lines are put together before they are stored.
  std::string LineBytes;
  std::wstring LineText;

  void Load(std::string_view bytes);
  std::wstring_view FormatKeyLine(std::wstring_view name, std::wstring_view value);
  TSection& AddSection(std::wstring_view name);
  TSection& IndexSection(TLineIt header);
  TSection* FindSection(std::wstring_view cleanName);
  const TLine* FindKey(std::wstring_view section, std::wstring_view key);
  template <typename KeyHandler>
  void ForEachKey(std::wstring_view section, KeyHandler keyHandler);
  void SetValue(std::wstring_view section, std::wstring_view key, std::wstring_view value);
  void InsertKey(TSection& section, std::wstring_view name, std::wstring_view value);
  void DeleteKey(std::wstring_view section, std::wstring_view key);
  void EraseSection(std::wstring_view name);
  std::string Bytes() const;
};

void TIniFile::TData::Load(std::string_view bytes) {
  TSection* current = nullptr;  // lines before the first header belong to no section
  for (size_t start = 0; start < bytes.size();) {
    size_t next = NextLineStart(bytes, start);
    TLineIt line = Lines.insert(Lines.end(), ParseLine(bytes.substr(start, next - start), LineText, &Memory));
    start = next;
    if (line->Kind == TLineKind::Section) {
      current = &IndexSection(line);
    } else if (current && line->Kind != TLineKind::Blank) {
      current->Last = line;
      if (line->Kind == TLineKind::Key) current->Keys.emplace(line->Name, line);
    }
  }
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
  return IndexSection(Lines.emplace(Lines.end(), TLineKind::Section, LineBytes, name, std::wstring_view(), &Memory));
}

TIniFile::TData::TSection& TIniFile::TData::IndexSection(TLineIt header) {
  auto section = Sections.insert(Sections.end(), TSection{header, header, decltype(TSection::Keys)(&Memory)});
  Index[header->Name].push_back(section);
  return *section;
}

TIniFile::TData::TSection* TIniFile::TData::FindSection(std::wstring_view cleanName) {
  auto found = Index.find(cleanName);
  return found == Index.end() ? nullptr : &*found->second.front();
}

const TLine* TIniFile::TData::FindKey(std::wstring_view section, std::wstring_view key) {
  std::wstring sectionStorage, keyStorage;
  TSection* found = FindSection(CleanName(section, sectionStorage));
  if (!found) return nullptr;
  auto line = found->Keys.find(CleanName(key, keyStorage));
  return line == found->Keys.end() ? nullptr : &*line->second;
}

void TIniFile::TData::SetValue(std::wstring_view sectionName, std::wstring_view keyName, std::wstring_view value) {
  std::wstring sectionStorage, keyStorage;
  std::wstring_view section = CleanName(sectionName, sectionStorage);
  std::wstring_view key = CleanName(keyName, keyStorage);
  TSection* target = FindSection(section);
  if (!target) target = &AddSection(section);
  auto found = target->Keys.find(key);
  if (found == target->Keys.end()) {
    InsertKey(*target, key, FormatKeyLine(key, value));
  } else {
    // The file's own spelling of the name stays; an unchanged value leaves the line as it is.
    TLine& old = *found->second;
    std::wstring_view read = FormatKeyLine(old.Name, value);
    if (read == std::wstring_view(old.Value)) return;
    old.Bytes = LineBytes;
    old.Value = read;
  }
  Changed = true;
}

// The key line put together in LineBytes, after the section's last line.
void TIniFile::TData::InsertKey(TSection& section, std::wstring_view name, std::wstring_view value) {
  EnsureLineEnd(*section.Last);
  section.Last = Lines.emplace(std::next(section.Last), TLineKind::Key, LineBytes, name, value, &Memory);
  section.Keys.emplace(section.Last->Name, section.Last);
}

void TIniFile::TData::DeleteKey(std::wstring_view sectionName, std::wstring_view keyName) {
  std::wstring sectionStorage, keyStorage;
  TSection* target = FindSection(CleanName(sectionName, sectionStorage));
  if (!target) return;
  std::wstring_view key = CleanName(keyName, keyStorage);
  auto found = target->Keys.find(key);
  if (found == target->Keys.end()) return;
  TLineIt first = found->second;
  target->Keys.erase(found);
  // Every line of the name goes, so that a duplicate further down does not take its place.
  for (TLineIt line = first; line != Lines.end() && line->Kind != TLineKind::Section;) {
    TLineIt next = std::next(line);
    if (line->Kind == TLineKind::Key && TNameEqual()(line->Name, key)) {
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
  const TSection* found = FindSection(CleanName(sectionName, storage));
  if (!found) return;
  for (auto line = std::next(found->Header); line != Lines.end() && line->Kind != TLineKind::Section; ++line)
    if (line->Kind == TLineKind::Key && !line->Name.empty() && found->Keys.at(line->Name) == line) keyHandler(*line);
}

std::vector<std::wstring> TIniFile::ReadSection(std::wstring_view section) const {
  std::vector<std::wstring> keys;
  FData->ForEachKey(section, [&](const TLine& line) { keys.emplace_back(line.Name); });
  return keys;
}

std::vector<TIniFile::TKeyValue> TIniFile::ReadSectionValues(std::wstring_view section) const {
  std::vector<TKeyValue> keys;
  FData->ForEachKey(section, [&](const TLine& line) { keys.push_back({line.Name, ProfileValue(line.Value)}); });
  return keys;
}

std::wstring TIniFile::ReadString(std::wstring_view section, std::wstring_view key,
                                  std::wstring_view defaultValue) const {
  const TLine* line = FData->FindKey(section, key);
  return std::wstring(line ? ProfileValue(line->Value) : defaultValue);
}

int TIniFile::ReadInteger(std::wstring_view section, std::wstring_view key, int defaultValue) const {
  const TLine* line = FData->FindKey(section, key);
  return line ? ParseInt32(ProfileValue(line->Value)).value_or(defaultValue) : defaultValue;
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
