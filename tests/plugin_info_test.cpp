// The plug-in's registration, library check and processes, on a sandboxed workstation with
// the fixture DLLs and real fixture processes.

#include <gtest/gtest.h>

#include "harness/ChildProcess.h"
#include "harness/Sandbox.h"
#include "harness/Waiting.h"
#include "service/IniFile.h"
#include "service/PlugInInfo.h"
#include "win/Environment.h"
#include "win/Text.h"

namespace ornpm {
namespace {

using testing::FixturePath;
using testing::FixtureProcess;
using testing::SetRegistryString;

constexpr wchar_t MimeType[] = L"application/x-ORN-plugin-VLX";
constexpr wchar_t ProgID[] = L"ORNPlugin.ORNControlVLX";
constexpr wchar_t MimeClass[] = L"{11111111-2222-3333-4444-555555555555}";
constexpr wchar_t ProgIDClass[] = L"{99999999-8888-7777-6666-555555555555}";

class PlugInInfoTest : public ::testing::Test {
 protected:
  testing::WorkstationSandbox FSandbox;
  TPlugInInfo FInfo{MimeType, ProgID};

  void SetUp() override { testing::WriteBinaryFile(FSandbox.HostsFile(), "127.0.0.1 ornpluginvlx.local\r\n"); }

  // Copies a fixture DLL into the plug-in's folder under the plug-in's file name.
  std::wstring InstallDll(const wchar_t* fixture, const std::wstring& name = L"npORNPlugInVLX.dll") {
    std::wstring folder = FSandbox.Root() + L"\\Program Files (x86)\\ORN\\PlugIn";
    ::CreateDirectoryW((FSandbox.Root() + L"\\Program Files (x86)\\ORN").c_str(), nullptr);
    ::CreateDirectoryW(folder.c_str(), nullptr);
    std::wstring path = folder + L"\\" + name;
    EXPECT_TRUE(::CopyFileW(FixturePath(fixture).c_str(), path.c_str(), FALSE));
    return path;
  }
  void RegisterMime(const std::wstring& classID) {
    SetRegistryString(HKEY_CLASSES_ROOT, std::wstring(L"MIME\\Database\\Content Type\\") + MimeType, L"CLSID", classID);
  }
  void RegisterProgID(const std::wstring& classID) {
    SetRegistryString(HKEY_CLASSES_ROOT, std::wstring(ProgID) + L"\\CLSID", L"", classID);
  }
  void RegisterServer(const std::wstring& classID, const std::wstring& path) {
    SetRegistryString(HKEY_CLASSES_ROOT, L"CLSID\\" + classID + L"\\InprocServer32", L"", path);
  }
  std::vector<std::wstring> CheckLines() const {
    std::vector<std::wstring> lines;
    if (const TNameValueList* checks = FInfo.LibCheckInfo())
      for (size_t i = 0; i < checks->Count(); ++i)
        lines.push_back(std::wstring(checks->Name(i)) + L"=" + std::wstring(checks->ValueAt(i)));
    return lines;
  }
};

TEST_F(PlugInInfoTest, FindsTheDllThroughTheMimeTypeBeforeTheProgID) {
  std::wstring dll = InstallDll(L"plugin_full.dll");
  RegisterMime(MimeClass);
  RegisterServer(MimeClass, dll);
  RegisterProgID(ProgIDClass);
  RegisterServer(ProgIDClass, FSandbox.Root() + L"\\elsewhere.dll");

  EXPECT_TRUE(FInfo.Load());
  EXPECT_EQ(FInfo.ClassID(), MimeClass);
  EXPECT_EQ(FInfo.PlugInPath(), dll);
  EXPECT_EQ(FInfo.PlugInName(), L"npORNPlugInVLX.dll");
  EXPECT_EQ(FInfo.Version(), L"10.0.2.123");
  EXPECT_TRUE(FInfo.DomainInHosts());
  EXPECT_EQ(FInfo.ProcessCount(), 0);
}

TEST_F(PlugInInfoTest, RegistrationCases) {
  struct Case {
    const char* Name;
    std::function<void(const std::wstring& dll)> Register;
    bool Loaded;
    std::wstring ClassID;
    bool PathKept;  // the registered text stays as the path (shown as registered)
  };
  const Case cases[] = {
      {"ProgID when the MIME key is missing",
       [&](const std::wstring& dll) {
         RegisterProgID(ProgIDClass);
         RegisterServer(ProgIDClass, dll);
       },
       true, ProgIDClass, true},
      {"ProgID when the MIME class id is empty",
       [&](const std::wstring& dll) {
         RegisterMime(L"");
         RegisterProgID(ProgIDClass);
         RegisterServer(ProgIDClass, dll);
       },
       true, ProgIDClass, true},
      {"no class id anywhere", [&](const std::wstring&) { RegisterServer(MimeClass, L"x"); }, false, L"", false},
      {"ProgID key without a CLSID subkey",
       [&](const std::wstring& dll) {
         SetRegistryString(HKEY_CLASSES_ROOT, ProgID, L"", L"ORN control");
         RegisterServer(ProgIDClass, dll);
       },
       false, L"", false},
      {"class id without InprocServer32",
       [&](const std::wstring&) {
         RegisterMime(MimeClass);
         SetRegistryString(HKEY_CLASSES_ROOT, std::wstring(L"CLSID\\") + MimeClass, L"", L"ORN");
       },
       false, MimeClass, false},
      {"path in quotes",
       [&](const std::wstring& dll) {
         RegisterMime(MimeClass);
         RegisterServer(MimeClass, L"\"" + dll + L"\"");
       },
       false, MimeClass, true},
      {"path with an environment variable",
       [&](const std::wstring&) {
         RegisterMime(MimeClass);
         RegisterServer(MimeClass, L"%ProgramFiles%\\ORN\\PlugIn\\npORNPlugInVLX.dll");
       },
       false, MimeClass, true},
      {"registered file missing",
       [&](const std::wstring& dll) {
         RegisterMime(MimeClass);
         RegisterServer(MimeClass, dll + L".old");
       },
       false, MimeClass, true},
  };
  std::wstring dll = InstallDll(L"plugin_full.dll");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    ::RegDeleteTreeW(HKEY_CLASSES_ROOT, nullptr);
    c.Register(dll);
    EXPECT_EQ(FInfo.Load(), c.Loaded);
    EXPECT_EQ(FInfo.ClassID(), c.ClassID);
    EXPECT_EQ(!FInfo.PlugInPath().empty(), c.PathKept) << "path: " << testing::Narrow(FInfo.PlugInPath());
    if (!c.Loaded) {
      EXPECT_EQ(FInfo.PlugInName(), L"");
      EXPECT_EQ(FInfo.Version(), L"");
      EXPECT_EQ(FInfo.ProcessCount(), 0);
    }
  }
}

TEST_F(PlugInInfoTest, LibraryCheckLinesForEachKindOfDll) {
  std::vector<std::wstring> allOk = {L"LoadLibrary=OK"};
  for (const wchar_t* name : LibraryCheckFunctions) allOk.push_back(std::wstring(name) + L"=OK");
  std::vector<std::wstring> npapiOnly = {L"LoadLibrary=OK"};
  for (size_t i = 0; i < LibraryCheckFunctions.size(); ++i) {
    std::wstring name = LibraryCheckFunctions[i];
    if (i < 8) {
      npapiOnly.push_back(name + L"=Null");
      npapiOnly.push_back(name + L"|Error=127");  // ERROR_PROC_NOT_FOUND
    } else {
      npapiOnly.push_back(name + L"=OK");
    }
  }
  struct Case {
    const wchar_t* Fixture;
    std::vector<std::wstring> Lines;
  };
  const Case cases[] = {
      {L"plugin_full.dll", allOk},
      {L"plugin_noversion.dll", allOk},
      {L"plugin_npapi.dll", npapiOnly},
      {L"notadll.dll", {L"LoadLibrary=Fail", L"LoadLibrary|Error=193"}},  // ERROR_BAD_EXE_FORMAT
  };
  RegisterMime(MimeClass);
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Narrow(c.Fixture));
    RegisterServer(MimeClass, InstallDll(c.Fixture, c.Fixture));
    EXPECT_TRUE(FInfo.Load()) << "a DLL that cannot be mapped still counts as registered";
    EXPECT_EQ(CheckLines(), c.Lines);
    EXPECT_TRUE(FInfo.Load());
    EXPECT_EQ(CheckLines(), c.Lines) << "a second load gives the same lines, not doubled ones";
  }
}

TEST_F(PlugInInfoTest, InspectionNeverRunsThePlugInsCode) {
  std::wstring dll = InstallDll(L"plugin_marker.dll");
  RegisterMime(MimeClass);
  RegisterServer(MimeClass, dll);
  EXPECT_TRUE(FInfo.Load());
  EXPECT_EQ(CheckLines().front(), L"LoadLibrary=OK");
  EXPECT_FALSE(FileExists(dll + L".ran")) << "DllMain ran";
  // The marker does work: a process that really loads the DLL leaves it.
  FixtureProcess host(FixturePath(L"ornPluginHostVLX.exe"), L"\"" + dll + L"\"");
  ASSERT_TRUE(host.WaitForModule(L"npORNPlugInVLX.dll"));
  // The module is listed as soon as it is mapped; DllMain may still be running.
  testing::WaitUntil([&] { return FileExists(dll + L".ran"); });
}

class PlugInProcessesTest : public PlugInInfoTest {
 protected:
  std::wstring FDll;
  void SetUp() override {
    PlugInInfoTest::SetUp();
    FDll = InstallDll(L"plugin_full.dll");
    RegisterMime(MimeClass);
    RegisterServer(MimeClass, FDll);
  }
  std::wstring DllFolder() const { return ExtractFilePath(FDll).substr(0, ExtractFilePath(FDll).size() - 1); }
  // A copy of the host executable in a folder of the sandbox.
  std::wstring HostIn(const std::wstring& folder, const wchar_t* name = L"ornPluginHostVLX.exe") {
    ::CreateDirectoryW(folder.c_str(), nullptr);
    std::wstring exe = folder + L"\\" + name;
    ::CopyFileW(FixturePath(L"ornPluginHostVLX.exe").c_str(), exe.c_str(), FALSE);
    return exe;
  }
  std::wstring Quoted(const std::wstring& text) { return L"\"" + text + L"\""; }
};

TEST_F(PlugInProcessesTest, ListsEachHostOnceWithItsDllModulesOnly) {
  FixtureProcess host(HostIn(DllFolder()), Quoted(FDll));
  FixtureProcess idle(HostIn(FSandbox.Root() + L"\\Idle"), L"");
  ASSERT_TRUE(host.WaitForModule(L"npORNPlugInVLX.dll"));
  ASSERT_TRUE(FInfo.Load());

  ASSERT_EQ(FInfo.ProcessCount(), 1) << "the idle host does not hold the DLL";
  const TProcessInfo& process = *FInfo.Processes()[0];
  EXPECT_EQ(process.ID(), host.Id());
  EXPECT_EQ(process.Name(), L"ornPluginHostVLX.exe");
  EXPECT_TRUE(process.UsesLibrary(L"NPORNPLUGINVLX.DLL"));
  EXPECT_TRUE(process.UsesLibrary(L"kernel32.dll"));
  for (const TLibraryInfo& module : process.Modules()) {
    EXPECT_TRUE(EndsText(L".dll", module.FileName())) << testing::Narrow(module.FileName());
    EXPECT_EQ(module.Owner(), &process);
    EXPECT_EQ(module.BaseName(), ExtractFileName(module.FileName()));
  }
  EXPECT_TRUE(SameText(process.Path(), ExtractFilePath(FDll)));

  TInfoLines lines{{L"old", nullptr}};
  FInfo.SaveProcessesInfo(&lines, true, true);
  ASSERT_EQ(lines.size(), 1 + process.Modules().size());
  EXPECT_EQ(lines[0].Text, std::to_wstring(host.Id()) + L" - ornPluginHostVLX.exe");
  EXPECT_EQ(lines[0].Process, &process);
  EXPECT_EQ(lines[1].Text, L"  " + std::wstring(process.Modules()[0].BaseName()));
  EXPECT_EQ(lines[1].Process, nullptr);
}

TEST_F(PlugInProcessesTest, FindProcessPicksTheHostInTheDllFolder) {
  // Started from elsewhere first, so it comes first in the list.
  FixtureProcess stranger(HostIn(FSandbox.Root() + L"\\Other"), Quoted(FDll));
  ASSERT_TRUE(stranger.WaitForModule(L"npORNPlugInVLX.dll"));
  FixtureProcess own(HostIn(DllFolder()), Quoted(FDll));
  ASSERT_TRUE(own.WaitForModule(L"npORNPlugInVLX.dll"));
  ASSERT_TRUE(FInfo.Load());
  ASSERT_EQ(FInfo.ProcessCount(), 2);

  TProcessInfo* found = FInfo.FindProcess(L"ORNPLUGINHOSTVLX.EXE", ExtractFilePath(FDll));
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(found->ID(), own.Id());
  EXPECT_EQ(FInfo.FindProcess(L"ornPluginHost", FSandbox.Root() + L"\\Other\\")->ID(), stranger.Id());
  EXPECT_EQ(FInfo.FindProcess(L"iexplore.exe", ExtractFilePath(FDll)), nullptr);
  EXPECT_EQ(FInfo.ProcessCount(), 2);
}

TEST_F(PlugInProcessesTest, FindFirstProcessSearchesAllProcessesByNamePrefix) {
  EXPECT_EQ(TPlugInInfo::FindFirstProcess(L"iexplore.exe"), nullptr);
  FixtureProcess browser(HostIn(FSandbox.Root() + L"\\IE", L"IEXPLORE.EXE"), L"");
  auto found = TPlugInInfo::FindFirstProcess(L"iexplore.exe");
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(found->ID(), browser.Id());
  EXPECT_EQ(FInfo.ProcessCount(), 0) << "the plug-in's list is not touched";
}

TEST_F(PlugInProcessesTest, KillingRemovesEntriesAndTellsTheListenerBeforeFreeing) {
  FixtureProcess first(HostIn(DllFolder()), Quoted(FDll));
  FixtureProcess second(HostIn(FSandbox.Root() + L"\\Other"), Quoted(FDll));
  FixtureProcess third(HostIn(FSandbox.Root() + L"\\Third"), Quoted(FDll));
  for (auto* p : {&first, &second, &third}) ASSERT_TRUE(p->WaitForModule(L"npORNPlugInVLX.dll"));
  ASSERT_TRUE(FInfo.Load());
  ASSERT_EQ(FInfo.ProcessCount(), 3);

  FInfo.KillProcess(second.Id());
  EXPECT_TRUE(second.HasEnded());
  EXPECT_EQ(FInfo.ProcessCount(), 2);
  FInfo.KillProcess(static_cast<uint32_t>(1));  // not listed: nothing happens
  EXPECT_EQ(FInfo.ProcessCount(), 2);

  std::vector<int> countsSeen;
  FInfo.OnProcessKilled = [&](TPlugInInfo* sender, TProcessInfo* process) {
    EXPECT_EQ(sender, &FInfo);
    EXPECT_EQ(process, nullptr);
    countsSeen.push_back(FInfo.ProcessCount());
    EXPECT_TRUE(first.HasEnded() && third.HasEnded()) << "told after every termination";
  };
  FInfo.KillAllProcesses();
  EXPECT_EQ(countsSeen, std::vector<int>{2}) << "told once, while the records are still there";
  EXPECT_EQ(FInfo.ProcessCount(), 0);
  FInfo.KillAllProcesses();
  EXPECT_EQ(countsSeen, (std::vector<int>{2, 0})) << "an empty list still tells the listener";
}

// A process whose id no longer names one here has ended: it leaves the list.
TEST_F(PlugInInfoTest, AProcessThatHadEndedLeavesTheList) {
  // Processes read from another workstation's report: their ids are not running here.
  const std::wstring file = FSandbox.Root() + L"\\other.iinf";
  testing::WriteBinaryFile(file,
                           "[PlugIn]\r\nPath=C:\\x.dll\r\n[PlugIn\\Processes]\r\n4000000=a.exe\r\n4000004=b.exe\r\n");
  TIniFile ini(file);
  ASSERT_TRUE(FInfo.LoadFromIniFile(&ini));
  ASSERT_EQ(FInfo.ProcessCount(), 2);
  FInfo.KillProcess(4000004u);
  FInfo.KillAllProcesses();
  ASSERT_EQ(FInfo.ProcessCount(), 2) << "a report's ids name no process here: never ended";
  FInfo.SetFromReport(false);  // as if the records had been gathered here
  DWORD error = ERROR_SUCCESS;
  EXPECT_FALSE(FInfo.Processes()[0]->Kill(&error));
  EXPECT_EQ(error, ProcessAlreadyEnded);
  FInfo.KillProcess(4000004u);
  ASSERT_EQ(FInfo.ProcessCount(), 1);
  EXPECT_EQ(FInfo.Processes()[0]->Name(), L"a.exe");
  // Told as ended before, not as a failure with the system's word for a missing id.
  const std::vector<TNotEnded> notEnded = FInfo.KillAllProcesses();
  EXPECT_EQ(FInfo.ProcessCount(), 0);
  ASSERT_EQ(notEnded.size(), 1u);
  EXPECT_FALSE(AnyMayStillRun(notEnded));
  EXPECT_EQ(NotEndedMessage(notEnded), L"Процесс " + notEnded[0].Process + L" уже завершился");
}

}  // namespace
}  // namespace ornpm
