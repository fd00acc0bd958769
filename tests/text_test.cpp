#include "win/Text.h"

#include <gtest/gtest.h>

#include "win/Environment.h"

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

}  // namespace
}  // namespace ornpm
