#pragma once
// Base of the information views: a child window that fills its page of the tab set.

#include "win/Window.h"

namespace ornpm {

class TViewFrame : public TWindow {
 public:
  void Create(HWND parent) {
    CreateNative(L"TViewFrame", L"", WS_CHILD | WS_CLIPCHILDREN, WS_EX_CONTROLPARENT, parent, {});
  }
};

}  // namespace ornpm
