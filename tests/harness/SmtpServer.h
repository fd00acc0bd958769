#pragma once
// The test SMTP server (fixtures/smtp_server.py) run by the host's Python.
//
// Under Wine a Windows program can start a Linux program: CreateProcessW with the program's
// path on drive Z: (the root of the Linux file system) is handed to the host when the file
// is no Windows executable. The host process gives us no handle to wait on, so the server
// reports through files in its folder and ends by itself: after its session, once its
// folder is gone, or when nothing has happened for a long while.

#include <windows.h>

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "harness/Sandbox.h"

namespace ornpm::testing {

// The Linux path of a Windows path, for arguments handed to Linux programs.
std::string UnixPath(const std::wstring& windowsPath);

// OpenSSL reads its default locations through the C runtime's copy of the environment.
class CrtEnvironment {
 public:
  CrtEnvironment() = default;
  ~CrtEnvironment() {
    for (const auto& [name, value] : FSaved) _wputenv_s(name.c_str(), value.c_str());
  }
  CrtEnvironment(const CrtEnvironment&) = delete;
  CrtEnvironment& operator=(const CrtEnvironment&) = delete;

  void Set(const std::wstring& name, const std::wstring& value) {
    const wchar_t* old = _wgetenv(name.c_str());
    FSaved.emplace_back(name, old ? old : L"");
    _wputenv_s(name.c_str(), value.c_str());
  }

 private:
  std::vector<std::pair<std::wstring, std::wstring>> FSaved;
};

class SmtpServer {
 public:
  // The server gives up after this long without anything happening (no connection, nothing
  // received or sent), logging IDLE. A safety net only: a client's wait that should outlast
  // the server's patience is made longer than this.
  static constexpr DWORD IdleLimitMs = 120'000;

  // Starts the server in the given mode (see smtp_server.py) and waits until it listens.
  explicit SmtpServer(const std::string& mode);

  unsigned short Port() const { return FPort; }
  // The test CA that signed the server's certificate (not the "untrusted" one's).
  std::wstring CaFile() const { return FFolder.Path() + L"\\ca.pem"; }
  std::wstring File(const std::wstring& name) const { return FFolder.Path() + L"\\" + name; }
  // The commands the server saw, one a line, once the session has ended.
  std::string Dialogue() const;

 private:
  TempFolder FFolder;
  unsigned short FPort = 0;
};

}  // namespace ornpm::testing
