#include "harness/FakeUserInteraction.h"

namespace ornpm::testing {

FakeUserInteraction::FakeUserInteraction() : FPrevious(SetUserInteraction(this)) {}

FakeUserInteraction::~FakeUserInteraction() {
  SetUserInteraction(FPrevious);
}

TMsgResult FakeUserInteraction::ShowMessage(TMsgKind kind, const std::wstring& text, TMsgButtons buttons) {
  Messages.push_back({kind, text, buttons});
  return buttons == TMsgButtons::YesNo ? ConfirmAnswer : TMsgResult::Ok;
}

ShellResult FakeUserInteraction::ExecuteShell(const ShellRequest& request) {
  ShellRequests.push_back(request);
  if (ShellHandler) return ShellHandler(request);
  return {true, {}};
}

std::wstring FakeUserInteraction::ChooseFile(const FileDialogRequest& request) {
  FileDialogs.push_back(request);
  return ChosenFile;
}

bool FakeUserInteraction::SetClipboardText(const std::wstring& text) {
  Clipboard.push_back(text);
  return true;
}

}  // namespace ornpm::testing
