#include "win/MainThread.h"

#include <windows.h>

#include <deque>
#include <mutex>

#include "win/ErrorDisplay.h"
#include "win/Exceptions.h"

namespace ornpm {

namespace {

std::mutex queueLock;
std::deque<std::function<void()>> queue;
HWND queueWindow = nullptr;  // set once, before any other thread can post

void RunQueuedCalls() {
  for (;;) {
    std::function<void()> call;
    {
      std::lock_guard lock(queueLock);
      if (queue.empty()) return;
      call = std::move(queue.front());
      queue.pop_front();
    }
    RunGuarded(call);  // one failing call must not drop the ones queued after it
  }
}

LRESULT CALLBACK QueueWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != WM_NULL) return ::DefWindowProcW(window, message, wParam, lParam);
  RunQueuedCalls();
  return 0;
}

}  // namespace

void BindMainThreadQueue() {
  if (queueWindow) return;
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.lpfnWndProc = QueueWindowProc;
  windowClass.hInstance = ::GetModuleHandleW(nullptr);
  windowClass.lpszClassName = L"OrnpmMainThreadQueue";
  if (!::RegisterClassExW(&windowClass)) throw EOSError(::GetLastError());
  queueWindow = ::CreateWindowExW(0, windowClass.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  windowClass.hInstance, nullptr);
  if (!queueWindow) throw EOSError(::GetLastError());
}

void PostToMainThread(std::function<void()> call) {
  {
    std::lock_guard lock(queueLock);
    queue.push_back(std::move(call));
  }
  ::PostMessageW(queueWindow, WM_NULL, 0, 0);
}

}  // namespace ornpm
