#include "harness/Waiting.h"

namespace ornpm::testing {

namespace {

constexpr DWORD PollMs = 10;

bool PumpMessages() {
  bool any = false;
  MSG message;
  while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    any = true;
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
  return any;
}

bool Poll(const std::function<bool()>& done, bool pump) {
  for (const ULONGLONG end = ::GetTickCount64() + SafetyLimitMs; !done(); ::Sleep(PollMs)) {
    if (::GetTickCount64() > end) return false;
    if (pump) PumpMessages();
  }
  return true;
}

}  // namespace

bool WaitUntil(const std::function<bool()>& done) {
  return Poll(done, false);
}

bool PumpUntil(const std::function<bool()>& done) {
  return Poll(done, true);
}

bool PumpUntilIdle() {
  for (const ULONGLONG end = ::GetTickCount64() + SafetyLimitMs; PumpMessages();)
    if (::GetTickCount64() > end) return false;
  return true;
}

}  // namespace ornpm::testing
