#include <algorithm>
#include <functional>
#include <gtest/gtest.h>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "harness/Sandbox.h"
#include "service/IniFile.h"
#include "win/Exceptions.h"
#include "win/Handles.h"
#include "win/Text.h"

namespace ornpm {
namespace {

using testing::ReadBinaryFile;
using testing::WriteBinaryFile;

// The profile functions serve as the reference for how Windows reads the same file.
std::vector<std::wstring> SplitNullList(const std::vector<wchar_t>& buffer) {
  std::vector<std::wstring> items;
  for (const wchar_t* item = buffer.data(); *item; item += items.back().size() + 1) items.emplace_back(item);
  return items;
}

std::wstring ProfileString(const std::wstring& path, const std::wstring& section, const std::wstring& key,
                           const wchar_t* defaultValue) {
  wchar_t buffer[2048];
  ::GetPrivateProfileStringW(section.c_str(), key.c_str(), defaultValue, buffer, 2048, path.c_str());
  return buffer;
}

std::vector<std::wstring> ProfileSectionNames(const std::wstring& path) {
  std::vector<wchar_t> buffer(65536);
  ::GetPrivateProfileSectionNamesW(buffer.data(), static_cast<DWORD>(buffer.size()), path.c_str());
  return SplitNullList(buffer);
}

std::vector<std::wstring> ProfileKeys(const std::wstring& path, const std::wstring& section) {
  std::vector<wchar_t> buffer(65536);
  ::GetPrivateProfileStringW(section.c_str(), nullptr, L"", buffer.data(), static_cast<DWORD>(buffer.size()),
                             path.c_str());
  return SplitNullList(buffer);
}

// The section's lines as the profile functions list them: key lines as "name=value", lines
// without "=" as they are. Their own list of key names ends early at a key with an empty
// name, which cannot be told from the list's end.
std::vector<std::wstring> ProfileSectionLines(const std::wstring& path, const std::wstring& section) {
  std::vector<wchar_t> buffer(65536);
  DWORD length =
      ::GetPrivateProfileSectionW(section.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()), path.c_str());
  std::vector<std::wstring> lines;
  for (const wchar_t* line = buffer.data(); line < buffer.data() + length; line += wcslen(line) + 1)
    lines.emplace_back(line);
  return lines;
}

// The profile functions list a repeated name each time; we list it once.
std::vector<std::wstring> FirstOfEach(const std::vector<std::wstring>& names) {
  std::vector<std::wstring> result;
  for (const std::wstring& name : names) {
    bool seen = false;
    for (const std::wstring& kept : result) seen = seen || SameText(kept, name);
    if (!seen) result.push_back(name);
  }
  return result;
}

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
  size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  EXPECT_EQ(text.find(from, at + 1), std::string::npos) << "not unique: " << from;
  return text.replace(at, from.size(), to);
}

std::string Between(const std::string& text, const std::string& first, const std::string& next) {
  size_t start = text.find(first);
  return text.substr(start, text.find(next, start) - start);
}

// The encodings the profile functions read a file in: the ANSI code page, or the one a
// byte-order mark names.
enum class Encoding { Ansi, Utf8, Utf16LE, Utf16BE };
constexpr Encoding AllEncodings[] = {Encoding::Ansi, Encoding::Utf8, Encoding::Utf16LE, Encoding::Utf16BE};

const char* NameOf(Encoding encoding) {
  const char* names[] = {"ANSI", "UTF-8 with mark", "UTF-16 LE", "UTF-16 BE"};
  return names[static_cast<int>(encoding)];
}

// The file's bytes in the encoding, with its mark.
std::string Encode(const std::wstring& text, Encoding encoding) {
  switch (encoding) {
    case Encoding::Utf8:
      return testing::Utf8WithMark(text);
    case Encoding::Utf16LE:
      return testing::Utf16WithMark(text);
    case Encoding::Utf16BE: {
      std::string bytes = "\xFE\xFF";
      for (wchar_t unit : text) bytes += {static_cast<char>(unit >> 8), static_cast<char>(unit & 0xFF)};
      return bytes;
    }
    default:
      return WideToBytes(text);
  }
}

// Every key of the file as we read it is what the profile functions read.
void ExpectReadsAsTheProfileFunctions(const std::wstring& path) {
  TIniFile ini(path);
  EXPECT_EQ(ini.ReadSections(), FirstOfEach(ProfileSectionNames(path)));
  for (const std::wstring& section : ini.ReadSections()) {
    EXPECT_EQ(ini.ReadSection(section), FirstOfEach(ProfileKeys(path, section))) << section;
    for (const std::wstring& key : ini.ReadSection(section))
      EXPECT_EQ(ini.ReadString(section, key, L"<none>"), ProfileString(path, section, key, L"<none>"))
          << section << " / " << key;
  }
}

class IniFileTest : public ::testing::Test {
 protected:
  testing::TempFolder FFolder;

  std::wstring PathOf(const std::wstring& name) const { return FFolder.Path() + L"\\" + name; }
};

TEST_F(IniFileTest, ReadsTrickyLinesAsTheProfileFunctionsDo) {
  const std::wstring longValue(3000, L'x');
  const std::wstring longQuoted(3000, L'y');
  const std::wstring text =
      L"; leading comment\r\n"
      L"orphan=before any section\r\n"
      L"[Plain]\r\n"
      L"key=value\r\n"
      L"  Spaced Key   =   inner  blanks kept   \r\n"
      L"\tTabbed\t=\tvalue\t\r\n"
      L"dq=\"double quoted\"\r\n"
      L"sq='single quoted'\r\n"
      L"padded= \" padded \" \r\n"
      L"unbalanced=\"open\r\n"
      L"mixed=\"mixed'\r\n"
      L"lonequote=\"\r\n"
      L"emptyquotes=\"\"\r\n"
      L"empty=\r\n"
      L"eq=a=b=c\r\n"
      L"KEY=shadowed by the first key\r\n"
      L"bare line without equals\r\n"
      L";comment=not a key\r\n"
      L"  ;indented=comment\r\n"
      L"[Trailing] ; text after the bracket\r\n"
      L"k=1\r\n"
      L"[ Spaced Section ]\r\n"
      L"k=2\r\n"
      L"[a]b]\r\n"
      L"ab=1\r\n"
      L"[Dup]\r\n"
      L"first=1\r\n"
      L"[dup]\r\n"
      L"first=2\r\n"
      L"second=3\r\n"
      L"[Broken\r\n"
      L"inbroken=4\r\n"
      L"[Раздел]\r\n"
      L"Ключ=Значение\r\n"
      L"[CR]\rcr1=one\rcr2=two\r"
      L"[LF]\nlf1=one\nlf2=two\n"
      L"[Long]\r\n"
      L"long=" +
      longValue + L"\r\nlongquoted=\"" + longQuoted + L"\"\r\n" +
      L"[中文]\r\n"
      L"键=值 不在 ANSI\r\n"
      L"[Last]\r\n"
      L"final=no line end";
  auto expectReadAsTheProfileFunctions = [&](const std::wstring& path) {
    TIniFile ini(path);

    // Names in other letter case are asked in Latin letters only: Wine's profile functions
    // ignore the case of ASCII letters alone, where Windows ignores it for all letters.
    const std::wstring sections[] = {
        L"Plain",  L"PLAIN", L" plain ", L"Trailing", L"Spaced Section", L"Dup",  L"DUP",     L"Broken",
        L"Раздел", L"a]b",   L"CR",      L"LF",       L"Long",           L"Last", L"Missing", L"中文"};
    const std::wstring keys[] = {
        L"key",       L"KEY",         L"Spaced Key", L" spaced key ", L"Tabbed",
        L"dq",        L"sq",          L"padded",     L"unbalanced",   L"mixed",
        L"lonequote", L"emptyquotes", L"empty",      L"eq",           L"bare line without equals",
        L"k",         L"first",       L"second",     L"inbroken",     L"ab",
        L"Ключ",      L"cr1",         L"cr2",        L"lf1",          L"lf2",
        L"long",      L"longquoted",  L"final",      L"missing",      L"键"};
    for (const std::wstring& section : sections) {
      for (const std::wstring& key : keys) {
        EXPECT_EQ(ini.ReadString(section, key, L"<none>"), ProfileString(path, section, key, L"<none>"))
            << section << " / " << key;
        // A key exists when the default does not come through.
        bool exists = ProfileString(path, section, key, L"\x1") == ProfileString(path, section, key, L"\x2");
        EXPECT_EQ(ini.ValueExists(section, key), exists) << section << " / " << key;
      }
    }
    EXPECT_EQ(ini.ReadSections(), FirstOfEach(ProfileSectionNames(path)));
    for (const std::wstring& section : ini.ReadSections()) {
      EXPECT_EQ(ini.ReadSection(section), FirstOfEach(ProfileKeys(path, section))) << section;
      // A whole section at once reads what its keys read one by one.
      std::vector<std::pair<std::wstring, std::wstring>> together, oneByOne;
      ini.ForEachValue(section,
                       [&](std::wstring_view name, std::wstring_view value) { together.emplace_back(name, value); });
      for (const std::wstring& key : ini.ReadSection(section))
        oneByOne.emplace_back(key, ini.ReadString(section, key, L""));
      EXPECT_EQ(together, oneByOne) << section;
      // The room asked for beforehand is enough for all of it.
      const TIniFile::TSectionSize size = ini.SectionSize(section);
      EXPECT_EQ(size.Keys, together.size()) << section;
      size_t names = 0, values = 0;
      for (const auto& [name, value] : together) names += name.size(), values += value.size();
      EXPECT_GE(size.NameLength, names) << section;
      EXPECT_GE(size.ValueLength, values) << section;
    }
    bool visited = false;
    ini.ForEachValue(L"missing", [&](std::wstring_view, std::wstring_view) { visited = true; });
    EXPECT_FALSE(visited);
    EXPECT_EQ(ini.SectionSize(L"missing").Keys, 0u);
  };
  for (Encoding encoding : AllEncodings) {
    SCOPED_TRACE(NameOf(encoding));
    const std::wstring path = PathOf(L"tricky.ini");
    WriteBinaryFile(path, Encode(text, encoding));
    expectReadAsTheProfileFunctions(path);
  }
}

// Files put together at random from the pieces that matter to the format, read by both.
TEST_F(IniFileTest, RandomFilesReadAsTheProfileFunctionsReadThem) {
  // "中" is not in the ANSI code page: a question mark there, itself in the others.
  const wchar_t* pieces[] = {L"[", L"]", L"=", L";",  L" ", L"\t", L"\r\n", L"\n", L"\r",
                             L"a", L"A", L"b", L"\"", L"'", L"Ж",  L"ж",    L"x1", L"中"};
  std::mt19937 random(20261210);
  for (int file = 0; file < 240; ++file) {
    std::wstring text;
    const int count = 5 + static_cast<int>(random() % 60);
    for (int i = 0; i < count; ++i) text += pieces[random() % std::size(pieces)];
    const Encoding encoding = AllEncodings[file % std::size(AllEncodings)];
    const std::string bytes = Encode(text, encoding);
    const std::wstring path = PathOf(L"random" + std::to_wstring(file) + L".ini");
    WriteBinaryFile(path, bytes);
    TIniFile ini(path);
    SCOPED_TRACE(::testing::PrintToString(bytes));
    SCOPED_TRACE(NameOf(encoding));
    ASSERT_EQ(ini.ReadSections(), FirstOfEach(ProfileSectionNames(path)));
    for (const std::wstring& section : ini.ReadSections()) {
      std::vector<std::wstring> keys, bare;
      for (const std::wstring& line : ProfileSectionLines(path, section)) {
        size_t equals = line.find(L'=');
        if (equals == std::wstring::npos)
          bare.push_back(line);
        else if (equals > 0)
          keys.push_back(line.substr(0, equals));
      }
      ASSERT_EQ(ini.ReadSection(section), FirstOfEach(keys)) << section;
      for (const std::wstring& key : ini.ReadSection(section)) {
        // Wine's profile functions take a line without "=" for a key without a value, which
        // hides a key of the same name further down; such keys are left out here.
        if (std::any_of(bare.begin(), bare.end(), [&](const std::wstring& line) { return SameText(line, key); }))
          continue;
        ASSERT_EQ(ini.ReadString(section, key, L"<none>"), ProfileString(path, section, key, L"<none>"))
            << section << " / " << key;
      }
    }
  }
}

// A plug-in's own INI file: comments in the ANSI code page, odd spacing, mixed line ends,
// blank lines and a last line without a line end.
const std::string PlugInIni =
    "; ORN plug-in \xcd\xe0\xf1\xf2\xf0\xee\xe9\xea\xe8\r\n"
    "[General]\r\n"
    "Version = 3.1\r\n"
    "  Mode=Auto   \r\n"
    "\r\n"
    "[Log]\r\n"
    "; \xcf\xf3\xf2\xfc \xea \xe6\xf3\xf0\xed\xe0\xeb\xf3 \x98\r\n"
    "  FileName =  %APPDATA%\\ORN\\plugin.log  \r\n"
    "Level=\t4\r\n"
    "MaxSize=1024\r\n"
    "\r\n"
    "\r\n"
    "[Network]\n"
    "Port=8080\n"
    "\n"
    "[Extra]\r\n"
    "Last=yes";

TEST_F(IniFileTest, ChangesTouchOnlyTheirOwnLines) {
  struct Case {
    const char* Name;
    std::function<void(TIniFile&)> Change;
    std::string From;
    std::string To;
  };
  const Case cases[] = {
      {"changed value", [](TIniFile& ini) { ini.WriteString(L"Log", L"FileName", L"D:\\Logs\\x.log"); },
       "  FileName =  %APPDATA%\\ORN\\plugin.log  \r\n", "FileName=D:\\Logs\\x.log\r\n"},
      {"names in other letter case, the file's spelling kept",
       [](TIniFile& ini) { ini.WriteString(L"LOG", L"level", L"5"); }, "Level=\t4\r\n", "Level=5\r\n"},
      {"same values written again",
       [](TIniFile& ini) {
         ini.WriteString(L"Log", L"Level", L"4");
         ini.WriteString(L"General", L"Mode", L"Auto");
       },
       "", ""},
      {"new key before the blank lines that end its section",
       [](TIniFile& ini) { ini.WriteString(L"Log", L"Enabled", L"1"); }, "MaxSize=1024\r\n",
       "MaxSize=1024\r\nEnabled=1\r\n"},
      {"new key in a section with LF line ends", [](TIniFile& ini) { ini.WriteString(L"Network", L"Host", L"h"); },
       "Port=8080\n", "Port=8080\nHost=h\r\n"},
      {"new key after a last line without line end", [](TIniFile& ini) { ini.WriteString(L"Extra", L"More", L"1"); },
       "Last=yes", "Last=yes\r\nMore=1\r\n"},
      {"new section", [](TIniFile& ini) { ini.WriteString(L"New", L"Key", L"v"); }, "Last=yes",
       "Last=yes\r\n[New]\r\nKey=v\r\n"},
      {"deleted key", [](TIniFile& ini) { ini.DeleteKey(L"Log", L"Level"); }, "Level=\t4\r\n", ""},
      {"logging switched off",
       [](TIniFile& ini) {
         ini.WriteString(L"Log", L"_FileName", L"%APPDATA%\\ORN\\plugin.log");
         ini.DeleteKey(L"Log", L"FileName");
       },
       "  FileName =  %APPDATA%\\ORN\\plugin.log  \r\nLevel=\t4\r\nMaxSize=1024\r\n",
       "Level=\t4\r\nMaxSize=1024\r\n_FileName=%APPDATA%\\ORN\\plugin.log\r\n"},
      {"deleted last line", [](TIniFile& ini) { ini.DeleteKey(L"Extra", L"Last"); }, "[Extra]\r\nLast=yes",
       "[Extra]\r\n"},
      {"erased section", [](TIniFile& ini) { ini.EraseSection(L"log"); }, Between(PlugInIni, "[Log]", "[Network]"), ""},
      {"erased last section", [](TIniFile& ini) { ini.EraseSection(L"Extra"); }, "[Extra]\r\nLast=yes", ""},
  };
  // The same file and the same changes in each encoding: the file keeps its encoding and
  // its mark, and the profile functions read what was written.
  const std::wstring path = PathOf(L"plugin.ini");
  for (Encoding encoding : AllEncodings) {
    SCOPED_TRACE(NameOf(encoding));
    auto encoded = [&](const std::string& ansi) { return Encode(BytesToWide(ansi), encoding); };
    for (const Case& c : cases) {
      WriteBinaryFile(path, encoded(PlugInIni));
      TIniFile ini(path);
      c.Change(ini);
      ini.UpdateFile();
      const std::string expected = c.From.empty() ? PlugInIni : Replaced(PlugInIni, c.From, c.To);
      EXPECT_EQ(ReadBinaryFile(path), encoded(expected)) << c.Name;
      ExpectReadsAsTheProfileFunctions(path);
    }
  }
}

TEST_F(IniFileTest, MissingFileReadsEmptyAndIsWrittenAsTheProfileFunctionsWriteIt) {
  const std::wstring path = PathOf(L"new.ini");
  const std::wstring reference = PathOf(L"reference.ini");
  TIniFile ini(path);
  EXPECT_TRUE(ini.ReadSections().empty());
  EXPECT_FALSE(ini.SectionExists(L"A"));
  EXPECT_EQ(ini.ReadString(L"A", L"k1", L"default"), L"default");
  ini.UpdateFile();
  EXPECT_EQ(::GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES) << "nothing changed, nothing written";

  const wchar_t* writes[][3] = {{L"A", L"k1", L"1"},         {L"A", L"k2", L" 2 "}, {L"B", L"k", L"3"},
                                {L"A", L"k3", L"Кириллица"}, {L"a", L"K1", L"one"}, {L"C", L"k", L""}};
  for (const auto& write : writes) {
    ini.WriteString(write[0], write[1], write[2]);
    ::WritePrivateProfileStringW(write[0], write[1], write[2], reference.c_str());
  }
  ini.UpdateFile();
  EXPECT_EQ(ReadBinaryFile(path), ReadBinaryFile(reference));
  EXPECT_EQ(ReadBinaryFile(path),
            "[A]\r\nk1=one\r\nk2=2\r\nk3=\xca\xe8\xf0\xe8\xeb\xeb\xe8\xf6\xe0\r\n"
            "[B]\r\nk=3\r\n[C]\r\nk=\r\n");
}

TEST_F(IniFileTest, CyrillicTextGoesThroughTheAnsiCodePage) {
  ASSERT_EQ(::GetACP(), 1251u) << "the tests run with the Cyrillic ANSI code page";
  const std::wstring path = PathOf(L"cyrillic.ini");
  {
    TIniFile ini(path);
    ini.WriteString(L"Журнал", L"Путь", L"C:\\Логи");
    ini.UpdateFile();
  }
  EXPECT_EQ(ReadBinaryFile(path), "[\xc6\xf3\xf0\xed\xe0\xeb]\r\n\xcf\xf3\xf2\xfc=C:\\\xcb\xee\xe3\xe8\r\n");
  TIniFile ini(path);
  EXPECT_EQ(ini.ReadString(L"ЖУРНАЛ", L"путь", L""), L"C:\\Логи") << "letter case ignored for all letters";
  EXPECT_EQ(ini.ReadSections(), std::vector<std::wstring>{L"Журнал"});
  EXPECT_EQ(ProfileString(path, L"Журнал", L"Путь", L""), L"C:\\Логи");
}

TEST_F(IniFileTest, UnicodeFilesHoldWhatTheAnsiCodePageCannot) {
  const std::wstring value = L"中文 Журнал \xD83D\xDE00";  // a surrogate pair too
  const std::wstring path = PathOf(L"unicode.ini");
  for (Encoding encoding : {Encoding::Utf8, Encoding::Utf16LE, Encoding::Utf16BE}) {
    SCOPED_TRACE(NameOf(encoding));
    WriteBinaryFile(path, Encode(L"[S]\r\nold=1\r\n", encoding));
    {
      TIniFile ini(path);
      ini.WriteString(L"S", L"日志", value);
      ini.WriteString(L"Новый", L"k", value);
      EXPECT_EQ(ini.ReadString(L"S", L"日志", L""), value);
      ini.UpdateFile();
    }
    EXPECT_EQ(ReadBinaryFile(path),
              Encode(L"[S]\r\nold=1\r\n日志=" + value + L"\r\n[Новый]\r\nk=" + value + L"\r\n", encoding));
    EXPECT_EQ(TIniFile(path).ReadString(L"НОВЫЙ", L"K", L""), value);
    ExpectReadsAsTheProfileFunctions(path);
  }

  // A mark alone is an empty file of its encoding; half a UTF-16 unit at the end stays there.
  const std::string utf16Entry = Encode(L"[S]\r\nk=v\r\n", Encoding::Utf16BE);
  const std::string oddFiles[][2] = {
      {"\xFE\xFF", utf16Entry},
      {Encode(L"[S]\r\n", Encoding::Utf16BE) + "A", utf16Entry + "A"},
      {"\xEF\xBB\xBF", Encode(L"[S]\r\nk=v\r\n", Encoding::Utf8)},
  };
  for (const auto& [before, after] : oddFiles) {
    WriteBinaryFile(path, before);
    TIniFile ini(path);
    ini.WriteString(L"S", L"k", L"v");
    ini.UpdateFile();
    EXPECT_EQ(ReadBinaryFile(path), after) << ::testing::PrintToString(before);
  }
}

// The program's own reports are read whole; every other file as the profile functions
// read it, cut to 2047 characters.
TEST_F(IniFileTest, ValuesAreCutOnlyWhereTheProfileFunctionsWouldCutThem) {
  const std::wstring path = PathOf(L"long.ini");
  const std::wstring longValue = std::wstring(3000, L'x') + L"end";
  WriteBinaryFile(path, WideToBytes(L"[S]\r\nlong=" + longValue + L"\r\nquoted=\"" + longValue + L"\"\r\n[N]\r\nn=" +
                                    std::wstring(2100, L'0') + L"7\r\n"));
  struct Case {
    TIniFile::TValueLength Length;
    std::wstring Value;
    int Number;
  };
  const Case cases[] = {{TIniFile::TValueLength::Profile, ProfileString(path, L"S", L"long", L""), 0},
                        {TIniFile::TValueLength::Whole, longValue, 7}};
  ASSERT_EQ(cases[0].Value, longValue.substr(0, 2047));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Value.size());
    TIniFile ini(path, c.Length);
    EXPECT_EQ(ini.ReadString(L"S", L"long", L""), c.Value);
    EXPECT_EQ(ini.ReadString(L"S", L"quoted", L""), c.Value);
    EXPECT_EQ(ini.ReadInteger(L"N", L"n", -1), c.Number);
    std::vector<std::wstring> values;
    ini.ForEachValue(L"S", [&](std::wstring_view, std::wstring_view value) { values.emplace_back(value); });
    EXPECT_EQ(values, (std::vector<std::wstring>{c.Value, c.Value}));
  }
}

TEST_F(IniFileTest, WrittenValuesReadBackAsTheFileWillGiveThem) {
  struct Case {
    const wchar_t* Written;
    const wchar_t* Read;
  };
  const Case cases[] = {
      {L"  leading blanks", L"leading blanks"},
      {L"trailing blanks  ", L"trailing blanks"},
      {L"\"quoted\"", L"quoted"},
      {L"two\r\nlines", L"two  lines"},
      {L"[Section]\nkey=1", L"[Section] key=1"},
      {L"中文", L"??"},  // not in the ANSI code page
      {L"", L""},
  };
  const std::wstring path = PathOf(L"values.ini");
  for (const Case& c : cases) {
    {
      TIniFile ini(path);
      ini.WriteString(L"S", L"key", c.Written);
      EXPECT_EQ(ini.ReadString(L"S", L"key", L"<none>"), c.Read) << c.Written;
      ini.UpdateFile();
    }
    EXPECT_EQ(TIniFile(path).ReadString(L"S", L"key", L"<none>"), c.Read) << c.Written;
    EXPECT_EQ(ProfileString(path, L"S", L"key", L"<none>"), c.Read) << c.Written;
    EXPECT_EQ(TIniFile(path).ReadSections(), std::vector<std::wstring>{L"S"}) << c.Written;
  }
}

TEST_F(IniFileTest, ReadIntegerTakesSignedDecimalNumbersOnly) {
  struct Case {
    const char* Line;
    int Expected;
  };
  const Case cases[] = {
      {"n=42", 42},
      {"n=-7", -7},
      {"n=+5", 5},
      {"n=  12  ", 12},
      {"n=\"15\"", 15},
      {"n=2147483647", 2147483647},
      {"n=-2147483648", -2147483647 - 1},
      {"n=2147483648", -99},
      {"n=-2147483649", -99},
      {"n=99999999999999999999", -99},
      {"n=12abc", -99},
      {"n=0x10", -99},
      {"n=1 2", -99},
      {"n=-", -99},
      {"n=", -99},
      {"other=1", -99},
  };
  const std::wstring path = PathOf(L"numbers.ini");
  for (const Case& c : cases) {
    WriteBinaryFile(path, std::string("[S]\r\n") + c.Line + "\r\n");
    EXPECT_EQ(TIniFile(path).ReadInteger(L"S", L"n", -99), c.Expected) << c.Line;
  }
  TIniFile ini(path);
  ini.WriteString(L"S", L"n", L"-2147483648");
  EXPECT_EQ(ini.ReadInteger(L"S", L"n", 0), -2147483647 - 1);
}

TEST_F(IniFileTest, RefusedWriteRaisesAndLeavesTheFileAsItWas) {
  const std::wstring path = PathOf(L"held.ini");
  WriteBinaryFile(path, PlugInIni);
  TIniFile ini(path);
  ini.WriteString(L"Log", L"Level", L"0");
  {
    UniqueFileHandle holder(
        ::CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(holder);
    try {
      ini.UpdateFile();
      ADD_FAILURE() << "a file held without sharing was written";
    } catch (const EIniFileException& error) {
      EXPECT_EQ(error.Message(), L"Unable to write to " + path);
    }
    EXPECT_THROW(TIniFile{path}, EFOpenError) << "an unreadable file is not an empty one";
  }
  EXPECT_EQ(ReadBinaryFile(path), PlugInIni);

  // The change is still pending and goes out once the file is free.
  ini.UpdateFile();
  EXPECT_EQ(ReadBinaryFile(path), Replaced(PlugInIni, "Level=\t4\r\n", "Level=0\r\n"));

  const std::wstring noFolder = PathOf(L"missing\\settings.ini");
  TIniFile orphan(noFolder);
  orphan.WriteString(L"S", L"k", L"v");
  try {
    orphan.UpdateFile();
    ADD_FAILURE() << "the missing folder was created";
  } catch (const EIniFileException& error) {
    EXPECT_EQ(error.Message(), L"Unable to write to " + noFolder);
  }
}

TEST_F(IniFileTest, RepeatedSectionsAndKeysFirstOneWinsAndAllGoTogether) {
  const std::wstring path = PathOf(L"repeated.ini");
  WriteBinaryFile(path,
                  "[S]\r\nb=1\r\na=1\r\nA=2\r\n\r\n"
                  "[s]\r\na=3\r\nc=4\r\n"
                  "[Empty]\r\n"
                  "[T]\r\nt=1\r\n");
  TIniFile ini(path);
  EXPECT_EQ(ini.ReadSections(), (std::vector<std::wstring>{L"S", L"Empty", L"T"}));
  EXPECT_EQ(ini.ReadSection(L"s"), (std::vector<std::wstring>{L"b", L"a"}));
  EXPECT_EQ(ini.ReadString(L"S", L"a", L""), L"1");
  EXPECT_FALSE(ini.ValueExists(L"S", L"c")) << "keys of a repeated section are not read";
  EXPECT_TRUE(ini.SectionExists(L"empty")) << "a header alone makes a section";

  ini.WriteString(L"s", L"A", L"9");
  EXPECT_EQ(ini.ReadString(L"S", L"a", L""), L"9");
  ini.DeleteKey(L"S", L"a");
  EXPECT_FALSE(ini.ValueExists(L"S", L"a")) << "the later line of the same name went too";
  // The section's last key went: a new one follows the key now last.
  ini.WriteString(L"S", L"d", L"5");
  ini.UpdateFile();
  EXPECT_EQ(ReadBinaryFile(path), "[S]\r\nb=1\r\nd=5\r\n\r\n[s]\r\na=3\r\nc=4\r\n[Empty]\r\n[T]\r\nt=1\r\n");

  ini.EraseSection(L" S ");
  EXPECT_FALSE(ini.SectionExists(L"S"));
  ini.WriteString(L"Empty", L"e", L"1");
  ini.UpdateFile();
  EXPECT_EQ(ReadBinaryFile(path), "[Empty]\r\ne=1\r\n[T]\r\nt=1\r\n");
}

TEST_F(IniFileTest, ThousandsOfKeysSpreadOverSectionsWriteAndReadBack) {
  const std::wstring path = PathOf(L"report.iinf");
  const int sectionCount = 50;
  const int keyCount = 5000;
  auto sectionOf = [](int i) { return L"Process\\" + std::to_wstring(i % sectionCount); };
  {
    // Keys go round the sections, so nearly every one is inserted in the middle of the file.
    TIniFile ini(path);
    for (int i = 0; i < keyCount; ++i) ini.WriteString(sectionOf(i), std::to_wstring(i), L"C:\\m" + std::to_wstring(i));
    ini.UpdateFile();
  }
  TIniFile ini(path);
  EXPECT_EQ(ini.ReadSections().size(), static_cast<size_t>(sectionCount));
  EXPECT_EQ(ini.ReadSection(sectionOf(7)).size(), static_cast<size_t>(keyCount / sectionCount));
  for (int i = 0; i < keyCount; ++i)
    ASSERT_EQ(ini.ReadString(sectionOf(i), std::to_wstring(i), L""), L"C:\\m" + std::to_wstring(i)) << i;

  // Removing keys from the middle of a large section keeps every other key found.
  for (int i = 0; i < keyCount; i += 3) ini.DeleteKey(sectionOf(i), std::to_wstring(i));
  for (int i = 0; i < keyCount; ++i)
    ASSERT_EQ(ini.ReadString(sectionOf(i), std::to_wstring(i), L"-"), i % 3 ? L"C:\\m" + std::to_wstring(i) : L"-")
        << i;
  ini.UpdateFile();
  TIniFile reread(path);
  size_t keys = 0;
  for (const std::wstring& section : reread.ReadSections()) keys += reread.ReadSection(section).size();
  EXPECT_EQ(keys, static_cast<size_t>(keyCount - (keyCount + 2) / 3));
}

}  // namespace
}  // namespace ornpm
