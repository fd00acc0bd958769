#pragma once
// The wait cursor for work that blocks the window on its own thread.

#include <windows.h>

namespace ornpm {

// Shows the wait cursor while it lives.
class TWaitCursor {
 public:
  TWaitCursor() : FPrevious(::SetCursor(::LoadCursorW(nullptr, IDC_WAIT))) {}
  ~TWaitCursor() { ::SetCursor(FPrevious); }
  TWaitCursor(const TWaitCursor&) = delete;
  TWaitCursor& operator=(const TWaitCursor&) = delete;

 private:
  HCURSOR FPrevious;
};

}  // namespace ornpm
