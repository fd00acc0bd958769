// The logging page, the log-file-name dialog and the pattern boxes' context menu.

#include <functional>
#include <gtest/gtest.h>

#include "harness/DialogAnswer.h"
#include "harness/FakeUserInteraction.h"
#include "harness/Sandbox.h"
#include "service/CompositeInfo.h"
#include "service/IniFile.h"
#include "views/dlgLogFileName.h"
#include "views/frLogging.h"
#include "views/frSummary.h"
#include "win/Environment.h"
#include "win/Handles.h"

namespace ornpm {
namespace {

using testing::AnswerWhenShown;
using testing::ReadBinaryFile;
using testing::WindowsAnswered;
using testing::WriteBinaryFile;

void SetEditText(HWND edit, const std::wstring& text) {
  ::SetWindowTextW(edit, text.c_str());
}

void Select(HWND edit, int start, int end) {
  ::SendMessageW(edit, EM_SETSEL, start, end);
}

class LoggingViewTest : public ::testing::Test {
 protected:
  testing::WorkstationSandbox FSandbox;
  testing::FakeUserInteraction FUser;
  TCompositeInfo FInfo{PlugInMimeType, PlugInProgID};
  HWND FParent = nullptr;
  std::wstring FFolder;

  void SetUp() override {
    FParent =
        ::CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPEDWINDOW, 0, 0, 800, 500, nullptr, nullptr, nullptr, nullptr);
    WriteBinaryFile(FSandbox.HostsFile(), "");
    FFolder = FSandbox.Root() + L"\\ORN\\";
    testing::InstallPlugIn(FFolder, L"np.dll");
    WriteBinaryFile(Ini(), "[Log]\r\nFileName=" + testing::Narrow(FFolder) + "%LibName%\\a.log\r\n");
    FInfo.Load();
  }
  void TearDown() override { ::DestroyWindow(FParent); }
  std::wstring Ini() const { return FFolder + L"np.ini"; }
  std::wstring Stored(const wchar_t* key) const { return TIniFile(Ini()).ReadString(L"Log", key, L""); }
};

TEST_F(LoggingViewTest, LoadShowsTheSettingsWithoutWritingAndApplyFollowsTheEdits) {
  TLoggingFrame view;
  view.Create(FParent);
  EXPECT_EQ(WindowText(view.edLogFilePath), L"%AppData%\\ORN\\ORNPlugInVLX\\Logs") << "before the first load";
  const std::string before = ReadBinaryFile(Ini());
  view.Load(&FInfo.LogInfo());
  EXPECT_TRUE(IsChecked(view.chbEnabled));
  EXPECT_TRUE(::IsWindowEnabled(view.edLogFilePath));
  EXPECT_EQ(WindowText(view.edLogFilePath), FFolder);
  EXPECT_EQ(WindowText(view.edActualLogPath), FFolder);
  EXPECT_TRUE(::IsWindowEnabled(view.btnOpenFolder));
  EXPECT_FALSE(::IsWindowEnabled(view.btnApply));
  EXPECT_EQ(ReadBinaryFile(Ini()), before);
  EXPECT_TRUE(FUser.Messages.empty());

  SetEditText(view.edLogFileName, L"b.log");
  EXPECT_TRUE(::IsWindowEnabled(view.btnApply));
  SetEditText(view.edLogFileName, L"A.LOG");
  EXPECT_FALSE(::IsWindowEnabled(view.btnApply)) << "letter case alone is no change";

  SetEditText(view.edLogFilePath, FSandbox.Root() + L"\\NewLogs\\");
  ::SendMessageW(view.Handle(), WM_COMMAND, MAKEWPARAM(TLoggingFrame::idApply, BN_CLICKED), 0);
  EXPECT_EQ(WindowText(view.edActualLogPath), FSandbox.Root() + L"\\NewLogs\\");
  EXPECT_FALSE(::IsWindowEnabled(view.btnOpenFolder)) << "the folder does not exist";
  EXPECT_FALSE(::IsWindowEnabled(view.btnApply));
  EXPECT_EQ(Stored(L"FileName"), FSandbox.Root() + L"\\NewLogs\\%LibName%\\a.log");
  ASSERT_FALSE(FUser.Messages.empty());
  EXPECT_EQ(FUser.Messages[0].Text, L"Выполнено.");
}

TEST_F(LoggingViewTest, UncheckingWritesTheStoredPatternsNotTheUnappliedOnes) {
  TLoggingFrame view;
  view.Create(FParent);
  view.Load(&FInfo.LogInfo());
  SetEditText(view.edLogFileName, L"typed.log");
  SetChecked(view.chbEnabled, false);
  ::SendMessageW(view.Handle(), WM_COMMAND, MAKEWPARAM(TLoggingFrame::idEnabled, BN_CLICKED), 0);
  EXPECT_EQ(Stored(L"_FileName"), FFolder + L"%LibName%\\a.log");
  EXPECT_EQ(Stored(L"FileName"), L"");
  EXPECT_TRUE(::IsWindowEnabled(view.btnApply));
  EXPECT_FALSE(::IsWindowEnabled(view.edLogFileName));
}

// A write that fails (the settings file held open by another program) leaves both pages
// showing what is stored, and "Применить" enabled only while the boxes differ from it.
TEST_F(LoggingViewTest, AFailedWriteShowsWhatIsStoredAgain) {
  TLoggingFrame view;
  view.Create(FParent);
  view.Load(&FInfo.LogInfo());
  UniqueFileHandle held(
      ::CreateFileW(Ini().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(held);
  const std::string before = ReadBinaryFile(Ini());

  SetEditText(view.edLogFileName, L"b.log");
  ::SendMessageW(view.Handle(), WM_COMMAND, MAKEWPARAM(TLoggingFrame::idApply, BN_CLICKED), 0);
  ASSERT_EQ(FUser.Messages.size(), 1u);
  EXPECT_EQ(FUser.Messages[0].Kind, TMsgKind::Error);
  EXPECT_EQ(WindowText(view.edLogFileName), L"a.log");
  EXPECT_EQ(FInfo.LogInfo().LogFileName(), L"a.log");
  EXPECT_FALSE(::IsWindowEnabled(view.btnApply));

  SetChecked(view.chbEnabled, false);
  ::SendMessageW(view.Handle(), WM_COMMAND, MAKEWPARAM(TLoggingFrame::idEnabled, BN_CLICKED), 0);
  EXPECT_EQ(FUser.Messages.size(), 2u);
  EXPECT_TRUE(IsChecked(view.chbEnabled)) << "logging is still on in the file";
  EXPECT_TRUE(FInfo.LogInfo().Enabled());

  TSummaryInfoFrame summary;
  summary.Create(FParent);
  summary.Load(&FInfo);
  SetChecked(summary.chbEnabled, false);
  ::SendMessageW(summary.Handle(), WM_COMMAND, MAKEWPARAM(TSummaryInfoFrame::idEnabled, BN_CLICKED), 0);
  EXPECT_EQ(FUser.Messages.size(), 3u);
  EXPECT_TRUE(IsChecked(summary.chbEnabled));
  EXPECT_EQ(ReadBinaryFile(Ini()), before);
}

TEST_F(LoggingViewTest, ContextMenuStatesAndVariableInsertion) {
  TLoggingFrame view;
  view.Create(FParent);
  view.Load(&FInfo.LogInfo());
  TLogFileNameMenu& menu = view.PathMenu();
  EXPECT_FALSE(menu.IsItemVisible(TLogFileNameMenu::mniUndo));

  ASSERT_TRUE(::OpenClipboard(nullptr));
  ::EmptyClipboard();
  ::CloseClipboard();
  SetEditText(view.edLogFilePath, L"C:\\Logs\\");
  Select(view.edLogFilePath, 0, 0);
  menu.UpdateItemStates();
  for (int id :
       {TLogFileNameMenu::mniPaste, TLogFileNameMenu::mniCut, TLogFileNameMenu::mniCopy, TLogFileNameMenu::mniDelete})
    EXPECT_FALSE(menu.IsItemEnabled(id)) << id;
  EXPECT_TRUE(menu.IsItemEnabled(TLogFileNameMenu::mniSelectAll));

  Select(view.edLogFilePath, 3, 8);  // "Logs\"
  menu.Execute(TLogFileNameMenu::mniCopy);
  menu.UpdateItemStates();
  for (int id :
       {TLogFileNameMenu::mniPaste, TLogFileNameMenu::mniCut, TLogFileNameMenu::mniCopy, TLogFileNameMenu::mniDelete})
    EXPECT_TRUE(menu.IsItemEnabled(id)) << id;

  menu.Execute(TLogFileNameMenu::mniFirstVariable + 5);  // LibName
  EXPECT_EQ(WindowText(view.edLogFilePath), L"C:\\%LibName%");
  DWORD start = 0, end = 0;
  ::SendMessageW(view.edLogFilePath, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  EXPECT_EQ(start, 12u);
  EXPECT_EQ(end, 12u);
  menu.Execute(TLogFileNameMenu::mniFirstVariable);  // PID at the caret
  EXPECT_EQ(WindowText(view.edLogFilePath), L"C:\\%LibName%%PID%");
}

TEST_F(LoggingViewTest, DialogEndsWithOkOnEnterAndCancelOnEscape) {
  for (auto [key, expected] : {std::pair{VK_RETURN, true}, std::pair{VK_ESCAPE, false}}) {
    TLogFileNameForm dialog(FParent);
    EXPECT_EQ(WindowText(dialog.edLogFileName), DefaultLogFileName);
    AnswerWhenShown(L"TLogFileNameForm", [key = key](HWND shown) {
      HWND focus = ::GetFocus();
      EXPECT_TRUE(focus && ::IsChild(shown, focus));
      ::PostMessageW(focus, WM_KEYDOWN, key, 0);
    });
    EXPECT_EQ(dialog.ShowModal(), expected);
    EXPECT_EQ(WindowsAnswered(), 1);
  }
}

// Moved to a screen of another DPI, the dialog takes the size the system suggests and lays
// its controls out for it.
TEST_F(LoggingViewTest, DialogFollowsADpiChange) {
  TLogFileNameForm dialog(FParent);
  RECT window, before, after;
  ::GetWindowRect(dialog.Handle(), &window);
  ::GetWindowRect(dialog.edLogFilePath, &before);
  RECT suggested{window.left + 10, window.top + 20, window.right + 210, window.bottom + 20};
  ::SendMessageW(dialog.Handle(), WM_DPICHANGED, MAKEWPARAM(96, 96), reinterpret_cast<LPARAM>(&suggested));
  ::GetWindowRect(dialog.Handle(), &window);
  EXPECT_TRUE(::EqualRect(&window, &suggested));
  ::GetWindowRect(dialog.edLogFilePath, &after);
  EXPECT_EQ(after.left - before.left, 10);
  EXPECT_EQ(after.right - before.right, 210);
}

TEST_F(LoggingViewTest, SummaryChangesThePatternsThroughTheDialog) {
  TSummaryInfoFrame summary;
  summary.Create(FParent);
  summary.Load(&FInfo);
  const std::string before = ReadBinaryFile(Ini());

  AnswerWhenShown(L"TLogFileNameForm", [](HWND shown) { ::PostMessageW(shown, WM_COMMAND, IDCANCEL, 0); });
  ::SendMessageW(summary.Handle(), WM_COMMAND, MAKEWPARAM(TSummaryInfoFrame::idChangeLogFile, BN_CLICKED), 0);
  EXPECT_EQ(WindowsAnswered(), 1);
  EXPECT_EQ(ReadBinaryFile(Ini()), before);
  EXPECT_TRUE(FUser.Messages.empty());

  const std::wstring missing = FSandbox.Root() + L"\\Missing\\Logs\\";
  AnswerWhenShown(L"TLogFileNameForm", [&](HWND shown) {
    ::SetWindowTextW(::GetDlgItem(shown, TLogFileNameForm::idLogFilePath), missing.c_str());
    ::PostMessageW(shown, WM_COMMAND, IDOK, 0);
  });
  ::SendMessageW(summary.Handle(), WM_COMMAND, MAKEWPARAM(TSummaryInfoFrame::idChangeLogFile, BN_CLICKED), 0);
  EXPECT_EQ(WindowText(summary.lblActualLogPath), L"Фактический путь: " + missing);
  EXPECT_FALSE(::IsWindowEnabled(summary.btnOpenLogDir));
  EXPECT_EQ(Stored(L"FileName"), missing + L"%LibName%\\a.log");
  ASSERT_FALSE(FUser.Messages.empty());
  EXPECT_EQ(FUser.Messages[0].Text, L"Выполнено.");
}

}  // namespace
}  // namespace ornpm
