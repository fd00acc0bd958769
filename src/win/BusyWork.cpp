#include "win/BusyWork.h"

#include <exception>
#include <optional>
#include <thread>

#include "win/Exceptions.h"
#include "win/Handles.h"

namespace ornpm {

void RunBusy(HWND owner, const std::function<void()>& work) {
  HWND top = owner ? ::GetAncestor(owner, GA_ROOT) : nullptr;
  const bool reenable = top && ::IsWindowEnabled(top);
  if (reenable) ::EnableWindow(top, FALSE);
  const HCURSOR wait = ::LoadCursorW(nullptr, IDC_WAIT);
  const HCURSOR previous = ::SetCursor(wait);

  UniqueHandle done(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (!done) throw EOSError(::GetLastError());
  std::exception_ptr failure;
  std::thread worker([&] {
    try {
      work();
    } catch (...) {
      failure = std::current_exception();
    }
    ::SetEvent(done.Get());
  });
  std::optional<int> quitCode;
  HANDLE waitFor = done.Get();
  while (::MsgWaitForMultipleObjects(1, &waitFor, FALSE, INFINITE, QS_ALLINPUT) != WAIT_OBJECT_0) {
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) {
        quitCode = static_cast<int>(message.wParam);
        continue;
      }
      ::TranslateMessage(&message);
      ::DispatchMessageW(&message);
    }
    ::SetCursor(wait);  // the windows under the mouse set their own cursor meanwhile
  }
  worker.join();

  ::SetCursor(previous);
  if (reenable) ::EnableWindow(top, TRUE);
  if (quitCode) ::PostQuitMessage(*quitCode);  // the program is ending: leave it to the main loop
  if (failure) std::rethrow_exception(failure);
}

}  // namespace ornpm
