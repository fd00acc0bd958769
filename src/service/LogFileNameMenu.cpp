#include "service/LogFileNameMenu.h"

#include <commctrl.h>

#include <utility>

#include "service/LogInfo.h"
#include "win/ErrorDisplay.h"

namespace ornpm {

namespace {

constexpr UINT_PTR SubclassId = 1;

bool ClipboardHasText() {
  if (!::IsClipboardFormatAvailable(CF_UNICODETEXT) || !::OpenClipboard(nullptr)) return false;
  bool hasText = false;
  if (HANDLE data = ::GetClipboardData(CF_UNICODETEXT)) {
    if (auto* text = static_cast<const wchar_t*>(::GlobalLock(data))) {
      hasText = *text != L'\0';
      ::GlobalUnlock(data);
    }
  }
  ::CloseClipboard();
  return hasText;
}

}  // namespace

void TLogFileNameMenu::CreateFor(HWND edit) {
  Detach();
  FMenu.Reset(::CreatePopupMenu());
  if (!edit) return;
  FEdit = edit;
  // Undo and the separator after it are hidden items without an action: left out.
  HMENU variables = ::CreatePopupMenu();
  for (size_t i = 0; i < LogNameVariables.size(); ++i)
    ::AppendMenuW(variables, MF_STRING, mniFirstVariable + i, LogNameVariables[i]);
  ::AppendMenuW(FMenu.Get(), MF_STRING, mniCut, L"Вырезать\tCtrl+X");
  ::AppendMenuW(FMenu.Get(), MF_STRING, mniCopy, L"Копировать\tCtrl+C");
  ::AppendMenuW(FMenu.Get(), MF_STRING, mniPaste, L"Вставить\tCtrl+V");
  ::AppendMenuW(FMenu.Get(), MF_STRING, mniDelete, L"Удалить\tDel");
  ::AppendMenuW(FMenu.Get(), MF_SEPARATOR, 0, nullptr);
  ::AppendMenuW(FMenu.Get(), MF_STRING, mniSelectAll, L"Выделить всё\tCtrl+A");
  ::AppendMenuW(FMenu.Get(), MF_SEPARATOR, 0, nullptr);
  ::AppendMenuW(FMenu.Get(), MF_POPUP, reinterpret_cast<UINT_PTR>(variables), L"Переменные");
  ::SetWindowSubclass(edit, EditProc, SubclassId, reinterpret_cast<DWORD_PTR>(this));
}

TLogFileNameMenu::~TLogFileNameMenu() {
  Detach();
}

TLogFileNameMenu::TLogFileNameMenu(TLogFileNameMenu&& other) noexcept {
  *this = std::move(other);
}

TLogFileNameMenu& TLogFileNameMenu::operator=(TLogFileNameMenu&& other) noexcept {
  if (this == &other) return *this;
  Detach();
  FEdit = std::exchange(other.FEdit, nullptr);
  FMenu = std::move(other.FMenu);
  // The edit box's subclass carries the menu's address: it follows the move.
  if (FEdit) ::SetWindowSubclass(FEdit, EditProc, SubclassId, reinterpret_cast<DWORD_PTR>(this));
  return *this;
}

void TLogFileNameMenu::Detach() noexcept {
  if (FEdit && ::IsWindow(FEdit)) ::RemoveWindowSubclass(FEdit, EditProc, SubclassId);
  FEdit = nullptr;
  FMenu.Reset();
}

// A read-only box (a report's settings) offers only what leaves its text as it is.
void TLogFileNameMenu::UpdateItemStates() {
  DWORD start = 0, end = 0;
  ::SendMessageW(FEdit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  const bool selected = start != end, changeable = !IsReadOnly();
  auto enable = [&](UINT_PTR id, bool enabled) {
    ::EnableMenuItem(FMenu.Get(), static_cast<UINT>(id), MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
  };
  enable(mniPaste, changeable && ClipboardHasText());
  enable(mniCut, changeable && selected);
  enable(mniDelete, changeable && selected);
  enable(mniCopy, selected);
  for (size_t i = 0; i < LogNameVariables.size(); ++i) enable(mniFirstVariable + i, changeable);
}

bool TLogFileNameMenu::IsReadOnly() const {
  return (::GetWindowLongW(FEdit, GWL_STYLE) & ES_READONLY) != 0;
}

bool TLogFileNameMenu::IsItemEnabled(int id) const {
  UINT state = ::GetMenuState(FMenu.Get(), id, MF_BYCOMMAND);
  return state != static_cast<UINT>(-1) && !(state & (MF_GRAYED | MF_DISABLED));
}

bool TLogFileNameMenu::IsItemVisible(int id) const {
  return ::GetMenuState(FMenu.Get(), id, MF_BYCOMMAND) != static_cast<UINT>(-1);
}

void TLogFileNameMenu::Execute(int id) {
  switch (id) {
    case mniCut:
      ::SendMessageW(FEdit, WM_CUT, 0, 0);
      return;
    case mniCopy:
      ::SendMessageW(FEdit, WM_COPY, 0, 0);
      return;
    case mniPaste:
      ::SendMessageW(FEdit, WM_PASTE, 0, 0);
      return;
    case mniDelete:
      ::SendMessageW(FEdit, WM_CLEAR, 0, 0);
      return;
    case mniSelectAll:
      ::SendMessageW(FEdit, EM_SETSEL, 0, -1);
      return;
  }
  size_t variable = static_cast<size_t>(id - mniFirstVariable);
  if (id >= mniFirstVariable && variable < LogNameVariables.size()) InsertVariable(LogNameVariables[variable]);
}

void TLogFileNameMenu::InsertVariable(const std::wstring& name) {
  if (IsReadOnly()) return;
  DWORD start = 0, end = 0;
  ::SendMessageW(FEdit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  std::wstring text(static_cast<size_t>(::GetWindowTextLengthW(FEdit)) + 1, L'\0');
  text.resize(static_cast<size_t>(::GetWindowTextW(FEdit, text.data(), static_cast<int>(text.size()))));
  start = std::min<DWORD>(start, static_cast<DWORD>(text.size()));
  end = std::min<DWORD>(std::max(start, end), static_cast<DWORD>(text.size()));
  const std::wstring inserted = L"%" + name + L"%";
  text.replace(start, end - start, inserted);
  ::SetWindowTextW(FEdit, text.c_str());
  const DWORD caret = start + static_cast<DWORD>(inserted.size());
  ::SendMessageW(FEdit, EM_SETSEL, caret, caret);
}

void TLogFileNameMenu::Popup(int x, int y) {
  if (x == -1 && y == -1) {  // from the keyboard: at the edit box's corner
    RECT box{};
    ::GetWindowRect(FEdit, &box);
    x = box.left;
    y = box.bottom;
  }
  UpdateItemStates();
  int chosen = ::TrackPopupMenu(FMenu.Get(), TPM_RETURNCMD | TPM_RIGHTBUTTON, x, y, 0, FEdit, nullptr);
  if (chosen) Execute(chosen);
}

LRESULT CALLBACK TLogFileNameMenu::EditProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                            DWORD_PTR self) {
  if (message == WM_CONTEXTMENU) {
    RunGuarded([&] {
      reinterpret_cast<TLogFileNameMenu*>(self)->Popup(static_cast<short>(LOWORD(lParam)),
                                                       static_cast<short>(HIWORD(lParam)));
    });
    return 0;
  }
  return ::DefSubclassProc(edit, message, wParam, lParam);
}

}  // namespace ornpm
