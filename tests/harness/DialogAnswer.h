#pragma once
// Plays the person at a modal window: the answer runs from a timer inside the window's own
// modal loop, once a visible top window of the class is up.

#include <windows.h>

#include <functional>

namespace ornpm::testing {

// Arms one answer for the next window of the class; a later call replaces an unused one.
void AnswerWhenShown(const wchar_t* className, std::function<void(HWND window)> answer);
// How many armed answers ran since the last AnswerWhenShown.
int WindowsAnswered();

}  // namespace ornpm::testing
