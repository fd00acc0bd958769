#include "service/RepairOutcome.h"

#include <windows.h>

#include <exception>

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

void WriteToConsoleStream(const std::wstring& message, TOutputStream stream) {
  DWORD which = stream == TOutputStream::StdOut ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE;
  // A caller that redirected our output (a script, a deployment tool) gets the text there.
  if (HANDLE inherited = ::GetStdHandle(which); IsUsable(inherited)) {
    WriteLine(inherited, message);
    return;
  }
  if (!::AllocConsole()) return;
  if (HWND consoleWindow = ::GetConsoleWindow()) ::ShowWindow(consoleWindow, SW_HIDE);
  WriteLine(::GetStdHandle(which), message);
  ::FreeConsole();
}

}  // namespace

void WriteToParentErrorStream(const std::wstring& line) {
  if (HANDLE inherited = ::GetStdHandle(STD_ERROR_HANDLE); IsUsable(inherited)) {
    WriteLine(inherited, line);
    return;
  }
  // A window program has no console of its own; borrow the starting process's, if any.
  static const bool attached = ::AttachConsole(ATTACH_PARENT_PROCESS) != FALSE;
  if (!attached) return;
  UniqueFileHandle console(::CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                         nullptr, OPEN_EXISTING, 0, nullptr));
  if (console) WriteLine(console.Get(), line);
}

void ShowResultMessage(bool consoleMode, const std::wstring& message, TOutputStream stream, TMsgKind kind) {
  if (consoleMode && kind == TMsgKind::Error)
    WriteToConsoleStream(message, stream);
  else
    ShowMessage(kind, message);
}

int RepairEntry(bool consoleMode, bool present, const wchar_t* presentText, const wchar_t* errorPattern,
                const std::function<void()>& write) {
  if (present) {
    ShowResultMessage(consoleMode, presentText, TOutputStream::StdOut, TMsgKind::Information);
    return 0;
  }
  try {
    write();
    return 0;
  } catch (const std::exception& error) {
    ShowResultMessage(consoleMode, Format(errorPattern, {ExceptionKindName(error), ExceptionMessage(error)}),
                      TOutputStream::StdErr, TMsgKind::Error);
    return 1;
  }
}

}  // namespace ornpm
