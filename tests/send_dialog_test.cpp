// The send dialog: its checks, the list of log files it finds, and one submission through
// it to the test SMTP server.

#include <windows.h>

#include <commctrl.h>
#include <sddl.h>

#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <optional>
#include <utility>
#include <vector>

#include "harness/DialogAnswer.h"
#include "harness/FakeUserInteraction.h"
#include "harness/HostShell.h"
#include "harness/Sandbox.h"
#include "harness/SmtpServer.h"
#include "harness/Waiting.h"
#include "mail/MailSubmission.h"
#include "mail/dlgSendEMail.h"
#include "service/CompositeInfo.h"
#include "win/Environment.h"
#include "win/Handles.h"
#include "win/Text.h"

namespace ornpm {
namespace {

using testing::Narrow;
using testing::ReadBinaryFile;
using testing::SmtpServer;
using testing::WriteBinaryFile;

const wchar_t SettingsKey[] = L"Software\\ORN\\PlugInManagerVLX";

// Plays the person at the send dialog once it is up: runs inside its modal loop.
void AnswerNextDialog(std::function<void(HWND dialog)> answer) {
  testing::AnswerWhenShown(L"TSendEMailForm", std::move(answer));
}

void SetText(HWND control, const std::wstring& text) {
  ::SetWindowTextW(control, text.c_str());
}

// Writes a file whose last write lies the given number of minutes after a fixed moment.
void WriteLog(const std::wstring& path, int minutes, const std::string& bytes = "log") {
  std::filesystem::create_directories(ExtractFilePath(path));
  WriteBinaryFile(path, bytes);
  ULARGE_INTEGER moment{};
  moment.QuadPart = 133'000'000'000'000'000ULL + static_cast<ULONGLONG>(minutes) * 60 * 10'000'000ULL;
  FILETIME written{moment.LowPart, moment.HighPart};
  UniqueFileHandle file(
      ::CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(file);
  ASSERT_TRUE(::SetFileTime(file.Get(), nullptr, nullptr, &written));
}

std::vector<std::wstring> ListTexts(const TSendEMailForm& form) {
  std::vector<std::wstring> texts;
  for (int item = 0; item < ListView_GetItemCount(form.lbxLogFiles); ++item) {
    wchar_t text[MAX_PATH] = L"";
    ListView_GetItemText(form.lbxLogFiles, item, 0, text, MAX_PATH);
    texts.push_back(text);
  }
  return texts;
}

std::vector<bool> CheckStates(const TSendEMailForm& form) {
  std::vector<bool> states;
  for (int item = 0; item < ListView_GetItemCount(form.lbxLogFiles); ++item)
    states.push_back(form.LogFileChecked(item));
  return states;
}

class SendDialogTest : public ::testing::Test {
 protected:
  testing::WorkstationSandbox FSandbox;
  testing::FakeUserInteraction FUser;
  TCompositeInfo FInfo{PlugInMimeType, PlugInProgID};
  std::wstring FPlugInFolder;

  // Installs the plug-in, once, with its logs going to logFolder (ending in a delimiter).
  void InstallWithLogs(const std::wstring& logFolder) {
    if (FPlugInFolder.empty()) {
      FPlugInFolder = FSandbox.Root() + L"\\ORN\\";
      WriteBinaryFile(FSandbox.HostsFile(), "");
      testing::InstallPlugIn(FPlugInFolder, L"np.dll");
    }
    WriteBinaryFile(FPlugInFolder + L"np.ini", "[Log]\r\nFileName=" + Narrow(logFolder) + "a.log\r\n");
    FInfo.Load();
  }
};

TEST_F(SendDialogTest, SendChecksTheEntriesInOrder) {
  struct Case {
    const wchar_t *host, *port, *user, *password;
    const wchar_t* message;  // null: the dialog closes with OK
  } cases[] = {
      {L"", L"", L"", L"", L"Не задан адрес SMTP-сервера"},
      {L"smtp", L"", L"", L"", L"Не задан порт SMTP-сервера"},
      {L"smtp", L"0", L"me", L"pw", L"Некорректное значение порта SMTP-сервера"},
      {L"smtp", L"65536", L"me", L"pw", L"Некорректное значение порта SMTP-сервера"},
      {L"smtp", L"-25", L"me", L"pw", L"Некорректное значение порта SMTP-сервера"},
      {L"smtp", L"abc", L"me", L"pw", L"Некорректное значение порта SMTP-сервера"},
      {L"smtp", L"25", L"", L"", L"Не определён почтовый ящик"},
      {L"smtp", L"25", L"me", L"", L"Не введён пароль"},
      {L"smtp", L"1", L"me", L"   ", nullptr},
      {L" ", L"65535", L" ", L"pw", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Narrow(c.port));
    FUser.Messages.clear();
    TSendEMailForm form(nullptr);
    AnswerNextDialog([&](HWND dialog) {
      SetText(form.edServerHost, c.host);
      SetText(form.edPort, c.port);
      SetText(form.edUserName, c.user);
      SetText(form.edPassword, c.password);
      ::SendMessageW(dialog, WM_COMMAND, IDOK, 0);
      // A refused Send leaves the dialog open and the entries as they were.
      if (c.message) {
        EXPECT_TRUE(::IsWindowVisible(dialog));
        EXPECT_EQ(WindowText(form.edPort), c.port);
        ::SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
      }
    });
    EXPECT_EQ(form.ShowModal(), c.message == nullptr);
    EXPECT_EQ(testing::WindowsAnswered(), 1);
    if (c.message) {
      ASSERT_EQ(FUser.Messages.size(), 1u);
      EXPECT_EQ(FUser.Messages[0].Kind, TMsgKind::Warning);
      EXPECT_EQ(FUser.Messages[0].Text, c.message);
    } else {
      EXPECT_TRUE(FUser.Messages.empty());
    }
  }
}

TEST_F(SendDialogTest, CancelAndCloseAreNeverChecked) {
  for (UINT message : {UINT(WM_COMMAND), UINT(WM_CLOSE)}) {
    TSendEMailForm form(nullptr);
    AnswerNextDialog([message](HWND dialog) { ::PostMessageW(dialog, message, IDCANCEL, 0); });
    EXPECT_FALSE(form.ShowModal());
  }
  EXPECT_TRUE(FUser.Messages.empty());
}

// Keys as a person presses them: Enter sends from any single-line field, but makes a new line
// in the notes; Escape cancels without any check.
TEST_F(SendDialogTest, EnterSendsAndEscapeCancels) {
  struct Case {
    const char* name;
    int field;  // the control the key goes to
    std::vector<WPARAM> keys;
    bool sent;
    const wchar_t* notes;  // the notes afterwards
  } cases[] = {
      {"Enter in the password", TSendEMailForm::idPassword, {VK_RETURN}, true, L""},
      {"Enter in the server address", TSendEMailForm::idServerHost, {VK_RETURN}, true, L""},
      {"Enter in the notes, then Escape", TSendEMailForm::idEMailBody, {VK_RETURN, VK_ESCAPE}, false, L"\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TSendEMailForm form(nullptr);
    AnswerNextDialog([&](HWND dialog) {
      SetText(form.edServerHost, L"smtp");
      SetText(form.edPort, L"465");
      SetText(form.edUserName, L"me");
      SetText(form.edPassword, L"pw");
      HWND field = ::GetDlgItem(dialog, c.field);
      ::SetFocus(field);
      for (WPARAM key : c.keys) {
        ::PostMessageW(field, WM_KEYDOWN, key, 1);
        ::PostMessageW(field, WM_KEYUP, key, 0xC0000001);
      }
    });
    EXPECT_EQ(form.ShowModal(), c.sent);
    EXPECT_EQ(WindowText(form.memEMailBody), c.notes);
  }
  // Escape with nothing filled in: no check, no message.
  TSendEMailForm form(nullptr);
  AnswerNextDialog([](HWND) { ::PostMessageW(::GetFocus(), WM_KEYDOWN, VK_ESCAPE, 1); });
  EXPECT_FALSE(form.ShowModal());
  EXPECT_TRUE(FUser.Messages.empty());
}

// Log files of the folder, all its subfolders and its virtual-store copy, newest first;
// files of one moment by path, letter case ignored; the newest ticked.
TEST_F(SendDialogTest, ListsLogFilesNewestFirstAndTicksTheNewest) {
  const std::wstring logs = FSandbox.Root() + L"\\Logs\\", moment = FSandbox.Root() + L"\\Moment\\";
  const std::wstring programFiles = GetEnv(L"ProgramFiles") + L"\\ORN\\Logs\\";
  const std::wstring programFilesStore = GetEnv(L"LocalAppData") + L"\\VirtualStore\\Program Files (x86)\\ORN\\Logs\\";
  const std::wstring programData = GetEnv(L"ProgramData") + L"\\ORN\\Logs\\";
  const std::wstring programDataStore = GetEnv(L"LocalAppData") + L"\\VirtualStore\\ProgramData\\ORN\\Logs\\";
  struct Case {
    const char* Name;
    std::wstring Folder;
    std::vector<std::pair<std::wstring, int>> Files;  // path and minutes written after a fixed moment
    std::vector<std::wstring> Listed;                 // top of the list first
  };
  const Case cases[] = {
      {"subfolders, names of any case",
       logs,
       {{logs + L"a.log", 10},
        {logs + L"Trace.LOG", 30},
        {logs + L"trace.txt", 50},
        {logs + L"a.log.1", 60},
        {logs + L"sub\\b.log", 40},
        {logs + L"sub\\deep\\a.log", 20}},
       {logs + L"sub\\b.log", logs + L"Trace.LOG", logs + L"sub\\deep\\a.log", logs + L"a.log"}},
      {"one moment",
       moment,
       {{moment + L"c.log", 5}, {moment + L"B.log", 10}, {moment + L"sub\\A.log", 10}, {moment + L"a.log", 10}},
       {moment + L"sub\\A.log", moment + L"B.log", moment + L"a.log", moment + L"c.log"}},
      {"the virtual-store copy of a protected folder",
       programFiles,
       {{programFiles + L"one.log", 10},
        {programFilesStore + L"two.log", 20},
        {programFiles + L"three.log", 30},
        {programFilesStore + L"sub\\four.log", 5}},
       {programFiles + L"three.log", programFilesStore + L"two.log", programFiles + L"one.log",
        programFilesStore + L"sub\\four.log"}},
      // The plug-in's writes were all redirected: only the copy exists.
      {"only the virtual-store copy",
       programData,
       {{programDataStore + L"one.log", 10}, {programDataStore + L"sub\\two.log", 20}},
       {programDataStore + L"sub\\two.log", programDataStore + L"one.log"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    for (const auto& [path, minutes] : c.Files) WriteLog(path, minutes);
    InstallWithLogs(c.Folder);
    TSendEMailForm form(nullptr);
    form.LoadLogFileList(&FInfo.LogInfo());
    std::vector<std::wstring> names;
    for (const std::wstring& path : c.Listed) names.push_back(ExtractFileName(path));
    EXPECT_EQ(ListTexts(form), names);
    EXPECT_EQ(std::vector<std::wstring>(form.LogFileList.rbegin(), form.LogFileList.rend()), c.Listed);
    EXPECT_EQ(form.CheckedLogFiles(), std::vector<std::wstring>{c.Listed.front()});
  }
}

TEST_F(SendDialogTest, LoadingTheListAgainStartsAfresh) {
  const std::wstring logs = FSandbox.Root() + L"\\Logs\\";
  WriteLog(logs + L"a.log", 10);
  WriteLog(logs + L"sub\\b.log", 40);
  WriteLog(logs + L"c.log", 30);
  InstallWithLogs(logs);
  TSendEMailForm form(nullptr);
  form.LoadLogFileList(&FInfo.LogInfo());
  form.SetLogFileChecked(2, true);
  std::filesystem::remove(logs + L"sub\\b.log");
  form.LoadLogFileList(&FInfo.LogInfo());
  EXPECT_EQ(ListTexts(form), (std::vector<std::wstring>{L"c.log", L"a.log"}));
  EXPECT_EQ(CheckStates(form), (std::vector<bool>{true, false}));
}

TEST_F(SendDialogTest, MissingLogFolderGivesAnEmptyList) {
  InstallWithLogs(FSandbox.Root() + L"\\NoLogs\\");
  TSendEMailForm form(nullptr);
  form.LoadLogFileList(&FInfo.LogInfo());
  form.LoadLogFileList(nullptr);
  EXPECT_TRUE(ListTexts(form).empty());
  EXPECT_TRUE(form.LogFileList.empty());
}

// A link back up the tree is followed once: each file is listed once, and the scan ends.
TEST_F(SendDialogTest, FolderLinkLoopIsScannedOnce) {
  const std::wstring logs = FSandbox.Root() + L"\\Logs\\";
  WriteLog(logs + L"a.log", 10);
  WriteLog(logs + L"sub\\b.log", 20);
  testing::FolderLink loop(logs + L"sub\\loop", logs);
  if (!loop.Failure().empty()) GTEST_SKIP() << "no folder link: " << Narrow(loop.Failure());
  InstallWithLogs(logs);
  TSendEMailForm form(nullptr);
  form.LoadLogFileList(&FInfo.LogInfo());
  EXPECT_EQ(ListTexts(form), (std::vector<std::wstring>{L"b.log", L"a.log"}));
}

TEST_F(SendDialogTest, TickingOneSelectedFileTicksAllSelected) {
  const std::wstring logs = FSandbox.Root() + L"\\Logs\\";
  for (int minutes = 1; minutes <= 5; ++minutes) WriteLog(logs + std::to_wstring(minutes) + L".log", minutes);
  InstallWithLogs(logs);
  TSendEMailForm form(nullptr);
  form.LoadLogFileList(&FInfo.LogInfo());
  form.SetLogFileChecked(4, true);
  for (int item : {1, 2, 3}) ListView_SetItemState(form.lbxLogFiles, item, LVIS_SELECTED, LVIS_SELECTED);
  form.SetLogFileChecked(2, true);
  EXPECT_EQ(CheckStates(form), (std::vector<bool>{true, true, true, true, true}));
  form.SetLogFileChecked(1, false);
  EXPECT_EQ(CheckStates(form), (std::vector<bool>{true, false, false, false, true}));
  EXPECT_EQ(form.CheckedLogFiles(), (std::vector<std::wstring>{logs + L"5.log", logs + L"1.log"}));
}

// ---- one submission through the dialog ----------------------------------------------------

class SendInfoTest : public SendDialogTest {
 protected:
  void SetUp() override {
    FLogs = FSandbox.Root() + L"\\Logs\\";
    WriteLog(FLogs + L"old.log", 10, "old entries");
    WriteLog(FLogs + L"new.log", 20, "new entries");
    InstallWithLogs(FLogs);
    FTemp = FSandbox.Root() + L"\\Temp";
    std::filesystem::create_directories(FTemp);
    FTempEnvironment.Set(L"TMP", FTemp);
    FTempEnvironment.Set(L"TEMP", FTemp);
  }
  // The plug-in's folder as a standard user meets it: nothing can be written there (a
  // report file of the DLL's name held open without sharing stands in for the folder's
  // permissions, which Wine's root user would write through).
  UniqueFileHandle LockPlugInFolder() {
    const std::wstring blocked = FPlugInFolder + L"np.xinf";
    WriteBinaryFile(blocked, "");
    return UniqueFileHandle(
        ::CreateFileW(blocked.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  }
  // Whatever the send left in the temporary folder (the test server keeps its files there).
  std::vector<std::wstring> TempLeftovers() const {
    std::vector<std::wstring> names;
    for (const auto& entry : std::filesystem::directory_iterator(FTemp))
      if (!entry.path().filename().wstring().starts_with(L"ornpm-test-")) names.push_back(entry.path().filename());
    return names;
  }
  void Remember(const SmtpServer& server, const std::wstring& subject) {
    testing::SetRegistryString(HKEY_CURRENT_USER, SettingsKey, L"SMTPHost", L"127.0.0.1");
    testing::SetRegistryString(HKEY_CURRENT_USER, SettingsKey, L"SMTPPort", std::to_wstring(server.Port()));
    testing::SetRegistryString(HKEY_CURRENT_USER, SettingsKey, L"SMTPUserName", L"tech@orn.example");
    if (!subject.empty()) testing::SetRegistryString(HKEY_CURRENT_USER, SettingsKey, L"EMailSubject", subject);
    FEnvironment.Set(L"SSL_CERT_FILE", server.CaFile());
  }
  std::optional<std::wstring> Stored(const wchar_t* name) {
    return testing::GetRegistryString(HKEY_CURRENT_USER, SettingsKey, name);
  }

  std::wstring FLogs;
  std::wstring FTemp;
  testing::EnvironmentOverride FTempEnvironment;
  testing::CrtEnvironment FEnvironment;
};

TEST_F(SendInfoTest, SendsReportAndTickedLogsAndRemembersTheSettings) {
  SmtpServer server("login");
  Remember(server, L"");
  UniqueFileHandle locked = LockPlugInFolder();
  ASSERT_TRUE(locked);
  CustomEMailSubject = L"Настроенная тема";
  AnswerNextDialog([](HWND dialog) {
    EXPECT_EQ(WindowText(::GetDlgItem(dialog, TSendEMailForm::idServerHost)), L"127.0.0.1");
    EXPECT_EQ(WindowText(::GetDlgItem(dialog, TSendEMailForm::idPassword)), L"");
    EXPECT_EQ(WindowText(::GetDlgItem(dialog, TSendEMailForm::idEMailSubject)), L"Настроенная тема");
    SetText(::GetDlgItem(dialog, TSendEMailForm::idPassword), L"s3cret");
    SetText(::GetDlgItem(dialog, TSendEMailForm::idEMailBody), L"Заметки пользователя");
    ::PostMessageW(dialog, WM_COMMAND, IDOK, 0);
  });
  SendInfoByEMail(&FInfo, false);
  CustomEMailSubject.clear();
  EXPECT_EQ(testing::WindowsAnswered(), 1);
  EXPECT_TRUE(FUser.Messages.empty()) << Narrow(FUser.Messages.empty() ? L"" : FUser.Messages[0].Text);

  const std::string dialogue = server.Dialogue();
  EXPECT_NE(dialogue.find("AUTH LOGIN tech@orn.example s3cret\nMAIL FROM:<tech@orn.example>\n"
                          "RCPT TO:<support@orn.example>\nDATA\n"),
            std::string::npos)
      << dialogue;
  const std::string parsed = ReadBinaryFile(server.File(L"parsed.txt"));
  EXPECT_NE(parsed.find(Narrow(L"subject=Настроенная тема")), std::string::npos) << parsed;
  EXPECT_NE(parsed.find("attachment=np.xinf|np.xinf|"), std::string::npos) << parsed;
  EXPECT_NE(parsed.find("attachment=new.log|new.log|"), std::string::npos) << parsed;
  EXPECT_EQ(parsed.find("old.log"), std::string::npos) << parsed;
  // The report as the composite writes it, from a file of its own that is gone again.
  const std::wstring expectedReport = FTemp + L"\\expected.xinf";
  FInfo.SaveToFile(expectedReport);
  EXPECT_EQ(ReadBinaryFile(server.File(L"attachment-0")), ReadBinaryFile(expectedReport));
  std::filesystem::remove(expectedReport);
  EXPECT_EQ(TempLeftovers(), std::vector<std::wstring>{});
  EXPECT_EQ(::GetFileSize(locked.Get(), nullptr), 0u);
  EXPECT_EQ(ReadBinaryFile(server.File(L"attachment-1")), "new entries");
  EXPECT_NE(ReadBinaryFile(server.File(L"body.html")).find(Narrow(L"Заметки пользователя")), std::string::npos);

  EXPECT_EQ(Stored(L"SMTPHost"), L"127.0.0.1");
  EXPECT_EQ(Stored(L"SMTPPort"), std::to_wstring(server.Port()));
  EXPECT_EQ(Stored(L"EMailSubject"), L"Настроенная тема");
  EXPECT_FALSE(Stored(L"SMTPPassword"));
}

// The key's permissions set from a security descriptor's text while it lives; full access
// again after.
class KeyPermissions {
 public:
  KeyPermissions(const wchar_t* path, const wchar_t* descriptor) : FPath(path) { Set(descriptor); }
  ~KeyPermissions() { Set(L"D:P(A;OICI;KA;;;WD)"); }
  KeyPermissions(const KeyPermissions&) = delete;
  KeyPermissions& operator=(const KeyPermissions&) = delete;

 private:
  void Set(const wchar_t* descriptor) {
    PSECURITY_DESCRIPTOR security = nullptr;
    ASSERT_TRUE(
        ::ConvertStringSecurityDescriptorToSecurityDescriptorW(descriptor, SDDL_REVISION_1, &security, nullptr));
    HKEY key = nullptr;
    ASSERT_EQ(::RegOpenKeyExW(HKEY_CURRENT_USER, FPath, 0, WRITE_DAC, &key), ERROR_SUCCESS);
    EXPECT_EQ(::RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, security), ERROR_SUCCESS);
    ::RegCloseKey(key);
    ::LocalFree(security);
  }
  const wchar_t* FPath;
};

// The mail went out; only remembering its settings failed. That is what the person hears,
// never that the send failed, and the dialog does not come back to send it twice.
TEST_F(SendInfoTest, ADeliveredMailWhoseSettingsCannotBeSavedIsToldAsSent) {
  SmtpServer server("login");
  Remember(server, L"");
  KeyPermissions readOnly(SettingsKey, L"D:P(A;OICI;KR;;;WD)");
  AnswerNextDialog([](HWND dialog) {
    SetText(::GetDlgItem(dialog, TSendEMailForm::idPassword), L"s3cret");
    SetText(::GetDlgItem(dialog, TSendEMailForm::idEMailSubject), L"Новая тема");
    ::PostMessageW(dialog, WM_COMMAND, IDOK, 0);
  });
  SendInfoByEMail(&FInfo, false);
  EXPECT_EQ(testing::WindowsAnswered(), 1);
  EXPECT_NE(ReadBinaryFile(server.File(L"parsed.txt")).find(Narrow(L"subject=Новая тема")), std::string::npos);
  ASSERT_EQ(FUser.Messages.size(), 1u);
  EXPECT_EQ(FUser.Messages[0].Kind, TMsgKind::Warning);
  EXPECT_TRUE(FUser.Messages[0].Text.starts_with(L"Письмо отправлено, но настройки почты не удалось сохранить: "))
      << Narrow(FUser.Messages[0].Text);
  EXPECT_EQ(Stored(L"EMailSubject"), std::nullopt);
}

// A report from elsewhere names folders of its own workstation: the mail writes nothing
// there and attaches no log file of this workstation.
TEST_F(SendInfoTest, AReportsMailWritesNothingIntoItsFoldersAndAttachesNoLocalLogs) {
  SmtpServer server("login");
  Remember(server, L"");
  const std::wstring report = FSandbox.Root() + L"\\foreign.xinf";
  FInfo.SaveToFile(report);
  ASSERT_TRUE(FInfo.LoadFromFile(report));
  ::DeleteFileW((FPlugInFolder + L"np.xinf").c_str());
  TSendEMailForm form(nullptr);
  form.LoadLogFileList(&FInfo.LogInfo());
  EXPECT_TRUE(form.LogFileList.empty());
  AnswerNextDialog([](HWND dialog) {
    SetText(::GetDlgItem(dialog, TSendEMailForm::idPassword), L"s3cret");
    ::PostMessageW(dialog, WM_COMMAND, IDOK, 0);
  });
  SendInfoByEMail(&FInfo, false);
  EXPECT_TRUE(FUser.Messages.empty()) << Narrow(FUser.Messages.empty() ? L"" : FUser.Messages[0].Text);
  EXPECT_FALSE(FileExists(FPlugInFolder + L"np.xinf"));
  const std::string parsed = ReadBinaryFile(server.File(L"parsed.txt"));
  EXPECT_NE(parsed.find("attachment=np.xinf|"), std::string::npos) << parsed;
  EXPECT_EQ(parsed.find(".log"), std::string::npos) << parsed;
  EXPECT_EQ(BytesToWide(ReadBinaryFile(server.File(L"attachment-0"))), FInfo.SaveAsXML(L""));
}

// A failed send keeps the dialog with everything typed, shows why and remembers nothing;
// the person corrects the port and the second Send from the same dialog goes through.
TEST_F(SendInfoTest, FailedSendKeepsTheDialogForAnotherTry) {
  SmtpServer refusing("refuse-auth");
  SmtpServer accepting("login");
  Remember(refusing, L"Старая тема");
  // Either server's certificate is trusted.
  const std::wstring caFile = FSandbox.Root() + L"\\ca.pem";
  WriteBinaryFile(caFile, ReadBinaryFile(refusing.CaFile()) + ReadBinaryFile(accepting.CaFile()));
  FEnvironment.Set(L"SSL_CERT_FILE", caFile);
  const unsigned short acceptingPort = accepting.Port();
  AnswerNextDialog([&](HWND dialog) {
    auto item = [dialog](int id) { return ::GetDlgItem(dialog, id); };
    SetText(item(TSendEMailForm::idServerHost), L"localhost");
    SetText(item(TSendEMailForm::idPassword), L"s3cret");
    SetText(item(TSendEMailForm::idEMailSubject), L"Новая тема");
    SetText(item(TSendEMailForm::idEMailBody), L"Заметки");
    ListView_SetCheckState(item(TSendEMailForm::idLogFiles), 1, TRUE);
    ::PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    testing::PumpUntil([&] { return !FUser.Messages.empty(); });
    ASSERT_EQ(FUser.Messages.size(), 1u);
    const std::wstring shown = FUser.Messages[0].Text;
    EXPECT_EQ(FUser.Messages[0].Kind, TMsgKind::Error);
    EXPECT_TRUE(shown.starts_with(L"Ошибка отправки почты: ") && shown.size() > 23) << Narrow(shown);
    EXPECT_TRUE(::IsWindowVisible(dialog));
    EXPECT_TRUE(::IsWindowEnabled(item(IDOK)));
    EXPECT_TRUE(::IsWindowEnabled(item(TSendEMailForm::idPassword)));
    EXPECT_FALSE(::IsWindowVisible(item(TSendEMailForm::idProgress)));
    EXPECT_EQ(WindowText(item(TSendEMailForm::idProgressText)), shown);
    EXPECT_EQ(WindowText(item(TSendEMailForm::idServerHost)), L"localhost");
    EXPECT_EQ(WindowText(item(TSendEMailForm::idPassword)), L"s3cret");
    EXPECT_EQ(WindowText(item(TSendEMailForm::idEMailSubject)), L"Новая тема");
    EXPECT_EQ(WindowText(item(TSendEMailForm::idEMailBody)), L"Заметки");
    EXPECT_EQ(ListView_GetCheckState(item(TSendEMailForm::idLogFiles), 0), 1u);
    EXPECT_EQ(ListView_GetCheckState(item(TSendEMailForm::idLogFiles), 1), 1u);
    EXPECT_EQ(Stored(L"SMTPHost"), L"127.0.0.1");
    EXPECT_EQ(Stored(L"EMailSubject"), L"Старая тема");
    EXPECT_EQ(TempLeftovers(), std::vector<std::wstring>{});
    SetText(item(TSendEMailForm::idPort), std::to_wstring(acceptingPort));
    ::PostMessageW(dialog, WM_COMMAND, IDOK, 0);
  });
  SendInfoByEMail(&FInfo, true);
  EXPECT_EQ(testing::WindowsAnswered(), 1);
  EXPECT_EQ(FUser.Messages.size(), 1u);

  EXPECT_NE(refusing.Dialogue().find("AUTH LOGIN"), std::string::npos) << refusing.Dialogue();
  const std::string dialogue = accepting.Dialogue();
  EXPECT_NE(dialogue.find("AUTH LOGIN tech@orn.example s3cret\nMAIL FROM:<tech@orn.example>\n"), std::string::npos)
      << dialogue;
  const std::string parsed = ReadBinaryFile(accepting.File(L"parsed.txt"));
  EXPECT_NE(parsed.find(Narrow(L"subject=Новая тема")), std::string::npos) << parsed;
  EXPECT_NE(parsed.find("attachment=np.xinf|np.xinf|"), std::string::npos) << parsed;
  EXPECT_NE(parsed.find("attachment=new.log|new.log|"), std::string::npos) << parsed;
  EXPECT_NE(parsed.find("attachment=old.log|old.log|"), std::string::npos) << parsed;
  EXPECT_NE(ReadBinaryFile(accepting.File(L"body.html")).find(Narrow(L"Заметки")), std::string::npos);
  EXPECT_EQ(Stored(L"SMTPHost"), L"localhost");
  EXPECT_EQ(Stored(L"SMTPPort"), std::to_wstring(acceptingPort));
  EXPECT_EQ(Stored(L"EMailSubject"), L"Новая тема");
  EXPECT_EQ(TempLeftovers(), std::vector<std::wstring>{});
}

// The dialog shows how far the message data has come, and "Отмена" stops the send: the
// dialog stays open with its entries, nothing is delivered and nothing remembered. The
// server stops reading in the middle of the data and reads on once the stop is asked.
TEST_F(SendInfoTest, CancelStopsTheSendAndKeepsTheDialog) {
  WriteLog(FLogs + L"big.log", 30, std::string(8'000'000, 'x'));
  SmtpServer server("stall");
  Remember(server, L"");
  const std::wstring resume = server.File(L"resume");
  AnswerNextDialog([&resume](HWND dialog) {
    auto item = [dialog](int id) { return ::GetDlgItem(dialog, id); };
    const HWND progressText = item(TSendEMailForm::idProgressText), bar = item(TSendEMailForm::idProgress);
    SetText(item(TSendEMailForm::idServerHost), L"localhost");
    SetText(item(TSendEMailForm::idPassword), L"s3cret");
    SetText(item(TSendEMailForm::idEMailBody), L"Заметки");
    ::PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    testing::PumpUntil([&] { return ::SendMessageW(bar, PBM_GETPOS, 0, 0) > 100; });
    EXPECT_TRUE(::IsWindowVisible(bar));
    EXPECT_FALSE(::IsWindowEnabled(item(IDOK)));
    EXPECT_FALSE(::IsWindowEnabled(item(TSendEMailForm::idPassword)));
    const std::wstring figures = WindowText(progressText);
    EXPECT_TRUE(figures.starts_with(L"Отправлено ") && figures.ends_with(L" МБ")) << Narrow(figures);
    ::SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);  // as the button does: the stop is asked on return
    EXPECT_EQ(WindowText(progressText), L"Отмена отправки…");
    WriteBinaryFile(resume, "");
    testing::PumpUntil([&] { return ::IsWindowEnabled(item(IDOK)); });
    EXPECT_TRUE(::IsWindowVisible(dialog));
    EXPECT_FALSE(::IsWindowVisible(bar));
    EXPECT_EQ(WindowText(progressText), L"Отправка отменена");
    EXPECT_EQ(WindowText(item(TSendEMailForm::idServerHost)), L"localhost");
    EXPECT_EQ(WindowText(item(TSendEMailForm::idPassword)), L"s3cret");
    EXPECT_EQ(WindowText(item(TSendEMailForm::idEMailBody)), L"Заметки");
    ::PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
  });
  SendInfoByEMail(&FInfo, false);
  EXPECT_EQ(testing::WindowsAnswered(), 1);
  EXPECT_TRUE(FUser.Messages.empty()) << Narrow(FUser.Messages.empty() ? L"" : FUser.Messages[0].Text);
  const std::string dialogue = server.Dialogue();
  EXPECT_NE(dialogue.find("DATA\n"), std::string::npos) << dialogue;
  EXPECT_EQ(dialogue.find("QUIT"), std::string::npos) << dialogue;
  EXPECT_FALSE(FileExists(server.File(L"message.eml")));
  EXPECT_EQ(Stored(L"SMTPHost"), L"127.0.0.1");
  EXPECT_EQ(TempLeftovers(), std::vector<std::wstring>{});
}

TEST_F(SendInfoTest, CancelWritesAndSendsNothing) {
  AnswerNextDialog([](HWND dialog) { ::PostMessageW(dialog, WM_CLOSE, 0, 0); });
  SendInfoByEMail(&FInfo, false);
  EXPECT_EQ(testing::WindowsAnswered(), 1);
  EXPECT_FALSE(FileExists(FPlugInFolder + L"np.xinf"));
  EXPECT_EQ(TempLeftovers(), std::vector<std::wstring>{});
  EXPECT_TRUE(FUser.Messages.empty());
  EXPECT_FALSE(Stored(L"SMTPHost"));
}

}  // namespace
}  // namespace ornpm
