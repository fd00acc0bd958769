#include "service/IniFile.h"

#include <windows.h>

#include <cstdint>
#include <iterator>
#include <list>
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

// Index key of a name: upper case by the operating system's case table, the one SameText
// compares with, so names that differ only in letter case share one key.
std::wstring FoldName(std::wstring_view name) {
  std::wstring folded(name);
  if (!folded.empty())
    ::LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, name.data(), static_cast<int>(name.size()), folded.data(),
                    static_cast<int>(folded.size()), nullptr, nullptr, 0);
  return folded;
}

enum class TLineKind { Blank, Comment, Section, Key, Other };

// One line of the file. Bytes are kept exactly as read, line end included, so a line
// nobody changes is written back unchanged even where the code page cannot round-trip it.
struct TLine {
  std::string Bytes;
  TLineKind Kind = TLineKind::Blank;
  std::wstring Name;   // section or key name, blanks trimmed
  std::wstring Value;  // key value, blanks trimmed, quotes kept
};

using TLines = std::list<TLine>;
using TLineIt = TLines::iterator;

// As the profile functions read: a line starting with "[" and holding a "]" names a
// section (text after the last "]" is ignored), ";" starts a comment, and the first "="
// parts a key from its value. Other lines belong to no key.
TLine ParseLine(std::string bytes) {
  TLine line{std::move(bytes), TLineKind::Blank, {}, {}};
  std::wstring text = BytesToWide(std::string_view(line.Bytes).substr(0, line.Bytes.find_first_of("\r\n")));
  std::wstring_view rest = TrimBlanks(text);
  if (rest.empty()) return line;
  if (size_t close = rest.rfind(L']'); rest.front() == L'[' && close != std::wstring_view::npos) {
    line.Kind = TLineKind::Section;
    line.Name = TrimBlanks(rest.substr(1, close - 1));
  } else if (rest.front() == L';') {
    line.Kind = TLineKind::Comment;
  } else if (size_t equals = rest.find(L'='); equals != std::wstring_view::npos) {
    line.Kind = TLineKind::Key;
    line.Name = TrimBlanks(rest.substr(0, equals));
    line.Value = TrimBlanks(rest.substr(equals + 1));
  } else {
    line.Kind = TLineKind::Other;
  }
  return line;
}

// Lines end at CR LF, LF or a lone CR, all of which the profile functions accept.
size_t NextLineStart(std::string_view bytes, size_t start) {
  size_t end = bytes.find_first_of("\r\n", start);
  if (end == std::string_view::npos) return bytes.size();
  if (bytes[end] == '\r' && end + 1 < bytes.size() && bytes[end + 1] == '\n') return end + 2;
  return end + 1;
}

// The last line of a file may lack its line end; a line written after it needs one.
void EnsureLineEnd(TLine& line) {
  if (!line.Bytes.empty() && line.Bytes.back() != '\n' && line.Bytes.back() != '\r') line.Bytes += "\r\n";
}

// A line break written into a value would make the rest of it lines of their own on the
// next read, even a section header; the value stays on its line instead.
std::wstring OnOneLine(std::wstring_view text) {
  std::wstring result(text);
  for (wchar_t& c : result)
    if (c == L'\r' || c == L'\n') c = L' ';
  return result;
}

// Names as they are written and looked up: blanks trimmed, on one line like values.
std::wstring CleanName(std::wstring_view name) {
  return OnOneLine(TrimBlanks(name));
}

// The line as the profile functions write it: "name=value" and CR LF. Blanks around the
// value are dropped, as reading would drop them; Value holds what reading gives back.
TLine KeyLine(std::wstring_view name, std::wstring_view value) {
  std::string valueBytes = WideToBytes(TrimBlanks(OnOneLine(value)));
  return {WideToBytes(name) + '=' + valueBytes + "\r\n", TLineKind::Key, std::wstring(name),
          std::wstring(TrimBlanks(BytesToWide(valueBytes)))};
}

TLine SectionLine(std::wstring_view name) {
  return {WideToBytes(L"[" + std::wstring(name) + L"]") + "\r\n", TLineKind::Section, std::wstring(name), {}};
}

// One pair of matching quotes around the value is removed, as GetPrivateProfileString does.
std::wstring ProfileValue(std::wstring_view value) {
  if (value.size() >= 2 && (value.front() == L'"' || value.front() == L'\'') && value.back() == value.front())
    value = value.substr(1, value.size() - 2);
  return std::wstring(value.substr(0, MaxValueLength));
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

// Lines in file order, and an index from folded names to sections and from folded key
// names to key lines, so that a lookup or a write costs the same in a file of ten lines
// and in a report of tens of thousands.
struct TIniFile::TData {
  struct TSection {
    std::wstring Name;
    std::wstring Folded;
    TLineIt Header;
    TLineIt Last;  // the section's last line that is not blank: new keys go after it
    std::unordered_map<std::wstring, std::vector<TLineIt>> Keys;  // key lines of each name in file order
  };
  using TSections = std::list<TSection>;

  TLines Lines;
  TSections Sections;
  // All sections of a name in file order; as with the profile functions the first one is
  // the one read and written, the others only come along in the file.
  std::unordered_map<std::wstring, std::vector<TSections::iterator>> Index;
  bool Changed = false;

  void Load(std::string_view bytes);
  TSection& AddSection(TLineIt header);
  TSection* FindSection(std::wstring_view name);
  const TLine* FindKey(std::wstring_view section, std::wstring_view key);
  void SetValue(std::wstring_view section, std::wstring_view key, std::wstring_view value);
  void InsertKey(TSection& section, TLine line);
  void DeleteKey(std::wstring_view section, std::wstring_view key);
  void EraseSection(std::wstring_view name);
  std::string Bytes() const;
};

void TIniFile::TData::Load(std::string_view bytes) {
  TSection* current = nullptr;  // lines before the first header belong to no section
  for (size_t start = 0; start < bytes.size();) {
    size_t next = NextLineStart(bytes, start);
    TLineIt line = Lines.insert(Lines.end(), ParseLine(std::string(bytes.substr(start, next - start))));
    start = next;
    if (line->Kind == TLineKind::Section) {
      current = &AddSection(line);
    } else if (current && line->Kind != TLineKind::Blank) {
      current->Last = line;
      if (line->Kind == TLineKind::Key) current->Keys[FoldName(line->Name)].push_back(line);
    }
  }
}

TIniFile::TData::TSection& TIniFile::TData::AddSection(TLineIt header) {
  auto section = Sections.insert(Sections.end(), TSection{header->Name, FoldName(header->Name), header, header, {}});
  Index[section->Folded].push_back(section);
  return *section;
}

TIniFile::TData::TSection* TIniFile::TData::FindSection(std::wstring_view name) {
  auto found = Index.find(FoldName(CleanName(name)));
  return found == Index.end() ? nullptr : &*found->second.front();
}

const TLine* TIniFile::TData::FindKey(std::wstring_view section, std::wstring_view key) {
  TSection* found = FindSection(section);
  if (!found) return nullptr;
  auto lines = found->Keys.find(FoldName(CleanName(key)));
  return lines == found->Keys.end() ? nullptr : &*lines->second.front();
}

void TIniFile::TData::SetValue(std::wstring_view sectionName, std::wstring_view keyName, std::wstring_view value) {
  std::wstring section = CleanName(sectionName);
  std::wstring key = CleanName(keyName);
  TSection* target = FindSection(section);
  if (!target) {
    if (!Lines.empty()) EnsureLineEnd(Lines.back());
    target = &AddSection(Lines.insert(Lines.end(), SectionLine(section)));
  }
  auto lines = target->Keys.find(FoldName(key));
  if (lines == target->Keys.end()) {
    InsertKey(*target, KeyLine(key, value));
  } else {
    // The file's own spelling of the name stays; an unchanged value leaves the line as it is.
    TLine& old = *lines->second.front();
    TLine line = KeyLine(old.Name, value);
    if (line.Value == old.Value) return;
    old = std::move(line);
  }
  Changed = true;
}

void TIniFile::TData::InsertKey(TSection& section, TLine line) {
  std::wstring folded = FoldName(line.Name);
  EnsureLineEnd(*section.Last);
  section.Last = Lines.insert(std::next(section.Last), std::move(line));
  section.Keys[folded].push_back(section.Last);
}

void TIniFile::TData::DeleteKey(std::wstring_view section, std::wstring_view key) {
  TSection* target = FindSection(section);
  if (!target) return;
  auto lines = target->Keys.find(FoldName(CleanName(key)));
  if (lines == target->Keys.end()) return;
  // Every line of the name goes, so that a duplicate further down does not take its place.
  for (TLineIt line : lines->second) {
    while (target->Last == line || target->Last->Kind == TLineKind::Blank) --target->Last;
    Lines.erase(line);
  }
  target->Keys.erase(lines);
  Changed = true;
}

void TIniFile::TData::EraseSection(std::wstring_view name) {
  auto found = Index.find(FoldName(CleanName(name)));
  if (found == Index.end()) return;
  // Every section of the name goes, from its header up to the next header.
  for (auto section : found->second) {
    auto next = std::next(section);
    Lines.erase(section->Header, next == Sections.end() ? Lines.end() : next->Header);
    Sections.erase(section);
  }
  Index.erase(found);
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

bool TIniFile::SectionExists(const std::wstring& section) const {
  return FData->FindSection(section) != nullptr;
}

bool TIniFile::ValueExists(const std::wstring& section, const std::wstring& key) const {
  return FData->FindKey(section, key) != nullptr;
}

std::vector<std::wstring> TIniFile::ReadSections() const {
  std::vector<std::wstring> names;
  for (const TData::TSection& section : FData->Sections)
    if (!section.Name.empty() && &*FData->Index.at(section.Folded).front() == &section) names.push_back(section.Name);
  return names;
}

std::vector<std::wstring> TIniFile::ReadSection(const std::wstring& section) const {
  std::vector<std::wstring> keys;
  const TData::TSection* found = FData->FindSection(section);
  if (!found) return keys;
  for (auto line = std::next(found->Header); line != FData->Lines.end() && line->Kind != TLineKind::Section; ++line) {
    // An empty name cannot be listed by the profile functions; a repeated one is listed once.
    if (line->Kind == TLineKind::Key && !line->Name.empty() && &*found->Keys.at(FoldName(line->Name)).front() == &*line)
      keys.push_back(line->Name);
  }
  return keys;
}

std::wstring TIniFile::ReadString(const std::wstring& section, const std::wstring& key,
                                  const std::wstring& defaultValue) const {
  const TLine* line = FData->FindKey(section, key);
  return line ? ProfileValue(line->Value) : defaultValue;
}

int TIniFile::ReadInteger(const std::wstring& section, const std::wstring& key, int defaultValue) const {
  const TLine* line = FData->FindKey(section, key);
  return line ? ParseInt32(ProfileValue(line->Value)).value_or(defaultValue) : defaultValue;
}

void TIniFile::WriteString(const std::wstring& section, const std::wstring& key, const std::wstring& value) {
  FData->SetValue(section, key, value);
}

void TIniFile::WriteInteger(const std::wstring& section, const std::wstring& key, int value) {
  FData->SetValue(section, key, std::to_wstring(value));
}

void TIniFile::DeleteKey(const std::wstring& section, const std::wstring& key) {
  FData->DeleteKey(section, key);
}

void TIniFile::EraseSection(const std::wstring& section) {
  FData->EraseSection(section);
}

void TIniFile::UpdateFile() {
  if (!FData->Changed) return;
  WriteOver(FFileName, FData->Bytes());
  FData->Changed = false;
}

}  // namespace ornpm
