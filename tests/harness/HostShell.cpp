#include "harness/HostShell.h"

#include <windows.h>

#include "harness/ChildProcess.h"
#include "harness/Sandbox.h"
#include "harness/SmtpServer.h"
#include "harness/Waiting.h"
#include "win/Environment.h"
#include "win/Exceptions.h"
#include "win/Handles.h"
#include "win/Text.h"

namespace ornpm::testing {

std::wstring ShellQuoted(const std::wstring& windowsPath) {
  return L"'" + BytesToWide(UnixPath(windowsPath), CP_UTF8) + L"'";
}

// Wine hands the shell no process handle to wait on: the shell's last act is to move its
// status into place, and that file is waited for.
std::optional<int> RunOnHost(const std::wstring& command) {
  const TempFolder folder;
  const std::wstring status = folder.Path() + L"\\status";
  const std::wstring part = ShellQuoted(folder.Path() + L"\\part");
  const std::wstring script = command + L"; echo $? >" + part + L" && mv " + part + L" " + ShellQuoted(status);
  std::wstring commandLine = L"sh -c " + QuoteArgument(script);
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

FolderLink::FolderLink(const std::wstring& link, const std::wstring& target, TKind kind) : FLink(link), FKind(kind) {
  const std::wstring command = kind == Symbolic ? L"ln -s " + ShellQuoted(target) + L" " + ShellQuoted(link)
                                                : L"mkdir " + ShellQuoted(link) + L" && mount --bind " +
                                                      ShellQuoted(target) + L" " + ShellQuoted(link);
  if (std::optional<int> status = RunOnHost(command)) {
    FHostLink = *status == 0;
    if (!FHostLink) FFailure = command + L": ended with status " + std::to_wstring(*status);
  } else if (kind == Mount) {
    FFailure = L"no host to mount on";
  } else if (!::CreateSymbolicLinkW(link.c_str(), target.c_str(), SYMBOLIC_LINK_FLAG_DIRECTORY)) {
    FFailure = L"CreateSymbolicLinkW: " + SysErrorMessage(::GetLastError());
  }
  if (FFailure.empty() && !DirectoryExists(link)) FFailure = L"the link does not show as a folder";
}

FolderLink::~FolderLink() {
  if (FHostLink)
    RunOnHost((FKind == Symbolic ? L"rm -f " : L"umount ") + ShellQuoted(FLink));
  else
    ::RemoveDirectoryW(FLink.c_str());
}

}  // namespace ornpm::testing
