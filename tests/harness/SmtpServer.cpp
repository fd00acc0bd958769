#include "harness/SmtpServer.h"

#include <gtest/gtest.h>

#include "harness/Waiting.h"
#include "win/Environment.h"
#include "win/Text.h"

namespace ornpm::testing {

namespace {

constexpr wchar_t Python[] = L"Z:\\usr\\bin\\python3";

}  // namespace

std::string UnixPath(const std::wstring& windowsPath) {
  using ToUnix = char*(CDECL*)(LPCWSTR);
  auto toUnix = reinterpret_cast<ToUnix>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  if (!toUnix) return WideToBytes(windowsPath, CP_UTF8);  // not under Wine
  char* unixPath = toUnix(windowsPath.c_str());
  std::string result = unixPath ? unixPath : "";
  ::HeapFree(::GetProcessHeap(), 0, unixPath);
  return result;
}

SmtpServer::SmtpServer(const std::string& mode) {
  std::wstring commandLine =
      Format(L"python3 \"%s\" \"%s\" %s %s",
             {BytesToWide(UnixPath(FixturePath(L"smtp_server.py")), CP_UTF8),
              BytesToWide(UnixPath(FFolder.Path()), CP_UTF8), BytesToWide(mode), std::to_wstring(IdleLimitMs / 1000)});
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!::CreateProcessW(Python, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    ADD_FAILURE() << "cannot start the SMTP server, error " << ::GetLastError();
    return;
  }
  if (process.hProcess) ::CloseHandle(process.hProcess);
  if (process.hThread) ::CloseHandle(process.hThread);
  // Certificates are made at start, which a busy machine may take its time over.
  WaitUntil([this] { return FileExists(File(L"port")) || FileExists(File(L"failed")); });
  if (FileExists(File(L"failed"))) {
    ADD_FAILURE() << "the SMTP server did not start: " << ReadBinaryFile(File(L"failed"));
    return;
  }
  FPort = static_cast<unsigned short>(std::stoi(ReadBinaryFile(File(L"port"))));
}

std::string SmtpServer::Dialogue() const {
  if (FPort) WaitUntil([this] { return FileExists(File(L"closed")); });
  return FileExists(File(L"dialogue.log")) ? ReadBinaryFile(File(L"dialogue.log")) : "";
}

}  // namespace ornpm::testing
