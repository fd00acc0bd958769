// Report files from another workstation, opened through the window and then used as a
// person would: they are shown, saved, copied and gathered over, but never act on this
// workstation. A load or save that fails changes nothing.

#include <functional>
#include <gtest/gtest.h>

#include "app/fmMain.h"
#include "harness/ChildProcess.h"
#include "harness/FakeUserInteraction.h"
#include "harness/Sandbox.h"
#include "service/Registry.h"
#include "win/Environment.h"
#include "win/Exceptions.h"
#include "win/Handles.h"
#include "win/Text.h"

namespace ornpm {
namespace {

using testing::ReadBinaryFile;
using testing::WriteBinaryFile;

bool Enabled(HWND control) {
  return ::IsWindowEnabled(control) != FALSE;
}

// Text with every character that XML and HTML give a meaning to, escaped as an attribute.
constexpr wchar_t Markup[] = L"a&quot;b&lt;img src=x onerror=alert(1)&gt;&amp;c";
constexpr wchar_t MarkupText[] = L"a\"b<img src=x onerror=alert(1)>&c";
// The same for names that the INI report keeps as keys, which cannot hold "=".
constexpr wchar_t NameMarkup[] = L"a&quot;b&lt;img&gt;&amp;c";

std::wstring Replace(std::wstring text, std::wstring_view from, std::wstring_view to) {
  for (size_t at = 0; (at = text.find(from, at)) != std::wstring::npos; at += to.size())
    text.replace(at, from.size(), to);
  return text;
}

std::vector<std::wstring> FilesIn(const std::wstring& folder) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW found;
  HANDLE search = ::FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    if (found.cFileName[0] != L'.') names.push_back(found.cFileName);
  } while (::FindNextFileW(search, &found));
  ::FindClose(search);
  return names;
}

class ForeignReportTest : public ::testing::Test {
 protected:
  testing::WorkstationSandbox FSandbox;
  testing::FakeUserInteraction FUser;
  std::wstring FDll;
  // A folder of this workstation that a hostile report names as the plug-in's.
  std::wstring FSystem;
  // A running program that is none of the plug-in's business.
  std::unique_ptr<testing::FixtureProcess> FUnrelated;

  void SetUp() override {
    WriteBinaryFile(FSandbox.HostsFile(), "127.0.0.1 localhost\r\n");
    FDll = testing::InstallPlugIn(FSandbox.Root() + L"\\Program Files (x86)\\ORN");
    testing::SetRegistryString(HKEY_CURRENT_USER, InternetSettingsKey, L"ProxyOverride", L"<local>");
    FSystem = FSandbox.Root() + L"\\windows\\system32\\";
    ::CreateDirectoryW((FSandbox.Root() + L"\\windows").c_str(), nullptr);
    ::CreateDirectoryW(FSystem.c_str(), nullptr);
    ASSERT_TRUE(
        ::CopyFileW(testing::FixturePath(L"plugin_full.dll").c_str(), (FSystem + L"kernel32.dll").c_str(), FALSE));
    FUnrelated = std::make_unique<testing::FixtureProcess>(testing::FixturePath(L"ornPluginHostVLX.exe"), L"");
  }
  void TearDown() override {
    MSG quit;
    while (::PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
  }
  void Press(TMainForm& form, int id) { ::SendMessageW(form.Handle(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }
  void Click(HWND frame, int id, HWND control) {
    ::SendMessageW(frame, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(control));
  }
  std::wstring Report(const std::wstring& body) {
    std::wstring xml = L"<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n<Info>\r\n" + body + L"\r\n</Info>";
    xml = Replace(xml, L"{sys}", FSystem);
    xml = Replace(xml, L"{dll}", FDll);
    return Replace(xml, L"{pid}", std::to_wstring(FUnrelated->Id()));
  }
  // A file of the sandbox with the bytes; its full name.
  std::wstring Write(const wchar_t* name, const std::string& bytes) {
    const std::wstring file = FSandbox.Root() + L"\\" + name;
    WriteBinaryFile(file, bytes);
    return file;
  }
  void Load(TMainForm& form, const std::wstring& file) {
    FUser.ChosenFile = file;
    Press(form, TMainForm::idLoad);
  }
  // The shown report saved in either format and read back gives the same report.
  void ExpectSavedAsShown(TMainForm& form) {
    const std::wstring shown = form.Frame().Info()->SaveAsXML(L"");
    for (const wchar_t* name : {L"\\copy.xinf", L"\\copy.iinf"}) {
      FUser.ChosenFile = FSandbox.Root() + name;
      Press(form, TMainForm::idSave);
      EXPECT_EQ(TCompositeInfo::ReadReportFile(FUser.ChosenFile)->SaveAsXML(L""), shown) << testing::Narrow(name);
    }
    FUser.Clipboard.clear();
    Press(form, TMainForm::idCopy);
    ASSERT_EQ(FUser.Clipboard.size(), 1u);
    TCompositeInfo pasted(PlugInMimeType, PlugInProgID);
    EXPECT_TRUE(pasted.LoadFromXML(FUser.Clipboard[0]));
    EXPECT_EQ(pasted.SaveAsXML(L""), shown);
  }
};

// Each report is opened through the window; then every control that would act on the
// workstation is tried as if it could be used, the report is saved and copied, and
// "Обновить" gathers this workstation's data, after which those controls work again.
TEST_F(ForeignReportTest, ReportsFromElsewhereNeverActHere) {
  testing::SetRegistryString(HKEY_CLASSES_ROOT, L"MIME\\Database\\Content Type\\application/x-other", L"CLSID",
                             L"{99999999-2222-3333-4444-555555555555}");
  testing::SetRegistryString(HKEY_CLASSES_ROOT, L"CLSID\\{99999999-2222-3333-4444-555555555555}\\InprocServer32", L"",
                             FSystem + L"kernel32.dll");
  const std::wstring everyValue =
      L"  <PlugIn Path=\"{m}\" Version=\"{m}\" AppName=\"{m}\" ClassID=\"{m}\" DomainInHosts=\"True\">\r\n"
      L"    <LibraryCheck>\r\n      <Checking Name=\"{n}\" Result=\"{m}\" Error=\"{m}\"/>\r\n    </LibraryCheck>\r\n"
      L"    <Processes>\r\n      <Process PID=\"{pid}\" Name=\"{m}\">\r\n        <Modules>\r\n"
      L"          <Module ID=\"4294967295\" FileName=\"{m}\"/>\r\n        </Modules>\r\n      </Process>\r\n"
      L"      <Process PID=\"8\" Name=\"{m}\"/>\r\n    </Processes>\r\n"
      L"    <Hosts>\r\n      <Entry Line=\"{m}\"/>\r\n    </Hosts>\r\n  </PlugIn>\r\n"
      L"  <IEProxySettings Enable=\"True\" Override=\"{m}\"/>\r\n"
      L"  <ActiveXSettings>\r\n    <InternetZones>\r\n      <Zone ID=\"0\" Caption=\"{m}\">\r\n"
      L"        <ZoneParam ID=\"1001\" Caption=\"{c}\" Value=\"3\" ValueCaption=\"{m}\"/>\r\n      </Zone>\r\n"
      L"    </InternetZones>\r\n  </ActiveXSettings>\r\n"
      L"  <Logging Enabled=\"True\" FilePath=\"{m}\" FileName=\"{m}\" ActualPath=\"{m}\" ExistingPath=\"{m}x\" "
      L"PathAccess=\"True\"/>";
  const struct {
    const char* Name;
    std::wstring Body;
    std::wstring AppName;  // the report's, shown and written back
  } cases[] = {
      {"a folder of this workstation as the plug-in's, logging off",
       L"<PlugIn Path=\"{sys}kernel32.dll\" Version=\"6.1\" DomainInHosts=\"False\"><Processes>"
       L"<Process PID=\"{pid}\" Name=\"ornPluginHostVLX.exe\"><Modules><Module ID=\"1\" "
       L"FileName=\"{sys}kernel32.dll\"/>"
       L"</Modules></Process></Processes></PlugIn>"
       L"<Logging Enabled=\"False\" FilePath=\"{sys}\" FileName=\"a.log\" ActualPath=\"{sys}\" PathAccess=\"True\"/>",
       L""},
      {"a process outside the process list",
       L"<Process PID=\"{pid}\" Name=\"ornPluginHostVLX.exe\"><Modules><Module ID=\"1\" FileName=\"{dll}\"/></Modules>"
       L"</Process><PlugIn Path=\"{dll}\" Version=\"1\" DomainInHosts=\"True\"/>"
       L"<Logging Enabled=\"True\" FilePath=\"{sys}\" FileName=\"a.log\" ActualPath=\"{sys}\" PathAccess=\"True\"/>",
       L""},
      {"another MIME type",
       L"<PlugIn Path=\"{dll}\" Version=\"1\" AppName=\"application/x-other\" "
       L"DomainInHosts=\"True\"><Processes></Processes></PlugIn>",
       L"application/x-other"},
      // The INI report keeps no captions of URL actions: they are this program's own.
      {"markup in every value",
       Replace(Replace(Replace(everyValue, L"{m}", Markup), L"{n}", NameMarkup), L"{c}",
               TextToXML(ZoneParamCaptions[0])),
       MarkupText},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TMainForm form({});
    const std::wstring file = FSandbox.Root() + L"\\foreign.xinf";
    WriteBinaryFile(file, WideToBytes(Report(c.Body)));
    Load(form, file);
    ASSERT_TRUE(FUser.Messages.empty()) << testing::Narrow(FUser.Messages[0].Text);
    TCompositeInfo& info = *form.Frame().Info();
    ASSERT_TRUE(info.FromReport());
    EXPECT_EQ(info.PlugInInfo().AppName(), c.AppName);
    TSummaryInfoFrame& summary = form.Frame().SummaryFrame();
    TLoggingFrame& logging = form.Frame().LoggingFrame();
    TPlugInInfoFrame& plugIn = form.Frame().PlugInFrame();
    EXPECT_FALSE(Enabled(summary.chbEnabled));
    EXPECT_FALSE(Enabled(summary.btnChangeLogFile));
    EXPECT_FALSE(Enabled(logging.chbEnabled));
    EXPECT_FALSE(Enabled(logging.btnApply));
    EXPECT_FALSE(Enabled(plugIn.btnKillProcs));
    // The report's folders are another workstation's, even where this one has a folder of
    // that name: not opened, and the settings' text can be copied but not changed.
    for (HWND button : {summary.btnOpenPlugInDir, summary.btnOpenLogDir, logging.btnOpenFolder})
      EXPECT_FALSE(Enabled(button));
    for (HWND edit : {logging.edLogFilePath, logging.edLogFileName})
      EXPECT_TRUE(::GetWindowLongW(edit, GWL_STYLE) & ES_READONLY);
    const std::wstring shownPath = WindowText(logging.edLogFilePath);
    logging.PathMenu().UpdateItemStates();
    EXPECT_FALSE(logging.PathMenu().IsItemEnabled(TLogFileNameMenu::mniFirstVariable));
    logging.PathMenu().Execute(TLogFileNameMenu::mniFirstVariable);
    EXPECT_EQ(WindowText(logging.edLogFilePath), shownPath);

    // As if the controls could be used.
    const std::vector<std::wstring> systemBefore = FilesIn(FSystem);
    SetChecked(summary.chbEnabled, !IsChecked(summary.chbEnabled));
    Click(summary.Handle(), TSummaryInfoFrame::idEnabled, summary.chbEnabled);
    Click(summary.Handle(), TSummaryInfoFrame::idChangeLogFile, summary.btnChangeLogFile);
    SetChecked(logging.chbEnabled, !IsChecked(logging.chbEnabled));
    Click(logging.Handle(), TLoggingFrame::idEnabled, logging.chbEnabled);
    SetText(logging.edLogFileName, L"changed.log");
    Click(logging.Handle(), TLoggingFrame::idApply, logging.btnApply);
    ::SendMessageW(plugIn.lbxProcessList, LB_SETSEL, TRUE, -1);
    Click(plugIn.Handle(), TPlugInInfoFrame::idKillProcs, plugIn.btnKillProcs);
    Click(summary.Handle(), TSummaryInfoFrame::idOpenPlugInDir, summary.btnOpenPlugInDir);
    Click(summary.Handle(), TSummaryInfoFrame::idOpenLogDir, summary.btnOpenLogDir);
    Click(logging.Handle(), TLoggingFrame::idOpenFolder, logging.btnOpenFolder);
    EXPECT_TRUE(FUser.ShellRequests.empty());
    EXPECT_EQ(FilesIn(FSystem), systemBefore);
    EXPECT_FALSE(FileExists(ExtractFilePath(FDll) + L"npORNPlugInVLX.ini"));
    EXPECT_FALSE(FileExists(ExtractFilePath(FDll) + L"ornPluginHostVLX.ini"));
    EXPECT_FALSE(FUnrelated->HasEnded());
    EXPECT_TRUE(FUser.Messages.empty());

    ExpectSavedAsShown(form);
    const std::wstring page = info.SaveAsHTML(MarkupText);
    EXPECT_EQ(page.find(L"<img"), std::wstring::npos) << "values and the note are text in the page";
    EXPECT_EQ(form.Frame().Info(), &info) << "saving and copying keep the report shown";

    Click(plugIn.Handle(), TPlugInInfoFrame::idRefresh, plugIn.btnRefresh);
    TCompositeInfo& live = *form.Frame().Info();
    EXPECT_FALSE(live.FromReport());
    EXPECT_EQ(live.PlugInInfo().PlugInPath(), FDll) << "gathered for the plug-in's own MIME type";
    EXPECT_EQ(live.PlugInInfo().AppName(), PlugInMimeType);
    EXPECT_TRUE(Enabled(summary.chbEnabled));
    EXPECT_TRUE(Enabled(logging.chbEnabled));
    EXPECT_TRUE(Enabled(summary.btnOpenPlugInDir)) << "this workstation's plug-in folder";
    for (HWND edit : {logging.edLogFilePath, logging.edLogFileName})
      EXPECT_FALSE(::GetWindowLongW(edit, GWL_STYLE) & ES_READONLY);
    EXPECT_FALSE(FUnrelated->HasEnded());
  }
}

// A repair acts on this workstation, which may not be the report's: the person is asked
// first, naming the report. Declined, nothing is written and the report stays; agreed, what
// the repair changed is shown by gathering anew, not mixed into the report on show.
TEST_F(ForeignReportTest, ARepairWhileAReportIsShownAsksAndThenShowsThisWorkstation) {
  for (int id : {TMainForm::idWriteToHosts, TMainForm::idWriteToProxyOverride}) {
    for (TMsgResult answer : {TMsgResult::No, TMsgResult::Yes}) {
      SCOPED_TRACE(::testing::Message() << id << (answer == TMsgResult::Yes ? " agreed" : " declined"));
      TMainForm form({});
      const std::wstring file = FSandbox.Root() + L"\\foreign.xinf";
      WriteBinaryFile(file, WideToBytes(Report(L"<PlugIn Path=\"{sys}kernel32.dll\" Version=\"1\" "
                                               L"DomainInHosts=\"True\"><Processes></Processes></PlugIn>")));
      Load(form, file);
      ASSERT_TRUE(form.Frame().Info()->FromReport());
      FUser.Messages.clear();
      FUser.ConfirmAnswer = answer;
      const std::string hostsBefore = testing::ReadBinaryFile(FSandbox.HostsFile());
      const auto proxyBefore = testing::GetRegistryString(HKEY_CURRENT_USER, InternetSettingsKey, L"ProxyOverride");
      Press(form, id);
      ASSERT_FALSE(FUser.Messages.empty());
      EXPECT_EQ(FUser.Messages[0].Text, L"Показан отчёт \"" + file +
                                            L"\". Исправление будет выполнено на этом компьютере, после чего будут "
                                            L"показаны его данные. Продолжить?");
      if (answer == TMsgResult::No) {
        EXPECT_EQ(FUser.Messages.size(), 1u);
        EXPECT_TRUE(form.Frame().Info()->FromReport());
        EXPECT_EQ(testing::ReadBinaryFile(FSandbox.HostsFile()), hostsBefore);
        EXPECT_EQ(testing::GetRegistryString(HKEY_CURRENT_USER, InternetSettingsKey, L"ProxyOverride"), proxyBefore);
        continue;
      }
      EXPECT_FALSE(form.Frame().Info()->FromReport());
      EXPECT_EQ(form.Frame().Info()->PlugInInfo().PlugInPath(), FDll);
      EXPECT_TRUE(Enabled(form.Frame().SummaryFrame().chbEnabled));
    }
  }
  FUser.ConfirmAnswer = TMsgResult::Yes;
}

// A load that fails shows its error naming the file; the report shown, the pages and the
// buttons stay as they were.
TEST_F(ForeignReportTest, AFailedLoadChangesNothing) {
  TMainForm form({});
  const std::wstring good = FSandbox.Root() + L"\\good.xinf";
  WriteBinaryFile(good, WideToBytes(Report(L"<PlugIn Path=\"{dll}\" Version=\"7\" DomainInHosts=\"True\">"
                                           L"<Processes></Processes></PlugIn>")));
  Load(form, good);
  const TCompositeInfo* shown = form.Frame().Info();
  const std::wstring xml = shown->SaveAsXML(L"");
  const std::wstring versionRow = WindowText(form.Frame().SummaryFrame().lblVersion);

  const std::wstring broken = FSandbox.Root() + L"\\broken.xinf";
  WriteBinaryFile(broken, "<Info><PlugIn Path=\"x\"></Info>");
  const std::wstring brokenIni = FSandbox.Root() + L"\\broken.iinf";
  WriteBinaryFile(brokenIni, "[Logging]\r\nEnabled=True\r\n");
  const std::wstring text = FSandbox.Root() + L"\\report.txt";
  WriteBinaryFile(text, "<Info/>");
  const std::wstring huge = FSandbox.Root() + L"\\huge.xinf";
  {
    UniqueFileHandle file(
        ::CreateFileW(huge.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(file);
    LARGE_INTEGER size{};
    size.QuadPart = static_cast<LONGLONG>(MaxReportFileSize) + 1;
    ASSERT_TRUE(::SetFilePointerEx(file.Get(), size, nullptr, FILE_BEGIN));
    ASSERT_TRUE(::SetEndOfFile(file.Get()));
  }
  const struct {
    std::wstring File;
    const wchar_t* Says;
  } failures[] = {
      {FSandbox.Root() + L"\\missing.xinf", L"missing.xinf"},
      {broken, L"broken.xinf"},
      {brokenIni, L"broken.iinf"},
      {text, L"report.txt"},
      {huge, L"слишком большой"},
      // No report: nothing, another document, an Info without the plug-in's element,
      // another program's INI file.
      {Write(L"empty.xinf", ""), L"empty.xinf\" повреждён"},
      {Write(L"other.xinf", "<foo/>"), L"other.xinf\" повреждён"},
      {Write(L"bare.xinf", "<?xml version=\"1.0\"?>\r\n<Info>\r\n  <Logging Enabled=\"True\"/>\r\n</Info>"),
       L"bare.xinf\" повреждён"},
      {Write(L"other.iinf", "[PlugIn]\r\nName=viewer.dll\r\n[Logging]\r\nLevel=2\r\n"), L"other.iinf\" повреждён"},
  };
  for (const auto& failure : failures) {
    SCOPED_TRACE(testing::Narrow(failure.File));
    FUser.Messages.clear();
    Load(form, failure.File);
    ASSERT_EQ(FUser.Messages.size(), 1u);
    EXPECT_EQ(FUser.Messages[0].Kind, TMsgKind::Error);
    EXPECT_NE(FUser.Messages[0].Text.find(failure.Says), std::wstring::npos) << testing::Narrow(FUser.Messages[0].Text);
    EXPECT_EQ(form.Frame().Info(), shown);
    EXPECT_EQ(form.Frame().Info()->SaveAsXML(L""), xml);
    EXPECT_EQ(WindowText(form.Frame().SummaryFrame().lblVersion), versionRow);
    EXPECT_FALSE(Enabled(form.Frame().SummaryFrame().chbEnabled)) << "still the report's";
  }
  ::DeleteFileW(huge.c_str());
}

// A report cut off before its end shows what it holds, and a warning names the file and
// where it ends, the report's own names made visible and short. What it did not reach is
// shown as not in the report on every page, never as defaults, and is not written into a
// report saved from it. Reports as earlier versions wrote them (an unescaped proxy list, a
// signed module id, no hosts lines) show without a word.
TEST_F(ForeignReportTest, ACutOffReportSaysWhereItEnds) {
  const std::string head =
      "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n<Info>\r\n"
      "  <PlugIn Path=\"C:\\ORN\\np.dll\" Version=\"7\" DomainInHosts=\"True\">\r\n";
  const std::string processes =
      "    <Processes>\r\n      <Process PID=\"8\" Name=\"a.exe\">\r\n        <Modules>\r\n"
      "          <Module ID=\"-1073741824\" FileName=\"C:\\a.dll\"/>\r\n";
  const std::string iniHead =
      "[PlugIn]\r\nPath=C:\\ORN\\np.dll\r\nVersion=7\r\nAppName=\r\nClassID=\r\nDomainInHosts=1\r\n";
  const std::string iniLogging =
      "[Logging]\r\nEnabled=False\r\nFilePath=\r\nFileName=\r\nActualPath=\r\nExistingPath=\r\nPathAccess=";
  const struct {
    const wchar_t* Name;
    std::string Bytes;
    int Processes;
    std::wstring Where;  // none for a whole report
    std::wstring Proxy;  // the proxy row's answer
    bool LoggingRead = true;
  } cases[] = {
      {L"cut.xinf", head + processes + "          <Module ID=\"2\" FileNa", 1, L"в строке 8 внутри элемента Modules",
       L"нет в отчёте", false},
      {L"long.xinf", head + "    <Processes>\r\n      <" + std::string(100, 'A') + ">\r\n\r\n", 0,
       L"в строке 5 внутри элемента " + std::wstring(64, L'A') + L"…", L"нет в отчёте", false},
      {L"cut.iinf",
       iniHead + "[PlugIn\\Processes]\r\n8\x1B=a.exe\r\n[PlugIn\\Process\\8\x1B]\r\n1=C:\\a.dll\r\n2=C:\\b", 1,
       L"в разделе [PlugIn\\Process\\8\\x1B]", L"нет в отчёте", false},
      {L"logging.iinf", iniHead + iniLogging + "Fa", 0, L"в разделе [Logging]", L"нет в отчёте"},
      {L"earlier.xinf",
       head + processes +
           "        </Modules>\r\n      </Process>\r\n    </Processes>\r\n    <Hosts>\r\n    </Hosts>\r\n"
           "  </PlugIn>\r\n  <IEProxySettings Enable=\"True\" Override=\"<local>;ornpluginvlx.local\"/>\r\n"
           "  <ActiveXSettings>\r\n    <InternetZones>\r\n    </InternetZones>\r\n  </ActiveXSettings>\r\n"
           "  <Logging Enabled=\"False\" FilePath=\"\" FileName=\"\" ActualPath=\"\" PathAccess=\"True\"/>\r\n</Info>",
       1, L"", L"Да"},
      {L"earlier.iinf",
       iniHead + "[PlugIn\\Processes]\r\n8=a.exe\r\n[IEProxySettings]\r\nEnable=1\r\nOverride=<local>\r\n" +
           iniLogging + "True\r\n",
       1, L"", L"Нет"},
  };
  TMainForm form({});
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Narrow(c.Name));
    FUser.Messages.clear();
    const TCompositeInfo* before = form.Frame().Info();
    const std::wstring file = Write(c.Name, c.Bytes);
    Load(form, file);
    const TCompositeInfo& shown = *form.Frame().Info();
    EXPECT_NE(&shown, before);
    EXPECT_EQ(shown.PlugInInfo().Version(), L"7");
    EXPECT_EQ(shown.PlugInInfo().ProcessCount(), c.Processes);
    const TSummaryInfoFrame& summary = form.Frame().SummaryFrame();
    EXPECT_EQ(WindowText(summary.lblDomainInHosts), L"Запись в Hosts: Есть");
    EXPECT_EQ(WindowText(summary.lblDomainInProxyOverride), L"Домен плагина в исключениях прокси-сервера: " + c.Proxy);
    EXPECT_EQ(WindowText(form.Frame().IEActiveXSettingsFrame().lblDomainInProxyOverride),
              WindowText(summary.lblDomainInProxyOverride));
    const std::wstring logging = c.LoggingRead ? L"" : L"нет в отчёте";
    for (const auto& [label, caption] : {std::pair{summary.lblLogFilePath, L"Путь к файлам: "},
                                         {summary.lblLogFileName, L"Имя файла: "},
                                         {summary.lblActualLogPath, L"Фактический путь: "}})
      EXPECT_EQ(WindowText(label), caption + logging);
    EXPECT_EQ(WindowText(form.Frame().LoggingFrame().edLogFileName), logging);
    for (HWND box : {summary.chbEnabled, form.Frame().LoggingFrame().chbEnabled})
      EXPECT_EQ(::SendMessageW(box, BM_GETCHECK, 0, 0), c.LoggingRead ? BST_UNCHECKED : BST_INDETERMINATE);
    // Saved again, it does not claim what it did not hold.
    const std::wstring again = shown.SaveAsXML(L"");
    EXPECT_EQ(again.find(L"<IEProxySettings") != std::wstring::npos, c.Proxy != L"нет в отчёте");
    EXPECT_EQ(again.find(L"<Logging") != std::wstring::npos, c.LoggingRead);
    if (c.Where.empty()) {
      EXPECT_TRUE(FUser.Messages.empty()) << testing::Narrow(FUser.Messages[0].Text);
      continue;
    }
    ASSERT_EQ(FUser.Messages.size(), 1u);
    EXPECT_EQ(FUser.Messages[0].Kind, TMsgKind::Warning);
    EXPECT_EQ(FUser.Messages[0].Text, L"Файл отчёта \"" + file + L"\" неполный: он обрывается " + c.Where +
                                          L"; показано только то, что было прочитано до обрыва");
  }
}

// A report without a registered plug-in after one with it: every row is the shown report's
// own, and those that a report without the plug-in does not answer have no answer, whatever
// was shown before.
TEST_F(ForeignReportTest, AReportWithoutThePlugInKeepsNoAnswerOfTheOneBefore) {
  TMainForm form({});
  Load(form, Write(L"registered.iinf",
                   "[PlugIn]\r\nPath=C:\\ORN\\np.dll\r\nVersion=7\r\nDomainInHosts=1\r\n"
                   "[IEProxySettings]\r\nEnable=1\r\nOverride=<local>;ornpluginvlx.local\r\n"
                   "[Logging]\r\nEnabled=True\r\nFilePath=D:\\Logs\\\r\nFileName=a.log\r\nPathAccess=True\r\n"));
  const TSummaryInfoFrame& summary = form.Frame().SummaryFrame();
  ASSERT_EQ(WindowText(summary.lblDomainInHosts), L"Запись в Hosts: Есть");
  ASSERT_EQ(WindowText(summary.lblDomainInProxyOverride), L"Домен плагина в исключениях прокси-сервера: Да");
  Load(form, Write(L"unregistered.iinf",
                   "[PlugIn]\r\nPath=\r\nVersion=\r\nDomainInHosts=0\r\n"
                   "[IEProxySettings]\r\nEnable=0\r\nOverride=<local>\r\n"
                   "[Logging]\r\nEnabled=False\r\nFilePath=\r\nFileName=\r\nPathAccess=True\r\n"));
  EXPECT_EQ(WindowText(summary.lblPlugInPath), L"Плагин не зарегистрирован");
  EXPECT_EQ(WindowText(summary.lblDomainInHosts), L"Запись в Hosts: ");
  EXPECT_EQ(WindowText(summary.lblDomainInProxyOverride), L"Домен плагина в исключениях прокси-сервера: ");
  EXPECT_EQ(WindowText(summary.lblLogFilePath), L"Путь к файлам: ");
  EXPECT_EQ(WindowText(form.Frame().PlugInFrame().lblDomainInHosts), L"Запись в Hosts: ");
  EXPECT_EQ(WindowText(form.Frame().IEActiveXSettingsFrame().lblDomainInProxyOverride),
            L"Домен плагина в исключениях прокси-сервера: Нет")
      << "the page of the proxy settings answers from the report";
}

// A save that fails shows its error naming the file and leaves the file there byte for byte.
TEST_F(ForeignReportTest, AFailedSaveLeavesTheEarlierFile) {
  TMainForm form({});
  const std::wstring report = FSandbox.Root() + L"\\kept.iinf";
  const std::string earlier = "[PlugIn]\r\nPath=earlier\r\n";
  WriteBinaryFile(report, earlier);
  UniqueFileHandle holder(
      ::CreateFileW(report.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(holder);
  const std::wstring other = FSandbox.Root() + L"\\report.txt";
  for (const std::wstring& file : {report, other}) {
    SCOPED_TRACE(testing::Narrow(file));
    FUser.Messages.clear();
    FUser.ChosenFile = file;
    Press(form, TMainForm::idSave);
    ASSERT_EQ(FUser.Messages.size(), 1u);
    EXPECT_EQ(FUser.Messages[0].Kind, TMsgKind::Error);
    EXPECT_NE(FUser.Messages[0].Text.find(L"\"" + file + L"\""), std::wstring::npos)
        << testing::Narrow(FUser.Messages[0].Text);
  }
  holder.Reset();
  EXPECT_EQ(ReadBinaryFile(report), earlier);
  EXPECT_FALSE(FileExists(other));
  for (const std::wstring& name : FilesIn(FSandbox.Root()))
    EXPECT_EQ(name.find(L".~"), std::wstring::npos) << "no temporary file is left: " << testing::Narrow(name);
}

}  // namespace
}  // namespace ornpm
