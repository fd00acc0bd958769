#pragma once
// Listing folders: the entries of one folder, and a walk through a folder and everything
// below it. Every walk of the program goes through here, so that all of them agree on
// links: a link to a folder is followed, and a folder reached a second time (through a
// link, a junction, or a share that shows a link as an ordinary folder) is not entered again.

#include <windows.h>

#include <functional>
#include <optional>
#include <set>
#include <string>
#include <tuple>

namespace ornpm {

using TFoundEntry = std::function<void(const WIN32_FIND_DATAW& entry)>;

// Volume serial number and file index: the same file or folder by whatever path it is
// reached. Empty when it cannot be opened to ask.
using TFileIdentity = std::tuple<DWORD, DWORD, DWORD>;
std::optional<TFileIdentity> TryFileIdentity(const std::wstring& path);

// Calls found for every entry that matches the pattern ("folder\*", "folder\*.xinf"),
// "." and ".." left out. True when the search ran, also when nothing matched; false with
// the system's error code when the folder could not be listed.
bool FindEntries(const std::wstring& pattern, const TFoundEntry& found, DWORD& error);

class TFolderWalker {
 public:
  // A file (no folder) found in folder, which ends in a delimiter.
  using TFileFound = std::function<void(const std::wstring& folder, const WIN32_FIND_DATAW& file)>;
  // A folder that could not be listed (no access, gone, a path too long); the walk goes on.
  using TFolderUnreadable = std::function<void(const std::wstring& folder, DWORD error)>;

  explicit TFolderWalker(TFileFound fileFound, TFolderUnreadable unreadable = nullptr);

  // Every file in root and its subfolders, each folder once. Folders are taken from a list,
  // not by recursion, so a deep tree cannot exhaust the stack. A folder this walker has
  // already walked, from this root or an earlier one, is skipped.
  void Walk(const std::wstring& root);

 private:
  bool FirstVisit(const std::wstring& folder);

  TFileFound FFileFound;
  TFolderUnreadable FUnreadable;
  std::set<TFileIdentity> FVisited;
};

}  // namespace ornpm
