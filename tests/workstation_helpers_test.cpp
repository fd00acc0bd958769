#include <gtest/gtest.h>

#include "app/fmMain.h"
#include "harness/ChildProcess.h"
#include "harness/FakeUserInteraction.h"
#include "harness/Sandbox.h"
#include "harness/Waiting.h"
#include "service/PlugInFiles.h"
#include "service/RepairOutcome.h"
#include "win/Environment.h"
#include "win/Handles.h"
#include "win/Text.h"

namespace ornpm {
namespace {

using testing::FixturePath;
using testing::WriteBinaryFile;

DWORD WINAPI SleepAWhile(void*) {
  ::Sleep(300);
  return 0;
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
  EXPECT_EQ(GetIniFileName(module), inDataDir) << "neither file exists: the data folder is chosen anyway";
  WriteBinaryFile(beside, "[AppSettings]\r\n");
  EXPECT_EQ(GetIniFileName(module), beside);
  EXPECT_EQ(GetIniFileName(FSandbox.Root() + L"\\Tools\\ornpm"), beside) << "a name without extension gains one";
  // The running program's own file stands in for an empty name.
  EXPECT_EQ(GetIniFileName(), FSandbox.AppDataFolder() + L"\\ORN\\ORNPlugin\\" +
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

TEST_F(WorkstationHelpersTest, RunAsAdminStartsThisProgramElevatedAndWaitsForIt) {
  UniqueHandle observer;
  FUser.ShellHandler = [&](const ShellRequest&) {
    // Stands in for the elevated copy: something waitable that ends a little later.
    UniqueHandle worker(::CreateThread(nullptr, 0, SleepAWhile, nullptr, 0, nullptr));
    ::DuplicateHandle(::GetCurrentProcess(), worker.Get(), ::GetCurrentProcess(), observer.Put(), 0, FALSE,
                      DUPLICATE_SAME_ACCESS);
    return ShellResult{true, std::move(worker)};
  };
  EXPECT_TRUE(RunAsAdmin(L"/WH"));
  EXPECT_EQ(::WaitForSingleObject(observer.Get(), 0), WAIT_OBJECT_0) << "returned before the copy ended";
  ASSERT_EQ(FUser.ShellRequests.size(), 1u);
  EXPECT_EQ(FUser.ShellRequests[0].Verb, L"runas");
  EXPECT_EQ(FUser.ShellRequests[0].File, ModuleFileName());
  EXPECT_EQ(FUser.ShellRequests[0].Parameters, L"/WH");
  EXPECT_TRUE(FUser.ShellRequests[0].WantProcess);

  FUser.ShellHandler = [](const ShellRequest&) { return ShellResult{false, {}}; };
  EXPECT_FALSE(RunAsAdmin(L"/WP")) << "a refused elevation";
}

TEST_F(WorkstationHelpersTest, ResultMessagesGoToDialogsExceptConsoleErrors) {
  ShowResultMessage(false, L"ошибка окна", TOutputStream::StdErr, TMsgKind::Error);
  ShowResultMessage(true, L"уже есть", TOutputStream::StdOut, TMsgKind::Information);
  ASSERT_EQ(FUser.Messages.size(), 2u);
  EXPECT_EQ(FUser.Messages[0].Kind, TMsgKind::Error);
  EXPECT_EQ(FUser.Messages[0].Text, L"ошибка окна");
  EXPECT_EQ(FUser.Messages[1].Kind, TMsgKind::Information);

  // A console error goes to the standard error stream the process was given.
  UniqueHandle readEnd;
  UniqueHandle writeEnd;
  ASSERT_TRUE(::CreatePipe(readEnd.Put(), writeEnd.Put(), nullptr, 0));
  HANDLE saved = ::GetStdHandle(STD_ERROR_HANDLE);
  ::SetStdHandle(STD_ERROR_HANDLE, writeEnd.Get());
  ShowResultMessage(true, L"ошибка консоли", TOutputStream::StdErr, TMsgKind::Error);
  ::SetStdHandle(STD_ERROR_HANDLE, saved);
  writeEnd.Reset();
  char buffer[256];
  DWORD read = 0;
  ASSERT_TRUE(::ReadFile(readEnd.Get(), buffer, sizeof(buffer), &read, nullptr));
  EXPECT_EQ(BytesToWide(std::string(buffer, read)), L"ошибка консоли\r\n");
  EXPECT_EQ(FUser.Messages.size(), 2u) << "no dialog for a console error";
}

}  // namespace
}  // namespace ornpm
