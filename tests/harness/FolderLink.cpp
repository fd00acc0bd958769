#include "harness/FolderLink.h"

#include <windows.h>

#include <optional>

#include "harness/Sandbox.h"
#include "harness/SmtpServer.h"
#include "harness/Waiting.h"
#include "win/Environment.h"
#include "win/Exceptions.h"
#include "win/Handles.h"
#include "win/Text.h"

namespace ornpm::testing {

namespace {

std::wstring Quoted(const std::wstring& windowsPath) {
  return L"'" + BytesToWide(UnixPath(windowsPath), CP_UTF8) + L"'";
}

// Runs a command of the host's shell under Wine and returns its exit status; nothing where
// there is no host shell (on Windows). Wine hands the shell no process handle to wait on:
// the shell's last act is to move its status into place, and that file is waited for.
std::optional<int> RunOnHost(const std::wstring& command) {
  const TempFolder folder;
  const std::wstring status = folder.Path() + L"\\status";
  std::wstring commandLine = L"sh -c \"" + command + L"; echo $? >" + Quoted(folder.Path()) + L"/part && mv " +
                             Quoted(folder.Path()) + L"/part " + Quoted(folder.Path()) + L"/status\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!::CreateProcessW(L"Z:\\bin\\sh", commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process))
    return std::nullopt;
  UniqueHandle processHandle(process.hProcess), threadHandle(process.hThread);
  WaitUntil([&] { return FileExists(status); });
  return StrToIntDef(Trim(BytesToWide(ReadBinaryFile(status))), -1);
}

}  // namespace

FolderLink::FolderLink(const std::wstring& link, const std::wstring& target) : FLink(link) {
  if (std::optional<int> status = RunOnHost(L"ln -s " + Quoted(target) + L" " + Quoted(link))) {
    FHostLink = true;
    if (*status != 0) FFailure = L"ln -s ended with status " + std::to_wstring(*status);
  } else if (!::CreateSymbolicLinkW(link.c_str(), target.c_str(), SYMBOLIC_LINK_FLAG_DIRECTORY)) {
    FFailure = L"CreateSymbolicLinkW: " + SysErrorMessage(::GetLastError());
  }
  if (FFailure.empty() && !DirectoryExists(link)) FFailure = L"the link does not show as a folder";
}

FolderLink::~FolderLink() {
  if (FHostLink)
    RunOnHost(L"rm -f " + Quoted(FLink));
  else
    ::RemoveDirectoryW(FLink.c_str());
}

}  // namespace ornpm::testing
