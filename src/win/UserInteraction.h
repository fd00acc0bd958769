#pragma once
// Everything the program asks of the person in front of it or of the shell goes through
// this seam, so tests can answer dialogs and see what would have been shown.

#include <windows.h>

#include <string>

#include "win/Handles.h"

namespace ornpm {

enum class TMsgKind { Information, Warning, Error, Confirmation };
enum class TMsgButtons { Ok, YesNo };
enum class TMsgResult { Ok, Yes, No };

struct ShellRequest {
  std::wstring Verb;
  std::wstring File;
  std::wstring Parameters;
  int ShowCommand = SW_SHOWNORMAL;
  bool WantProcess = false;  // hand back the started process, to wait for it
};

struct ShellResult {
  bool Succeeded = false;
  UniqueHandle Process;  // set only when asked for and the shell started a process
};

// A file open or save dialog: filter pairs as the common dialog takes them
// ("text|pattern|text|pattern"), the default extension without its dot, a proposed name.
struct FileDialogRequest {
  bool Save = false;
  std::wstring Filter;
  std::wstring DefaultExtension;
  std::wstring FileName;
};

class IUserInteraction {
 public:
  virtual ~IUserInteraction() = default;
  // A modal message box; its caption names the kind.
  virtual TMsgResult ShowMessage(TMsgKind kind, const std::wstring& text, TMsgButtons buttons) = 0;
  virtual ShellResult ExecuteShell(const ShellRequest& request) = 0;
  // The chosen file name, or empty when the dialog was cancelled.
  virtual std::wstring ChooseFile(const FileDialogRequest& request) = 0;
  // Puts plain Unicode text on the clipboard; false when there is no clipboard to be had.
  virtual bool SetClipboardText(const std::wstring& text) = 0;
};

// The interaction in force: the real one unless a test installed its own.
IUserInteraction& UserInteraction();
// Installs a replacement (null restores the real one); returns the previous replacement.
IUserInteraction* SetUserInteraction(IUserInteraction* replacement);

// The caption of a message box of the given kind.
const wchar_t* MessageCaption(TMsgKind kind);

// Shorthands for the common cases.
inline void ShowMessage(TMsgKind kind, const std::wstring& text) {
  UserInteraction().ShowMessage(kind, text, TMsgButtons::Ok);
}
// Opens the folder in the shell; the outcome is not reported.
inline void ExploreFolder(const std::wstring& path) {
  UserInteraction().ExecuteShell({L"explore", path, L"", SW_SHOWNORMAL, false});
}
inline bool Confirm(const std::wstring& text) {
  return UserInteraction().ShowMessage(TMsgKind::Confirmation, text, TMsgButtons::YesNo) == TMsgResult::Yes;
}

}  // namespace ornpm
