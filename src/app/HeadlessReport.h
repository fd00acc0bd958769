#pragma once
// Report collection without a desktop, for fleet tools: gathers the live diagnosis as the
// window does at start and writes it to a file, never opening a window or waiting for a person.

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

// Writes the report; the format comes from the extension (".xinf", ".iinf", ".html",
// ".htm"). Messages go to the standard error stream. False when no file could be written.
bool WriteHeadlessReport(const std::wstring& fileName);

}  // namespace ornpm
