#include <functional>
#include <gtest/gtest.h>
#include <utility>

#include "app/AppSettings.h"
#include "app/fmMain.h"
#include "harness/ChildProcess.h"
#include "harness/FakeUserInteraction.h"
#include "harness/Sandbox.h"
#include "harness/Waiting.h"
#include "service/EntryRepair.h"
#include "service/PlugInFiles.h"
#include "win/Environment.h"
#include "win/Exceptions.h"
#include "win/Handles.h"
#include "win/Text.h"

namespace ornpm {
namespace {

using testing::FixturePath;
using testing::WriteBinaryFile;

// Stands in for the elevated copy: it ends once the window's thread dispatched a message (a
// timer of that thread sets the event), so it ends in time only if the window answers while
// it waits. It tells what it saw: 0 the window answered and took no input, 1 it answered
// but was enabled, 2 it never answered.
HANDLE windowAnswered = nullptr;
void CALLBACK SetAnswered(HWND, UINT, UINT_PTR, DWORD) {
  ::SetEvent(windowAnswered);
}
DWORD WINAPI WaitForTheWindow(void* owner) {
  constexpr DWORD OnlyIfNeverAnswered = 120000;
  if (::WaitForSingleObject(windowAnswered, OnlyIfNeverAnswered) != WAIT_OBJECT_0) return 2;
  return ::IsWindowEnabled(static_cast<HWND>(owner)) ? 1 : 0;
}

class WorkstationHelpersTest : public ::testing::Test {
 protected:
  testing::WorkstationSandbox FSandbox;
  testing::FakeUserInteraction FUser;
};

TEST_F(WorkstationHelpersTest, PlugInDataDirFollowsAppData) {
  EXPECT_EQ(GetPlugInDataDir(), FSandbox.AppDataFolder() + L"\\ORN\\ORNPlugin");
}

TEST_F(WorkstationHelpersTest, IniFileBesideTheModuleWhenItExistsElseInThePlugInDataDir) {
  const std::wstring module = FSandbox.Root() + L"\\Tools\\ornpm.exe";
  const std::wstring beside = FSandbox.Root() + L"\\Tools\\ornpm.ini";
  const std::wstring inDataDir = FSandbox.AppDataFolder() + L"\\ORN\\ORNPlugin\\ornpm.ini";
  EXPECT_EQ(SettingsFileName(module), inDataDir) << "neither file exists: the data folder is chosen anyway";
  WriteBinaryFile(beside, "[AppSettings]\r\n");
  EXPECT_EQ(SettingsFileName(module), beside);
  EXPECT_EQ(SettingsFileName(FSandbox.Root() + L"\\Tools\\ornpm"), beside) << "a name without extension gains one";
  // The running program's own file stands in for an empty name.
  EXPECT_EQ(SettingsFileName(), FSandbox.AppDataFolder() + L"\\ORN\\ORNPlugin\\" +
                                    ChangeFileExt(ExtractFileName(ModuleFileName()), L".ini"));
}

TEST_F(WorkstationHelpersTest, FileVersionFromTheVersionResource) {
  EXPECT_EQ(GetFileVersionString(FixturePath(L"plugin_full.dll")), L"10.0.2.123");
  EXPECT_EQ(GetFileVersionString(FixturePath(L"plugin_noversion.dll")), L"");
  EXPECT_EQ(GetFileVersionString(FixturePath(L"notadll.dll")), L"");
  EXPECT_EQ(GetFileVersionString(FSandbox.Root() + L"\\missing.dll"), L"");
}

TEST_F(WorkstationHelpersTest, RunProgramStartsWithoutWaiting) {
  const std::wstring marker = FSandbox.Root() + L"\\copy of plugin.dll.ran";
  ASSERT_TRUE(::CopyFileW(FixturePath(L"plugin_marker.dll").c_str(),
                          (FSandbox.Root() + L"\\copy of plugin.dll").c_str(), FALSE));
  // The host loads the DLL and then waits forever: RunProgram must return while it runs.
  EXPECT_TRUE(RunProgram(L"\"" + FixturePath(L"ornPluginHostVLX.exe") + L"\" \"" + FSandbox.Root() +
                         L"\\copy of plugin.dll\""));
  testing::WaitUntil([&] { return FileExists(marker); });
  testing::TerminateProcessesNamed(L"ornPluginHostVLX.exe");

  EXPECT_FALSE(RunProgram(L"\"" + FSandbox.Root() + L"\\no such program.exe\""));
}

TEST_F(WorkstationHelpersTest, ExploreFolderAsksTheShell) {
  ExploreFolder(L"C:\\Logs");
  ASSERT_EQ(FUser.ShellRequests.size(), 1u);
  EXPECT_EQ(FUser.ShellRequests[0].Verb, L"explore");
  EXPECT_EQ(FUser.ShellRequests[0].File, L"C:\\Logs");
  EXPECT_EQ(FUser.ShellRequests[0].ShowCommand, SW_SHOWNORMAL);
}

// It waits for the copy to end while the window keeps answering, and takes no input meanwhile.
TEST_F(WorkstationHelpersTest, RunAsAdminStartsThisProgramElevatedAndWaitsForItAnswering) {
  UniqueHandle answered(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  windowAnswered = answered.Get();
  HWND owner =
      ::CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, nullptr, nullptr, nullptr, nullptr);
  UniqueHandle observer;
  FUser.ShellHandler = [&](const ShellRequest&) {
    UniqueHandle worker(::CreateThread(nullptr, 0, WaitForTheWindow, owner, 0, nullptr));
    ::DuplicateHandle(::GetCurrentProcess(), worker.Get(), ::GetCurrentProcess(), observer.Put(), 0, FALSE,
                      DUPLICATE_SAME_ACCESS);
    ::SetTimer(owner, 1, 10, SetAnswered);
    return ShellResult{true, std::move(worker)};
  };
  EXPECT_TRUE(RunAsAdmin(owner, L"/WH"));
  ::KillTimer(owner, 1);
  EXPECT_EQ(::WaitForSingleObject(observer.Get(), 0), WAIT_OBJECT_0) << "returned before the copy ended";
  DWORD seen = 3;
  ::GetExitCodeThread(observer.Get(), &seen);
  EXPECT_EQ(seen, 0u) << "1: the window took input while it waited; 2: it did not answer";
  EXPECT_TRUE(::IsWindowEnabled(owner));
  ::DestroyWindow(owner);
  ASSERT_EQ(FUser.ShellRequests.size(), 1u);
  EXPECT_EQ(FUser.ShellRequests[0].Verb, L"runas");
  EXPECT_EQ(FUser.ShellRequests[0].File, ModuleFileName());
  EXPECT_EQ(FUser.ShellRequests[0].Parameters, L"/WH");
  EXPECT_TRUE(FUser.ShellRequests[0].WantProcess);

  FUser.ShellHandler = [](const ShellRequest&) { return ShellResult{false, {}}; };
  EXPECT_FALSE(RunAsAdmin(nullptr, L"/WP")) << "a refused elevation";
}

// Said in a message box from the window; on a command-line run that has somewhere to write
// (here a pipe as its error stream) it is a line there instead.
TEST_F(WorkstationHelpersTest, RepairOutcomes) {
  const std::function<void()> writes = [] {};
  const std::function<void()> fails = [] { throw EFOpenError(L"нет доступа"); };
  const std::function<void()> mustNotRun = [] { ADD_FAILURE() << "the entry was there"; };
  const struct {
    const char* Name;
    bool ConsoleMode;
    bool Present;
    const std::function<void()>& Write;
    int Result;
    std::vector<std::pair<TMsgKind, std::wstring>> Shown;
    std::string Written;
  } cases[] = {
      {"present, window", false, true, mustNotRun, 0, {{TMsgKind::Information, L"уже есть"}}, ""},
      {"present, command line", true, true, mustNotRun, 0, {}, WideToBytes(L"уже есть\r\n")},
      {"written", true, false, writes, 0, {}, ""},
      {"failed, window", false, false, fails, 1, {{TMsgKind::Error, L"Ошибка (EFOpenError): нет доступа"}}, ""},
      {"failed, command line", true, false, fails, 1, {}, WideToBytes(L"Ошибка (EFOpenError): нет доступа\r\n")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    FUser.Messages.clear();
    UniqueHandle readEnd;
    UniqueHandle writeEnd;
    ASSERT_TRUE(::CreatePipe(readEnd.Put(), writeEnd.Put(), nullptr, 0));
    const HANDLE saved = ::GetStdHandle(STD_ERROR_HANDLE);
    ::SetStdHandle(STD_ERROR_HANDLE, writeEnd.Get());
    const int result = RepairEntry(c.ConsoleMode, c.Present, L"уже есть", L"Ошибка (%s): %s", c.Write);
    ::SetStdHandle(STD_ERROR_HANDLE, saved);
    writeEnd.Reset();
    std::string written(256, '\0');
    DWORD read = 0;
    if (!::ReadFile(readEnd.Get(), written.data(), static_cast<DWORD>(written.size()), &read, nullptr)) read = 0;
    written.resize(read);

    EXPECT_EQ(result, c.Result);
    std::vector<std::pair<TMsgKind, std::wstring>> shown;
    for (const testing::ShownMessage& message : FUser.Messages) shown.emplace_back(message.Kind, message.Text);
    EXPECT_EQ(shown, c.Shown);
    EXPECT_EQ(written, c.Written);
  }
}

}  // namespace
}  // namespace ornpm
