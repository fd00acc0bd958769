#include "service/Hosts.h"

#include <gtest/gtest.h>

#include "harness/FakeUserInteraction.h"
#include "harness/Sandbox.h"
#include "win/Exceptions.h"
#include "win/Handles.h"

namespace ornpm {
namespace {

using testing::ReadBinaryFile;
using testing::WriteBinaryFile;

const std::string Entry = "127.0.0.1\tornpluginvlx.local\r\n";

class HostsTest : public ::testing::Test {
 protected:
  testing::WorkstationSandbox FSandbox;
  testing::FakeUserInteraction FUser;

  void WriteHosts(const std::string& bytes) { WriteBinaryFile(FSandbox.HostsFile(), bytes); }
  std::string Hosts() { return ReadBinaryFile(FSandbox.HostsFile()); }
};

TEST_F(HostsTest, FileNameFollowsWindir) {
  EXPECT_EQ(GetHostsFileName(), FSandbox.WindowsFolder() + L"\\System32\\Drivers\\etc\\hosts");
}

TEST_F(HostsTest, PresenceIsAPrefixAndSuffixTestOnTrimmedLines) {
  struct Case {
    const char* Name;
    std::string Content;
    bool Present;
  };
  const Case cases[] = {
      {"blanks and tab around", "# hosts\r\n   127.0.0.1\tornpluginvlx.local   \r\n", true},
      {"other letter case", "127.0.0.1 ORNPlugInVLX.Local\n", true},
      {"longer name ending in the domain", "127.0.0.1 my-ornpluginvlx.local\n", true},
      {"lines separated by CR only", "a\r127.0.0.1 ornpluginvlx.local\rb", true},
      {"last line without break", "::1 localhost\r\n127.0.0.1 ornpluginvlx.local", true},
      {"commented out", "# 127.0.0.1 ornpluginvlx.local\r\n", false},
      {"other address", "127.0.0.2 ornpluginvlx.local\r\n", false},
      {"domain followed by more", "127.0.0.1 ornpluginvlx.local.example\r\n", false},
      {"trailing comment", "127.0.0.1 ornpluginvlx.local # plug-in\r\n", false},
      // Read as ANSI text the mark belongs to the first line, which then does not start with the address.
      {"byte-order mark before the entry",
       "\xEF\xBB\xBF"
       "127.0.0.1 ornpluginvlx.local\r\n",
       false},
      {"empty file", "", false},
  };
  for (const Case& c : cases) {
    WriteHosts(c.Content);
    EXPECT_EQ(IsPlugInDomainInHosts(), c.Present) << c.Name;
  }
}

TEST_F(HostsTest, WriteAppendsExactlyOneLineAndKeepsEveryOldByte) {
  struct Case {
    const char* Name;
    std::string Before;
    std::string Appended;
  };
  const Case cases[] = {
      {"last line without break", "127.0.0.1 localhost", "\r\n" + Entry},
      {"ends in LF", "127.0.0.1 localhost\n", Entry},
      {"ends in CR LF", "127.0.0.1 localhost\r\n", Entry},
      {"ends in CR", "127.0.0.1 localhost\r", "\r\n" + Entry},
      {"empty", "", Entry},
      {"UTF-8 byte-order mark", "\xEF\xBB\xBF# hosts\r\n", Entry},
      {"entry commented out", "# 127.0.0.1 ornpluginvlx.local\n", Entry},
  };
  for (const Case& c : cases) {
    WriteHosts(c.Before);
    EXPECT_EQ(WritePlugInDomainToHosts(false), 0) << c.Name;
    EXPECT_EQ(Hosts(), c.Before + c.Appended) << c.Name;
    EXPECT_TRUE(IsPlugInDomainInHosts()) << c.Name;
  }
  EXPECT_TRUE(FUser.Messages.empty()) << "a successful write says nothing";
}

TEST_F(HostsTest, EntryAlreadyThereIsReportedAndNothingWritten) {
  const std::string before = "127.0.0.1\tornpluginvlx.local\r\n";
  WriteHosts(before);
  EXPECT_EQ(WritePlugInDomainToHosts(false), 0);
  ASSERT_EQ(FUser.Messages.size(), 1u) << "shown as a dialog from the window";
  EXPECT_EQ(FUser.Messages[0].Kind, TMsgKind::Information);
  EXPECT_EQ(FUser.Messages[0].Text, L"Информация о домене плагина уже содержится в Hosts");
  EXPECT_EQ(FUser.Messages[0].Buttons, TMsgButtons::Ok);
  // A run with switches that has an error stream (this test's) writes the line there.
  FUser.Messages.clear();
  EXPECT_EQ(WritePlugInDomainToHosts(true), 0);
  EXPECT_TRUE(FUser.Messages.empty()) << "nothing waits for a click";
  EXPECT_EQ(Hosts(), before);
}

TEST_F(HostsTest, FileThatCannotBeWrittenIsReportedAndLeftUnchanged) {
  const std::string before = "127.0.0.1 localhost\r\n";
  WriteHosts(before);
  // Another program reading the file without sharing write access keeps us from writing.
  UniqueFileHandle reader(
      ::CreateFileW(FSandbox.HostsFile().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(reader);

  EXPECT_EQ(WritePlugInDomainToHosts(false), 1);
  ASSERT_EQ(FUser.Messages.size(), 1u);
  EXPECT_EQ(FUser.Messages[0].Kind, TMsgKind::Error);
  const std::wstring prefix = L"Ошибка записи информации о домене плагина в Hosts (EFOpenError): ";
  EXPECT_EQ(FUser.Messages[0].Text.substr(0, prefix.size()), prefix);
  EXPECT_NE(FUser.Messages[0].Text.find(FSandbox.HostsFile()), std::wstring::npos) << "names the file";
  reader.Reset();
  EXPECT_EQ(Hosts(), before);
}

TEST_F(HostsTest, UnreadableFileRaisesFromTheCheckAndTheWrite) {
  // No hosts file at all.
  EXPECT_THROW(IsPlugInDomainInHosts(), EFOpenError);
  EXPECT_THROW(WritePlugInDomainToHosts(false), EFOpenError);
  // A folder in its place.
  ASSERT_TRUE(::CreateDirectoryW(FSandbox.HostsFile().c_str(), nullptr));
  EXPECT_THROW(WritePlugInDomainToHosts(false), EFOpenError);
  EXPECT_TRUE(FUser.Messages.empty()) << "the presence check reports nothing itself";
}

}  // namespace
}  // namespace ornpm
