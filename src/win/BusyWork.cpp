#include "win/BusyWork.h"

#include <exception>
#include <optional>
#include <thread>

#include "win/Exceptions.h"
#include "win/Handles.h"

namespace ornpm {

namespace {

// The owner's top window takes no input and the wait cursor shows for the scope's lifetime;
// both are given back however the scope ends. A window disabled before stays so.
class TBusyScope {
 public:
  explicit TBusyScope(HWND owner)
      : FTop(owner ? ::GetAncestor(owner, GA_ROOT) : nullptr), FReenable(FTop && ::IsWindowEnabled(FTop)) {
    if (FReenable) ::EnableWindow(FTop, FALSE);
    FPrevious = ::SetCursor(Cursor());
  }
  ~TBusyScope() {
    ::SetCursor(FPrevious);
    if (FReenable) ::EnableWindow(FTop, TRUE);
  }
  TBusyScope(const TBusyScope&) = delete;
  TBusyScope& operator=(const TBusyScope&) = delete;
  static HCURSOR Cursor() { return ::LoadCursorW(nullptr, IDC_WAIT); }

 private:
  HWND FTop;
  bool FReenable;
  HCURSOR FPrevious = nullptr;
};

}  // namespace

void RunBusy(HWND owner, const std::function<void()>& work) {
  std::optional<int> quitCode;
  std::exception_ptr failure;
  {
    TBusyScope busy(owner);
    UniqueHandle done(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!done) throw EOSError(::GetLastError());
    std::thread worker([&] {
      try {
        work();
      } catch (...) {
        failure = std::current_exception();
      }
      ::SetEvent(done.Get());
    });
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
      ::SetCursor(TBusyScope::Cursor());  // the windows under the mouse set their own cursor meanwhile
    }
    worker.join();
  }
  if (quitCode) ::PostQuitMessage(*quitCode);  // the program is ending: leave it to the main loop
  if (failure) std::rethrow_exception(failure);
}

}  // namespace ornpm
