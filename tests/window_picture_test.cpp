// Every window as it appears on the screen: no area left unpainted (pure black, which is
// what the display shows where nobody painted) and no caption wider than its control.

#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "app/fmMain.h"
#include "harness/FakeUserInteraction.h"
#include "harness/MainWindowWorkstation.h"
#include "harness/Sandbox.h"
#include "harness/Waiting.h"
#include "mail/dlgSendEMail.h"
#include "service/PlugInFiles.h"
#include "service/Registry.h"
#include "views/dlgLogFileName.h"
#include "win/Dpi.h"
#include "win/Fonts.h"
#include "win/Text.h"
#include "win/Window.h"

namespace ornpm {
namespace {

using testing::Narrow;

BOOL CALLBACK FindUpdateRegion(HWND child, LPARAM found) {
  if (!::IsWindowVisible(child) || !::GetUpdateRect(child, nullptr, FALSE)) return TRUE;
  *reinterpret_cast<bool*>(found) = true;
  return FALSE;
}

// Something left to paint in the window or one of its visible descendants.
bool HasUpdateRegion(HWND window) {
  bool found = ::GetUpdateRect(window, nullptr, FALSE);
  if (!found) ::EnumChildWindows(window, FindUpdateRegion, reinterpret_cast<LPARAM>(&found));
  return found;
}

// Shows and paints the window, then runs this thread's messages until none is left and
// nothing is left to paint: the painting is done. Under Wine the look at the empty queue
// is also what puts the painted windows on the display.
void Settle(HWND window) {
  ::SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
  ::RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  testing::WaitUntil([window] {
    testing::PumpUntilIdle();
    return !HasUpdateRegion(window);
  });
  ::GdiFlush();
}

// The side of the largest square of pure black pixels in the window's client area, as the
// screen shows it.
int LargestBlackSquare(HWND window) {
  RECT client{};
  ::GetClientRect(window, &client);
  POINT origin{0, 0};
  ::ClientToScreen(window, &origin);
  const int width = client.right, height = client.bottom;
  HDC screen = ::GetDC(nullptr);
  HDC memory = ::CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HBITMAP bitmap = ::CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = ::SelectObject(memory, bitmap);
  ::BitBlt(memory, 0, 0, width, height, screen, origin.x, origin.y, SRCCOPY);
  ::GdiFlush();
  const auto* pixels = static_cast<const DWORD*>(bits);
  // side[x] of the previous row: the largest black square ending at that pixel.
  std::vector<int> above(static_cast<size_t>(width) + 1, 0), row(static_cast<size_t>(width) + 1, 0);
  int largest = 0;
  for (int y = 0; y < height; ++y) {
    for (int x = 1; x <= width; ++x) {
      const bool black = (pixels[static_cast<size_t>(y) * width + (x - 1)] & 0xFFFFFF) == 0;
      row[x] = black ? 1 + std::min({above[x], above[x - 1], row[x - 1]}) : 0;
      largest = std::max(largest, row[x]);
    }
    std::swap(above, row);
  }
  ::SelectObject(memory, old);
  ::DeleteObject(bitmap);
  ::DeleteDC(memory);
  ::ReleaseDC(nullptr, screen);
  return largest;
}

std::wstring ClassOf(HWND control) {
  wchar_t name[64] = L"";
  ::GetClassNameW(control, name, 64);
  return name;
}

bool IsGroupBox(HWND control) {
  return SameText(ClassOf(control), L"BUTTON") && (::GetWindowLongW(control, GWL_STYLE) & BS_TYPEMASK) == BS_GROUPBOX;
}

// A visible sibling above the control in the drawing order, covering part of it; group
// boxes paint only their frame and cover nothing.
bool CoversPart(HWND sibling, const RECT& box, RECT& overlap) {
  RECT other{};
  ::GetWindowRect(sibling, &other);
  return ::IsWindowVisible(sibling) && !IsGroupBox(sibling) && ::IntersectRect(&overlap, &box, &other);
}

// The room a control's caption has: its width less what the control draws beside the text,
// less what siblings above it hide of its right end.
int CaptionRoom(HWND control, UINT dpi) {
  RECT box{};
  ::GetWindowRect(control, &box);
  int right = box.right - box.left;
  for (HWND above = ::GetWindow(control, GW_HWNDPREV); above; above = ::GetWindow(above, GW_HWNDPREV)) {
    RECT overlap{};
    if (CoversPart(above, box, overlap)) right = std::min(right, static_cast<int>(overlap.left - box.left));
  }
  const LONG style = ::GetWindowLongW(control, GWL_STYLE);
  if (SameText(ClassOf(control), L"STATIC")) return right;
  switch (style & BS_TYPEMASK) {
    case BS_GROUPBOX:
      return right - Scale(16, dpi);
    case BS_CHECKBOX:
    case BS_AUTOCHECKBOX:
    case BS_RADIOBUTTON:
    case BS_AUTORADIOBUTTON:
      return right - ::GetSystemMetrics(SM_CXMENUCHECK) - Scale(4, dpi);
  }
  // A push button centres its text between its one-pixel edges; left-aligned text starts
  // about 4 pixels in (at 96 DPI) and ends at the right margin.
  RECT margin{};
  ::SendMessageW(control, BCM_GETTEXTMARGIN, 0, reinterpret_cast<LPARAM>(&margin));
  const int width = box.right - box.left, edge = Scale(1, dpi);
  if ((style & BS_CENTER) != BS_LEFT) return std::min(right, width - edge) - edge;
  return std::min(right, static_cast<int>(width - margin.right)) - Scale(4, dpi) - edge;
}

struct TFault {
  std::wstring Caption;
  std::string What;
};

// Buttons, check boxes, group boxes and one-line labels whose text does not fit, and
// controls hidden whole under a sibling; labels that end their text with an ellipsis show
// data, not captions, and are left out.
BOOL CALLBACK CollectFaults(HWND control, LPARAM found) {
  auto& faults = *reinterpret_cast<std::vector<TFault>*>(found);
  const std::wstring name = ClassOf(control);
  const LONG style = ::GetWindowLongW(control, GWL_STYLE);
  const bool button = SameText(name, L"BUTTON");
  const bool label = SameText(name, L"STATIC") && (style & SS_TYPEMASK) == SS_LEFT && !(style & SS_ENDELLIPSIS);
  if (!::IsWindowVisible(control)) return TRUE;
  const std::wstring caption = WindowText(control);
  RECT box{};
  ::GetWindowRect(control, &box);
  for (HWND above = ::GetWindow(control, GW_HWNDPREV); above && !IsGroupBox(control);
       above = ::GetWindow(above, GW_HWNDPREV)) {
    RECT overlap{};
    if (CoversPart(above, box, overlap) && ::EqualRect(&overlap, &box))
      faults.push_back({caption, "lies hidden under \"" + Narrow(WindowText(above)) + "\""});
  }
  if (!(button || label) || caption.empty()) return TRUE;
  const SIZE text = TextExtent(control, caption);
  const int room = CaptionRoom(control, WindowDpi(control));
  if (text.cx > room)
    faults.push_back({caption, "needs " + std::to_string(text.cx) + " pixels, has " + std::to_string(room)});
  return TRUE;
}

BOOL CALLBACK CollectWindow(HWND control, LPARAM found) {
  reinterpret_cast<std::vector<HWND>*>(found)->push_back(control);
  return TRUE;
}

std::vector<HWND> Descendants(HWND window) {
  std::vector<HWND> found;
  ::EnumChildWindows(window, CollectWindow, reinterpret_cast<LPARAM>(&found));
  return found;
}

std::vector<TFault> CaptionFaults(HWND window) {
  std::vector<TFault> found;
  ::EnumChildWindows(window, CollectFaults, reinterpret_cast<LPARAM>(&found));
  return found;
}

class WindowPictureTest : public testing::MainWindowWorkstation {
 protected:
  // Paints the window and checks the picture and the captions.
  void Check(HWND window, const char* name) {
    SCOPED_TRACE(name);
    // The display may expose the window once more after it has painted, and Wine paints
    // what was exposed at the next settle: only an area that stays black counts.
    const int limit = Scale(6, WindowDpi(window));
    int black = limit;
    for (int attempt = 0; attempt < 3 && black >= limit; ++attempt) {
      Settle(window);
      black = LargestBlackSquare(window);
    }
    EXPECT_LT(black, limit) << "an unpainted area of at least " << black << " by " << black;
    for (const TFault& fault : CaptionFaults(window))
      ADD_FAILURE() << "\"" << Narrow(fault.Caption) << "\" " << fault.What;
  }
};

TEST_F(WindowPictureTest, MainWindowInBothModesAndOnEveryPage) {
  TMainForm form({});
  Check(form.Handle(), "common mode");
  form.SwitchToExtMode();
  for (int page = 0; page < 3; ++page) {
    ::SendMessageW(form.Frame().TabControl(), TCM_SETCURFOCUS, page, 0);
    Check(form.Handle(), ("extended mode, page " + std::to_string(page + 1)).c_str());
  }
}

// The hosts row shows data in a label that cuts long text with an ellipsis; its answers are
// fixed words, and the longest of them must still be read whole.
TEST_F(WindowPictureTest, TheHostsRowIsReadWholeWhenTheHostsFileCannotBeRead) {
  ::DeleteFileW(FSandbox.HostsFile().c_str());
  TMainForm form({});
  const auto checkRows = [&form](const char* where) {
    SCOPED_TRACE(where);
    Settle(form.Handle());
    int rows = 0;
    for (HWND control : Descendants(form.Handle())) {
      const std::wstring text = WindowText(control);
      if (!::IsWindowVisible(control) || text.rfind(L"Запись в Hosts: ", 0) != 0) continue;
      ++rows;
      EXPECT_EQ(text, L"Запись в Hosts: ошибка чтения");
      EXPECT_LE(TextExtent(control, text).cx, CaptionRoom(control, WindowDpi(control)));
    }
    EXPECT_EQ(rows, 1);
  };
  checkRows("common mode");
  form.SwitchToExtMode();
  checkRows("extended mode");
}

TEST_F(WindowPictureTest, Dialogs) {
  TMainForm form({});
  {
    TLogFileNameForm dialog(form.Handle());
    Check(dialog.Handle(), "log-file-name dialog");
  }
  TSendEMailForm dialog(form.Handle());
  dialog.LoadLogFileList(&form.Frame().Info()->LogInfo());
  Check(dialog.Handle(), "send dialog");
}

}  // namespace
}  // namespace ornpm
