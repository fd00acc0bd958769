#include "harness/DialogAnswer.h"

#include <string>
#include <utility>

namespace ornpm::testing {

namespace {

std::wstring answeredClass;
std::function<void(HWND)> pendingAnswer;
int windowsAnswered = 0;

void CALLBACK AnswerIfShown(HWND, UINT, UINT_PTR timer, DWORD) {
  HWND window = ::FindWindowW(answeredClass.c_str(), nullptr);
  if (!window || !::IsWindowVisible(window)) return;
  ::KillTimer(nullptr, timer);
  ++windowsAnswered;
  pendingAnswer(window);
}

}  // namespace

void AnswerWhenShown(const wchar_t* className, std::function<void(HWND window)> answer) {
  answeredClass = className;
  pendingAnswer = std::move(answer);
  windowsAnswered = 0;
  ::SetTimer(nullptr, 0, 20, AnswerIfShown);
}

int WindowsAnswered() {
  return windowsAnswered;
}

}  // namespace ornpm::testing
