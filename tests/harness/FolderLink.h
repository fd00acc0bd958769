#pragma once
// A link to a folder as the program meets it: under Wine a host symbolic link, which
// Windows programs see as an ordinary folder; on Windows a directory symbolic link.

#include <string>

namespace ornpm::testing {

class FolderLink {
 public:
  FolderLink(const std::wstring& link, const std::wstring& target);
  // Removed before the sandbox is, whose clean-up would otherwise run round a loop.
  ~FolderLink();
  FolderLink(const FolderLink&) = delete;
  FolderLink& operator=(const FolderLink&) = delete;

  // Why the link could not be made; empty when it is in place. A test that needs the link
  // skips with this as its reason.
  const std::wstring& Failure() const { return FFailure; }

 private:
  std::wstring FLink;
  bool FHostLink = false;
  std::wstring FFailure;
};

}  // namespace ornpm::testing
