#include "win/CommandLineOutput.h"

#include <windows.h>

#include "win/Exceptions.h"
#include "win/Handles.h"
#include "win/Text.h"

namespace ornpm {

namespace {

void WriteLine(HANDLE output, const std::wstring& text) {
  std::wstring line = text + L"\r\n";
  DWORD written = 0;
  DWORD mode = 0;
  if (::GetConsoleMode(output, &mode)) {
    ::WriteConsoleW(output, line.c_str(), static_cast<DWORD>(line.size()), &written, nullptr);
  } else {
    std::string bytes = WideToBytes(line);
    ::WriteFile(output, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  }
}

bool IsUsable(HANDLE handle) {
  return handle != nullptr && handle != INVALID_HANDLE_VALUE && ::GetFileType(handle) != FILE_TYPE_UNKNOWN;
}

// A window program has no console of its own; it borrows the starting process's, if any.
bool AttachedToParentConsole() {
  static const bool attached = ::AttachConsole(ATTACH_PARENT_PROCESS) != FALSE;
  return attached;
}

}  // namespace

bool HasCommandLineOutput() {
  return IsUsable(::GetStdHandle(STD_ERROR_HANDLE)) || AttachedToParentConsole();
}

void WriteErrorLine(const std::wstring& line) {
  // A caller that redirected the stream (a script, a deployment tool) gets the text there.
  if (HANDLE inherited = ::GetStdHandle(STD_ERROR_HANDLE); IsUsable(inherited)) {
    WriteLine(inherited, line);
    return;
  }
  if (!AttachedToParentConsole()) return;
  UniqueFileHandle console(::CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                         nullptr, OPEN_EXISTING, 0, nullptr));
  if (console) WriteLine(console.Get(), line);
}

void WriteCurrentError() noexcept {
  try {
    try {
      throw;
    } catch (const std::exception& error) {
      WriteErrorLine(ExceptionMessage(error));
    } catch (...) {
      WriteErrorLine(L"Непредвиденная ошибка");
    }
  } catch (...) {
    // Out of memory for the text itself: the exit code still says the run failed.
  }
}

TMsgResult THeadlessInteraction::ShowMessage(TMsgKind kind, const std::wstring& text, TMsgButtons buttons) {
  WriteErrorLine(std::wstring(MessageCaption(kind)) + L": " + text);
  return buttons == TMsgButtons::YesNo ? TMsgResult::No : TMsgResult::Ok;
}

}  // namespace ornpm
