#include "harness/ChildProcess.h"

#include <psapi.h>
#include <tlhelp32.h>

#include <algorithm>
#include <set>
#include <stdexcept>

#include "harness/Sandbox.h"
#include "harness/Waiting.h"
#include "win/Environment.h"
#include "win/Handles.h"
#include "win/Text.h"

namespace ornpm::testing {

namespace {

// The static control that holds a message box's text.
constexpr int MessageBoxTextId = 0xFFFF;

// The whole file, when it can be opened; false, without a test failure, when not (yet).
bool ReadWholeFile(const std::wstring& path, std::string& bytes) {
  UniqueFileHandle file(::CreateFileW(path.c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0,
                                      nullptr));
  if (!file) return false;
  bytes.clear();
  char buffer[4096];
  DWORD read = 0;
  while (::ReadFile(file.Get(), buffer, sizeof(buffer), &read, nullptr) && read > 0) bytes.append(buffer, read);
  return true;
}

std::wstring WindowText(HWND window) {
  wchar_t buffer[2048] = {};
  DWORD_PTR ignored = 0;
  ::SendMessageTimeoutW(window, WM_GETTEXT, std::size(buffer), reinterpret_cast<LPARAM>(buffer), SMTO_ABORTIFHUNG,
                        SafetyLimitMs, &ignored);
  return buffer;
}

std::wstring ClassName(HWND window) {
  wchar_t buffer[256] = {};
  ::GetClassNameW(window, buffer, static_cast<int>(std::size(buffer)));
  return buffer;
}

struct WindowSearch {
  DWORD ProcessId;
  std::vector<HWND> Found;
};

BOOL CALLBACK CollectVisibleWindow(HWND window, LPARAM context) {
  auto* search = reinterpret_cast<WindowSearch*>(context);
  DWORD owner = 0;
  ::GetWindowThreadProcessId(window, &owner);
  if (owner == search->ProcessId && ::IsWindowVisible(window)) search->Found.push_back(window);
  return TRUE;
}

std::vector<HWND> VisibleWindowsOf(DWORD processId) {
  WindowSearch search{processId, {}};
  ::EnumWindows(CollectVisibleWindow, reinterpret_cast<LPARAM>(&search));
  return search.Found;
}

class Player {
 public:
  Player(ChildRun& run, const ChildOptions& options) : FRun(run), FOptions(options) {}

  void LookAt(DWORD processId) {
    for (HWND window : VisibleWindowsOf(processId)) {
      if (!FHandled.insert(window).second) continue;
      if (ClassName(window) == L"#32770")
        AnswerMessageBox(window);
      else
        NoteWindow(window);
    }
  }

 private:
  void AnswerMessageBox(HWND box) {
    SeenMessageBox seen{WindowText(box), WindowText(::GetDlgItem(box, MessageBoxTextId)),
                        ::GetDlgItem(box, IDYES) != nullptr};
    FRun.MessageBoxes.push_back(seen);
    int answer = !seen.YesNo ? IDOK : FOptions.AnswerYes ? IDYES : IDNO;
    ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED), 0);
  }

  void NoteWindow(HWND window) {
    FRun.Windows.push_back(WindowText(window));
    if (FOptions.CloseWindows) ::PostMessageW(window, WM_CLOSE, 0, 0);
  }

  ChildRun& FRun;
  const ChildOptions& FOptions;
  std::set<HWND> FHandled;
};

void Drain(HANDLE pipe, std::string& into) {
  DWORD available = 0;
  while (pipe && ::PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr) && available > 0) {
    char buffer[4096];
    DWORD read = 0;
    if (!::ReadFile(pipe, buffer, std::min<DWORD>(available, sizeof(buffer)), &read, nullptr) || read == 0) return;
    into.append(buffer, read);
  }
}

}  // namespace

std::wstring QuoteArgument(const std::wstring& argument) {
  if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos) return argument;
  std::wstring quoted = L"\"";
  for (wchar_t c : argument) {
    if (c == L'"') quoted += L'\\';
    quoted += c;
  }
  return quoted + L"\"";
}

FixtureProcess::FixtureProcess(const std::wstring& exePath, const std::wstring& arguments) {
  std::wstring commandLine = QuoteArgument(exePath) + L" " + arguments;
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
    throw std::runtime_error("cannot start a fixture process");
  ::CloseHandle(process.hThread);
  FHandle = process.hProcess;
  FId = process.dwProcessId;
}

FixtureProcess::~FixtureProcess() {
  ::TerminateProcess(FHandle, 0);
  ::WaitForSingleObject(FHandle, 5000);
  ::CloseHandle(FHandle);
}

bool FixtureProcess::WaitForModule(const std::wstring& baseName) const {
  // The host fixtures load their libraries first and then wait for messages: once the
  // process waits for input, or has ended, its modules are final.
  ::WaitForInputIdle(FHandle, INFINITE);
  HMODULE modules[1024];
  DWORD needed = 0;
  if (!::EnumProcessModules(FHandle, modules, sizeof(modules), &needed)) return false;
  for (DWORD i = 0; i < std::min<DWORD>(needed, sizeof(modules)) / sizeof(HMODULE); ++i) {
    wchar_t name[MAX_PATH] = {};
    if (::GetModuleBaseNameW(FHandle, modules[i], name, MAX_PATH) && SameText(name, baseName)) return true;
  }
  return false;
}

void TerminateProcessesNamed(const std::wstring& exeName) {
  UniqueFileHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof(entry);
  for (BOOL more = ::Process32FirstW(snapshot.Get(), &entry); more; more = ::Process32NextW(snapshot.Get(), &entry)) {
    if (!SameText(entry.szExeFile, exeName)) continue;
    UniqueHandle process(::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, entry.th32ProcessID));
    if (process && ::TerminateProcess(process.Get(), 1)) ::WaitForSingleObject(process.Get(), 5000);
  }
}

namespace {

ChildRun RunChild(std::wstring commandLine, const ChildOptions& options) {
  UniqueHandle readEnd;
  UniqueHandle writeEnd;
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  if (options.RedirectOutput) {
    SECURITY_ATTRIBUTES inheritable{sizeof(inheritable), nullptr, TRUE};
    if (!::CreatePipe(readEnd.Put(), writeEnd.Put(), &inheritable, 1 << 16)) throw std::runtime_error("CreatePipe");
    ::SetHandleInformation(readEnd.Get(), HANDLE_FLAG_INHERIT, 0);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd.Get();
    startup.hStdError = writeEnd.Get();
  }
  PROCESS_INFORMATION process{};
  if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, options.RedirectOutput, 0, nullptr, nullptr,
                        &startup, &process))
    throw std::runtime_error("cannot start the program under test");
  UniqueHandle processHandle(process.hProcess);
  UniqueHandle threadHandle(process.hThread);
  writeEnd.Reset();  // the pipe ends when the child's copy closes

  ChildRun run;
  Player player(run, options);
  std::string output;
  DWORD started = ::GetTickCount();
  while (::WaitForSingleObject(processHandle.Get(), 10) == WAIT_TIMEOUT) {
    Drain(readEnd.Get(), output);
    player.LookAt(process.dwProcessId);
    if (::GetTickCount() - started > options.TimeoutMs) {
      run.TimedOut = true;
      ::TerminateProcess(processHandle.Get(), 0xDEAD);
      ::WaitForSingleObject(processHandle.Get(), INFINITE);
      break;
    }
  }
  Drain(readEnd.Get(), output);
  ::GetExitCodeProcess(processHandle.Get(), &run.ExitCode);
  run.Output = BytesToWide(output);
  return run;
}

}  // namespace

ChildRun RunOrnpm(const std::vector<std::wstring>& arguments, const ChildOptions& options) {
  std::wstring commandLine = QuoteArgument(BinFolder() + L"ornpm.exe");
  for (const std::wstring& argument : arguments) commandLine += L" " + QuoteArgument(argument);
  return RunChild(commandLine, options);
}

ChildRun RunOrnpmOnFullDisk(const std::vector<std::wstring>& arguments, unsigned limitKb) {
  // A Unix program is not a Windows process that can be waited for: the batch file leaves
  // the program's exit code in a file of its own when the run is over.
  const std::wstring folder = GetEnv(L"TEMP") + L"\\ornpm-full-disk-" + std::to_wstring(::GetCurrentProcessId());
  const std::wstring batch = folder + L"\\run.bat", output = folder + L"\\output.txt", code = folder + L"\\code.txt";
  ::CreateDirectoryW(folder.c_str(), nullptr);
  // Process ids come round again: what a run that was cut short left here must not pass for
  // this run's outcome.
  for (const std::wstring& file : {output, code, code + L".part"}) ::DeleteFileW(file.c_str());
  std::wstring run = L"@set \"windir=" + GetEnv(L"windir") + L"\"\r\n@" + QuoteArgument(BinFolder() + L"ornpm.exe");
  for (const std::wstring& argument : arguments) run += L" " + QuoteArgument(argument);
  run += L" >" + QuoteArgument(output) + L" 2>&1\r\n@>" + QuoteArgument(code + L".part") + L" echo %ERRORLEVEL%" +
         L"\r\n@move " + QuoteArgument(code + L".part") + L" " + QuoteArgument(code) + L" >nul\r\n";
  WriteBinaryFile(batch, WideToBytes(run));
  const std::wstring script =
      L"ulimit -f " + std::to_wstring(limitKb) + L"; trap '' XFSZ; exec /usr/bin/wine cmd /c '" + batch + L"'";
  RunChild(L"Z:\\bin\\sh -c " + QuoteArgument(script), {});

  // The code file is there once the batch file moved it into place, and can be read once the
  // move has let go of it: on a busy machine the name shows before that.
  ChildRun result;
  std::string exitCode;
  WaitUntil([&] { return ReadWholeFile(code, exitCode) && !exitCode.empty(); });
  result.ExitCode = static_cast<DWORD>(std::stoul(exitCode));
  result.Output = BytesToWide(ReadBinaryFile(output));
  for (const std::wstring& file : {batch, output, code}) ::DeleteFileW(file.c_str());
  ::RemoveDirectoryW(folder.c_str());
  return result;
}

}  // namespace ornpm::testing
