#include "win/MainThread.h"

#include <deque>
#include <mutex>

#include "win/Window.h"

namespace ornpm {

namespace {

std::mutex queueLock;
std::deque<std::function<void()>> queue;
HWND mainWindow = nullptr;

}  // namespace

void SetMainThreadWindow(HWND window) {
  mainWindow = window;
}

void PostToMainThread(std::function<void()> call) {
  {
    std::lock_guard lock(queueLock);
    queue.push_back(std::move(call));
  }
  ::PostMessageW(mainWindow, WM_NULL, 0, 0);
}

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

}  // namespace ornpm
