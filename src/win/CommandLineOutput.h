#pragma once
// The output of a run with command-line switches. Such a run opens no window and may have
// no one in front of it (a logon script, a deployment tool, a remote shell), so nothing in
// it may wait for a person: its texts go to the standard error stream the caller handed
// over, else to the console of the process that started it, else nowhere. The exit code
// carries the result.

#include <string>

#include "win/UserInteraction.h"

namespace ornpm {

// Writes one line.
void WriteErrorLine(const std::wstring& line);

// A line written now reaches someone: the caller redirected the error stream, or the
// process that started this one has a console. Without either (started from a shortcut)
// a message box is the only way to say anything.
bool HasCommandLineOutput();

// Writes the error being handled: the message of one of ours or of a library's, else a
// generic text. Only inside a catch block.
void WriteCurrentError() noexcept;

// Stands in for the person while it lives: messages go to the error stream after the
// caption of their kind, questions are answered No, and the shell is asked nothing.
class THeadlessInteraction final : public IUserInteraction {
 public:
  THeadlessInteraction() : FPrevious(SetUserInteraction(this)) {}
  ~THeadlessInteraction() override { SetUserInteraction(FPrevious); }
  THeadlessInteraction(const THeadlessInteraction&) = delete;
  THeadlessInteraction& operator=(const THeadlessInteraction&) = delete;

  TMsgResult ShowMessage(TMsgKind kind, const std::wstring& text, TMsgButtons buttons) override;
  ShellResult ExecuteShell(const ShellRequest&) override { return {}; }
  std::wstring ChooseFile(const FileDialogRequest&) override { return {}; }
  bool SetClipboardText(const std::wstring&) override { return false; }

 private:
  IUserInteraction* FPrevious;
};

}  // namespace ornpm
