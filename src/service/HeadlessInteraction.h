#pragma once
// Runs without a desktop (report collection, the fleet table): nobody is there to answer.

#include <string>

#include "win/UserInteraction.h"

namespace ornpm {

// Stands in for the person: messages go to the error stream, questions are answered No,
// and the shell is not asked to do anything.
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
