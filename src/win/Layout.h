#pragma once
// Anchors: children placed by rectangles designed at 96 DPI, kept in place when their parent
// is resized or moves to another DPI; and the limits of a window's size while it is dragged.

#include <windows.h>

#include <string>
#include <vector>

namespace ornpm {

enum TAnchor : unsigned { akLeft = 1, akTop = 2, akRight = 4, akBottom = 8 };

// Children placed by design rectangles (96 DPI, relative to a design client size) and
// anchors: an edge anchored on both sides stretches, one anchored right or bottom keeps
// its distance to that edge.
class TLayout {
 public:
  explicit TLayout(SIZE designClient) : FDesign(designClient) {}
  void Add(HWND control, RECT designRect, unsigned anchors);
  // Creates a control as a child of parent (see CreateControl) and places it by the layout.
  HWND AddControl(HWND parent, const wchar_t* className, const std::wstring& text, DWORD style, int id, RECT designRect,
                  unsigned anchors, DWORD exStyle = 0);
  // Gives a control of the layout another design rectangle.
  void Move(HWND control, RECT designRect);
  // Places every child for the parent's current client size and DPI.
  void Apply(HWND parent) const;

 private:
  struct TItem {
    HWND Control;
    RECT Design;
    unsigned Anchors;
  };
  SIZE FDesign;
  std::vector<TItem> FItems;
};

// Limits of a window's outer size in device pixels; 0 means no limit.
struct TSizeLimits {
  SIZE Min{0, 0};
  SIZE Max{0, 0};
};

// WM_SIZING: a proposed size beyond a limit takes the limit. The dragged edge stops there and
// the opposite edge stays where it is; a dimension the drag does not change is left alone.
void ClampSizing(WPARAM edge, RECT& proposed, const TSizeLimits& limits);

}  // namespace ornpm
