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

void Poll(const std::function<bool()>& done, bool pump) {
  while (!done()) {
    if (pump) PumpMessages();
    ::Sleep(PollMs);
  }
}

}  // namespace

void WaitUntil(const std::function<bool()>& done) {
  Poll(done, false);
}

void PumpUntil(const std::function<bool()>& done) {
  Poll(done, true);
}

void PumpUntilIdle() {
  while (PumpMessages()) {
  }
}

}  // namespace ornpm::testing
