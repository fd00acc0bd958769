#pragma once
// Starts the program under test as a process of its own, as a person or a script would,
// and plays the person: every message box it shows is read (caption, text, buttons) and
// answered, every other window is noted and, unless told otherwise, closed.

#include <windows.h>

#include <string>
#include <vector>

namespace ornpm::testing {

struct SeenMessageBox {
  std::wstring Caption;
  std::wstring Text;
  bool YesNo = false;  // Yes and No buttons rather than OK
};

// How long a child may take before the run is counted as hung. It only stops a test that
// would otherwise wait for ever: a slow, busy machine never comes near it.
constexpr DWORD SafetyLimitMs = 180'000;

struct ChildRun {
  DWORD ExitCode = 0;
  bool TimedOut = false;
  std::vector<SeenMessageBox> MessageBoxes;
  std::vector<std::wstring> Windows;  // captions of the other top-level windows it opened
  std::wstring Output;                // standard output and error, decoded from the ANSI code page
};

struct ChildOptions {
  bool RedirectOutput = true;  // hand the child a pipe as standard output and error
  bool CloseWindows = true;
  bool AnswerYes = true;
  DWORD TimeoutMs = SafetyLimitMs;
};

// One argument of a Windows command line, quoted where it needs to be.
std::wstring QuoteArgument(const std::wstring& argument);

// Runs ornpm.exe from the test's own folder with the arguments and the current environment.
// A fixture process started by a test and ended with it.
class FixtureProcess {
 public:
  FixtureProcess(const std::wstring& exePath, const std::wstring& arguments);
  ~FixtureProcess();
  FixtureProcess(const FixtureProcess&) = delete;
  FixtureProcess& operator=(const FixtureProcess&) = delete;

  DWORD Id() const { return FId; }
  HANDLE Handle() const { return FHandle; }
  bool HasEnded() const { return ::WaitForSingleObject(FHandle, 0) == WAIT_OBJECT_0; }
  // Waits until the process has loaded its libraries (it waits for input, or has ended);
  // whether one of that base name is among them.
  bool WaitForModule(const std::wstring& baseName) const;

 private:
  HANDLE FHandle = nullptr;
  DWORD FId = 0;
};

// Ends every process whose executable has this file name, and waits until they are gone.
void TerminateProcessesNamed(const std::wstring& exeName);

ChildRun RunOrnpm(const std::vector<std::wstring>& arguments, const ChildOptions& options = {});

// The same on a disk that is full once a file reaches limitKb kilobytes: the program runs
// under the Unix shell's file-size limit with its signal ignored, so that a write past the
// limit fails part-way, as on a full disk. Wine starts the shell as it starts any program;
// the sandbox's windir is handed on through a batch file (Wine sets its own at start-up).
// Message boxes and windows are not watched: for switches that report on the error stream.
ChildRun RunOrnpmOnFullDisk(const std::vector<std::wstring>& arguments, unsigned limitKb);

}  // namespace ornpm::testing
