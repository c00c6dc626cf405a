// The shape: a wide pen stays inside the bounds, a clear brush leaves the
// inside alone, and the pen and brush are read from a form description.

#include <gtest/gtest.h>

#include <memory>

#include "Classes.h"
#include "Filer.h"
#include "Forms.h"
#include "Painting.h"
#include "Shape.h"

namespace {

constexpr TColor kBackdrop = 0x0000FF;  // red
constexpr TColor kFrame = 0x5D5D5D;

struct ShapeFixture {
  TWinControl parent{nullptr};
  TShape* shape = new TShape(nullptr);
  painting::Surface surface{80, 60, kBackdrop};

  ShapeFixture() {
    parent.SetBounds(0, 0, 80, 60);
    shape->SetParent(&parent);
    shape->SetBounds(10, 10, 40, 30);
  }
  ~ShapeFixture() { delete shape; }
  void Paint() { surface.PaintChildren(parent); }
};

TEST(Shape, TwoPixelPenWithClearBrushFramesTheBoundsAndLeavesTheInside) {
  ShapeFixture f;
  f.shape->Brush()->SetStyle(bsClear);
  f.shape->Pen()->SetWidth(2);
  f.shape->Pen()->SetColor(kFrame);
  f.Paint();
  // Two pixels of frame on every side, just inside the bounds (10..49, 10..39).
  for (int d : {0, 1}) {
    SCOPED_TRACE(d);
    EXPECT_EQ(f.surface.At(10 + d, 25), kFrame);
    EXPECT_EQ(f.surface.At(49 - d, 25), kFrame);
    EXPECT_EQ(f.surface.At(30, 10 + d), kFrame);
    EXPECT_EQ(f.surface.At(30, 39 - d), kFrame);
  }
  EXPECT_EQ(f.surface.At(10, 10), kFrame);
  EXPECT_EQ(f.surface.At(49, 39), kFrame);
  // The inside and the outside keep the backdrop.
  EXPECT_EQ(f.surface.Ink(kBackdrop, RECT{12, 12, 48, 38}).right, 0);
  EXPECT_EQ(f.surface.At(9, 25), kBackdrop);
  EXPECT_EQ(f.surface.At(50, 25), kBackdrop);
  EXPECT_EQ(f.surface.At(30, 40), kBackdrop);
}

TEST(Shape, SquaresAndCirclesUseTheShorterSideCentred) {
  ShapeFixture f;
  f.shape->SetShape(stCircle);
  f.shape->Brush()->SetColor(clWhite);
  f.shape->Pen()->SetColor(clBlack);
  f.Paint();
  RECT ink = f.surface.Ink(kBackdrop, RECT{0, 0, 80, 60});
  EXPECT_EQ(ink.bottom - ink.top, 30);
  EXPECT_EQ(ink.right - ink.left, 30);
  EXPECT_EQ(ink.left, 15);
  EXPECT_EQ(f.surface.At(30, 25), clWhite);
  // The circle leaves the corners of its square.
  EXPECT_EQ(f.surface.At(16, 11), kBackdrop);
}

TEST(Shape, PenAndBrushChangesAreReadFromAFormDescription) {
  RegisterClassInfo(TShape::StaticClass());
  TForm form(nullptr);
  // The reader needs the root's class name; a plain TForm is enough here.
  ReadComponentText(&form,
                    "object Form1: TForm\n"
                    "  object Shape1: TShape\n"
                    "    Left = 0\n    Top = 25\n    Width = 408\n    Height = 348\n"
                    "    Brush.Style = bsClear\n    Pen.Color = 6118749\n    Pen.Width = 2\n"
                    "    Shape = stRoundRect\n"
                    "  end\n"
                    "end\n");
  auto* shape = dynamic_cast<TShape*>(form.FindComponent("Shape1"));
  ASSERT_NE(shape, nullptr);
  EXPECT_EQ(shape->Brush()->Style(), bsClear);
  EXPECT_EQ(shape->Pen()->Color(), kFrame);
  EXPECT_EQ(shape->Pen()->Width(), 2);
  EXPECT_EQ(shape->Shape(), stRoundRect);
  EXPECT_EQ(shape->Height(), 348);
}

}  // namespace
