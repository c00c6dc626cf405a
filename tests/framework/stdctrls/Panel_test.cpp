// The containers: the frame helper's pixels, the panel's bevels, caption and
// inner area, and the group box's frame, caption and inner area.

#include <gtest/gtest.h>

#include "Groupbox.h"
#include "Painting.h"
#include "Panel.h"

namespace {

constexpr TColor kBackdrop = 0x0000FF;  // red
constexpr TColor kTop = 0xFF0000;       // blue
constexpr TColor kBottom = 0x00FF00;    // green

TEST(Panel, Frame3DDrawsNestedFramesAndShrinksTheRectangle) {
  painting::Surface s(12, 10, kBackdrop);
  TCanvas canvas;
  canvas.SetHandle(s.Dc());
  RECT r{1, 1, 11, 9};
  Frame3D(canvas, r, kTop, kBottom, 2);
  canvas.SetHandle(nullptr);
  EXPECT_EQ(r.left, 3);
  EXPECT_EQ(r.top, 3);
  EXPECT_EQ(r.right, 9);
  EXPECT_EQ(r.bottom, 7);
  // Outer frame: left and top in the top colour, right and bottom one pixel
  // inside the rectangle's edges in the bottom colour, which owns both far corners.
  EXPECT_EQ(s.At(1, 1), kTop);
  EXPECT_EQ(s.At(9, 1), kTop);
  EXPECT_EQ(s.At(1, 7), kTop);
  EXPECT_EQ(s.At(10, 1), kBottom);
  EXPECT_EQ(s.At(10, 8), kBottom);
  EXPECT_EQ(s.At(1, 8), kBottom);
  EXPECT_EQ(s.At(5, 8), kBottom);
  // Inner frame one pixel further in.
  EXPECT_EQ(s.At(2, 2), kTop);
  EXPECT_EQ(s.At(9, 7), kBottom);
  // Nothing outside the rectangle or inside the frames.
  EXPECT_EQ(s.At(0, 0), kBackdrop);
  EXPECT_EQ(s.At(11, 9), kBackdrop);
  EXPECT_EQ(s.At(5, 5), kBackdrop);
}

TEST(Panel, Frame3DHugeOrNegativeWidthsNeitherHangNorOverflow) {
  painting::Surface s(8, 8, kBackdrop);
  TCanvas canvas;
  canvas.SetHandle(s.Dc());
  RECT r{0, 0, 8, 8};
  Frame3D(canvas, r, kTop, kBottom, 2000000000);
  EXPECT_EQ(r.left, 2000000000);
  EXPECT_EQ(r.right, 8 - 2000000000);
  RECT same{0, 0, 8, 8};
  Frame3D(canvas, same, kTop, kBottom, -5);
  canvas.SetHandle(nullptr);
  EXPECT_EQ(same.left, 0);
  EXPECT_EQ(same.right, 8);
  EXPECT_EQ(s.At(4, 4), kBottom);  // every frame drawn until the middle was reached
}

struct PanelFixture {
  TPanel panel{nullptr};
  painting::Surface surface{60, 40, kBackdrop};
  PanelFixture() {
    panel.SetBounds(0, 0, 60, 40);
    panel.SetColor(0xE4DFE5);
  }
  void Paint() { surface.PaintWindowed(panel); }
};

TEST(Panel, BevelsSwapTheirColoursWhenLoweredAndVanishWithNone) {
  const TColor light = ColorToRGB(clBtnHighlight), dark = ColorToRGB(clBtnShadow);
  struct Case {
    const char* name;
    TBevelCut outer, inner;
    int width, border;
    TColor topLeft, bottomRight, innerTopLeft;
  } cases[] = {
      {"raised (default)", bvRaised, bvNone, 1, 0, light, dark, 0xE4DFE5},
      {"lowered", bvLowered, bvNone, 1, 0, dark, light, 0xE4DFE5},
      {"none", bvNone, bvNone, 1, 0, 0xE4DFE5, 0xE4DFE5, 0xE4DFE5},
      {"raised outside lowered", bvRaised, bvLowered, 1, 0, light, dark, dark},
      {"border between the bevels", bvRaised, bvLowered, 1, 2, light, dark, 0xE4DFE5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PanelFixture f;
    f.panel.SetBevelOuter(c.outer);
    f.panel.SetBevelInner(c.inner);
    f.panel.SetBevelWidth(c.width);
    f.panel.SetBorderWidth(c.border);
    f.Paint();
    EXPECT_EQ(f.surface.At(0, 0), c.topLeft);
    EXPECT_EQ(f.surface.At(59, 39), c.bottomRight);
    EXPECT_EQ(f.surface.At(1, 1), c.innerTopLeft);
    EXPECT_EQ(f.surface.At(30, 20), 0xE4DFE5u);
  }
}

TEST(Panel, CaptionIsCentredAndAnEmptyOneDrawsNothing) {
  PanelFixture f;
  f.panel.SetBevelOuter(bvNone);
  f.panel.Font()->SetColor(clBlack);
  f.Paint();
  EXPECT_EQ(f.surface.Ink(0xE4DFE5, RECT{0, 0, 60, 40}).right, 0);
  f.panel.SetCaption("WW");
  f.Paint();
  RECT ink = f.surface.Ink(0xE4DFE5, RECT{0, 0, 60, 40});
  ASSERT_GT(ink.right, 0);
  EXPECT_NEAR((ink.left + ink.right) / 2, 30, 2);
  EXPECT_NEAR((ink.top + ink.bottom) / 2, 20, 3);
}

TEST(Panel, AlignedChildrenStayInsideTheBevelsAndBorder) {
  TPanel panel(nullptr);
  panel.SetBounds(0, 0, 100, 50);
  TPanel* child = new TPanel(&panel);
  child->SetParent(&panel);
  child->SetAlign(alClient);
  EXPECT_EQ(child->BoundsRect().left, 1);
  panel.SetBorderWidth(2);
  panel.SetBevelInner(bvLowered);
  RECT r = child->BoundsRect();
  EXPECT_EQ(r.left, 4);
  EXPECT_EQ(r.top, 4);
  EXPECT_EQ(r.right, 96);
  EXPECT_EQ(r.bottom, 46);
  // Borders wider than the panel leave an empty area, not a negative one.
  panel.SetBorderWidth(1000);
  EXPECT_EQ(child->Width(), 0);
  EXPECT_EQ(child->Height(), 0);
}

TEST(Groupbox, EtchedFrameRunsThroughTheCaptionWhichSitsOnTheBoxColour) {
  TGroupBox box(nullptr);
  box.SetBounds(0, 0, 120, 60);
  box.SetColor(0xE4DFE5);
  box.Font()->SetColor(clBlack);
  box.SetCaption("Box");
  painting::Surface s(120, 60, 0xE4DFE5);
  s.PaintWindowed(box);
  const TColor dark = ColorToRGB(clBtnShadow);
  // The frame's left and bottom edges; its top line is hidden behind the caption
  // but shows again to the right of it.
  EXPECT_EQ(s.At(0, 40), dark);
  EXPECT_EQ(s.At(60, 58), dark);
  int frameTop = -1;
  for (int y = 0; y < 20 && frameTop < 0; ++y)
    if (s.At(100, y) == dark) frameTop = y;
  ASSERT_GT(frameTop, 0);
  // Above the frame line only the caption is drawn, from 8 pixels in.
  RECT caption = s.Ink(0xE4DFE5, RECT{0, 0, 120, frameTop});
  EXPECT_GE(caption.left, 8);
  EXPECT_GT(caption.right, caption.left);
  EXPECT_EQ(s.At(4, frameTop), dark);
  bool gapUnderCaption = false;
  for (int x = 10; x < 20; ++x) gapUnderCaption |= s.At(x, frameTop) == 0xE4DFE5u;
  EXPECT_TRUE(gapUnderCaption);
}

TEST(Groupbox, AlignedChildrenStayBelowTheCaption) {
  TGroupBox box(nullptr);
  box.SetBounds(0, 0, 120, 80);
  TPanel* child = new TPanel(&box);
  child->SetParent(&box);
  child->SetAlign(alClient);
  RECT r = child->BoundsRect();
  EXPECT_GT(r.top, 8);
  EXPECT_EQ(r.left, 2);
  EXPECT_EQ(r.right, 118);
  EXPECT_EQ(r.bottom, 78);
  EXPECT_TRUE(box.ControlStyle.Contains(csAcceptsControls));
}

}  // namespace
