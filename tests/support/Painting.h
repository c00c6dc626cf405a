#pragma once
// Test helpers for the visual controls: an off-screen 32-bpp picture that
// controls paint into, and ways to look at what they painted.

#include <windows.h>

#include <algorithm>

#include "Controls.h"

namespace painting {

class Surface {
 public:
  Surface(int width, int height, TColor fill) : bitmap_(width, height) { Fill(fill); }

  void Fill(TColor color) {
    TCanvas* canvas = bitmap_.Canvas();
    canvas->Brush()->SetStyle(bsSolid);
    canvas->Brush()->SetColor(color);
    canvas->FillRect(RECT{0, 0, bitmap_.Width(), bitmap_.Height()});
  }
  HDC Dc() { return bitmap_.Canvas()->Handle(); }
  // What a windowed parent paints of its window-less children.
  void PaintChildren(TWinControl& parent) {
    parent.PaintControls(Dc(), nullptr);
    GdiFlush();
  }
  // A windowed control's own painting and its window-less children, as on WM_PAINT.
  void PaintWindowed(TWinControl& control) {
    control.Perform(WM_PAINT, reinterpret_cast<WPARAM>(Dc()), 0);
    GdiFlush();
  }
  TColor At(int x, int y) { return bitmap_.Canvas()->Pixels(x, y); }
  // The smallest rectangle holding every pixel of area that is not `background`;
  // empty (all zero) when there is none.
  RECT Ink(TColor background, RECT area) {
    RECT box{0, 0, 0, 0};
    bool any = false;
    for (int y = area.top; y < area.bottom; ++y)
      for (int x = area.left; x < area.right; ++x) {
        if (At(x, y) == background) continue;
        if (!any) box = RECT{x, y, x + 1, y + 1};
        box.left = std::min<LONG>(box.left, x);
        box.top = std::min<LONG>(box.top, y);
        box.right = std::max<LONG>(box.right, x + 1);
        box.bottom = std::max<LONG>(box.bottom, y + 1);
        any = true;
      }
    return box;
  }
  bool Contains(TColor color, RECT area) {
    for (int y = area.top; y < area.bottom; ++y)
      for (int x = area.left; x < area.right; ++x)
        if (At(x, y) == color) return true;
    return false;
  }

 private:
  TBitmap bitmap_;
};

}  // namespace painting
