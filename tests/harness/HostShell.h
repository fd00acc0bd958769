#pragma once
// The host's shell under Wine, for files and folders that Windows calls cannot make.

#include <optional>
#include <string>

namespace ornpm::testing {

// A Windows path as the host's shell reads it: its Unix path in single quotes.
std::wstring ShellQuoted(const std::wstring& windowsPath);

// Runs a command of the host's shell and returns its exit status; nothing where there is no
// host shell (on Windows).
std::optional<int> RunOnHost(const std::wstring& command);

// A second path to a folder. Symbolic: under Wine a host symbolic link (which Wine shows as
// a reparse point), on Windows a directory symbolic link. Mount: the folder mounted once
// more at the link's place, by the host (a bind mount, which the wineserver sees too); no
// reparse point tells it from an ordinary folder, as on a network share that follows links
// itself. Only where there is a host.
class FolderLink {
 public:
  enum TKind { Symbolic, Mount };
  FolderLink(const std::wstring& link, const std::wstring& target, TKind kind = Symbolic);
  // Removed before the sandbox is, whose clean-up would otherwise run round a loop.
  ~FolderLink();
  FolderLink(const FolderLink&) = delete;
  FolderLink& operator=(const FolderLink&) = delete;

  // Why the link could not be made; empty when it is in place. A test that needs the link
  // skips with this as its reason.
  const std::wstring& Failure() const { return FFailure; }

 private:
  std::wstring FLink;
  TKind FKind;
  bool FHostLink = false;
  std::wstring FFailure;
};

}  // namespace ornpm::testing
