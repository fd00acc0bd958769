#include "win/Layout.h"

#include <algorithm>

#include "win/Dpi.h"
#include "win/Window.h"

namespace ornpm {

namespace {

bool DragsLeftEdge(WPARAM edge) {
  return edge == WMSZ_LEFT || edge == WMSZ_TOPLEFT || edge == WMSZ_BOTTOMLEFT;
}

bool DragsTopEdge(WPARAM edge) {
  return edge == WMSZ_TOP || edge == WMSZ_TOPLEFT || edge == WMSZ_TOPRIGHT;
}

// One dimension of a proposed rectangle: the extent kept within [minimum, maximum] (0: no
// limit), moving the near side when that is the side being dragged, else the far one.
void ClampExtent(LONG& nearSide, LONG& farSide, bool dragsNear, int minimum, int maximum) {
  const int extent = farSide - nearSide;
  int limited = extent;
  if (minimum > 0 && extent < minimum) limited = minimum;
  if (maximum > 0 && extent > maximum) limited = maximum;
  if (limited == extent) return;
  if (dragsNear)
    nearSide = farSide - limited;
  else
    farSide = nearSide + limited;
}

}  // namespace

void TLayout::Add(HWND control, RECT designRect, unsigned anchors) {
  FItems.push_back({control, designRect, anchors});
}

HWND TLayout::AddControl(HWND parent, const wchar_t* className, const std::wstring& text, DWORD style, int id,
                         RECT designRect, unsigned anchors, DWORD exStyle) {
  HWND control = CreateControl(parent, className, text, style, id, exStyle);
  Add(control, designRect, anchors);
  return control;
}

void TLayout::Move(HWND control, RECT designRect) {
  for (TItem& item : FItems)
    if (item.Control == control) item.Design = designRect;
}

void TLayout::Apply(HWND parent) const {
  RECT client{};
  ::GetClientRect(parent, &client);
  UINT dpi = WindowDpi(parent);
  // Distances to the right and bottom edges are design distances, scaled.
  for (const TItem& item : FItems) {
    int left = Scale(item.Design.left, dpi);
    int top = Scale(item.Design.top, dpi);
    int width = Scale(item.Design.right - item.Design.left, dpi);
    int height = Scale(item.Design.bottom - item.Design.top, dpi);
    int rightGap = Scale(FDesign.cx - item.Design.right, dpi);
    int bottomGap = Scale(FDesign.cy - item.Design.bottom, dpi);
    if (item.Anchors & akRight) {
      if (item.Anchors & akLeft)
        width = client.right - rightGap - left;
      else
        left = client.right - rightGap - width;
    }
    if (item.Anchors & akBottom) {
      if (item.Anchors & akTop)
        height = client.bottom - bottomGap - top;
      else
        top = client.bottom - bottomGap - height;
    }
    ::SetWindowPos(item.Control, nullptr, left, top, std::max(width, 0), std::max(height, 0),
                   SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

void ClampSizing(WPARAM edge, RECT& proposed, const TSizeLimits& limits) {
  // Only what the drag changes: a window outside a limit keeps its width while its height is
  // dragged, and the other way round.
  if (edge != WMSZ_TOP && edge != WMSZ_BOTTOM)
    ClampExtent(proposed.left, proposed.right, DragsLeftEdge(edge), limits.Min.cx, limits.Max.cx);
  if (edge != WMSZ_LEFT && edge != WMSZ_RIGHT)
    ClampExtent(proposed.top, proposed.bottom, DragsTopEdge(edge), limits.Min.cy, limits.Max.cy);
}

}  // namespace ornpm
