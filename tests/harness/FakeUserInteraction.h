#pragma once
// Stands in for the person at the screen and for the shell while a test runs: records
// every message box and shell request, and answers as the test scripted.

#include <functional>
#include <string>
#include <vector>

#include "win/UserInteraction.h"

namespace ornpm::testing {

struct ShownMessage {
  TMsgKind Kind;
  std::wstring Text;
  TMsgButtons Buttons;
};

class FakeUserInteraction final : public IUserInteraction {
 public:
  FakeUserInteraction();            // installs itself
  ~FakeUserInteraction() override;  // restores what was there
  FakeUserInteraction(const FakeUserInteraction&) = delete;
  FakeUserInteraction& operator=(const FakeUserInteraction&) = delete;

  TMsgResult ShowMessage(TMsgKind kind, const std::wstring& text, TMsgButtons buttons) override;
  ShellResult ExecuteShell(const ShellRequest& request) override;
  std::wstring ChooseFile(const FileDialogRequest& request) override;
  bool SetClipboardText(const std::wstring& text) override;

  std::vector<ShownMessage> Messages;
  std::vector<ShellRequest> ShellRequests;
  TMsgResult ConfirmAnswer = TMsgResult::Yes;
  // Answers shell requests; by default every request succeeds and starts nothing.
  std::function<ShellResult(const ShellRequest&)> ShellHandler;
  std::vector<FileDialogRequest> FileDialogs;
  std::wstring ChosenFile;  // the answer to file dialogs; empty cancels
  std::vector<std::wstring> Clipboard;

 private:
  IUserInteraction* FPrevious;
};

}  // namespace ornpm::testing
