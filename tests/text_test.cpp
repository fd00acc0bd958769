#include "win/Text.h"

#include <gtest/gtest.h>

#include "win/Environment.h"
#include "win/Files.h"

namespace ornpm {
namespace {

TEST(Text, FormatFillsPlaceholdersInOrder) {
  EXPECT_EQ(Format(L"Ошибка (%s): %s", {L"EFOpenError", L"нет файла"}), L"Ошибка (EFOpenError): нет файла");
  EXPECT_EQ(Format(L"100%% %s", {L"готово"}), L"100% готово");
  // Missing arguments leave the placeholder visible rather than reading past the list.
  EXPECT_EQ(Format(L"%s и %s", {L"одно"}), L"одно и %s");
}

TEST(Text, TrimRemovesControlCharactersAndBlanks) {
  EXPECT_EQ(Trim(L"\t \x01 127.0.0.1 host \r\n"), L"127.0.0.1 host");
  EXPECT_EQ(Trim(L" \t\r\n"), L"");
}

TEST(Text, ComparisonIgnoresLetterCaseIncludingCyrillic) {
  EXPECT_TRUE(SameText(L"/wh", L"/WH"));
  EXPECT_TRUE(SameText(L"Плагин", L"ПЛАГИН"));
  EXPECT_FALSE(SameText(L"/WH2", L"/WH"));
  EXPECT_TRUE(StartsText(L"127.0.0.1", L"127.0.0.1\tHOST"));
  EXPECT_TRUE(EndsText(L"host", L"127.0.0.1\tHOST"));
  EXPECT_FALSE(EndsText(L"longer than text", L"text"));
}

TEST(Text, ComparisonAgreesWithTheSystemOnEveryKindOfCharacter) {
  // ASCII text is compared without asking the system, and must give the system's answer:
  // "[" and "{" differ by the same bit as letters of two cases do.
  const std::pair<std::wstring, std::wstring> pairs[] = {
      {L"Module", L"mODULE"}, {L"[a]", L"{A}"},         {L"@^_", L"`~\x7f"}, {L"Zone Зона", L"ZONE ЗОНА"},
      {L"Зона", L"Зонa"},     {L"é1", L"É1"},           {L"a", L""},         {L"", L""},
      {L"PlugIn", L"Module"}, {L"ModuleЖ", L"MODULEж"},
  };
  for (const auto& [a, b] : pairs) {
    bool system = ::CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()),
                                         TRUE) == CSTR_EQUAL;
    EXPECT_EQ(SameText(a, b), system) << a << L" / " << b;
  }
}

// The system's conversion of the whole text, which ours must give whatever the text holds.
std::string SystemBytes(const std::wstring& text, UINT codePage) {
  std::string bytes(text.size() * 4, '\0');
  bytes.resize(
      static_cast<size_t>(::WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), bytes.data(),
                                                static_cast<int>(bytes.size()), nullptr, nullptr)));
  return bytes;
}

std::wstring SystemText(const std::string& bytes, UINT codePage) {
  std::wstring text(bytes.size(), L'\0');
  text.resize(static_cast<size_t>(::MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()),
                                                        text.data(), static_cast<int>(text.size()))));
  return text;
}

TEST(Text, ConversionsGiveTheSystemsResultForAnyMixOfAsciiAndOtherCharacters) {
  const std::wstring texts[] = {L"C:\\Program Files\\ORN",
                                L"Плагин",
                                L"ORN Плагин v1 \"x\"",
                                std::wstring(L"a\0b", 3),
                                L"中文 ASCII",
                                L"x\U0001F600y",
                                L"0123456789abcdefghЖ tail",
                                L""};
  const std::string byteTexts[] = {"plain",       "abc\xff",   "\xcf\xeb\xe0\xe3\xe8\xed ORN",
                                   "ok \xe2\x82", "\xd0\x9f!", "0123456789abcdefghijklmnopq\xcf tail"};
  for (UINT codePage : {UINT{CP_ACP}, 1251u, UINT{CP_UTF8}}) {
    SCOPED_TRACE(testing::Message() << "code page " << codePage);
    for (const std::wstring& text : texts) {
      EXPECT_EQ(WideToBytes(text, codePage), SystemBytes(text, codePage)) << text;
      EXPECT_EQ(BytesToWide(SystemBytes(text, codePage), codePage), SystemText(SystemBytes(text, codePage), codePage));
    }
    for (const std::string& bytes : byteTexts)
      EXPECT_EQ(BytesToWide(bytes, codePage), SystemText(bytes, codePage)) << bytes;
  }
  std::string bytes = "head ";
  AppendBytes(bytes, L"Плагин");
  EXPECT_EQ(bytes, "head \xcf\xeb\xe0\xe3\xe8\xed");
  std::wstring text = L"head ";
  AppendWide(text, "\xcf ORN");
  EXPECT_EQ(text, L"head П ORN");
}

TEST(Text, AnsiRoundTripUsesTheWorkstationCodePage) {
  const std::wstring text = L"Плагин ORN";
  std::string bytes = WideToBytes(text);
  EXPECT_EQ(bytes.size(), text.size()) << "a single-byte code page is expected under the test locale";
  EXPECT_EQ(BytesToWide(bytes), text);
}

TEST(FileNames, ExtensionAndFolderParts) {
  struct Case {
    const wchar_t* Path;
    const wchar_t* WithIni;
    const wchar_t* Name;
    const wchar_t* Folder;
  };
  const Case cases[] = {
      {L"C:\\Tools\\ornpm.exe", L"C:\\Tools\\ornpm.ini", L"ornpm.exe", L"C:\\Tools\\"},
      {L"C:\\v1.2\\ornpm", L"C:\\v1.2\\ornpm.ini", L"ornpm", L"C:\\v1.2\\"},
      {L"C:\\a\\archive.tar.gz", L"C:\\a\\archive.tar.ini", L"archive.tar.gz", L"C:\\a\\"},
      {L"D:file.dll", L"D:file.ini", L"file.dll", L"D:"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ChangeFileExt(c.Path, L".ini"), c.WithIni) << c.Path;
    EXPECT_EQ(ExtractFileName(c.Path), c.Name) << c.Path;
    EXPECT_EQ(ExtractFilePath(c.Path), c.Folder) << c.Path;
  }
  EXPECT_EQ(IncludeTrailingPathDelimiter(L"C:\\a"), L"C:\\a\\");
  EXPECT_EQ(IncludeTrailingPathDelimiter(L"C:\\a\\"), L"C:\\a\\");
}

// A file written in winter shows winter time, one written in summer summer time, whatever
// the season is now: each by the offset of its own date. Central European time, one hour
// ahead of UTC in winter and two in summer (from the last Sunday of March at 2:00 to the
// last Sunday of October at 3:00).
TEST(FileTimes, LocalTimeTakesTheOffsetOfTheFilesOwnDate) {
  TIME_ZONE_INFORMATION zone{};
  zone.Bias = -60;
  zone.StandardDate = {0, 10, 0, 5, 3, 0, 0, 0};
  zone.DaylightDate = {0, 3, 0, 5, 2, 0, 0, 0};
  zone.DaylightBias = -60;
  const struct {
    SYSTEMTIME Utc;
    WORD LocalDay, LocalHour;
  } cases[] = {
      {{2024, 1, 0, 15, 12, 30, 0, 0}, 15, 13},   // winter
      {{2024, 7, 0, 15, 12, 30, 0, 0}, 15, 14},   // summer
      {{2019, 12, 0, 31, 23, 30, 0, 0}, 1, 0},    // winter, past midnight into the new year
      {{2024, 10, 0, 27, 0, 59, 0, 0}, 27, 2},    // the last minute of summer time
      {{2024, 10, 0, 27, 1, 0, 0, 0}, 27, 2},     // an hour later: winter time again
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.Utc.wYear << "-" << c.Utc.wMonth << "-" << c.Utc.wDay);
    FILETIME time;
    ASSERT_TRUE(::SystemTimeToFileTime(&c.Utc, &time));
    const std::optional<SYSTEMTIME> local = FileTimeToLocal(time, &zone);
    ASSERT_TRUE(local.has_value());
    EXPECT_EQ(local->wDay, c.LocalDay);
    EXPECT_EQ(local->wHour, c.LocalHour);
    EXPECT_EQ(local->wMinute, c.Utc.wMinute);
  }
  EXPECT_FALSE(FileTimeToLocal({0xFFFFFFFF, 0xFFFFFFFF}, &zone).has_value()) << "beyond what a file time can be";
}

}  // namespace
}  // namespace ornpm
