// The window layer's error boundary, and its busy state: work on a worker thread while the
// windows stay alive; the log-pattern menu as a move-only owner of its menu.

#include "win/Window.h"

#include <windows.h>

#include <functional>
#include <gtest/gtest.h>
#include <new>
#include <stdexcept>
#include <type_traits>
#include <utility>

#include "harness/ChildProcess.h"
#include "harness/DialogAnswer.h"
#include "harness/FakeUserInteraction.h"
#include "service/LogFileNameMenu.h"
#include "win/BusyWork.h"
#include "win/ErrorDisplay.h"
#include "win/Exceptions.h"
#include "win/Handles.h"

namespace ornpm {
namespace {

// A window whose handler raises whatever the test gives it.
class TThrowingWindow : public TWindow {
 public:
  std::function<void()> Raise;
  TThrowingWindow() { CreateNative(L"OrnpmThrowingWindow", L"", WS_OVERLAPPEDWINDOW, 0, nullptr, {0, 0, 200, 100}); }
  ~TThrowingWindow() override { ::DestroyWindow(Handle()); }

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_APP) Raise();
    return TWindow::HandleMessage(message, wParam, lParam);
  }
};

TEST(ErrorBoundary, EveryErrorIsShownInRussianAndGoesNoFurther) {
  struct Case {
    const char* Name;
    std::function<void()> Raise;
    std::wstring Shown;
  };
  const Case cases[] = {
      {"own error", [] { throw EInOutError(L"Ошибка чтения файла"); }, L"Ошибка чтения файла"},
      {"out of memory", [] { throw std::bad_alloc(); }, L"Недостаточно памяти"},
      {"library error", [] { throw std::runtime_error("bad"); }, L"Непредвиденная ошибка: bad"},
      {"not an exception class", [] { throw 42; }, L"Непредвиденная ошибка"},
  };
  testing::FakeUserInteraction user;
  TThrowingWindow window;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    user.Messages.clear();
    window.Raise = c.Raise;
    EXPECT_EQ(::SendMessageW(window.Handle(), WM_APP, 0, 0), 0);
    ASSERT_EQ(user.Messages.size(), 1u);
    EXPECT_EQ(user.Messages[0].Kind, TMsgKind::Error);
    EXPECT_EQ(user.Messages[0].Text, c.Shown);
    EXPECT_TRUE(::IsWindow(window.Handle()));
    EXPECT_FALSE(RunGuarded(c.Raise));
    EXPECT_EQ(user.Messages.size(), 2u);
  }
}

int timerTicks = 0;
HANDLE enoughTicks = nullptr;  // set at the fifth tick

void CALLBACK CountTick(HWND, UINT, UINT_PTR, DWORD) {
  if (++timerTicks == 5) ::SetEvent(enoughTicks);
}

class BusyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FOwner =
        ::CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, nullptr, nullptr, nullptr, nullptr);
    FChild = ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD, 0, 0, 10, 10, FOwner, nullptr, nullptr, nullptr);
  }
  void TearDown() override { ::DestroyWindow(FOwner); }
  HWND FOwner = nullptr;
  HWND FChild = nullptr;
};

// While the work runs, this thread's messages are dispatched and the owner's top window
// takes no input; afterwards it is enabled again. The work waits for ticks of a timer of
// this thread, which only come while its messages are dispatched.
TEST_F(BusyTest, MessagesFlowAndTheOwnerIsDisabledWhileWorking) {
  timerTicks = 0;
  UniqueHandle ticked(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  enoughTicks = ticked.Get();
  UINT_PTR timer = ::SetTimer(nullptr, 0, 10, CountTick);
  bool ownerEnabledDuringWork = true;
  DWORD workThread = 0, waited = WAIT_FAILED;
  RunBusy(FChild, [&] {
    workThread = ::GetCurrentThreadId();
    ownerEnabledDuringWork = ::IsWindowEnabled(FOwner);
    waited = ::WaitForSingleObject(ticked.Get(), INFINITE);
  });
  ::KillTimer(nullptr, timer);
  EXPECT_NE(workThread, ::GetCurrentThreadId());
  EXPECT_FALSE(ownerEnabledDuringWork);
  EXPECT_TRUE(::IsWindowEnabled(FOwner));
  EXPECT_EQ(waited, WAIT_OBJECT_0);
}

TEST_F(BusyTest, TheWorksErrorIsRaisedHereAndTheOwnerEnabled) {
  EXPECT_THROW(RunBusy(FOwner, [] { throw EInOutError(L"broken"); }), EInOutError);
  EXPECT_TRUE(::IsWindowEnabled(FOwner));
  // An owner that was disabled before stays so.
  ::EnableWindow(FOwner, FALSE);
  RunBusy(FOwner, [] {});
  EXPECT_FALSE(::IsWindowEnabled(FOwner));
}

// A request to end the program that arrives meanwhile waits for the work and is then left
// for the main loop.
TEST_F(BusyTest, QuitRequestWaitsForTheWorkAndStaysQueued) {
  ::PostQuitMessage(3);
  bool finished = false;
  RunBusy(FOwner, [&] {
    ::Sleep(200);
    finished = true;
  });
  EXPECT_TRUE(finished);
  MSG message;
  ASSERT_TRUE(::PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(message.wParam, 3u);
}

static_assert(!std::is_copy_constructible_v<TLogFileNameMenu> && !std::is_copy_assignable_v<TLogFileNameMenu>);

// Moved, the menu still pops up over its edit box (the box finds it at its new place); the
// menu left behind owns nothing.
TEST(LogFileNameMenuTest, AMovedMenuServesItsEditBox) {
  HWND edit = ::CreateWindowExW(0, L"EDIT", L"C:\\Logs", WS_POPUP | WS_VISIBLE, 0, 0, 200, 30, nullptr, nullptr,
                                nullptr, nullptr);
  TLogFileNameMenu first;
  first.CreateFor(edit);
  TLogFileNameMenu moved(std::move(first));
  EXPECT_FALSE(first.IsItemVisible(TLogFileNameMenu::mniCopy));
  TLogFileNameMenu assigned;
  assigned = std::move(moved);
  EXPECT_TRUE(assigned.IsItemVisible(TLogFileNameMenu::mniCopy));
  ::SendMessageW(edit, EM_SETSEL, 0, -1);
  bool copyEnabled = false;
  testing::AnswerWhenShown(L"#32768", [&](HWND) {
    copyEnabled = assigned.IsItemEnabled(TLogFileNameMenu::mniCopy);
    ::EndMenu();
  });
  ::SendMessageW(edit, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(edit), MAKELPARAM(10, 10));
  EXPECT_EQ(testing::WindowsAnswered(), 1);
  EXPECT_TRUE(copyEnabled) << "the states were taken for this box's selection";
  ::DestroyWindow(edit);
}

}  // namespace
}  // namespace ornpm
