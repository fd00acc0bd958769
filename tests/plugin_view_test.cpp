// The plug-in page: its rows for each registration state, its process list against real
// fixture processes, and that the list never outlives the records it points to.

#include <functional>
#include <gtest/gtest.h>
#include <memory>

#include "harness/ChildProcess.h"
#include "harness/FakeUserInteraction.h"
#include "harness/Sandbox.h"
#include "harness/Waiting.h"
#include "service/CompositeInfo.h"
#include "service/IniFile.h"
#include "service/SimpleXMLParser.h"
#include "views/frPlugInInfo.h"
#include "win/Dpi.h"
#include "win/Environment.h"
#include "win/Exceptions.h"
#include "win/Window.h"

namespace ornpm {
namespace {

using testing::FixtureProcess;
using testing::WriteBinaryFile;

constexpr wchar_t ClassID[] = L"{11111111-2222-3333-4444-555555555555}";
constexpr wchar_t DllName[] = L"npORNPlugInVLX.dll";

bool Enabled(HWND control) {
  return ::IsWindowEnabled(control) != FALSE;
}

struct Entry {
  std::wstring Text;
  const TProcessInfo* Process;
  bool operator==(const Entry&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Entry& entry) {
  return out << testing::Narrow(entry.Text) << " @" << entry.Process;
}

class PlugInViewTest : public ::testing::Test {
 protected:
  testing::WorkstationSandbox FSandbox;
  TPlugInInfo FInfo{PlugInMimeType, PlugInProgID};
  HWND FParent = nullptr;
  TPlugInInfoFrame FView;
  std::wstring FFolder;
  std::wstring FDll;

  void SetUp() override {
    FParent =
        ::CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPEDWINDOW, 0, 0, 800, 500, nullptr, nullptr, nullptr, nullptr);
    FView.Create(FParent);
    WriteBinaryFile(FSandbox.HostsFile(), "127.0.0.1 ornpluginvlx.local\r\n");
    FFolder = FSandbox.Root() + L"\\ORN\\";
    ::CreateDirectoryW(FFolder.c_str(), nullptr);
    FDll = FFolder + DllName;
    ASSERT_TRUE(::CopyFileW(testing::FixturePath(L"plugin_full.dll").c_str(), FDll.c_str(), FALSE));
    ASSERT_TRUE(::CopyFileW(testing::FixturePath(L"ornPluginHostVLX.exe").c_str(),
                            (FFolder + L"ornPluginHostVLX.exe").c_str(), FALSE));
    Register(FDll);
  }
  void TearDown() override { ::DestroyWindow(FParent); }

  void Register(const std::wstring& path) {
    testing::SetRegistryString(HKEY_CLASSES_ROOT, std::wstring(L"MIME\\Database\\Content Type\\") + PlugInMimeType,
                               L"CLSID", ClassID);
    testing::SetRegistryString(HKEY_CLASSES_ROOT, std::wstring(L"CLSID\\") + ClassID + L"\\InprocServer32", L"", path);
  }
  // A host process holding the plug-in's DLL, or (holding false) one that holds nothing.
  std::unique_ptr<FixtureProcess> StartHost(bool holding = true) {
    auto host = std::make_unique<FixtureProcess>(FFolder + L"ornPluginHostVLX.exe",
                                                 holding ? L"\"" + FDll + L"\"" : std::wstring());
    if (holding) {
      EXPECT_TRUE(host->WaitForModule(DllName));
    }
    return host;
  }
  // Nobody may end the process any more, its starter included: a DACL that denies it.
  static void DenyTermination(const FixtureProcess& process) {
    BYTE everyone[SECURITY_MAX_SID_SIZE];
    DWORD sidSize = sizeof everyone;
    ASSERT_TRUE(::CreateWellKnownSid(WinWorldSid, nullptr, everyone, &sidSize));
    alignas(DWORD) BYTE aclBuffer[256];
    auto* acl = reinterpret_cast<ACL*>(aclBuffer);
    ASSERT_TRUE(::InitializeAcl(acl, sizeof aclBuffer, ACL_REVISION));
    ASSERT_TRUE(::AddAccessDeniedAce(acl, ACL_REVISION, PROCESS_TERMINATE, everyone));
    ASSERT_TRUE(::AddAccessAllowedAce(acl, ACL_REVISION, PROCESS_ALL_ACCESS, everyone));
    SECURITY_DESCRIPTOR descriptor;
    ASSERT_TRUE(::InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION));
    ASSERT_TRUE(::SetSecurityDescriptorDacl(&descriptor, TRUE, acl, FALSE));
    ASSERT_TRUE(::SetKernelObjectSecurity(process.Handle(), DACL_SECURITY_INFORMATION, &descriptor));
    HANDLE probe = ::OpenProcess(PROCESS_TERMINATE, FALSE, process.Id());
    if (probe) ::CloseHandle(probe);
    ASSERT_EQ(probe, nullptr) << "the system lets the process be ended despite its DACL";
  }
  static std::wstring Line(const FixtureProcess& process) {
    return std::to_wstring(process.Id()) + L" - ornPluginHostVLX.exe";
  }

  std::vector<Entry> Entries() const {
    std::vector<Entry> entries;
    const auto count = static_cast<int>(::SendMessageW(FView.lbxProcessList, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
      std::wstring text(::SendMessageW(FView.lbxProcessList, LB_GETTEXTLEN, i, 0), L'\0');
      ::SendMessageW(FView.lbxProcessList, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text.data()));
      entries.push_back(
          {text, reinterpret_cast<const TProcessInfo*>(::SendMessageW(FView.lbxProcessList, LB_GETITEMDATA, i, 0))});
    }
    return entries;
  }
  // What the list must show: one entry per live record of the plug-in, carrying it.
  std::vector<Entry> Records() const {
    std::vector<Entry> records;
    for (const auto& process : FInfo.Processes())
      records.push_back({std::to_wstring(process->ID()) + L" - " + process->Name(), process.get()});
    return records;
  }
  void Select(std::initializer_list<int> indexes) {
    for (int index : indexes) ASSERT_NE(::SendMessageW(FView.lbxProcessList, LB_SETSEL, TRUE, index), LB_ERR);
  }
  void Click(int id, HWND button) {
    ::SendMessageW(FView.Handle(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
  }
  bool PathRowIsRed() const {
    HDC dc = ::CreateCompatibleDC(nullptr);
    ::SendMessageW(FView.Handle(), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                   reinterpret_cast<LPARAM>(FView.lblPlugInPath));
    const COLORREF color = ::GetTextColor(dc);
    ::DeleteDC(dc);
    return color == RGB(255, 0, 0);
  }
};

TEST_F(PlugInViewTest, RowsForEachRegistrationState) {
  auto host = StartHost();
  struct State {
    const char* Name;
    std::wstring Registered;  // empty: no registration at all
    std::wstring PathRow;
    std::wstring VersionRow;
    std::wstring HostsRow;
    bool Red;
    size_t Entries;
  };
  const State states[] = {
      {"not registered at start", L"", L"Плагин не зарегистрирован", L"", L"Запись в Hosts: ", true, 0},
      {"registered file missing", FFolder + L"gone.dll", L"Путь к плагину: " + FFolder + L"gone.dll", L"Версия: ",
       L"Запись в Hosts: Есть", false, 0},
      {"registered and held", FDll, L"Путь к плагину: " + FDll, L"Версия: 10.0.2.123", L"Запись в Hosts: Есть", false,
       1},
      // The hosts row has no answer, as at start: not the last one.
      {"no longer registered", L"", L"Плагин не зарегистрирован", L"", L"Запись в Hosts: ", true, 0},
  };
  for (const State& state : states) {
    SCOPED_TRACE(state.Name);
    ::RegDeleteTreeW(HKEY_CLASSES_ROOT, nullptr);
    if (!state.Registered.empty()) Register(state.Registered);
    FInfo.Load();
    FView.Load(&FInfo);
    EXPECT_EQ(WindowText(FView.lblPlugInPath), state.PathRow);
    EXPECT_EQ(WindowText(FView.lblVersion), state.VersionRow);
    EXPECT_EQ(WindowText(FView.lblDomainInHosts), state.HostsRow);
    EXPECT_EQ(PathRowIsRed(), state.Red);
    EXPECT_EQ(Entries().size(), state.Entries);
    EXPECT_EQ(Enabled(FView.btnKillProcs), state.Entries > 0);
  }
}

TEST_F(PlugInViewTest, HostsRowFollowsTheRepairWithoutRefresh) {
  WriteBinaryFile(FSandbox.HostsFile(), "127.0.0.1 localhost\r\n");
  FInfo.Load();
  FView.Load(&FInfo);
  EXPECT_EQ(WindowText(FView.lblDomainInHosts), L"Запись в Hosts: Нет");
  WriteBinaryFile(FSandbox.HostsFile(), "127.0.0.1 localhost\r\n127.0.0.1\tornpluginvlx.local\r\n");
  FInfo.ReloadHostsInfo();
  FView.ReloadHostsInfo();
  EXPECT_EQ(WindowText(FView.lblDomainInHosts), L"Запись в Hosts: Есть");
}

TEST_F(PlugInViewTest, KillEndsTheSelectedProcessesLastEntryFirst) {
  auto first = StartHost(), second = StartHost(), third = StartHost();
  FInfo.Load();
  FView.Load(&FInfo);
  ASSERT_EQ(Entries(), Records());
  ASSERT_EQ(Entries().size(), 3u);
  EXPECT_TRUE(Enabled(FView.btnKillProcs));

  Click(TPlugInInfoFrame::idKillProcs, FView.btnKillProcs);
  EXPECT_EQ(Entries().size(), 3u) << "nothing selected, nothing ended";
  EXPECT_TRUE(Enabled(FView.btnKillProcs));

  // Which entry is which follows the system's process order, not the start order.
  const FixtureProcess* byEntry[3] = {};
  for (const auto* host : {first.get(), second.get(), third.get()})
    for (int i = 0; i < 3; ++i)
      if (Entries()[i].Text == Line(*host)) byEntry[i] = host;
  ASSERT_TRUE(byEntry[0] && byEntry[1] && byEntry[2]);

  // Watch the order of the terminations through the view's own listener.
  std::vector<bool> firstEndedWhenLastEnded;
  auto viewListener = FInfo.OnProcessesChanged;
  FInfo.OnProcessesChanged = [&](TPlugInInfo* sender) {
    if (byEntry[2]->HasEnded() && firstEndedWhenLastEnded.empty())
      firstEndedWhenLastEnded.push_back(byEntry[0]->HasEnded());
    viewListener(sender);
  };
  Select({0, 2});
  Click(TPlugInInfoFrame::idKillProcs, FView.btnKillProcs);
  EXPECT_TRUE(byEntry[0]->HasEnded());
  EXPECT_TRUE(byEntry[2]->HasEnded());
  EXPECT_FALSE(byEntry[1]->HasEnded());
  EXPECT_EQ(firstEndedWhenLastEnded, std::vector<bool>{false}) << "the later entry goes first";
  EXPECT_EQ(Entries(), Records());
  ASSERT_EQ(Entries().size(), 1u);
  EXPECT_EQ(Entries()[0].Text, Line(*byEntry[1]));
  EXPECT_TRUE(Enabled(FView.btnKillProcs));
}

// A process this user may not end stays in the list, and the person is told which did not
// end and why; the window is enabled and answering again afterwards.
TEST_F(PlugInViewTest, KillNamesTheProcessesThatDidNotEnd) {
  testing::FakeUserInteraction user;
  auto ending = StartHost(), guarded = StartHost();
  ASSERT_NO_FATAL_FAILURE(DenyTermination(*guarded));
  FInfo.Load();
  FView.Load(&FInfo);
  ASSERT_EQ(Entries().size(), 2u);
  Select({0, 1});
  Click(TPlugInInfoFrame::idKillProcs, FView.btnKillProcs);
  EXPECT_TRUE(ending->HasEnded());
  EXPECT_FALSE(guarded->HasEnded());
  ASSERT_EQ(Entries().size(), 1u);
  EXPECT_EQ(Entries()[0].Text, Line(*guarded));
  ASSERT_EQ(user.Messages.size(), 1u);
  EXPECT_EQ(user.Messages[0].Kind, TMsgKind::Error);
  EXPECT_EQ(user.Messages[0].Text,
            L"Не удалось завершить процесс " + Line(*guarded) + L": " + SysErrorMessage(ERROR_ACCESS_DENIED));
  EXPECT_TRUE(::IsWindowEnabled(FParent));
  testing::PumpUntilIdle();

  // The same when the logging settings end every process together.
  auto second = StartHost();
  ASSERT_NO_FATAL_FAILURE(DenyTermination(*second));
  FInfo.Load();
  FView.Load(&FInfo);
  const std::vector<TNotEnded> notEnded = FInfo.KillAllProcesses();
  ASSERT_EQ(notEnded.size(), 2u);
  EXPECT_TRUE(AnyMayStillRun(notEnded));
  EXPECT_EQ(NotEndedMessage(notEnded), L"Не удалось завершить процесс " + notEnded[0].Process + L": " +
                                           SysErrorMessage(ERROR_ACCESS_DENIED) + L"\r\nНе удалось завершить процесс " +
                                           notEnded[1].Process + L": " + SysErrorMessage(ERROR_ACCESS_DENIED));
  EXPECT_EQ(Entries(), Records());
  EXPECT_EQ(Entries().size(), 2u) << "both still run";
}

TEST_F(PlugInViewTest, TheListFollowsEveryChangeOfTheRecords) {
  auto kept = StartHost();
  auto ending = StartHost();
  FInfo.Load();
  FView.Load(&FInfo);
  ASSERT_EQ(Entries().size(), 2u);

  // Rebuilt underneath the view, as the logging settings do before offering to end them.
  ending.reset();
  auto started = StartHost();
  FInfo.ReloadProcesses();
  EXPECT_EQ(Entries(), Records());
  ASSERT_EQ(Entries().size(), 2u);
  int startedEntry = Entries()[0].Text == Line(*started) ? 0 : 1;
  ASSERT_EQ(Entries()[startedEntry].Text, Line(*started));
  Select({startedEntry});
  Click(TPlugInInfoFrame::idKillProcs, FView.btnKillProcs);
  EXPECT_TRUE(started->HasEnded()) << "the entry acted on the live record";
  EXPECT_FALSE(kept->HasEnded());

  // Emptied for a report load that may then fail and leave the view as it was.
  FInfo.Clear();
  EXPECT_TRUE(Entries().empty());
  EXPECT_FALSE(Enabled(FView.btnKillProcs));

  // Every process ended together, as after a change of the logging settings.
  FInfo.Load();
  FView.Load(&FInfo);
  ASSERT_EQ(Entries().size(), 1u);
  FInfo.KillAllProcesses();
  EXPECT_TRUE(kept->HasEnded());
  EXPECT_TRUE(Entries().empty());
  EXPECT_FALSE(Enabled(FView.btnKillProcs));
}

TEST_F(PlugInViewTest, AReportsProcessesCannotBeEndedUntilRefresh) {
  // The report names a process id that is running here, but as an unrelated program.
  auto unrelated = StartHost(false);
  auto local = StartHost();
  const std::wstring reportFile = FSandbox.Root() + L"\\other.iinf";
  WriteBinaryFile(reportFile, "[PlugIn]\r\nPath=C:\\ORN\\npORNPlugInVLX.dll\r\nVersion=9.9\r\nAppName=" +
                                  testing::Narrow(PlugInMimeType) + "\r\n[PlugIn\\Processes]\r\n" +
                                  std::to_string(unrelated->Id()) + "=browser.exe\r\n[PlugIn\\Process\\" +
                                  std::to_string(unrelated->Id()) + "]\r\n1=C:\\ORN\\npORNPlugInVLX.dll\r\n");
  TPlugInInfo report(PlugInMimeType, PlugInProgID);
  TIniFile ini(reportFile);
  ASSERT_TRUE(report.LoadFromIniFile(&ini));
  const std::wstring xml = report.SaveAsXML(L"");

  const std::function<void()> loads[] = {
      [&] { ASSERT_TRUE(FInfo.LoadFromIniFile(&ini)); },
      [&] {
        TSimpleXMLParser parser;
        FInfo.SetFromReport(true);  // as the composite marks its parts for a report
        FInfo.SetXMLParser(&parser);
        ASSERT_TRUE(parser.Parse(xml));
        FInfo.SetXMLParser(nullptr);
      },
  };
  for (const auto& load : loads) {
    FInfo.Load();
    FView.Load(&FInfo);
    ASSERT_TRUE(Enabled(FView.btnKillProcs));
    FInfo.Clear();
    load();
    FView.Load(&FInfo);
    ASSERT_EQ(Entries(), Records());
    ASSERT_EQ(Entries().size(), 1u);
    EXPECT_EQ(Entries()[0].Text, std::to_wstring(unrelated->Id()) + L" - browser.exe");
    EXPECT_FALSE(Enabled(FView.btnKillProcs));

    Select({0});
    Click(TPlugInInfoFrame::idKillProcs, FView.btnKillProcs);  // as if the button could be pressed
    EXPECT_FALSE(unrelated->HasEnded());
    EXPECT_EQ(Entries().size(), 1u);

    Click(TPlugInInfoFrame::idRefresh, FView.btnRefresh);
    EXPECT_EQ(WindowText(FView.lblPlugInPath), L"Путь к плагину: " + FDll);
    EXPECT_EQ(Entries(), Records());
    ASSERT_EQ(Entries().size(), 1u);
    EXPECT_EQ(Entries()[0].Text, Line(*local));
    EXPECT_TRUE(Enabled(FView.btnKillProcs)) << "this workstation's processes again";
  }
}

TEST_F(PlugInViewTest, ControlsKeepTheirPlacesOnTheTabPage) {
  const UINT dpi = WindowDpi(FView.Handle());
  ::MoveWindow(FView.Handle(), 0, 0, Scale(755, dpi), Scale(423, dpi), FALSE);
  struct Place {
    HWND Control;
    RECT Design;  // at the tab page's size
  };
  const Place places[] = {
      {FView.lblPlugInPath, {8, 7, 748, 23}},     {FView.lblVersion, {8, 25, 748, 41}},
      {FView.lblDomainInHosts, {8, 42, 201, 59}}, {FView.lblProcessList, {8, 60, 225, 77}},
      {FView.btnRefresh, {580, 53, 656, 75}},     {FView.btnKillProcs, {662, 53, 746, 75}},
      {FView.lbxProcessList, {8, 80, 747, 415}},
  };
  for (const Place& place : places) {
    RECT actual{};
    ::GetWindowRect(place.Control, &actual);
    ::MapWindowPoints(nullptr, FView.Handle(), reinterpret_cast<POINT*>(&actual), 2);
    SCOPED_TRACE(testing::Narrow(WindowText(place.Control)));
    EXPECT_NEAR(actual.left, Scale(place.Design.left, dpi), 1);
    EXPECT_NEAR(actual.top, Scale(place.Design.top, dpi), 1);
    EXPECT_NEAR(actual.right, Scale(place.Design.right, dpi), 1);
    EXPECT_NEAR(actual.bottom, Scale(place.Design.bottom, dpi), 1);
  }
  std::vector<HWND> tabStops;
  for (HWND child = ::GetWindow(FView.Handle(), GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT))
    if (::GetWindowLongW(child, GWL_STYLE) & WS_TABSTOP) tabStops.push_back(child);
  EXPECT_EQ(tabStops, (std::vector<HWND>{FView.lbxProcessList, FView.btnRefresh, FView.btnKillProcs}));
}

}  // namespace
}  // namespace ornpm
