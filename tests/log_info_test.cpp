// The plug-in's logging settings: its INI files, the resolved folders, saving with the
// process question, and the report sections.

#include <aclapi.h>

#include <gtest/gtest.h>

#include "harness/ChildProcess.h"
#include "harness/FakeUserInteraction.h"
#include "harness/Sandbox.h"
#include "harness/Waiting.h"
#include "service/IniFile.h"
#include "service/LogInfo.h"
#include "service/PlugInInfo.h"
#include "win/Environment.h"
#include "win/Exceptions.h"
#include "win/Handles.h"
#include "win/Text.h"

namespace ornpm {
namespace {

using testing::FixturePath;
using testing::ReadBinaryFile;
using testing::WriteBinaryFile;

class LogInfoTest : public ::testing::Test {
 protected:
  testing::WorkstationSandbox FSandbox;
  testing::FakeUserInteraction FUser;
  TPlugInInfo FPlugIn{L"application/x-ORN-plugin-VLX", L"ORNPlugin.ORNControlVLX"};
  TLogInfo FLog{&FPlugIn};
  std::wstring FFolder;  // the DLL's folder, with trailing backslash

  void SetUp() override {
    WriteBinaryFile(FSandbox.HostsFile(), "");
    FFolder = FSandbox.Root() + L"\\Program Files (x86)\\ORN\\";
    testing::InstallPlugIn(FFolder);
    ASSERT_TRUE(FPlugIn.Load());
  }
  std::wstring PlugInIni() const { return FFolder + L"npORNPlugInVLX.ini"; }
  std::wstring HostIni() const { return FFolder + L"ornPluginHostVLX.ini"; }
};

TEST(LogFileName, SplitHidesTheLibNameSubFolder) {
  struct Case {
    const wchar_t* Stored;
    const wchar_t* Folder;
    const wchar_t* Name;
  };
  const Case cases[] = {
      {L"C:\\Logs\\%LibName%\\app.log", L"C:\\Logs\\", L"app.log"},
      {L"C:\\Logs\\%libname%\\app.log", L"C:\\Logs\\", L"app.log"},
      {L"C:\\Logs\\app.log", L"C:\\Logs\\", L"app.log"},
      {L"app.log", L"", L"app.log"},
      {L"C:\\Logs\\", L"C:\\Logs\\", L""},
      {L"%LibName%\\x.log", L"", L"x.log"},
  };
  for (const Case& c : cases) {
    std::wstring folder, name;
    SplitLogFileName(c.Stored, folder, name);
    EXPECT_EQ(folder, c.Folder) << testing::Narrow(c.Stored);
    EXPECT_EQ(name, c.Name) << testing::Narrow(c.Stored);
  }
}

TEST_F(LogInfoTest, LoadReadsTheStoredPatternFromEitherKey) {
  struct Case {
    const char* Content;
    bool Enabled;
    std::wstring Folder;
    std::wstring Name;
    bool Warned;
  };
  const Case cases[] = {
      {"[Log]\r\nFileName=C:\\Logs\\%LibName%\\app.log\r\n", true, L"C:\\Logs\\", L"app.log", false},
      {"[Log]\r\n_FileName=C:\\Logs\\app.log\r\n", false, L"C:\\Logs\\", L"app.log", false},
      {"[Log]\r\nFileName=a.log\r\n_FileName=C:\\Other\\b.log\r\n", true, DefaultLogFilePath, L"a.log", false},
      {"[Log]\r\nFileName=\r\n", true, DefaultLogFilePath, DefaultLogFileName, true},
      {"[Log]\r\n_FileName=C:\\Logs\\\r\n", false, L"C:\\Logs\\", DefaultLogFileName, false},
      {"[Other]\r\nx=1\r\n", false, DefaultLogFilePath, DefaultLogFileName, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Content);
    FUser.Messages.clear();
    WriteBinaryFile(PlugInIni(), c.Content);
    ASSERT_TRUE(FLog.Load());
    EXPECT_EQ(FLog.Enabled(), c.Enabled);
    EXPECT_EQ(FLog.LogFilePath(), c.Folder);
    EXPECT_EQ(FLog.LogFileName(), c.Name);
    EXPECT_FALSE(FLog.Changed());
    ASSERT_EQ(FUser.Messages.size(), c.Warned ? 1u : 0u);
    if (c.Warned) {
      EXPECT_EQ(FUser.Messages[0].Kind, TMsgKind::Warning);
      EXPECT_EQ(FUser.Messages[0].Text,
                L"Путь к файлам журналирования и формат имени не заданы!\r\n"
                L"Они будут проинициализированы значениями по умолчанию.");
    }
  }
  ::DeleteFileW(PlugInIni().c_str());
  EXPECT_FALSE(FLog.Load());
  EXPECT_FALSE(FLog.Enabled());
  EXPECT_EQ(FLog.IniFileName(), PlugInIni());
}

TEST_F(LogInfoTest, FolderPatternResolution) {
  const std::wstring appData = FSandbox.AppDataFolder();
  ::CreateDirectoryW((appData + L"\\ORN").c_str(), nullptr);
  struct Case {
    std::wstring Pattern;
    std::wstring Actual;
    std::wstring Existing;
  };
  const Case cases[] = {
      {L"%AppData%\\ORN\\ORNPlugInVLX\\Logs", appData + L"\\ORN\\ORNPlugInVLX\\", appData + L"\\ORN\\"},
      {L"%FullLibName|Dir%logs\\", FFolder + L"logs\\", FFolder},
      {L"%FullLibName%", FFolder, FFolder},
      {L"%AppData%\\%libname%\\", appData + L"\\npORNPlugInVLX\\", appData + L"\\"},
      {L"%AppData%\\%DateTime|yyyy%%PID%\\", appData + L"\\\\", appData + L"\\\\"},
      {L"%AppData%\\x\\%AppData", appData + L"\\x\\", appData + L"\\"},
      {L"Q:\\nowhere\\logs\\", L"Q:\\nowhere\\logs\\", L""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Narrow(c.Pattern));
    FLog.SetLogFilePath(c.Pattern);
    EXPECT_EQ(FLog.ActualLogPath(), c.Actual);
    EXPECT_EQ(FLog.ExistingPath(), c.Existing);
    EXPECT_EQ(FLog.PathAccess(), !c.Existing.empty());
  }
  EXPECT_EQ(GetExistingPath(L""), L"");
  EXPECT_TRUE(FUser.Messages.empty());
}

TEST_F(LogInfoTest, SettersRecordChangesButNotLetterCase) {
  WriteBinaryFile(PlugInIni(), "[Log]\r\nFileName=C:\\Logs\\%LibName%\\app.log\r\n");
  ASSERT_TRUE(FLog.Load());
  FLog.SetLogFilePath(L"c:\\LOGS\\");
  FLog.SetLogFileName(L"APP.LOG");
  EXPECT_FALSE(FLog.Changed());
  EXPECT_EQ(FLog.LogFilePath(), L"C:\\Logs\\");
  FLog.SetEnabled(false);
  FLog.SetEnabled(true);
  EXPECT_TRUE(FLog.Changed()) << "off and on again still counts";
}

TEST_F(LogInfoTest, SaveSwapsTheKeyInBothFilesAndKeepsEverythingElse) {
  const std::string before =
      "; plug-in settings\r\n[Main]\r\nPort = 8080\r\n\r\n[Log]\r\nLevel=3\r\n_FileName=C:\\Logs\\app.log\r\n";
  WriteBinaryFile(PlugInIni(), before);
  ASSERT_TRUE(FLog.Load());
  FLog.SetEnabled(true);
  FLog.Save(false);
  EXPECT_FALSE(FLog.Changed());
  const std::string after = ReadBinaryFile(PlugInIni());
  EXPECT_NE(after.find("; plug-in settings\r\n[Main]\r\nPort = 8080\r\n\r\n[Log]\r\nLevel=3\r\n"), std::string::npos)
      << after;
  EXPECT_NE(after.find("FileName=C:\\Logs\\%LibName%\\app.log"), std::string::npos) << after;
  EXPECT_EQ(after.find("_FileName"), std::string::npos) << after;
  TIniFile host(HostIni());
  EXPECT_EQ(host.ReadString(L"Log", L"FileName", L""), L"C:\\Logs\\%LibName%\\app.log") << "created beside the DLL";
  ASSERT_EQ(FUser.Messages.size(), 1u);
  EXPECT_EQ(FUser.Messages[0].Kind, TMsgKind::Information);
  EXPECT_EQ(FUser.Messages[0].Text, L"Выполнено.");

  FLog.SetEnabled(false);
  FLog.Save(false);
  TIniFile plugIn(PlugInIni());
  EXPECT_FALSE(plugIn.ValueExists(L"Log", L"FileName"));
  EXPECT_EQ(plugIn.ReadString(L"Log", L"_FileName", L""), L"C:\\Logs\\%LibName%\\app.log");
  FUser.Messages.clear();
  FLog.Save(false);
  EXPECT_TRUE(FUser.Messages.empty()) << "nothing changed, nothing saved";
}

// A plug-in INI file saved as UTF-16 or as UTF-8 with a mark: read as the plug-in reads it,
// and written back in its own encoding, with one [Log] section that the plug-in then reads.
TEST_F(LogInfoTest, UnicodePlugInFileIsReadAndWrittenInItsOwnEncoding) {
  const std::wstring before = L"[Log]\r\nFileName=D:\\日志\\%LibName%\\x.log\r\n";
  const std::wstring after = L"[Log]\r\n_FileName=D:\\日志\\%LibName%\\x.log\r\n";
  for (auto encode : {testing::Utf16WithMark, testing::Utf8WithMark}) {
    WriteBinaryFile(PlugInIni(), encode(before));
    ASSERT_TRUE(FLog.Load());
    EXPECT_TRUE(FLog.Enabled());
    EXPECT_EQ(FLog.LogFilePath(), L"D:\\日志\\");
    EXPECT_EQ(FLog.LogFileName(), L"x.log");
    FLog.SetEnabled(false);
    FUser.Messages.clear();
    FLog.Save(false);
    EXPECT_EQ(ReadBinaryFile(PlugInIni()), encode(after));
    wchar_t read[MAX_PATH] = {};
    ::GetPrivateProfileStringW(L"Log", L"_FileName", L"", read, MAX_PATH, PlugInIni().c_str());
    EXPECT_STREQ(read, L"D:\\日志\\%LibName%\\x.log");
    ASSERT_EQ(FUser.Messages.size(), 1u);
    EXPECT_EQ(FUser.Messages[0].Text, L"Выполнено.");
  }
}

TEST_F(LogInfoTest, SaveEndsThePlugInsProcessesOnYesAndRestartsTheHost) {
  WriteBinaryFile(PlugInIni(), "[Log]\r\n_FileName=C:\\Logs\\app.log\r\n");
  ASSERT_TRUE(FLog.Load());
  const std::wstring hostExe = FFolder + L"ornPluginHostVLX.exe";
  ASSERT_TRUE(::CopyFileW(FixturePath(L"ornPluginHostVLX.exe").c_str(), hostExe.c_str(), FALSE));
  testing::FixtureProcess host(hostExe, L"\"" + FFolder + L"npORNPlugInVLX.dll\"");
  ASSERT_TRUE(host.WaitForModule(L"npORNPlugInVLX.dll"));

  FUser.ConfirmAnswer = TMsgResult::No;
  FLog.SetEnabled(true);
  FLog.Save(false);
  ASSERT_EQ(FUser.Messages.size(), 2u);
  EXPECT_EQ(FUser.Messages[1].Kind, TMsgKind::Confirmation);
  EXPECT_EQ(FUser.Messages[1].Text,
            L"В данный момент плагин используется одним или несколькими приложениями. Для вступления изменений в "
            L"силу эти приложения необходимо завершить. Сделать это сейчас?");
  EXPECT_FALSE(host.HasEnded());

  // The terminations and their waits go through the window's runner, all in one piece.
  FUser.ConfirmAnswer = TMsgResult::Yes;
  FLog.SetEnabled(false);
  int runs = 0;
  bool endedInRun = false;
  FLog.Save(false, [&](const std::function<void()>& work) {
    ++runs;
    work();
    endedInRun = host.HasEnded();
  });
  EXPECT_EQ(runs, 1);
  EXPECT_TRUE(endedInRun);
  EXPECT_EQ(FPlugIn.ProcessCount(), 0);
  // The host is started again from the DLL's folder (without the DLL argument it loads nothing).
  std::unique_ptr<TProcessInfo> restarted;
  testing::WaitUntil([&] {
    restarted = TPlugInInfo::FindFirstProcess(L"ornPluginHostVLX.exe");
    return restarted != nullptr;
  });
  EXPECT_TRUE(SameText(restarted->Path(), FFolder));
  testing::TerminateProcessesNamed(L"ornPluginHostVLX.exe");
}

TEST_F(LogInfoTest, SaveWarnsWhenTheFolderMayNotBeWritable) {
  const std::wstring logs = FSandbox.Root() + L"\\Locked\\";
  ::CreateDirectoryW(logs.c_str(), nullptr);
  // Deny writing to everyone on the folder.
  EXPLICIT_ACCESSW deny{};
  BuildExplicitAccessWithNameW(&deny, const_cast<wchar_t*>(L"EVERYONE"), FILE_GENERIC_WRITE, DENY_ACCESS,
                               NO_INHERITANCE);
  PACL acl = nullptr;
  ASSERT_EQ(::SetEntriesInAclW(1, &deny, nullptr, &acl), ERROR_SUCCESS);
  UniqueLocalMem aclOwner(acl);
  ASSERT_EQ(::SetNamedSecurityInfoW(const_cast<wchar_t*>(logs.c_str()), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION,
                                    nullptr, nullptr, acl, nullptr),
            ERROR_SUCCESS);

  WriteBinaryFile(PlugInIni(), "[Log]\r\nFileName=C:\\Logs\\app.log\r\n");
  ASSERT_TRUE(FLog.Load());
  FLog.SetLogFilePath(logs + L"sub\\");
  EXPECT_EQ(FLog.ExistingPath(), logs);
  EXPECT_FALSE(FLog.PathAccess());
  FLog.Save(true);
  ASSERT_EQ(FUser.Messages.size(), 1u) << "no process question after the warning";
  EXPECT_EQ(FUser.Messages[0].Kind, TMsgKind::Warning);
  EXPECT_EQ(FUser.Messages[0].Text,
            L"Выполнено.\r\nВ папку \"" + logs + L"\" может быть запрещена запись для текущего пользователя!");
}

TEST_F(LogInfoTest, RefusedWriteRaisesNamesTheFileAndKeepsTheChange) {
  // Another program holds one of the two files: for reading only (readable, not writable)
  // or exclusively (not even readable, so it cannot be rewritten without loss).
  struct Case {
    bool HoldHostFile;
    DWORD ShareMode;
  };
  for (const Case c : {Case{false, FILE_SHARE_READ}, Case{false, 0}, Case{true, FILE_SHARE_READ}, Case{true, 0}}) {
    SCOPED_TRACE(std::string(c.HoldHostFile ? "host file" : "plug-in file") +
                 (c.ShareMode ? ", read-shared" : ", exclusive"));
    WriteBinaryFile(PlugInIni(), "[Log]\r\nFileName=C:\\Logs\\app.log\r\n");
    WriteBinaryFile(HostIni(), "[Log]\r\nFileName=C:\\Logs\\app.log\r\n");
    const std::string hostBefore = ReadBinaryFile(HostIni());
    TLogInfo log(&FPlugIn);
    ASSERT_TRUE(log.Load());
    log.SetEnabled(false);
    const std::wstring held = c.HoldHostFile ? HostIni() : PlugInIni();
    UniqueFileHandle holder(::CreateFileW(held.c_str(), GENERIC_READ, c.ShareMode, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(holder);
    FUser.Messages.clear();
    try {
      log.Save(false);
      ADD_FAILURE() << "no error";
    } catch (const Exception& error) {
      EXPECT_NE(error.Message().find(held), std::wstring::npos) << testing::Narrow(error.Message());
      const std::wstring written = L"Файл \"" + PlugInIni() + L"\" уже записан.";
      EXPECT_EQ(error.Message().find(written) != std::wstring::npos, c.HoldHostFile)
          << testing::Narrow(error.Message());
    }
    holder.Reset();
    EXPECT_TRUE(log.Changed());
    EXPECT_TRUE(FUser.Messages.empty()) << "no \"Выполнено.\"";
    if (!c.HoldHostFile) {
      EXPECT_EQ(ReadBinaryFile(HostIni()), hostBefore) << "not written after the first failed";
    }
  }
}

TEST_F(LogInfoTest, UnregisteredPlugInHasNowhereToSave) {
  TPlugInInfo none(L"", L"");
  TLogInfo log(&none);
  EXPECT_FALSE(log.Load());
  EXPECT_EQ(log.IniFileName(), L"");
  EXPECT_EQ(log.LogFilePath(), DefaultLogFilePath);
  EXPECT_EQ(log.LogFileName(), DefaultLogFileName);
  EXPECT_EQ(log.ActualLogPath(), L"");
  log.SetEnabled(true);
  EXPECT_THROW(log.Save(false), Exception);
  EXPECT_FALSE(FileExists(L".ini"));
}

TEST_F(LogInfoTest, ReportSections) {
  WriteBinaryFile(PlugInIni(), "[Log]\r\nFileName=%FullLibName|Dir%logs & more\\%LibName%\\a.log\r\n");
  ASSERT_TRUE(FLog.Load());
  const std::wstring actual = FFolder + L"logs & more\\";
  EXPECT_EQ(FLog.SaveAsXML(L"  "),
            L"  <Logging Enabled=\"True\" FilePath=\"%FullLibName|Dir%logs &amp; more\\\" FileName=\"a.log\" "
            L"ActualPath=\"" +
                TextToXML(actual) + L"\" ExistingPath=\"" + TextToXML(FFolder) + L"\" PathAccess=\"True\"/>\r\n");
  EXPECT_EQ(FLog.SaveAsHTML(L""),
            L"<table style=\"width:100%\">\r\n  <caption><br>Журналирование</caption>\r\n"
            L"  <tr>\r\n    <th>Включено:</th>\r\n    <td>Да</td>\r\n  </tr>\r\n"
            L"  <tr>\r\n    <th>Путь к файлам:</th>\r\n    <td>%FullLibName|Dir%logs &amp; more\\</td>\r\n  </tr>\r\n"
            L"  <tr>\r\n    <th>Имя файла:</th>\r\n    <td>a.log</td>\r\n  </tr>\r\n"
            L"  <tr>\r\n    <th>Фактический путь:</th>\r\n    <td>" +
                TextToXML(actual) +
                L"</td>\r\n  </tr>\r\n"
                L"  <tr>\r\n    <th>Существующй путь:</th>\r\n    <td>" +
                TextToXML(FFolder) +
                L"</td>\r\n  </tr>\r\n"
                L"  <tr>\r\n    <th>Доступен:</th>\r\n    <td>Да</td>\r\n  </tr>\r\n</table>\r\n");

  TLogInfo read(&FPlugIn);
  TSimpleXMLParser parser;
  read.SetXMLParser(&parser);
  ASSERT_TRUE(
      parser.Parse(L"<Logging Enabled=\"true\" FilePath=\"C:\\L\\\" FileName=\"n\" ActualPath=\"C:\\L\\\">"
                   L"<ChangeHistory><LogFile Name=\"old1.log\"/><LogFile Name=\"old2.log\"/></ChangeHistory>"
                   L"</Logging>"));
  read.SetXMLParser(nullptr);
  EXPECT_TRUE(read.Enabled());
  EXPECT_EQ(read.ExistingPath(), L"C:\\L\\") << "missing: the actual path";
  EXPECT_TRUE(read.PathAccess()) << "missing: true";
  EXPECT_EQ(read.ChangeHistory(), (std::vector<std::wstring>{L"old1.log", L"old2.log"}));
  EXPECT_EQ(read.SaveAsXML(L""),
            L"<Logging Enabled=\"True\" FilePath=\"C:\\L\\\" FileName=\"n\" ActualPath=\"C:\\L\\\" "
            L"PathAccess=\"True\"/>\r\n");

  const std::wstring file = FSandbox.Root() + L"\\r.iinf";
  {
    TIniFile ini(file);
    FLog.SaveToIniFile(&ini);
    ini.UpdateFile();
  }
  TIniFile ini(file);
  EXPECT_EQ(ini.ReadSection(L"Logging"), (std::vector<std::wstring>{L"Enabled", L"FilePath", L"FileName", L"ActualPath",
                                                                    L"ExistingPath", L"PathAccess"}));
  TLogInfo fromIni(&FPlugIn);
  ASSERT_TRUE(fromIni.LoadFromIniFile(&ini));
  EXPECT_EQ(fromIni.SaveAsXML(L"  "), FLog.SaveAsXML(L"  "));
}

// A log folder on a missing drive has no existing folder at all: that reads back from
// either report form, and the page says so. Only a report without the value, as earlier
// versions wrote, reads it as the actual path.
TEST_F(LogInfoTest, AnEmptyExistingPathReadsBackEmpty) {
  WriteBinaryFile(PlugInIni(), "[Log]\r\nFileName=Q:\\nowhere\\%LibName%\\a.log\r\n");
  ASSERT_TRUE(FLog.Load());
  ASSERT_EQ(FLog.ActualLogPath(), L"Q:\\nowhere\\");
  ASSERT_EQ(FLog.ExistingPath(), L"");
  const std::wstring iniFile = FSandbox.Root() + L"\\r.iinf";
  {
    TIniFile ini(iniFile);
    FLog.SaveToIniFile(&ini);
    ini.UpdateFile();
  }
  const std::string savedIni = ReadBinaryFile(iniFile);
  const std::string olderIni = "[Logging]\r\nEnabled=True\r\nActualPath=C:\\L\\\r\n";
  const std::wstring olderXml = L"<Logging Enabled=\"True\" FilePath=\"\" FileName=\"\" ActualPath=\"C:\\L\\\"/>";
  struct Case {
    const char* Name;
    std::wstring Xml;  // the report read: XML text, or else the INI file's bytes
    std::string Ini;
    std::wstring Existing;
  };
  const Case cases[] = {
      {"XML", FLog.SaveAsXML(L""), "", L""},
      {"INI", L"", savedIni, L""},
      {"XML of an earlier version", olderXml, "", L"C:\\L\\"},
      {"INI of an earlier version", L"", olderIni, L"C:\\L\\"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    TLogInfo read(&FPlugIn);
    if (!c.Xml.empty()) {
      TSimpleXMLParser parser;
      read.SetXMLParser(&parser);
      ASSERT_TRUE(parser.Parse(c.Xml));
      read.SetXMLParser(nullptr);
    } else {
      WriteBinaryFile(iniFile, c.Ini);
      TIniFile ini(iniFile);
      ASSERT_TRUE(read.LoadFromIniFile(&ini));
    }
    EXPECT_EQ(read.ExistingPath(), c.Existing);
    const bool rowShown = read.SaveAsHTML(L"").find(L"<th>Существующй путь:</th>") != std::wstring::npos;
    EXPECT_EQ(rowShown, c.Existing.empty());
  }
}

}  // namespace
}  // namespace ornpm
