#pragma once
// The test SMTP server (fixtures/smtp_server.py) run by the host's Python.
//
// Under Wine a Windows program can start a Linux program: CreateProcessW with the program's
// path on drive Z: (the root of the Linux file system) is handed to the host when the file
// is no Windows executable. The host process gives us no handle to wait on, so the server
// reports through files in its folder and ends by itself after its lifetime.

#include <windows.h>

#include <string>

#include "harness/Sandbox.h"

namespace ornpm::testing {

// The Linux path of a Windows path, for arguments handed to Linux programs.
std::string UnixPath(const std::wstring& windowsPath);

class SmtpServer {
 public:
  // Starts the server in the given mode (see smtp_server.py) and waits until it listens.
  explicit SmtpServer(const std::string& mode, int lifetimeSeconds = 20);

  unsigned short Port() const { return FPort; }
  // The test CA that signed the server's certificate (not the "untrusted" one's).
  std::wstring CaFile() const { return FFolder.Path() + L"\\ca.pem"; }
  std::wstring File(const std::wstring& name) const { return FFolder.Path() + L"\\" + name; }
  // The commands the server saw, one a line; waits briefly for the session to end first.
  std::string Dialogue() const;

 private:
  TempFolder FFolder;
  unsigned short FPort = 0;
};

}  // namespace ornpm::testing
