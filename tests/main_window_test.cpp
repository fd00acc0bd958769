// The main window driven in this process with messages, on a sandboxed workstation, with
// the person at the screen played by the scripted user interaction.

#include <gtest/gtest.h>

#include "app/AppSettings.h"
#include "app/fmMain.h"
#include "harness/ChildProcess.h"
#include "harness/DialogAnswer.h"
#include "harness/FakeUserInteraction.h"
#include "harness/MainWindowWorkstation.h"
#include "harness/Sandbox.h"
#include "harness/SmtpServer.h"
#include "mail/dlgSendEMail.h"
#include "service/IniFile.h"
#include "service/PlugInFiles.h"
#include "service/Registry.h"
#include "win/Dpi.h"
#include "win/Environment.h"
#include "win/Handles.h"
#include "win/Text.h"
#include "win/Window.h"

namespace ornpm {
namespace {

using testing::ReadBinaryFile;
using testing::WriteBinaryFile;

class MainWindowTest : public testing::MainWindowWorkstation {
 protected:
  void WriteSettings(const std::string& content) {
    ForceDirectories(GetPlugInDataDir());
    WriteBinaryFile(SettingsFileName(), content);
  }
  int ClientHeight(const TMainForm& form) const {
    RECT client{};
    ::GetClientRect(form.Handle(), &client);
    return client.bottom;
  }
  int Design(int pixels, const TMainForm& form) const { return Scale(pixels, WindowDpi(form.Handle())); }
  void Press(TMainForm& form, int id) { ::SendMessageW(form.Handle(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }
  void Type(TMainForm& form, const wchar_t* text) {
    for (; *text; ++text) form.FormKeyDown(*text);
  }
  // Typed into the window as a person types: through the program's own message loop.
  void TypeIntoWindow(TMainForm& form, const wchar_t* text) {
    for (; *text; ++text) ::PostMessageW(form.Handle(), WM_CHAR, *text, 0);
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMainWindowMessage(form, message);
  }
};

TEST_F(MainWindowTest, StartsInTheModeOfTheSettingsFileOrTheFirstArgument) {
  struct Case {
    const char* Name;
    std::string Settings;  // empty: no settings file
    std::vector<std::wstring> Arguments;
    bool Extended;
  };
  const Case cases[] = {
      {"no settings", "", {}, false},
      {"settings say extended", "[AppSettings]\r\nExtendedMode=tRUE\r\n", {}, true},
      {"settings say common", "[AppSettings]\r\nExtendedMode=False\r\n", {}, false},
      {"/E", "[AppSettings]\r\nExtendedMode=False\r\n", {L"/e"}, true},
      {"unknown argument", "", {L"/X", L"/E"}, false},
      {"report that does not exist", "", {FSandbox.Root() + L"\\missing.xinf"}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    ::DeleteFileW(SettingsFileName().c_str());
    if (!c.Settings.empty()) WriteSettings(c.Settings);
    TMainForm form(c.Arguments);
    EXPECT_EQ(form.Frame().ExtendedMode(), c.Extended);
    EXPECT_EQ(form.ExtModeChecked(), c.Extended);
    EXPECT_EQ(::IsWindowVisible(form.LoadButton()) != FALSE, c.Extended);
    EXPECT_EQ(ClientHeight(form), Design(c.Extended ? 447 : 238, form));
    EXPECT_EQ(form.Frame().Info()->PlugInInfo().PlugInPath(), FDll) << "live data gathered";
    if (!c.Settings.empty()) {
      EXPECT_EQ(ReadBinaryFile(SettingsFileName()), c.Settings) << "starting writes nothing";
    }
  }
}

TEST_F(MainWindowTest, AReportFileArgumentShowsTheReportInExtendedMode) {
  const std::wstring report = FSandbox.Root() + L"\\other workstation.XINF";
  WriteBinaryFile(
      report,
      "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n<Info>\r\n  <PlugIn Path=\"D:\\ORN\\np.dll\" "
      "Version=\"1.2.3.4\" DomainInHosts=\"True\">\r\n    <Processes>\r\n    </Processes>\r\n  </PlugIn>\r\n"
      "  <IEProxySettings Enable=\"True\" Override=\"&lt;local&gt;;ornpluginvlx.local\"/>\r\n</Info>");
  TMainForm form({report});
  EXPECT_TRUE(form.Frame().ExtendedMode());
  EXPECT_EQ(form.Frame().Info()->PlugInInfo().PlugInPath(), L"D:\\ORN\\np.dll") << "no live data";
  EXPECT_EQ(form.Frame().Info()->PlugInInfo().Version(), L"1.2.3.4");
  // The report's own workstation has the exception, this one has not.
  for (HWND label : {form.Frame().SummaryFrame().lblDomainInProxyOverride,
                     form.Frame().IEActiveXSettingsFrame().lblDomainInProxyOverride})
    EXPECT_EQ(WindowText(label), L"Домен плагина в исключениях прокси-сервера: Да");
  EXPECT_TRUE(::IsWindowVisible(form.LoadButton())) << "as designed";
  EXPECT_TRUE(form.ExtModeChecked()) << "the menu tells the truth";
  EXPECT_EQ(ClientHeight(form), Design(447, form));
  RECT tab{};
  ASSERT_TRUE(::SendMessageW(form.Frame().TabControl(), TCM_GETITEMRECT, 2, reinterpret_cast<LPARAM>(&tab)));
  EXPECT_EQ(tab.bottom - tab.top, Design(24, form)) << "the tabs' design height";
}

TEST_F(MainWindowTest, KeySequenceSwitchesToExtendedModeAndIsRemembered) {
  TMainForm form({});
  Type(form, L"mirtMIRTH");  // a wrong letter restarts the match at that letter
  EXPECT_FALSE(form.Frame().ExtendedMode());
  Type(form, L"v1o!LK");  // other keys do not break it
  EXPECT_TRUE(form.Frame().ExtendedMode());
  EXPECT_TRUE(form.ExtModeChecked()) << "the menu tells the truth";
  EXPECT_TRUE(::IsWindowVisible(form.LoadButton()));
  EXPECT_EQ(ClientHeight(form), Design(404, form));
  EXPECT_EQ(TIniFile(SettingsFileName()).ReadString(L"AppSettings", L"ExtendedMode", L""), L"True");
  Type(form, L"MIRTHVOLK");
  EXPECT_TRUE(form.Frame().ExtendedMode()) << "typing it again changes nothing";

  Press(form, TMainForm::idExtMode);
  EXPECT_FALSE(form.Frame().ExtendedMode());
  EXPECT_FALSE(form.ExtModeChecked());
  EXPECT_EQ(ClientHeight(form), Design(238, form));
  EXPECT_EQ(TIniFile(SettingsFileName()).ReadString(L"AppSettings", L"ExtendedMode", L""), L"False");
}

TEST_F(MainWindowTest, SaveCopyAndLoad) {
  SYSTEMTIME moment{};
  moment.wYear = 2024, moment.wMonth = 4, moment.wDay = 5, moment.wHour = 14, moment.wMinute = 5;
  EXPECT_EQ(ProposedReportName(moment), L"npORNPlugInVLX 2024-04-05 14-05");

  TMainForm form({});
  const std::wstring report = FSandbox.Root() + L"\\saved.Xinf";
  FUser.ChosenFile = report;
  Press(form, TMainForm::idSave);
  ASSERT_EQ(FUser.FileDialogs.size(), 1u);
  EXPECT_TRUE(FUser.FileDialogs[0].Save);
  EXPECT_EQ(FUser.FileDialogs[0].DefaultExtension, L"iinf");
  EXPECT_EQ(FUser.FileDialogs[0].FileName.substr(0, 15), L"npORNPlugInVLX ");
  EXPECT_EQ(FUser.FileDialogs[0].FileName.size(), 31u);
  EXPECT_EQ(ReadBinaryFile(report), WideToBytes(form.Frame().Info()->SaveAsXML(L"")));

  Press(form, TMainForm::idCopy);
  ASSERT_EQ(FUser.Clipboard.size(), 1u);
  EXPECT_EQ(FUser.Clipboard[0], form.Frame().Info()->SaveAsXML(L""));

  // One that loads replaces the data.
  EXPECT_TRUE(FUser.Messages.empty());
  Press(form, TMainForm::idLoad);
  EXPECT_EQ(form.Frame().Info()->PlugInInfo().PlugInPath(), FDll);
  EXPECT_TRUE(form.Frame().Info()->FromReport());
  EXPECT_TRUE(FUser.Messages.empty());
}

// An INI report opened in a text editor and saved again as "Unicode" (UTF-16 with its mark)
// or as UTF-8 with a mark loads as the program wrote it, from the command line and through
// the Load button. The plug-in's path in it names a Cyrillic folder, which only the report has.
TEST_F(MainWindowTest, IniReportsSavedAsUnicodeLoad) {
  const std::wstring saved = FSandbox.Root() + L"\\saved.iinf";
  const std::wstring otherDll = L"D:\\Другая папка\\npORNPlugInVLX.dll";
  testing::SetRegistryDword(HKEY_CURRENT_USER, std::wstring(InternetSettingsKey) + L"\\Zones\\3", L"1001", 3);
  std::wstring text;
  {
    TMainForm form({});
    form.Frame().Info()->SaveToFile(saved);
    text = BytesToWide(ReadBinaryFile(saved));
  }
  const size_t at = text.find(FDll);
  ASSERT_NE(at, std::wstring::npos);
  text.replace(at, FDll.size(), otherDll);
  const std::pair<const char*, std::string> files[] = {
      {"ANSI", WideToBytes(text)}, {"UTF-16", testing::Utf16WithMark(text)}, {"UTF-8", testing::Utf8WithMark(text)}};
  for (const auto& [name, bytes] : files) {
    SCOPED_TRACE(name);
    const std::wstring report = FSandbox.Root() + L"\\edited.iinf";
    WriteBinaryFile(report, bytes);
    {
      TMainForm form({report});
      EXPECT_TRUE(form.Frame().ExtendedMode());
      EXPECT_EQ(form.Frame().Info()->PlugInInfo().PlugInPath(), otherDll);
    }
    TMainForm form({});
    FUser.ChosenFile = report;
    Press(form, TMainForm::idLoad);
    EXPECT_EQ(form.Frame().Info()->PlugInInfo().PlugInPath(), otherDll);
    EXPECT_TRUE(FUser.Messages.empty());
  }
}

TEST_F(MainWindowTest, FreshWorkstationRemembersTheModeInANewSettingsFolder) {
  ASSERT_FALSE(DirectoryExists(FSandbox.AppDataFolder() + L"\\ORN")) << "nothing of the program there yet";
  TMainForm form({});
  TypeIntoWindow(form, L"MIRTHVOLK");
  EXPECT_TRUE(form.Frame().ExtendedMode());
  EXPECT_TRUE(FUser.Messages.empty());
  EXPECT_EQ(SettingsFileName(), GetPlugInDataDir() + L"\\ornpm_tests.ini");
  EXPECT_EQ(ReadBinaryFile(SettingsFileName()), "[AppSettings]\r\nExtendedMode=True\r\n");
}

TEST_F(MainWindowTest, SettingsThatCannotBeReadOrWrittenAreShownAndTheWindowStays) {
  // Another program holds the settings file: it cannot be read at start.
  WriteSettings("[AppSettings]\r\nExtendedMode=True\r\n");
  {
    UniqueFileHandle holder(
        ::CreateFileW(SettingsFileName().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(holder);
    TMainForm form({});
    ASSERT_EQ(FUser.Messages.size(), 1u);
    EXPECT_EQ(FUser.Messages[0].Kind, TMsgKind::Error);
    EXPECT_NE(FUser.Messages[0].Text.find(SettingsFileName()), std::wstring::npos);
    EXPECT_TRUE(::IsWindow(form.Handle()));
    EXPECT_FALSE(form.Frame().ExtendedMode()) << "the defaults";
  }
  // The settings folder cannot be made (a file stands in its place): the switch is shown
  // as failed, the window keeps working.
  ::DeleteFileW(SettingsFileName().c_str());
  ::RemoveDirectoryW(GetPlugInDataDir().c_str());
  WriteBinaryFile(GetPlugInDataDir(), "not a folder");
  FUser.Messages.clear();
  TMainForm form({});
  TypeIntoWindow(form, L"MIRTHVOLK");
  ASSERT_EQ(FUser.Messages.size(), 1u);
  EXPECT_EQ(FUser.Messages[0].Kind, TMsgKind::Error);
  EXPECT_NE(FUser.Messages[0].Text.find(L"Не удалось создать папку \"" + GetPlugInDataDir() + L"\""),
            std::wstring::npos)
      << testing::Narrow(FUser.Messages[0].Text);
  EXPECT_TRUE(::IsWindow(form.Handle()));
  EXPECT_TRUE(form.Frame().ExtendedMode());
  Press(form, TMainForm::idExtMode);
  EXPECT_FALSE(form.Frame().ExtendedMode()) << "and it still switches";
}

TEST_F(MainWindowTest, AnErrorInAHandlerIsShownAndTheWindowKeepsWorking) {
  TMainForm form({});
  FUser.ChosenFile = FSandbox.Root() + L"\\no such folder\\report.xinf";
  Press(form, TMainForm::idSave);
  ASSERT_EQ(FUser.Messages.size(), 1u);
  EXPECT_EQ(FUser.Messages[0].Kind, TMsgKind::Error);
  EXPECT_NE(FUser.Messages[0].Text.find(L"report.xinf"), std::wstring::npos);
  Press(form, TMainForm::idCopy);
  EXPECT_EQ(FUser.Clipboard.size(), 1u);
}

TEST_F(MainWindowTest, HostsRepairFallsBackToTheElevatedCopyAndReloads) {
  TMainForm form({});
  EXPECT_FALSE(form.Frame().Info()->PlugInInfo().DomainInHosts());
  UniqueFileHandle reader(
      ::CreateFileW(FSandbox.HostsFile().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  FUser.ShellHandler = [&](const ShellRequest& request) {
    // The elevated copy: the real program with the switch, once the other reader is gone.
    reader.Reset();
    testing::ChildRun run = testing::RunOrnpm({request.Parameters});
    EXPECT_EQ(run.ExitCode, 0u);
    return ShellResult{true, {}};
  };
  Press(form, TMainForm::idWriteToHosts);
  ASSERT_EQ(FUser.Messages.size(), 1u);
  EXPECT_EQ(FUser.Messages[0].Kind, TMsgKind::Error);
  ASSERT_EQ(FUser.ShellRequests.size(), 1u);
  EXPECT_EQ(FUser.ShellRequests[0].Verb, L"runas");
  EXPECT_EQ(FUser.ShellRequests[0].Parameters, L"/WH");
  EXPECT_TRUE(form.Frame().Info()->PlugInInfo().DomainInHosts()) << "the views reload after the elevated copy";
}

TEST_F(MainWindowTest, ProxyRepairIsRefusedWhileTheBrowserRuns) {
  TMainForm form({});
  const std::wstring browser = FSandbox.Root() + L"\\iexplore.exe";
  ASSERT_TRUE(::CopyFileW(testing::FixturePath(L"iexplore.exe").c_str(), browser.c_str(), FALSE));
  {
    testing::FixtureProcess running(browser, L"");
    Press(form, TMainForm::idWriteToProxyOverride);
  }
  ASSERT_EQ(FUser.Messages.size(), 1u);
  EXPECT_EQ(FUser.Messages[0].Kind, TMsgKind::Information);
  EXPECT_EQ(FUser.Messages[0].Text, L"Запущен Internet Explorer. Приложение нужно закрыть и повторить попытку.");
  EXPECT_EQ(testing::GetRegistryString(HKEY_CURRENT_USER, InternetSettingsKey, L"ProxyOverride"), L"<local>");

  Press(form, TMainForm::idWriteToProxyOverride);
  EXPECT_EQ(testing::GetRegistryString(HKEY_CURRENT_USER, InternetSettingsKey, L"ProxyOverride"),
            L"<local>;ornpluginvlx.local");
  EXPECT_TRUE(form.Frame().Info()->ActiveXSettings().PlugInHostInProxyOverride()) << "reloaded";
}

// "Отправить..." mails the report to the server (certificate verified against the test CA)
// and the window is back in service afterwards.
TEST_F(MainWindowTest, SendMailsTheReportToTheServer) {
  testing::SmtpServer server("login");
  testing::CrtEnvironment environment;
  environment.Set(L"SSL_CERT_FILE", server.CaFile());
  const wchar_t settingsKey[] = L"Software\\ORN\\PlugInManagerVLX";
  testing::SetRegistryString(HKEY_CURRENT_USER, settingsKey, L"SMTPHost", L"127.0.0.1");
  testing::SetRegistryString(HKEY_CURRENT_USER, settingsKey, L"SMTPPort", std::to_wstring(server.Port()));
  testing::SetRegistryString(HKEY_CURRENT_USER, settingsKey, L"SMTPUserName", L"tech@orn.example");
  TMainForm form({});
  testing::AnswerWhenShown(L"TSendEMailForm", [](HWND dialog) {
    ::SetWindowTextW(::GetDlgItem(dialog, TSendEMailForm::idPassword), L"s3cret");
    ::PostMessageW(dialog, WM_COMMAND, IDOK, 0);
  });
  Press(form, TMainForm::idSend);
  EXPECT_TRUE(FUser.Messages.empty()) << testing::Narrow(FUser.Messages.empty() ? L"" : FUser.Messages[0].Text);
  EXPECT_TRUE(::IsWindowEnabled(form.Handle()));
  const std::string parsed = ReadBinaryFile(server.File(L"parsed.txt"));
  const std::string report = testing::Narrow(ChangeFileExt(ExtractFileName(FDll), L".xinf"));
  EXPECT_NE(parsed.find("attachment=" + report + "|"), std::string::npos) << parsed;
  // The report of this workstation, from a temporary file of its own: nothing beside the DLL.
  const std::string attached = ReadBinaryFile(server.File(L"attachment-0"));
  EXPECT_NE(attached.find("<PlugIn Path=\"" + testing::Narrow(FDll) + "\""), std::string::npos) << attached;
  EXPECT_FALSE(FileExists(ChangeFileExt(FDll, L".xinf")));
}

}  // namespace
}  // namespace ornpm
