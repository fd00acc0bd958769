// The program started as a process of its own with command-line switches, on a sandboxed
// workstation: exit codes, effects on the hosts file and the registry, what it showed.

#include <aclapi.h>

#include <functional>
#include <gtest/gtest.h>

#include "harness/ChildProcess.h"
#include "harness/Sandbox.h"
#include "win/Environment.h"
#include "win/Handles.h"
#include "win/Text.h"

namespace ornpm {
namespace {

using testing::ChildRun;
using testing::GetRegistryString;
using testing::ReadBinaryFile;
using testing::RunOrnpm;
using testing::SetRegistryDword;
using testing::SetRegistryString;
using testing::WriteBinaryFile;

constexpr wchar_t Title[] = L"ORN PlugIn Manager [VLX]";
constexpr wchar_t InternetSettings[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
constexpr wchar_t AlreadyInHosts[] = L"Информация о домене плагина уже содержится в Hosts";
const std::string Base = "127.0.0.1 localhost\r\n";
const std::string Entry = "127.0.0.1\tornpluginvlx.local\r\n";

class CommandLineTest : public ::testing::Test {
 protected:
  testing::WorkstationSandbox FSandbox;

  void SetUp() override { ResetWorkstation(); }
  void ResetWorkstation() {
    WriteBinaryFile(FSandbox.HostsFile(), Base);
    SetRegistryString(HKEY_CURRENT_USER, InternetSettings, L"ProxyOverride", L"<local>");
  }
  std::string Hosts() { return ReadBinaryFile(FSandbox.HostsFile()); }
  std::optional<std::wstring> ProxyOverride() {
    return GetRegistryString(HKEY_CURRENT_USER, InternetSettings, L"ProxyOverride");
  }
};

TEST_F(CommandLineTest, SwitchTable) {
  struct Case {
    std::vector<std::wstring> Arguments;
    DWORD ExitCode;
    std::string HostsAfter;
    std::wstring ProxyAfter;
    bool Window;        // the run opened the main window instead
    bool AlreadyThere;  // a line says that the hosts entry was there
  };
  const std::wstring proxyWritten = L"<local>;ornpluginvlx.local";
  const Case cases[] = {
      {{L"/WH"}, 0, Base + Entry, L"<local>", false, 0},
      {{L"/wh"}, 0, Base + Entry, L"<local>", false, 0},
      {{L"/WP"}, 0, Base, proxyWritten, false, 0},
      {{L"/Wp", L"/wH"}, 0, Base + Entry, proxyWritten, false, 0},
      {{L"/WHCHECK"}, 1, Base, L"<local>", false, 0},
      {{L"/WHCHECK", L"/WH"}, 1, Base, L"<local>", false, 0},
      {{L"/WH", L"/WHCHECK"}, 0, Base + Entry, L"<local>", false, 0},
      {{L"/WH", L"/WH2"}, 0, Base + Entry, L"<local>", false, 0},
      {{L"/E", L"/WP"}, 0, Base, proxyWritten, false, 0},
      // The second /WH finds the entry: an information line, success.
      {{L"/WH", L"/WH"}, 0, Base + Entry, L"<local>", false, 1},
      // No switch at all: the window opens and nothing is repaired.
      {{L"/WH2"}, 0, Base, L"<local>", true, 0},
      {{L"-WH"}, 0, Base, L"<local>", true, 0},
      {{L"WH"}, 0, Base, L"<local>", true, 0},
      {{L"/E"}, 0, Base, L"<local>", true, 0},
      {{}, 0, Base, L"<local>", true, 0},
  };
  for (const Case& c : cases) {
    std::wstring label;
    for (const std::wstring& argument : c.Arguments) label += argument + L" ";
    SCOPED_TRACE(::testing::Message() << "arguments: " << label);
    ResetWorkstation();
    ChildRun run = RunOrnpm(c.Arguments);
    ASSERT_FALSE(run.TimedOut);
    EXPECT_EQ(run.ExitCode, c.ExitCode);
    EXPECT_EQ(Hosts(), c.HostsAfter);
    EXPECT_EQ(ProxyOverride(), c.ProxyAfter);
    EXPECT_EQ(run.Windows, c.Window ? std::vector<std::wstring>{Title} : std::vector<std::wstring>{});
    EXPECT_TRUE(run.MessageBoxes.empty()) << "a run with switches waits for no one";
    EXPECT_EQ(run.Output, c.AlreadyThere ? std::wstring(AlreadyInHosts) + L"\r\n" : L"");
  }
}

// The person asked for that file: its failure is told, then the window starts as without it.
TEST_F(CommandLineTest, AReportArgumentThatDoesNotLoadIsToldAndTheWindowStartsLive) {
  const std::wstring missing = L"C:\\Reports\\npORNPlugInVLX 2026-12-10 10-00.xinf";
  ChildRun run = RunOrnpm({missing});
  ASSERT_FALSE(run.TimedOut);
  EXPECT_EQ(run.ExitCode, 0u);
  EXPECT_EQ(run.Windows, std::vector<std::wstring>{Title});
  ASSERT_EQ(run.MessageBoxes.size(), 1u);
  EXPECT_NE(run.MessageBoxes[0].Text.find(missing), std::wstring::npos) << testing::Narrow(run.MessageBoxes[0].Text);
}

// The same for a file that is no report; one cut off before its end opens with a warning
// saying where it ends.
TEST_F(CommandLineTest, ADamagedReportArgumentIsTold) {
  const struct {
    const wchar_t* Name;
    std::string Bytes;
    const wchar_t* Caption;
    const wchar_t* Says;  // after the file's name
  } cases[] = {
      {L"other.xinf", "<foo/>", L"Ошибка", L"повреждён"},
      {L"cut.xinf",
       "<Info>\r\n  <PlugIn Path=\"C:\\np.dll\" Version=\"7\" DomainInHosts=\"True\">\r\n    <Processes>\r\n",
       L"Предупреждение", L"неполный: он обрывается в строке 3 внутри элемента Processes"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Narrow(c.Name));
    const std::wstring report = FSandbox.Root() + L"\\" + c.Name;
    WriteBinaryFile(report, c.Bytes);
    ChildRun run = RunOrnpm({report});
    ASSERT_FALSE(run.TimedOut);
    EXPECT_EQ(run.ExitCode, 0u);
    EXPECT_EQ(run.Windows, std::vector<std::wstring>{Title});
    ASSERT_EQ(run.MessageBoxes.size(), 1u);
    EXPECT_EQ(run.MessageBoxes[0].Caption, c.Caption);
    EXPECT_NE(run.MessageBoxes[0].Text.find(report + L"\" " + c.Says), std::wstring::npos)
        << testing::Narrow(run.MessageBoxes[0].Text);
  }
}

// A logon script or a deployment job never stops on a message box: an entry already there
// and an error are lines on the stream the caller redirected, or on the console of the
// process that started the run.
TEST_F(CommandLineTest, ARunWithSwitchesShowsNoMessageBox) {
  const struct {
    const char* Name;
    std::wstring Switch;
    bool Redirected;
    DWORD ExitCode;
    std::wstring Output;  // when redirected
  } cases[] = {
      {"entry there, redirected", L"/WP", true, 0,
       L"Информация о домене плагина уже содержится в исключениях прокси-сервера\r\n"},
      {"entry there, the starting console", L"/WP", false, 0, L""},
      {"no hosts file, the starting console", L"/WH", false, 1, L""},
  };
  SetRegistryString(HKEY_CURRENT_USER, InternetSettings, L"ProxyOverride", L"ornpluginvlx.local");
  ::DeleteFileW(FSandbox.HostsFile().c_str());
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    testing::ChildOptions options;
    options.RedirectOutput = c.Redirected;
    ChildRun run = RunOrnpm({c.Switch}, options);
    ASSERT_FALSE(run.TimedOut);
    EXPECT_EQ(run.ExitCode, c.ExitCode);
    EXPECT_TRUE(run.MessageBoxes.empty());
    if (c.Redirected) {
      EXPECT_EQ(run.Output, c.Output);
    }
  }
}

TEST_F(CommandLineTest, FailuresEndTheRunWithCodeOneAndAnErrorOnTheErrorStream) {
  struct Case {
    const char* Name;
    std::vector<std::wstring> Arguments;
    std::function<void()> Prepare;
    std::wstring OutputStart;
  };
  UniqueFileHandle reader;
  const Case cases[] = {
      {"hosts file missing, /WH",
       {L"/WH", L"/WP"},
       [&] { ::DeleteFileW(FSandbox.HostsFile().c_str()); },
       L"Не удалось открыть файл"},
      {"hosts file missing, /WHCHECK",
       {L"/WHCHECK"},
       [&] { ::DeleteFileW(FSandbox.HostsFile().c_str()); },
       L"Не удалось открыть файл"},
      {"hosts file held open by a reader",
       {L"/WH", L"/WP"},
       [&] {
         reader.Reset(::CreateFileW(FSandbox.HostsFile().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    0, nullptr));
       },
       L"Ошибка записи информации о домене плагина в Hosts (EFOpenError): Не удалось открыть файл"},
      {"proxy exceptions of another type",
       {L"/WP", L"/WH"},
       [&] { SetRegistryDword(HKEY_CURRENT_USER, InternetSettings, L"ProxyOverride", 5); },
       L"Неверный тип данных параметра \"ProxyOverride\""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    ResetWorkstation();
    c.Prepare();
    ChildRun run = RunOrnpm(c.Arguments);
    reader.Reset();
    ASSERT_FALSE(run.TimedOut);
    EXPECT_EQ(run.ExitCode, 1u);
    EXPECT_EQ(run.Output.substr(0, c.OutputStart.size()), c.OutputStart) << "got: " << run.Output;
    EXPECT_TRUE(run.MessageBoxes.empty());
    EXPECT_TRUE(run.Windows.empty());
    if (::GetFileAttributesW(FSandbox.HostsFile().c_str()) != INVALID_FILE_ATTRIBUTES) {
      EXPECT_EQ(Hosts(), Base) << "the run stopped at the failing switch";
    }
  }
}

TEST_F(CommandLineTest, ProxyListKeepsItsTypeAndIsNeverCutShort) {
  struct Stored {
    DWORD Type;
    std::string Bytes;
    bool operator==(const Stored&) const = default;
  };
  auto bytesOf = [](std::wstring_view text) {
    return std::string(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
  };
  auto read = [] {
    Stored stored;
    DWORD size = 0;
    ::RegGetValueW(HKEY_CURRENT_USER, InternetSettings, L"ProxyOverride", RRF_RT_ANY | RRF_NOEXPAND, &stored.Type,
                   nullptr, &size);
    stored.Bytes.resize(size);
    ::RegGetValueW(HKEY_CURRENT_USER, InternetSettings, L"ProxyOverride", RRF_RT_ANY | RRF_NOEXPAND, &stored.Type,
                   stored.Bytes.data(), &size);
    return stored;
  };
  const std::string appended = bytesOf(std::wstring(L"%LIST%;ornpluginvlx.local\0", 26));
  struct Case {
    const char* Name;
    Stored Before;
    DWORD ExitCode;
    Stored After;  // empty bytes: as before
  };
  const Case cases[] = {
      {"expandable string", {REG_EXPAND_SZ, bytesOf(std::wstring(L"%LIST%\0", 7))}, 0, {REG_EXPAND_SZ, appended}},
      {"string without its terminating null", {REG_SZ, bytesOf(L"%LIST%")}, 0, {REG_SZ, appended}},
      {"null inside", {REG_SZ, bytesOf(std::wstring(L"a\0b\0", 4))}, 1, {}},
      {"odd byte count", {REG_SZ, bytesOf(L"a;b").substr(0, 5)}, 1, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    testing::SetRegistryValue(HKEY_CURRENT_USER, InternetSettings, L"ProxyOverride", c.Before.Type,
                              c.Before.Bytes.data(), static_cast<DWORD>(c.Before.Bytes.size()));
    ChildRun run = RunOrnpm({L"/WP"});
    EXPECT_EQ(run.ExitCode, c.ExitCode) << testing::Narrow(run.Output);
    EXPECT_EQ(read(), c.After.Bytes.empty() ? c.Before : c.After);
    if (c.ExitCode != 0) {
      EXPECT_NE(run.Output.find(L"оставлен без изменений"), std::wstring::npos) << testing::Narrow(run.Output);
    }
  }
}

TEST_F(CommandLineTest, ProxyKeyWithoutWriteAccessFails) {
  // Everyone may read the key but not set its values.
  UniqueHKey key;
  ASSERT_EQ(::RegOpenKeyExW(HKEY_CURRENT_USER, InternetSettings, 0, READ_CONTROL | WRITE_DAC, key.Put()),
            ERROR_SUCCESS);
  EXPLICIT_ACCESSW entries[2]{};
  BuildExplicitAccessWithNameW(&entries[0], const_cast<wchar_t*>(L"EVERYONE"), KEY_SET_VALUE, DENY_ACCESS,
                               NO_INHERITANCE);
  BuildExplicitAccessWithNameW(&entries[1], const_cast<wchar_t*>(L"EVERYONE"), KEY_READ | WRITE_DAC | DELETE,
                               GRANT_ACCESS, NO_INHERITANCE);
  PACL acl = nullptr;
  ASSERT_EQ(::SetEntriesInAclW(2, entries, nullptr, &acl), ERROR_SUCCESS);
  UniqueLocalMem aclOwner(acl);
  ASSERT_EQ(::SetSecurityInfo(key.Get(), SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, nullptr, nullptr, acl, nullptr),
            ERROR_SUCCESS);

  ChildRun run = RunOrnpm({L"/WP", L"/WH"});
  EXPECT_EQ(run.ExitCode, 1u);
  EXPECT_EQ(
      run.Output.rfind(L"Ошибка записи информации о домене плагина в исключения прокси-сервера (ERegistryException): "
                       L"Не удалось открыть раздел реестра",
                       0),
      0u)
      << testing::Narrow(run.Output);
  EXPECT_EQ(ProxyOverride(), L"<local>");
  EXPECT_EQ(Hosts(), Base) << "the run stopped at the failing switch";
  ::RegDeleteTreeW(HKEY_CURRENT_USER, InternetSettings);  // the sandbox must be able to remove it
}

TEST_F(CommandLineTest, HostsAppendThatRunsOutOfDiskLeavesTheFileAsItWas) {
  // 1,010 bytes: the entry crosses a 1 KB limit part-way; a roomy limit shows the route works.
  const std::string hosts = "# " + std::string(1006, '#') + "\r\n";
  struct Case {
    unsigned LimitKb;
    DWORD ExitCode;
    std::string HostsAfter;
  };
  for (const Case& c : {Case{1, 1, hosts}, Case{64, 0, hosts + Entry}}) {
    SCOPED_TRACE(c.LimitKb);
    WriteBinaryFile(FSandbox.HostsFile(), hosts);
    ChildRun run = testing::RunOrnpmOnFullDisk({L"/WH"}, c.LimitKb);
    ASSERT_FALSE(run.TimedOut);
    EXPECT_EQ(run.ExitCode, c.ExitCode) << testing::Narrow(run.Output);
    EXPECT_EQ(Hosts(), c.HostsAfter);
    if (c.ExitCode != 0) {
      EXPECT_NE(run.Output.find(L"Ошибка записи информации о домене плагина в Hosts (EInOutError)"), std::wstring::npos)
          << testing::Narrow(run.Output);
      EXPECT_NE(run.Output.find(L"Файл оставлен без изменений."), std::wstring::npos) << testing::Narrow(run.Output);
    }
  }
}

// An error that nothing foresaw ends a run with switches on the error stream: no one may be
// there to close a message box. Here the scratch registry cannot be set up (a key name
// over the system's limit), which fails before any switch has run, in the program's last
// catch. Without a switch the same error is shown, as the window's errors are.
TEST_F(CommandLineTest, AnUnforeseenErrorOfARunWithSwitchesIsWrittenNotShown) {
  testing::EnvironmentOverride environment;
  environment.Set(L"ORNPM_REGISTRY_ROOT", std::wstring(300, L'k'));
  const std::wstring report = FSandbox.Root() + L"\\report.xinf";
  const std::vector<std::wstring> runs[] = {
      {L"/WH"}, {L"/wp"}, {L"/WHCHECK"}, {L"/REPORT", report}, {L"/E", L"/TABLE", report + L".csv", report}};
  for (const std::vector<std::wstring>& arguments : runs) {
    SCOPED_TRACE(testing::Narrow(arguments.front()));
    ChildRun run = RunOrnpm(arguments);
    ASSERT_FALSE(run.TimedOut);
    EXPECT_EQ(run.ExitCode, 1u);
    EXPECT_TRUE(run.MessageBoxes.empty());
    EXPECT_TRUE(run.Windows.empty());
    EXPECT_NE(run.Output, L"");
    EXPECT_EQ(run.Output.find(L"\r\n"), run.Output.size() - 2) << "one line: " << testing::Narrow(run.Output);
    EXPECT_EQ(Hosts(), Base);
  }
  ChildRun run = RunOrnpm({L"/E"});
  ASSERT_FALSE(run.TimedOut);
  EXPECT_EQ(run.ExitCode, 1u);
  ASSERT_EQ(run.MessageBoxes.size(), 1u);
  EXPECT_EQ(run.MessageBoxes[0].Caption, L"Ошибка");
  EXPECT_EQ(run.MessageBoxes[0].Text + L"\r\n", RunOrnpm({L"/WH"}).Output) << "the same text either way";
}

TEST_F(CommandLineTest, ReportSwitchWritesTheDiagnosisWithoutAWindow) {
  const std::wstring folder = FSandbox.Root() + L"\\Program Files (x86)\\ORN\\";
  testing::InstallPlugIn(folder);
  // An empty log pattern makes gathering warn: the warning must not become a dialog.
  WriteBinaryFile(folder + L"npORNPlugInVLX.ini", "[Log]\r\nFileName=\r\n");

  const std::wstring xml = FSandbox.Root() + L"\\out dir\\report.XINF";
  ::CreateDirectoryW((FSandbox.Root() + L"\\out dir").c_str(), nullptr);
  const std::wstring html = FSandbox.Root() + L"\\out dir\\report.htm";
  ChildRun run = RunOrnpm({L"/report", xml, L"/REPORT", html, L"/WH"});
  ASSERT_FALSE(run.TimedOut);
  EXPECT_EQ(run.ExitCode, 0u);
  EXPECT_TRUE(run.Windows.empty());
  EXPECT_TRUE(run.MessageBoxes.empty());
  EXPECT_NE(run.Output.find(L"Предупреждение: Путь к файлам журналирования и формат имени не заданы!"),
            std::wstring::npos)
      << testing::Narrow(run.Output);
  std::string report = ReadBinaryFile(xml);
  EXPECT_EQ(report.rfind("<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n<Info>\r\n  <PlugIn Path=\"", 0), 0u);
  EXPECT_NE(report.find("Version=\"10.0.2.123\""), std::string::npos);
  std::string page = ReadBinaryFile(html);
  EXPECT_NE(page.find("<meta charset=\"windows-1251\">"), std::string::npos);
  EXPECT_NE(page.find("\xC8\xED\xF4\xEE\xF0\xEC\xE0\xF6\xE8\xFF"), std::string::npos)
      << "\"Информация\" in code page 1251";
  EXPECT_EQ(Hosts(), Base + Entry) << "the switches after /REPORT still run";
}

// An INI report saved again by a text editor as UTF-16 or UTF-8 with a mark opens as it is:
// the window shows it, with no message.
TEST_F(CommandLineTest, IniReportInUnicodeOpensTheWindow) {
  SetRegistryDword(HKEY_CURRENT_USER, std::wstring(InternetSettings) + L"\\Zones\\3", L"1001", 3);
  const std::wstring written = FSandbox.Root() + L"\\written.iinf";
  ASSERT_EQ(RunOrnpm({L"/REPORT", written}).ExitCode, 0u);
  const std::wstring text = BytesToWide(ReadBinaryFile(written));
  for (const std::string& bytes : {testing::Utf16WithMark(text), testing::Utf8WithMark(text)}) {
    const std::wstring report = FSandbox.Root() + L"\\edited.iinf";
    WriteBinaryFile(report, bytes);
    ChildRun run = RunOrnpm({report});
    ASSERT_FALSE(run.TimedOut);
    EXPECT_EQ(run.ExitCode, 0u);
    EXPECT_EQ(run.Windows, std::vector<std::wstring>{Title});
    EXPECT_TRUE(run.MessageBoxes.empty()) << testing::Narrow(run.MessageBoxes.empty() ? L"" : run.MessageBoxes[0].Text);
  }
}

TEST_F(CommandLineTest, ReportSwitchErrors) {
  struct Case {
    std::vector<std::wstring> Arguments;
    std::wstring Output;
  };
  const Case cases[] = {
      {{L"/REPORT"}, L"Не указано имя файла отчёта\r\n"},
      {{L"/REPORT", FSandbox.Root() + L"\\report.txt", L"/WH"},
       L"Неподдерживаемый формат файла отчёта: " + FSandbox.Root() + L"\\report.txt\r\n"},
      {{L"/REPORT", FSandbox.Root() + L"\\missing\\report.xinf"}, L"Ошибка записи отчёта (EFCreateError): "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Narrow(c.Output));
    ChildRun run = RunOrnpm(c.Arguments);
    EXPECT_EQ(run.ExitCode, 1u);
    EXPECT_NE(run.Output.find(c.Output), std::wstring::npos) << testing::Narrow(run.Output);
    EXPECT_TRUE(run.Windows.empty());
    EXPECT_EQ(Hosts(), Base) << "a failing switch ends the run";
  }
}

// Each message names the report asked for, never the temporary file it is written through.
TEST_F(CommandLineTest, ReportThatCannotBeWrittenLeavesTheOldFileAlone) {
  const std::wstring locked = FSandbox.Root() + L"\\report.xinf";
  const std::wstring folder = FSandbox.Root() + L"\\a folder.iinf";
  const std::wstring missing = FSandbox.Root() + L"\\no such folder\\report.html";
  WriteBinaryFile(locked, "old report");
  ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
  // Another program holds the old report open: it cannot be replaced.
  UniqueFileHandle holder(
      ::CreateFileW(locked.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(holder);
  for (const std::wstring& report : {locked, folder, missing}) {
    SCOPED_TRACE(testing::Narrow(report));
    ChildRun run = RunOrnpm({L"/REPORT", report});
    EXPECT_EQ(run.ExitCode, 1u);
    EXPECT_NE(run.Output.find(L"Ошибка записи отчёта (EFCreateError): "), std::wstring::npos)
        << testing::Narrow(run.Output);
    EXPECT_NE(run.Output.find(L"\"" + report + L"\""), std::wstring::npos) << testing::Narrow(run.Output);
    EXPECT_EQ(run.Output.find(L".~"), std::wstring::npos) << testing::Narrow(run.Output);
  }
  holder.Reset();
  EXPECT_EQ(ReadBinaryFile(locked), "old report");
  EXPECT_TRUE(DirectoryExists(folder));
  WIN32_FIND_DATAW found;
  HANDLE search = ::FindFirstFileW((FSandbox.Root() + L"\\*.~*").c_str(), &found);
  EXPECT_EQ(search, INVALID_HANDLE_VALUE) << "no temporary file is left behind";
  if (search != INVALID_HANDLE_VALUE) ::FindClose(search);
}

// The disk fills while the new report is written: the old report stays byte for byte and
// the partly written temporary file goes; a roomy limit shows the same route succeeds.
TEST_F(CommandLineTest, ReportThatRunsOutOfDiskLeavesTheOldFileAsItWas) {
  testing::InstallPlugIn(FSandbox.Root() + L"\\Program Files (x86)\\ORN\\");  // a report of several KB
  const std::wstring report = FSandbox.Root() + L"\\report.xinf";
  const std::string old = "old report\r\n";
  for (const unsigned limitKb : {1u, 4096u}) {
    SCOPED_TRACE(limitKb);
    WriteBinaryFile(report, old);
    ChildRun run = testing::RunOrnpmOnFullDisk({L"/REPORT", report}, limitKb);
    ASSERT_FALSE(run.TimedOut);
    WIN32_FIND_DATAW found;
    HANDLE search = ::FindFirstFileW((FSandbox.Root() + L"\\*.~*").c_str(), &found);
    EXPECT_EQ(search, INVALID_HANDLE_VALUE) << "no temporary file is left behind";
    if (search != INVALID_HANDLE_VALUE) ::FindClose(search);
    if (limitKb == 1) {
      EXPECT_EQ(run.ExitCode, 1u) << testing::Narrow(run.Output);
      EXPECT_NE(run.Output.find(L"Ошибка записи отчёта"), std::wstring::npos) << testing::Narrow(run.Output);
      EXPECT_NE(run.Output.find(L"\"" + report + L"\""), std::wstring::npos) << testing::Narrow(run.Output);
      EXPECT_EQ(ReadBinaryFile(report), old);
    } else {
      EXPECT_EQ(run.ExitCode, 0u) << testing::Narrow(run.Output);
      const std::string written = ReadBinaryFile(report);
      EXPECT_GT(written.size(), 1024u) << "the small limit cuts the report part-way";
      EXPECT_EQ(written.rfind("<?xml ", 0), 0u);
    }
  }
}

}  // namespace
}  // namespace ornpm
