#pragma once
// Whether a window still has something to paint, for waits on a finished picture; header
// only, so that the helper programs beside the tests can use it too.

#include <windows.h>

namespace ornpm::testing {

inline BOOL CALLBACK FindUpdateRegion(HWND child, LPARAM found) {
  if (!::IsWindowVisible(child) || !::GetUpdateRect(child, nullptr, FALSE)) return TRUE;
  *reinterpret_cast<bool*>(found) = true;
  return FALSE;
}

// Something left to paint in the window or one of its visible descendants.
inline bool HasUpdateRegion(HWND window) {
  bool found = ::GetUpdateRect(window, nullptr, FALSE);
  if (!found) ::EnumChildWindows(window, FindUpdateRegion, reinterpret_cast<LPARAM>(&found));
  return found;
}

}  // namespace ornpm::testing
