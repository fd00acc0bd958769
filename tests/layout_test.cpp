// Where the windows' controls end up: the designed rectangles after creation, after a drag
// of each edge and corner and after a mode switch, at the DPI the test runs at (scripts/test
// runs these tests at 96 and again at 144 DPI); the sizing limits; fonts, focus, the order
// of overlapping controls and the service menu.

#include "win/Layout.h"

#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/fmMain.h"
#include "harness/DialogAnswer.h"
#include "harness/FakeUserInteraction.h"
#include "harness/MainWindowWorkstation.h"
#include "harness/Sandbox.h"
#include "mail/dlgSendEMail.h"
#include "service/PlugInFiles.h"
#include "service/Registry.h"
#include "views/dlgLogFileName.h"
#include "win/Dpi.h"
#include "win/Fonts.h"
#include "win/TopWindow.h"
#include "win/Window.h"

namespace ornpm {
namespace {

// The DPI of the window, which must be the one the run was set up for.
UINT CheckedDpi(HWND window) {
  const UINT dpi = WindowDpi(window);
  if (const char* expected = std::getenv("ORNPM_EXPECTED_DPI")) {
    EXPECT_EQ(dpi, std::strtoul(expected, nullptr, 10));
  }
  return dpi;
}

// One side of a control as the design gives it: a distance at 96 DPI from the near edge of
// the client area (left or top) or, for a side that keeps its distance to the far edge
// (right or bottom), from that one.
struct TSide {
  bool FromFar;
  int Distance;
};
constexpr TSide Near(int distance) {
  return {false, distance};
}
constexpr TSide Far(int distance) {
  return {true, distance};
}

// A control as designed, each side where the design puts it.
struct TPlace {
  const char* Name;
  int Id;  // the control's id; 0 for the main window's frame
  TSide Left, Top, Right, Bottom;
  // Where the system's font makes the service button's caption longer than the design has
  // room for, the button grows to the right and its arrow moves with its right end.
  enum { Fixed, GrowsForCaption, FollowsGrowth } Fit = Fixed;
};

int Placed(TSide side, LONG clientExtent, UINT dpi) {
  return side.FromFar ? clientExtent - Scale(side.Distance, dpi) : Scale(side.Distance, dpi);
}

RECT PlaceInParent(HWND control) {
  RECT r{};
  ::GetWindowRect(control, &r);
  ::MapWindowPoints(nullptr, ::GetParent(control), reinterpret_cast<POINT*>(&r), 2);
  return r;
}

SIZE ClientSize(HWND window) {
  RECT client{};
  ::GetClientRect(window, &client);
  return {client.right, client.bottom};
}

// Every control of the table where the design puts it (one pixel for rounding), and inside
// the client area.
void ExpectPlaced(HWND window, const std::vector<TPlace>& table, HWND frame = nullptr) {
  const UINT dpi = CheckedDpi(window);
  const SIZE client = ClientSize(window);
  LONG grown = 0;
  for (const TPlace& place : table) {
    SCOPED_TRACE(place.Name);
    HWND control = place.Id ? ::GetDlgItem(window, place.Id) : frame;
    ASSERT_TRUE(control);
    const RECT actual = PlaceInParent(control);
    RECT expected{Placed(place.Left, client.cx, dpi), Placed(place.Top, client.cy, dpi),
                  Placed(place.Right, client.cx, dpi), Placed(place.Bottom, client.cy, dpi)};
    if (place.Fit == TPlace::GrowsForCaption) {
      grown = std::max(0L, actual.right - expected.right);
      EXPECT_LE(grown, Scale(20, dpi)) << "grown for the caption";
      expected.right += grown;
    }
    if (place.Fit == TPlace::FollowsGrowth) ::OffsetRect(&expected, grown, 0);
    EXPECT_NEAR(actual.left, expected.left, 1);
    EXPECT_NEAR(actual.top, expected.top, 1);
    EXPECT_NEAR(actual.right, expected.right, 1);
    EXPECT_NEAR(actual.bottom, expected.bottom, 1);
    EXPECT_GE(actual.left, 0);
    EXPECT_GE(actual.top, 0);
    EXPECT_LE(actual.right, client.cx);
    EXPECT_LE(actual.bottom, client.cy);
  }
}

// What a drag of each edge and corner moves.
struct TEdgeDrag {
  WPARAM Edge;
  const char* Name;
  bool Left, Top, Right, Bottom;
  bool Horizontal() const { return Left || Right; }
  bool Vertical() const { return Top || Bottom; }
};
constexpr TEdgeDrag EdgeDrags[] = {
    {WMSZ_LEFT, "left", true, false, false, false},
    {WMSZ_RIGHT, "right", false, false, true, false},
    {WMSZ_TOP, "top", false, true, false, false},
    {WMSZ_BOTTOM, "bottom", false, false, false, true},
    {WMSZ_TOPLEFT, "top-left", true, true, false, false},
    {WMSZ_TOPRIGHT, "top-right", false, true, true, false},
    {WMSZ_BOTTOMLEFT, "bottom-left", true, false, false, true},
    {WMSZ_BOTTOMRIGHT, "bottom-right", false, false, true, true},
};

const TEdgeDrag& EdgeDrag(WPARAM edge) {
  for (const TEdgeDrag& drag : EdgeDrags)
    if (drag.Edge == edge) return drag;
  throw std::invalid_argument("no such edge");
}

// The rectangle a drag proposes: the dragged sides moved by delta pixels outwards
// (negative: inwards).
RECT Proposed(RECT rect, const TEdgeDrag& drag, int delta) {
  if (drag.Left) rect.left -= delta;
  if (drag.Top) rect.top -= delta;
  if (drag.Right) rect.right += delta;
  if (drag.Bottom) rect.bottom += delta;
  return rect;
}

// The sides a drag does not move are where they were.
void ExpectUndraggedSidesKept(const RECT& after, const TEdgeDrag& drag, const RECT& before) {
  if (!drag.Left) {
    EXPECT_EQ(after.left, before.left);
  }
  if (!drag.Top) {
    EXPECT_EQ(after.top, before.top);
  }
  if (!drag.Right) {
    EXPECT_EQ(after.right, before.right);
  }
  if (!drag.Bottom) {
    EXPECT_EQ(after.bottom, before.bottom);
  }
}

// Drags as the user would: the window proposes the rectangle, its WM_SIZING handler limits
// it, and the window takes it; the sides not dragged stay. Returns the rectangle before.
RECT Drag(HWND window, const TEdgeDrag& drag, int delta) {
  RECT before{};
  ::GetWindowRect(window, &before);
  RECT proposed = Proposed(before, drag, delta);
  ::SendMessageW(window, WM_SIZING, drag.Edge, reinterpret_cast<LPARAM>(&proposed));
  ::SetWindowPos(window, nullptr, proposed.left, proposed.top, proposed.right - proposed.left,
                 proposed.bottom - proposed.top, SWP_NOZORDER | SWP_NOACTIVATE);
  RECT after{};
  ::GetWindowRect(window, &after);
  ExpectUndraggedSidesKept(after, drag, before);
  return before;
}

// The designed client sizes, and each control's sides: the buttons of the main window keep
// their distance to the right and bottom edges, but for the service button and its arrow.
const std::vector<TPlace> MainPlaces = {
    {"frame", 0, Near(0), Near(0), Far(0), Far(37)},
    {"service", TMainForm::idServiceFuncs, Near(7), Far(31), Near(155), Far(6), TPlace::GrowsForCaption},
    {"arrow", TMainForm::idDropDown, Near(129), Far(31), Near(152), Far(6), TPlace::FollowsGrowth},
    {"load", TMainForm::idLoad, Far(491), Far(31), Far(410), Far(6)},
    {"copy", TMainForm::idCopy, Far(392), Far(31), Far(311), Far(6)},
    {"send", TMainForm::idSend, Far(289), Far(31), Far(208), Far(6)},
    {"save", TMainForm::idSave, Far(186), Far(31), Far(105), Far(6)},
    {"exit", TMainForm::idExit, Far(87), Far(31), Far(6), Far(6)},
};

// The send dialog: the left column fixed, but for the notes that grow with the height; the
// log files fill the right side; the buttons and the progress keep to the bottom right.
const std::vector<TPlace> SendPlaces = {
    {"server", TSendEMailForm::idServerHost, Near(16), Near(36), Near(248), Near(59)},
    {"port", TSendEMailForm::idPort, Near(256), Near(36), Near(336), Near(59)},
    {"mailbox", TSendEMailForm::idUserName, Near(16), Near(78), Near(248), Near(101)},
    {"password", TSendEMailForm::idPassword, Near(256), Near(78), Near(336), Near(101)},
    {"subject", TSendEMailForm::idEMailSubject, Near(16), Near(131), Near(336), Near(154)},
    {"notes", TSendEMailForm::idEMailBody, Near(16), Near(183), Near(336), Far(49)},
    {"log files", TSendEMailForm::idLogFiles, Near(360), Near(21), Far(16), Far(49)},
    {"progress figures", TSendEMailForm::idProgressText, Near(8), Far(28), Near(200), Far(12)},
    {"progress", TSendEMailForm::idProgress, Near(204), Far(29), Far(176), Far(12)},
    {"send", IDOK, Far(168), Far(33), Far(90), Far(8)},
    {"cancel", IDCANCEL, Far(86), Far(33), Far(8), Far(8)},
};

const std::vector<TPlace> LogFileNamePlaces = {
    {"folder", TLogFileNameForm::idLogFilePath, Near(104), Near(8), Far(8), Near(31)},
    {"file name", TLogFileNameForm::idLogFileName, Near(104), Near(39), Far(8), Near(62)},
    {"OK", IDOK, Far(171), Far(33), Far(91), Far(8)},
    {"cancel", IDCANCEL, Far(88), Far(33), Far(8), Far(8)},
};

using LayoutTest = testing::MainWindowWorkstation;

// Centred, then moved as little as it takes into the work area of the monitor, clear of
// its taskbar: a dialog on an owner near an edge stays whole on that monitor.
TEST(WindowPlacement, CentredAndKeptInsideTheWorkArea) {
  const RECT work{0, 0, 1920, 1040};  // a 1080-pixel screen with a 40-pixel taskbar below
  const struct {
    const char* Name;
    SIZE Size;
    RECT On, WorkArea, Expected;
  } cases[] = {
      {"on the work area", {800, 600}, work, work, {560, 220, 1360, 820}},
      {"on an owner", {400, 300}, {100, 100, 700, 500}, work, {200, 150, 600, 450}},
      {"an owner at the bottom: above the taskbar", {400, 300}, {100, 800, 700, 1080}, work, {200, 740, 600, 1040}},
      {"an owner past the left edge", {400, 300}, {-500, 100, 100, 500}, work, {0, 150, 400, 450}},
      {"larger than the work area", {2000, 1200}, work, work, {0, 0, 2000, 1200}},
      {"a second monitor", {800, 600}, {1920, 0, 3200, 1000}, {1920, 0, 3200, 1000}, {2160, 200, 2960, 800}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    const RECT placed = CentredRect(c.Size, c.On, c.WorkArea);
    EXPECT_EQ(std::vector<LONG>({placed.left, placed.top, placed.right, placed.bottom}),
              std::vector<LONG>({c.Expected.left, c.Expected.top, c.Expected.right, c.Expected.bottom}));
  }
}

TEST_F(LayoutTest, MainWindowOpensCentredAtTheHeightOfItsMode) {
  for (bool extended : {false, true}) {
    SCOPED_TRACE(extended ? "extended" : "common");
    TMainForm form(extended ? std::vector<std::wstring>{L"/E"} : std::vector<std::wstring>{});
    const UINT dpi = CheckedDpi(form.Handle());
    EXPECT_EQ(ClientSize(form.Handle()).cy, Scale(extended ? 447 : 238, dpi));
    RECT outer{};
    ::GetWindowRect(form.Handle(), &outer);
    const RECT work = WorkAreaOf(form.Handle());
    EXPECT_NEAR(outer.left + outer.right, work.left + work.right, 1) << "centred on the monitor's work area";
    EXPECT_NEAR(outer.top + outer.bottom, work.top + work.bottom, 1);
    ExpectPlaced(form.Handle(), MainPlaces, form.Frame().Handle());
  }
}

// Each edge and corner dragged out and in: the dragged edge moves, up to the limits of
// the mode, the others stay, and the controls follow their anchors.
TEST_F(LayoutTest, MainWindowFollowsADragOfEachEdgeAndCorner) {
  TMainForm form({L"/E"});
  const UINT dpi = CheckedDpi(form.Handle());
  const SIZE border = BorderSize(form.Handle());
  for (const TEdgeDrag& drag : EdgeDrags) {
    for (int delta : {Scale(40, dpi), -Scale(40, dpi)}) {
      SCOPED_TRACE(std::string(drag.Name) + (delta > 0 ? " out" : " in"));
      ::SetWindowPos(form.Handle(), nullptr, 100, 100, Scale(753, dpi) + border.cx, Scale(447, dpi) + border.cy,
                     SWP_NOZORDER | SWP_NOACTIVATE);
      Drag(form.Handle(), drag, delta);
      const SIZE client = ClientSize(form.Handle());
      // Narrower than 753 goes below the extended minimum of 730; 407 high is allowed.
      const int width = !drag.Horizontal() ? Scale(753, dpi) : delta > 0 ? Scale(753, dpi) + delta : Scale(730, dpi);
      const int height = drag.Vertical() ? Scale(447, dpi) + delta : Scale(447, dpi);
      EXPECT_NEAR(client.cx, width, 1);
      EXPECT_NEAR(client.cy, height, 1);
      ExpectPlaced(form.Handle(), MainPlaces, form.Frame().Handle());
    }
  }
}

TEST_F(LayoutTest, ModeSwitchMovesTheButtonRowWithTheBottomEdge) {
  TMainForm form({});
  const UINT dpi = CheckedDpi(form.Handle());
  for (bool extended : {true, false, true}) {
    SCOPED_TRACE(extended ? "to extended" : "to common");
    RECT before{};
    ::GetWindowRect(form.Handle(), &before);
    if (extended)
      form.SwitchToExtMode();
    else
      form.SwitchToOrgMode();
    RECT after{};
    ::GetWindowRect(form.Handle(), &after);
    EXPECT_EQ(ClientSize(form.Handle()).cy, Scale(extended ? 404 : 238, dpi));
    EXPECT_NEAR((after.top + after.bottom) / 2, (before.top + before.bottom) / 2, 1) << "the centre stays";
    ExpectPlaced(form.Handle(), MainPlaces, form.Frame().Handle());
    EXPECT_EQ(::IsWindowVisible(form.LoadButton()) != FALSE, extended);
  }
}

// The limits of each mode, scaled: proposals beyond them stop the dragged edge at the limit.
TEST_F(LayoutTest, MainWindowSizeLimitsFollowTheModeAndTheDpi) {
  TMainForm form({});
  const UINT dpi = CheckedDpi(form.Handle());
  const SIZE b = BorderSize(form.Handle());
  struct Case {
    const char* Name;
    bool Extended;
    WPARAM Edge;
    int Grow;           // pixels at 96 DPI the drag proposes, outwards
    int Width, Height;  // the outer size the window may take
  };
  const int commonHeight = Scale(238, dpi) + b.cy, extendedMin = Scale(404, dpi) + b.cy;
  const Case cases[] = {
      {"common: one pixel down", false, WMSZ_BOTTOM, 1, Scale(753, dpi) + b.cx, commonHeight},
      {"common: one pixel up", false, WMSZ_TOP, -1, Scale(753, dpi) + b.cx, commonHeight},
      {"common: narrow from the left", false, WMSZ_LEFT, -200, Scale(700, dpi) + b.cx, commonHeight},
      {"common: wide to the right", false, WMSZ_RIGHT, 600, Scale(1200, dpi), commonHeight},
      {"common: corner", false, WMSZ_TOPLEFT, -100, Scale(700, dpi) + b.cx, commonHeight},
      {"extended: tall from the top", true, WMSZ_TOP, 400, Scale(753, dpi) + b.cx, Scale(600, dpi) + b.cy},
      {"extended: low from the bottom", true, WMSZ_BOTTOMRIGHT, -100, Scale(730, dpi) + b.cx, extendedMin},
      {"extended: corner out", true, WMSZ_BOTTOMLEFT, 600, Scale(1200, dpi), Scale(600, dpi) + b.cy},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    if (c.Extended) form.SwitchToExtMode();
    RECT before{};
    ::GetWindowRect(form.Handle(), &before);
    ::SetWindowPos(form.Handle(), nullptr, before.left, before.top, Scale(753, dpi) + b.cx,
                   Scale(c.Extended ? 447 : 238, dpi) + b.cy, SWP_NOZORDER | SWP_NOACTIVATE);
    ::GetWindowRect(form.Handle(), &before);
    const TEdgeDrag& drag = EdgeDrag(c.Edge);
    RECT proposed = Proposed(before, drag, Scale(c.Grow, dpi));
    ::SendMessageW(form.Handle(), WM_SIZING, c.Edge, reinterpret_cast<LPARAM>(&proposed));
    EXPECT_EQ(proposed.right - proposed.left, c.Width);
    EXPECT_EQ(proposed.bottom - proposed.top, c.Height);
    ExpectUndraggedSidesKept(proposed, drag, before);
  }
}

// Maximising and sizing by the program or the system (snapping to the screen's height)
// drag no edge: common mode keeps its designed height all the same, extended mode takes
// the height it is given.
TEST_F(LayoutTest, MaximisedOrStretchedCommonModeKeepsItsHeight) {
  for (bool extended : {false, true}) {
    SCOPED_TRACE(extended ? "extended" : "common");
    TMainForm form(extended ? std::vector<std::wstring>{L"/E"} : std::vector<std::wstring>{});
    const UINT dpi = CheckedDpi(form.Handle());
    const int designed = Scale(extended ? 447 : 238, dpi);
    const int screenHeight = ::GetSystemMetrics(SM_CYSCREEN);
    RECT outer{};
    ::GetWindowRect(form.Handle(), &outer);
    ::SetWindowPos(form.Handle(), nullptr, outer.left, 0, outer.right - outer.left, screenHeight,
                   SWP_NOZORDER | SWP_NOACTIVATE);
    ::GetWindowRect(form.Handle(), &outer);
    if (extended)
      EXPECT_EQ(outer.bottom - outer.top, screenHeight);
    else
      EXPECT_EQ(ClientSize(form.Handle()).cy, designed);

    ::ShowWindow(form.Handle(), SW_MAXIMIZE);
    ASSERT_TRUE(::IsZoomed(form.Handle()));
    if (extended)
      EXPECT_GT(ClientSize(form.Handle()).cy, designed);
    else
      EXPECT_EQ(ClientSize(form.Handle()).cy, designed);
    ExpectPlaced(form.Handle(), MainPlaces, form.Frame().Handle());
    ::ShowWindow(form.Handle(), SW_RESTORE);
  }
}

TEST_F(LayoutTest, SendDialogOpensCentredAndFollowsADragOfEachEdgeAndCornerDownToItsMinimum) {
  TSendEMailForm form(nullptr);
  const UINT dpi = CheckedDpi(form.Handle());
  ExpectPlaced(form.Handle(), SendPlaces);
  EXPECT_EQ(ClientSize(form.Handle()).cx, Scale(630, dpi));
  EXPECT_EQ(ClientSize(form.Handle()).cy, Scale(403, dpi));
  RECT start{};
  ::GetWindowRect(form.Handle(), &start);
  const RECT work = WorkAreaOf(form.Handle());
  EXPECT_NEAR(start.left + start.right, work.left + work.right, 1) << "centred on the monitor's work area";
  EXPECT_NEAR(start.top + start.bottom, work.top + work.bottom, 1);
  for (const TEdgeDrag& drag : EdgeDrags) {
    for (int delta : {Scale(50, dpi), -Scale(200, dpi)}) {
      SCOPED_TRACE(std::string(drag.Name) + (delta > 0 ? " out" : " in"));
      ::SetWindowPos(form.Handle(), nullptr, start.left, start.top, start.right - start.left, start.bottom - start.top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
      const RECT before = Drag(form.Handle(), drag, delta);
      RECT after{};
      ::GetWindowRect(form.Handle(), &after);
      // Inwards, the drag stops at the smallest outer size of 640 by 345.
      const int width = before.right - before.left, height = before.bottom - before.top;
      EXPECT_EQ(after.right - after.left, !drag.Horizontal() ? width : delta > 0 ? width + delta : Scale(640, dpi));
      EXPECT_EQ(after.bottom - after.top, !drag.Vertical() ? height : delta > 0 ? height + delta : Scale(345, dpi));
      ExpectPlaced(form.Handle(), SendPlaces);
    }
  }
}

TEST_F(LayoutTest, LogFileNameDialogOpensCentredOnTheMainWindow) {
  TMainForm owner({});
  TLogFileNameForm dialog(owner.Handle());
  const UINT dpi = CheckedDpi(dialog.Handle());
  EXPECT_EQ(ClientSize(dialog.Handle()).cx, Scale(703, dpi));
  EXPECT_EQ(ClientSize(dialog.Handle()).cy, Scale(339, dpi));
  ExpectPlaced(dialog.Handle(), LogFileNamePlaces);
  RECT inner{}, outer{};
  ::GetWindowRect(dialog.Handle(), &inner);
  ::GetWindowRect(owner.Handle(), &outer);
  EXPECT_NEAR(inner.left + inner.right, outer.left + outer.right, 1);
  EXPECT_NEAR(inner.top + inner.bottom, outer.top + outer.bottom, 1);
}

// Counts the font changes this thread's windows receive while it lives.
class TFontCounter {
 public:
  TFontCounter() : FHook(::SetWindowsHookExW(WH_CALLWNDPROC, Count, nullptr, ::GetCurrentThreadId())) { Counted = 0; }
  ~TFontCounter() { ::UnhookWindowsHookEx(FHook); }
  TFontCounter(const TFontCounter&) = delete;
  TFontCounter& operator=(const TFontCounter&) = delete;
  static inline int Counted = 0;

 private:
  static LRESULT CALLBACK Count(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION && reinterpret_cast<const CWPSTRUCT*>(lParam)->message == WM_SETFONT) ++Counted;
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
  }
  HHOOK FHook;
};

BOOL CALLBACK CountChild(HWND, LPARAM counted) {
  ++*reinterpret_cast<int*>(counted);
  return TRUE;
}

int CountChildren(HWND window) {
  int count = 0;
  ::EnumChildWindows(window, CountChild, reinterpret_cast<LPARAM>(&count));
  return count;
}

// Resizing moves the controls and leaves their fonts alone; a change of the DPI gives every
// control, on every page, the font of the window's DPI, the one its layout takes too, even
// where the message says otherwise. Where the system cannot tell a window's DPI, its
// monitor's is the same answer.
TEST_F(LayoutTest, FontsAreSetOnADpiChangeNotOnResizing) {
  TMainForm form({L"/E"});
  const UINT dpi = CheckedDpi(form.Handle());
  {
    TFontCounter fonts;
    Drag(form.Handle(), EdgeDrag(WMSZ_RIGHT), 10);
    Drag(form.Handle(), EdgeDrag(WMSZ_BOTTOMLEFT), -10);
    EXPECT_EQ(TFontCounter::Counted, 0);
  }
  RECT outer{};
  ::GetWindowRect(form.Handle(), &outer);
  TFontCounter fonts;
  ::SendMessageW(form.Handle(), WM_DPICHANGED, MAKEWPARAM(2 * dpi, 2 * dpi), reinterpret_cast<LPARAM>(&outer));
  EXPECT_EQ(TFontCounter::Counted, CountChildren(form.Handle()));
  EXPECT_EQ(MonitorDpi(form.Handle()), dpi);
  const HFONT font = MessageFont(dpi);
  EXPECT_EQ(reinterpret_cast<HFONT>(::SendMessageW(form.Frame().TabControl(), WM_GETFONT, 0, 0)), font);
  EXPECT_EQ(form.SizeLimits().Min.cx, Scale(730, dpi) + BorderSize(form.Handle()).cx);
}

// The arrow lies over the service button, whose caption ends where the arrow begins, and a
// right click on either shows the service menu.
TEST_F(LayoutTest, DropDownArrowLiesOverTheServiceButtonWhoseMenuIsItsContextMenu) {
  TMainForm form({});
  const UINT dpi = CheckedDpi(form.Handle());
  HWND service = ::GetDlgItem(form.Handle(), TMainForm::idServiceFuncs);
  HWND arrow = ::GetDlgItem(form.Handle(), TMainForm::idDropDown);
  bool arrowAbove = false;
  for (HWND above = ::GetWindow(service, GW_HWNDPREV); above; above = ::GetWindow(above, GW_HWNDPREV))
    arrowAbove = arrowAbove || above == arrow;
  EXPECT_TRUE(arrowAbove);
  RECT margin{};
  ASSERT_TRUE(::SendMessageW(service, BCM_GETTEXTMARGIN, 0, reinterpret_cast<LPARAM>(&margin)));
  EXPECT_EQ(margin.right, Scale(155 - 129, dpi));

  for (HWND clicked : {service, arrow}) {
    RECT box{};
    ::GetWindowRect(clicked, &box);
    testing::AnswerWhenShown(L"#32768", [](HWND) { ::EndMenu(); });
    ::SendMessageW(clicked, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(clicked), MAKELPARAM(box.left + 5, box.top + 5));
    EXPECT_EQ(testing::WindowsAnswered(), 1) << "the menu was shown";
  }
}

// The control that had the focus gets it back when the dialog is active again after another
// window (a message box, another program) was.
TEST_F(LayoutTest, DialogsKeepTheFocusedControlAcrossDeactivation) {
  TMainForm owner({});
  struct Case {
    const char* Name;
    std::unique_ptr<TModalDialog> Dialog;
    const wchar_t* ClassName;
    int Field;
  };
  Case cases[] = {
      {"send dialog", std::make_unique<TSendEMailForm>(owner.Handle()), L"TSendEMailForm", TSendEMailForm::idPort},
      {"log-file-name dialog", std::make_unique<TLogFileNameForm>(owner.Handle()), L"TLogFileNameForm",
       TLogFileNameForm::idLogFileName},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.Name);
    HWND focusAfter = nullptr;
    testing::AnswerWhenShown(c.ClassName, [&](HWND dialog) {
      HWND field = ::GetDlgItem(dialog, c.Field);
      ::SetFocus(field);
      HWND other =
          ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr, nullptr, nullptr, nullptr);
      ::SetActiveWindow(other);
      EXPECT_NE(::GetFocus(), field);
      ::SetActiveWindow(dialog);
      focusAfter = ::GetFocus();
      ::DestroyWindow(other);
      EXPECT_EQ(focusAfter, field);
      ::PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_FALSE(c.Dialog->ShowModal());
    EXPECT_EQ(testing::WindowsAnswered(), 1);
  }
}

// The large icon tells the mode: the main window's follows its switches, the send dialog
// takes the mode it is opened in, the log-file-name dialog is of the common mode.
TEST_F(LayoutTest, WindowIconsFollowTheMode) {
  const HICON common = ::LoadIconW(::GetModuleHandleW(nullptr), L"CommonModeIcon");
  const HICON extended = ::LoadIconW(::GetModuleHandleW(nullptr), L"ExtendedModeIcon");
  ASSERT_TRUE(common && extended && common != extended);
  auto bigIcon = [](HWND window) { return reinterpret_cast<HICON>(::SendMessageW(window, WM_GETICON, ICON_BIG, 0)); };
  TMainForm form({});
  EXPECT_EQ(bigIcon(form.Handle()), common);
  form.SwitchToExtMode();
  EXPECT_EQ(bigIcon(form.Handle()), extended);
  for (bool mode : {false, true}) {
    TSendEMailForm dialog(form.Handle());
    dialog.FExtendedMode = mode;
    testing::AnswerWhenShown(L"TSendEMailForm", [](HWND shown) { ::PostMessageW(shown, WM_CLOSE, 0, 0); });
    dialog.ShowModal();
    EXPECT_EQ(bigIcon(dialog.Handle()), mode ? extended : common);
  }
  TLogFileNameForm logDialog(form.Handle());
  EXPECT_EQ(bigIcon(logDialog.Handle()), common);
}

// The main window too gives the focus back to its control after another window was active.
TEST_F(LayoutTest, MainWindowKeepsTheFocusedControlAcrossDeactivation) {
  TMainForm form({});
  HWND copy = ::GetDlgItem(form.Handle(), TMainForm::idCopy);
  ::SetActiveWindow(form.Handle());
  ::SetFocus(copy);
  HWND other =
      ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr, nullptr, nullptr, nullptr);
  ::SetActiveWindow(other);
  EXPECT_NE(::GetFocus(), copy);
  ::SetActiveWindow(form.Handle());
  EXPECT_EQ(::GetFocus(), copy);
  ::DestroyWindow(other);
}

int messageBoxesClosed = 0;

void CALLBACK CloseMessageBox(HWND, UINT, UINT_PTR timer, DWORD) {
  HWND box = ::FindWindowW(L"#32770", nullptr);
  if (!box || !::IsWindowVisible(box)) return;
  ::KillTimer(nullptr, timer);
  ++messageBoxesClosed;
  ::PostMessageW(box, WM_COMMAND, IDOK, 0);
}

// A real message box about a wrong entry: once it is closed, the field the user was in has
// the focus again.
TEST(DialogFocusTest, TheFieldKeepsTheFocusAfterAValidationMessage) {
  TSendEMailForm form(nullptr);
  HWND focusAfter = nullptr;
  messageBoxesClosed = 0;
  testing::AnswerWhenShown(L"TSendEMailForm", [&](HWND dialog) {
    ::SetWindowTextW(form.edServerHost, L"smtp");
    ::SetWindowTextW(form.edPort, L"0");
    ::SetFocus(form.edPort);
    ::SetTimer(nullptr, 0, 50, CloseMessageBox);
    ::SendMessageW(dialog, WM_COMMAND, IDOK, 0);
    focusAfter = ::GetFocus();
    ::PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
  });
  EXPECT_FALSE(form.ShowModal());
  EXPECT_EQ(messageBoxesClosed, 1);
  EXPECT_EQ(focusAfter, form.edPort);
}

// The tab control sizes tabs to their captions; one padding for all brings them as close to
// their design widths as it can: their sum matches, each differs by what its caption does.
TEST_F(LayoutTest, TabsComeNearTheirDesignWidths) {
  TMainForm form({L"/E"});
  const UINT dpi = CheckedDpi(form.Handle());
  const int design[] = {155, 130, 120};
  int sum = 0, designSum = 0;
  for (int tab = 0; tab < 3; ++tab) {
    RECT item{};
    ASSERT_TRUE(::SendMessageW(form.Frame().TabControl(), TCM_GETITEMRECT, tab, reinterpret_cast<LPARAM>(&item)));
    sum += item.right - item.left;
    designSum += Scale(design[tab], dpi);
    RecordProperty("tab" + std::to_string(tab + 1) + "_width", item.right - item.left);
    std::printf("tab %d: %ld pixels, designed %d\n", tab + 1, item.right - item.left, Scale(design[tab], dpi));
  }
  EXPECT_NEAR(sum, designSum, 6);
}

}  // namespace
}  // namespace ornpm
