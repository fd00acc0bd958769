#include "harness/SmtpServer.h"

#include <gtest/gtest.h>

#include "win/Environment.h"
#include "win/Text.h"

namespace ornpm::testing {

namespace {

constexpr wchar_t Python[] = L"Z:\\usr\\bin\\python3";
constexpr DWORD StartTimeoutMs = 20000;  // certificates are made at start
constexpr DWORD SessionEndTimeoutMs = 5000;

bool WaitForFile(const std::wstring& path, DWORD timeoutMs) {
  for (ULONGLONG end = ::GetTickCount64() + timeoutMs; !FileExists(path); ::Sleep(20))
    if (::GetTickCount64() > end) return false;
  return true;
}

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

SmtpServer::SmtpServer(const std::string& mode, int lifetimeSeconds) {
  std::wstring commandLine =
      Format(L"python3 \"%s\" \"%s\" %s %s",
             {BytesToWide(UnixPath(FixturePath(L"smtp_server.py")), CP_UTF8),
              BytesToWide(UnixPath(FFolder.Path()), CP_UTF8), BytesToWide(mode), std::to_wstring(lifetimeSeconds)});
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!::CreateProcessW(Python, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    ADD_FAILURE() << "cannot start the SMTP server, error " << ::GetLastError();
    return;
  }
  if (process.hProcess) ::CloseHandle(process.hProcess);
  if (process.hThread) ::CloseHandle(process.hThread);
  if (!WaitForFile(File(L"port"), StartTimeoutMs)) {
    ADD_FAILURE() << "the SMTP server did not start";
    return;
  }
  FPort = static_cast<unsigned short>(std::stoi(ReadBinaryFile(File(L"port"))));
}

std::string SmtpServer::Dialogue() const {
  WaitForFile(File(L"closed"), SessionEndTimeoutMs);
  return FileExists(File(L"dialogue.log")) ? ReadBinaryFile(File(L"dialogue.log")) : "";
}

}  // namespace ornpm::testing
