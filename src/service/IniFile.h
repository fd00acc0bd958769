#pragma once
// An INI file read once into memory and written back in one go, following the text format
// of Windows profile files: in the ANSI code page, or in UTF-16 or UTF-8 when the file
// starts with that encoding's byte-order mark, which is kept. Sections and keys keep their file
// order and are found without regard to letter case; every line that is not changed is
// written back exactly as it was read (comments, blank lines, unknown sections, spacing).

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace ornpm {

class TIniFile {
 public:
  // How much of a value is read: at most 2047 characters, as the profile functions read it
  // for the plug-in and other programs, or the whole value, for the program's own reports.
  enum class TValueLength { Profile, Whole };

  // Reads the file when it exists; a missing file is an empty one. A file that exists but
  // cannot be read raises its error (EFOpenError or EInOutError).
  explicit TIniFile(std::wstring fileName, TValueLength valueLength = TValueLength::Profile);
  ~TIniFile();
  TIniFile(const TIniFile&) = delete;
  TIniFile& operator=(const TIniFile&) = delete;

  const std::wstring& FileName() const { return FFileName; }

  bool SectionExists(std::wstring_view section) const;
  bool ValueExists(std::wstring_view section, std::wstring_view key) const;
  // Sections and the keys of one section in file order, a repeated name once. Of sections
  // or keys repeated in the file the first is the one read and written.
  std::vector<std::wstring> ReadSections() const;
  std::vector<std::wstring> ReadSection(std::wstring_view section) const;

  // A section's keys in file order, a repeated name once, each handed to the visitor with
  // its value as ReadString reads it: ReadSection and a ReadString of each key in one pass,
  // with no copy of the section. The views are valid during the call only. The visitor may
  // read other sections of the file.
  using TKeyVisitor = std::function<void(std::wstring_view name, std::wstring_view value)>;
  void ForEachValue(std::wstring_view section, const TKeyVisitor& visit) const;
  // Enough room for what ForEachValue hands out, to be taken at once beforehand.
  struct TSectionSize {
    size_t Keys = 0;
    size_t NameLength = 0;   // the names' characters together
    size_t ValueLength = 0;  // the values' characters together
  };
  TSectionSize SectionSize(std::wstring_view section) const;

  // As the profile functions return them: blanks around the value trimmed, one pair of
  // matching surrounding quotes removed, cut to the value length the file was opened with.
  std::wstring ReadString(std::wstring_view section, std::wstring_view key, std::wstring_view defaultValue) const;
  // The value as a signed 32-bit decimal number; defaultValue when missing or not a number.
  int ReadInteger(std::wstring_view section, std::wstring_view key, int defaultValue) const;

  // Changes in memory; UpdateFile writes them. A changed key keeps its line, a new key goes
  // after the last line of its section, a new section to the end of the file. Line breaks
  // in names and values are written as blanks, so nothing written can start a line of its
  // own. As with the profile functions, a key name holding "=" or starting with ";" or "["
  // does not read back from the file.
  void WriteString(std::wstring_view section, std::wstring_view key, std::wstring_view value);
  // Remove every line of the key, or every section of the name with all its lines, so that
  // no repeated one comes to light.
  void DeleteKey(std::wstring_view section, std::wstring_view key);
  void EraseSection(std::wstring_view section);

  // Writes the whole file when anything changed. A refused write raises EIniFileException
  // "Unable to write to <file name>" and leaves the file as it was.
  void UpdateFile();

 private:
  struct TData;
  const TData& Data() const { return *FData; }
  TData& Data() { return *FData; }

  std::wstring_view ReadValue(std::wstring_view value) const;

  std::wstring FFileName;
  TValueLength FValueLength;
  std::unique_ptr<TData> FData;
};

}  // namespace ornpm
