#pragma once
// The window base: one window procedure that hands every message to its C++ object and
// catches whatever it throws; and the small helpers every window uses on its controls.

#include <windows.h>

#include <string>

namespace ornpm {

class TWindow {
 public:
  TWindow() = default;
  virtual ~TWindow();
  TWindow(const TWindow&) = delete;
  TWindow& operator=(const TWindow&) = delete;

  HWND Handle() const { return FHandle; }

 protected:
  // Registers the class once and creates the native window bound to this object.
  void CreateNative(const wchar_t* className, const wchar_t* title, DWORD style, DWORD exStyle, HWND parent,
                    const RECT& bounds, HICON icon = nullptr);
  // Messages of this window; the default hands them to DefWindowProc.
  virtual LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  HWND FHandle = nullptr;
};

// Creates a common control as a child, with the message font of the parent's DPI.
HWND CreateControl(HWND parent, const wchar_t* className, const std::wstring& text, DWORD style, int id,
                   DWORD exStyle = 0);

std::wstring WindowText(HWND window);

// Outer size minus client size: the frame and caption of a window as it is now.
SIZE BorderSize(HWND window);

// Sets the client height of a top window, keeping its width and position.
void SetClientHeight(HWND window, int height);

// Sets the large window icon to an icon resource of the program; nothing when it has none.
void SetLargeIcon(HWND window, const wchar_t* resourceName);

}  // namespace ornpm
