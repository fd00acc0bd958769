#pragma once
// The context menu of the log-pattern edit boxes: the usual edit commands and a submenu
// that inserts a pattern variable ("%Name%") at the caret or over the selection.

#include <windows.h>

#include <string>

#include "win/Handles.h"

namespace ornpm {

class TLogFileNameMenu {
 public:
  enum : int {
    mniUndo = 1,
    mniCut,
    mniCopy,
    mniPaste,
    mniDelete,
    mniSelectAll,
    mniFirstVariable = 100,  // one item per pattern variable, in order
  };

  // Builds the menu and makes it the edit box's context menu (the box is subclassed);
  // the menu must live as long as the box.
  void CreateFor(HWND edit);
  TLogFileNameMenu() = default;
  ~TLogFileNameMenu();
  // Moved, the menu goes on serving its edit box from its new place; never copied.
  TLogFileNameMenu(TLogFileNameMenu&& other) noexcept;
  TLogFileNameMenu& operator=(TLogFileNameMenu&& other) noexcept;
  TLogFileNameMenu(const TLogFileNameMenu&) = delete;
  TLogFileNameMenu& operator=(const TLogFileNameMenu&) = delete;

  // The states the menu takes just before it pops up.
  void UpdateItemStates();
  bool IsItemEnabled(int id) const;
  bool IsItemVisible(int id) const;
  // Runs an item as if it was chosen.
  void Execute(int id);
  // Does nothing in a read-only box.
  void InsertVariable(const std::wstring& name);

 private:
  bool IsReadOnly() const;
  static LRESULT CALLBACK EditProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id, DWORD_PTR self);
  void Popup(int x, int y);
  void Detach() noexcept;

  HWND FEdit = nullptr;
  UniqueMenu FMenu;
};

}  // namespace ornpm
