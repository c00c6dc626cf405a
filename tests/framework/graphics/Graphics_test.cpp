// Font, pen and brush objects and the canvas, checked pixel by pixel on 32-bit DIB sections.

#include <gtest/gtest.h>

#include "Graphics.h"

namespace {

// A bitmap filled with one colour.
std::unique_ptr<TBitmap> Filled(int w, int h, TColor color) {
  auto b = std::make_unique<TBitmap>(w, h);
  b->Canvas()->Brush()->SetColor(color);
  b->Canvas()->FillRect(RECT{0, 0, w, h});
  return b;
}

TColor At(TBitmap& b, int x, int y) { return b.Canvas()->Pixels(x, y); }

int Count(TBitmap& b, TColor color) {
  int n = 0;
  for (int y = 0; y < b.Height(); ++y)
    for (int x = 0; x < b.Width(); ++x) n += At(b, x, y) == color;
  return n;
}

}  // namespace

TEST(GraphicsColor, SystemColoursResolveThroughTheSystem) {
  EXPECT_EQ(ColorToRGB(clBtnFace), GetSysColor(COLOR_BTNFACE));
  EXPECT_EQ(ColorToRGB(clWindowText), GetSysColor(COLOR_WINDOWTEXT));
  EXPECT_EQ(ColorToRGB(0x00E4DFE5u), 0x00E4DFE5u);
  EXPECT_EQ(ColorToRGB(clNone), clNone);
}

TEST(GraphicsFont, DefaultsAndStreamingDefaults) {
  TFont f;
  EXPECT_EQ(f.Name(), "Tahoma");
  EXPECT_EQ(f.Height(), -11);
  EXPECT_EQ(f.Color(), clWindowText);
  EXPECT_TRUE(f.Style().Empty());
  EXPECT_EQ(f.Charset(), DEFAULT_CHARSET);
  // What a form description must write: Height always, the others only when changed.
  const TClassInfo& cls = TFont::StaticClass();
  EXPECT_TRUE(cls.FindProp("Height")->IsStored(f));
  EXPECT_FALSE(cls.FindProp("Color")->IsStored(f));
  EXPECT_FALSE(cls.FindProp("Charset")->IsStored(f));
  EXPECT_FALSE(cls.FindProp("Style")->IsStored(f));
  f.SetCharset(ANSI_CHARSET);
  f.SetStyle({fsBold});
  EXPECT_TRUE(cls.FindProp("Charset")->IsStored(f));
  EXPECT_TRUE(cls.FindProp("Style")->IsStored(f));
}

TEST(GraphicsFont, OnChangeOncePerRealChange) {
  TFont f;
  int changes = 0;
  f.OnChange = TNotifyEvent([&](TObject* sender) {
    EXPECT_EQ(sender, &f);
    ++changes;
  });
  struct Step {
    const char* what;
    std::function<void()> apply;
    int expected;
  } steps[] = {
      {"same name", [&] { f.SetName("Tahoma"); }, 0},
      {"new name", [&] { f.SetName("Verdana"); }, 1},
      {"same height", [&] { f.SetHeight(-11); }, 0},
      {"new height", [&] { f.SetHeight(-12); }, 1},
      {"same colour", [&] { f.SetColor(clWindowText); }, 0},
      {"new colour", [&] { f.SetColor(clBlue); }, 1},
      {"same style", [&] { f.SetStyle({}); }, 0},
      {"new style", [&] { f.SetStyle({fsBold, fsUnderline}); }, 1},
      {"same charset", [&] { f.SetCharset(DEFAULT_CHARSET); }, 0},
      {"new charset", [&] { f.SetCharset(ANSI_CHARSET); }, 1},
      {"size that gives the same height", [&] { f.SetSize(9); }, 0},
      {"new size", [&] { f.SetSize(10); }, 1},
  };
  for (auto& s : steps) {
    changes = 0;
    s.apply();
    EXPECT_EQ(changes, s.expected) << s.what;
  }
  EXPECT_EQ(f.Height(), -13);  // 10 points at 96 dots per inch

  TFont g;
  g.Assign(&f);
  changes = 0;
  f.Assign(&g);
  EXPECT_EQ(changes, 0) << "assigning an equal font";
  g.SetStyle({fsItalic});
  g.SetName("Courier New");
  f.Assign(&g);
  EXPECT_EQ(changes, 1) << "assigning a font that differs in two ways";
  EXPECT_EQ(f.Name(), "Courier New");
  EXPECT_EQ(f.Style(), TFontStyles{fsItalic});
}

TEST(GraphicsFont, HandleRecreatedAfterAChangeOfTheGlyphs) {
  TFont f;
  f.SetHeight(-12);
  f.SetStyle({fsBold});
  LOGFONTA lf{};
  ASSERT_TRUE(GetObjectA(f.Handle(), sizeof lf, &lf));
  EXPECT_EQ(lf.lfHeight, -12);
  EXPECT_EQ(lf.lfWeight, FW_BOLD);
  EXPECT_STREQ(lf.lfFaceName, "Tahoma");

  HFONT before = f.Handle();
  f.SetColor(clRed);  // not part of the GDI font
  EXPECT_EQ(f.Handle(), before);
  f.SetHeight(-20);
  ASSERT_TRUE(GetObjectA(f.Handle(), sizeof lf, &lf));
  EXPECT_EQ(lf.lfHeight, -20);
  EXPECT_EQ(GetObjectType(before), 0u) << "the old font is freed";

  // A face name longer than the LOGFONT field is cut, not overrun.
  f.SetName(std::string(100, 'x'));
  ASSERT_TRUE(GetObjectA(f.Handle(), sizeof lf, &lf));
  EXPECT_EQ(std::string(lf.lfFaceName), std::string(LF_FACESIZE - 1, 'x'));
}

TEST(GraphicsCanvas, RaisesWithoutADeviceContext) {
  TCanvas canvas;
  EXPECT_THROW(canvas.FillRect(RECT{0, 0, 1, 1}), EInvalidOperation);
  EXPECT_THROW(canvas.Handle(), EInvalidOperation);
}

TEST(GraphicsCanvas, FillRectCoversExactlyTheRectangle) {
  auto b = Filled(10, 8, clWhite);
  TCanvas* c = b->Canvas();
  c->Brush()->SetColor(0x00336699);
  c->FillRect(RECT{2, 1, 6, 4});
  EXPECT_EQ(Count(*b, 0x00336699), 4 * 3);
  EXPECT_EQ(At(*b, 2, 1), 0x00336699u);
  EXPECT_EQ(At(*b, 5, 3), 0x00336699u);
  EXPECT_EQ(At(*b, 6, 3), clWhite) << "right edge excluded";
  EXPECT_EQ(At(*b, 5, 4), clWhite) << "bottom edge excluded";
}

TEST(GraphicsCanvas, FrameRectAndRectangle) {
  auto b = Filled(10, 10, clWhite);
  TCanvas* c = b->Canvas();
  c->Brush()->SetColor(clRed);
  c->FrameRect(RECT{1, 1, 9, 9});
  EXPECT_EQ(At(*b, 1, 1), clRed);
  EXPECT_EQ(At(*b, 8, 8), clRed);
  EXPECT_EQ(At(*b, 4, 4), clWhite) << "a frame leaves the inside alone";
  EXPECT_EQ(Count(*b, clRed), 28);

  c->Pen()->SetColor(clBlue);
  c->Brush()->SetColor(clLime);
  c->Rectangle(0, 0, 5, 5);
  EXPECT_EQ(At(*b, 0, 0), clBlue);
  EXPECT_EQ(At(*b, 4, 2), clBlue);
  EXPECT_EQ(At(*b, 2, 2), clLime);
}

TEST(GraphicsCanvas, PieRunsCounterClockwiseFromTheFirstRadial) {
  auto b = Filled(41, 41, clWhite);
  TCanvas* c = b->Canvas();
  c->Pen()->SetColor(clBlack);
  c->Brush()->SetColor(clRed);
  // From three o'clock counter-clockwise to twelve o'clock: the upper right quarter.
  c->Pie(0, 0, 41, 41, 41, 20, 20, 0);
  EXPECT_EQ(At(*b, 30, 10), clRed);
  EXPECT_EQ(At(*b, 10, 10), clWhite);
  EXPECT_EQ(At(*b, 10, 30), clWhite);
  EXPECT_EQ(At(*b, 30, 30), clWhite);
  // The other way round: three quarters.
  auto d = Filled(41, 41, clWhite);
  d->Canvas()->Brush()->SetColor(clRed);
  d->Canvas()->Pie(0, 0, 41, 41, 20, 0, 41, 20);
  EXPECT_EQ(At(*d, 30, 10), clWhite);
  EXPECT_EQ(At(*d, 10, 10), clRed);
  EXPECT_EQ(At(*d, 10, 30), clRed);
  EXPECT_EQ(At(*d, 30, 30), clRed);
}

TEST(GraphicsCanvas, EllipsePolygonAndLines) {
  auto b = Filled(20, 20, clWhite);
  TCanvas* c = b->Canvas();
  c->Brush()->SetColor(clBlue);
  c->Pen()->SetColor(clBlue);
  c->Ellipse(0, 0, 20, 20);
  EXPECT_EQ(At(*b, 10, 10), clBlue);
  EXPECT_EQ(At(*b, 0, 0), clWhite);

  auto p = Filled(20, 20, clWhite);
  const POINT triangle[] = {{0, 0}, {19, 0}, {0, 19}};
  p->Canvas()->Brush()->SetColor(clRed);
  p->Canvas()->Polygon(triangle);
  EXPECT_EQ(At(*p, 3, 3), clRed);
  EXPECT_EQ(At(*p, 17, 17), clWhite);

  auto l = Filled(10, 10, clWhite);
  l->Canvas()->MoveTo(1, 5);
  l->Canvas()->LineTo(8, 5);
  EXPECT_EQ(l->Canvas()->PenPos().x, 8);
  EXPECT_EQ(At(*l, 1, 5), clBlack);
  EXPECT_EQ(At(*l, 7, 5), clBlack);
  EXPECT_EQ(At(*l, 8, 5), clWhite) << "the end point is not drawn";
}

TEST(GraphicsCanvas, PenModeNotInvertsWhatIsUnder) {
  auto b = Filled(10, 3, 0x00102030);
  TCanvas* c = b->Canvas();
  c->Pen()->SetMode(pmNot);
  c->MoveTo(0, 1);
  c->LineTo(10, 1);
  EXPECT_EQ(At(*b, 4, 1), 0x00EFDFCFu);
  EXPECT_EQ(At(*b, 4, 0), 0x00102030u);
  c->Pen()->SetMode(pmCopy);
  c->Pen()->SetColor(clRed);
  c->MoveTo(0, 2);
  c->LineTo(10, 2);
  EXPECT_EQ(At(*b, 4, 2), clRed) << "the mode goes with the pen";
}

TEST(GraphicsCanvas, CopyRectUsesCopyModeAsRasterOperation) {
  auto src = Filled(4, 4, 0x00FF00F0);
  auto dst = Filled(8, 8, 0x000F0F0F);
  dst->Canvas()->SetCopyMode(cmSrcInvert);
  dst->Canvas()->CopyRect(RECT{2, 2, 6, 6}, *src->Canvas(), RECT{0, 0, 4, 4});
  EXPECT_EQ(At(*dst, 2, 2), 0x00F00FFFu);
  EXPECT_EQ(At(*dst, 5, 5), 0x00F00FFFu);
  EXPECT_EQ(At(*dst, 1, 1), 0x000F0F0Fu);

  // BLACKNESS from a canvas onto itself clears the rectangle, the way off-screen
  // pictures are cleared before they are drawn.
  dst->Canvas()->SetCopyMode(cmBlackness);
  dst->Canvas()->CopyRect(RECT{0, 0, 8, 8}, *dst->Canvas(), RECT{0, 0, 8, 8});
  EXPECT_EQ(Count(*dst, clBlack), 64);

  // Overlapping copy within one canvas: a scroll one column to the left.
  auto s = Filled(4, 1, clWhite);
  for (int x = 0; x < 4; ++x) s->Canvas()->SetPixels(x, 0, RGB(x * 10, 0, 0));
  s->Canvas()->CopyRect(RECT{0, 0, 3, 1}, *s->Canvas(), RECT{1, 0, 4, 1});
  EXPECT_EQ(At(*s, 0, 0), RGB(10, 0, 0));
  EXPECT_EQ(At(*s, 2, 0), RGB(30, 0, 0));
}

TEST(GraphicsCanvas, DrawHonoursCopyModeAndTransparency) {
  auto picture = Filled(4, 4, 0x00FF0000);
  picture->Canvas()->SetPixels(1, 1, 0x000000FF);

  auto xored = Filled(6, 6, 0x000000FF);
  xored->Canvas()->SetCopyMode(cmSrcInvert);
  xored->Canvas()->Draw(1, 1, picture.get());
  EXPECT_EQ(At(*xored, 1, 1), 0x00FF00FFu);
  EXPECT_EQ(At(*xored, 2, 2), 0x00000000u);
  EXPECT_EQ(At(*xored, 0, 0), 0x000000FFu);

  // Transparent: the bottom-left pixel's colour (blue here) is not drawn.
  picture->SetTransparent(true);
  EXPECT_EQ(picture->TransparentColor(), 0x00FF0000u);
  auto under = std::make_unique<TBitmap>(6, 6);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 6; ++x) under->Canvas()->SetPixels(x, y, RGB(x * 40, y * 40, 7));
  under->Canvas()->Draw(1, 1, picture.get());
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 6; ++x) {
      TColor expected = x == 2 && y == 2 ? 0x000000FFu : RGB(x * 40, y * 40, 7);
      EXPECT_EQ(At(*under, x, y), expected) << x << "," << y;
    }

  // A fixed transparent colour overrides the bottom-left pixel.
  picture->SetTransparentColor(0x000000FF);
  auto fixed = Filled(4, 4, clWhite);
  fixed->Canvas()->Draw(0, 0, picture.get());
  EXPECT_EQ(At(*fixed, 1, 1), clWhite);
  EXPECT_EQ(At(*fixed, 0, 0), 0x00FF0000u);
}

TEST(GraphicsCanvas, StretchDrawFillsTheTargetRectangle) {
  auto picture = Filled(2, 2, clRed);
  picture->Canvas()->SetPixels(1, 0, clLime);
  picture->Canvas()->SetPixels(0, 1, clBlue);
  picture->Canvas()->SetPixels(1, 1, clYellow);
  auto b = Filled(10, 8, clWhite);
  b->Canvas()->StretchDraw(RECT{1, 1, 9, 7}, picture.get());
  EXPECT_EQ(Count(*b, clRed), 4 * 3);
  EXPECT_EQ(Count(*b, clLime), 4 * 3);
  EXPECT_EQ(Count(*b, clBlue), 4 * 3);
  EXPECT_EQ(Count(*b, clYellow), 4 * 3);
  EXPECT_EQ(At(*b, 1, 1), clRed);
  EXPECT_EQ(At(*b, 8, 6), clYellow);
  EXPECT_EQ(At(*b, 9, 7), clWhite);
}

TEST(GraphicsCanvas, BrushCopyReplacesOneColourByTheBrush) {
  auto picture = Filled(3, 3, RGB(191, 191, 0));
  picture->Canvas()->SetPixels(1, 1, clBlack);
  auto b = Filled(5, 5, clWhite);
  b->Canvas()->Brush()->SetColor(clAqua);
  b->Canvas()->BrushCopy(RECT{1, 1, 4, 4}, picture.get(), RECT{0, 0, 3, 3}, RGB(191, 191, 0));
  EXPECT_EQ(At(*b, 2, 2), clBlack);
  EXPECT_EQ(At(*b, 1, 1), clAqua);
  EXPECT_EQ(At(*b, 3, 3), clAqua);
  EXPECT_EQ(At(*b, 0, 0), clWhite);
}

TEST(GraphicsCanvas, TextFollowsTheFontAndStaysInsideTextRect) {
  auto b = Filled(40, 40, clWhite);
  TCanvas* c = b->Canvas();
  c->Font()->SetHeight(-10);
  int small = c->TextHeight("W");
  // A font change while the font is selected takes effect with the next operation.
  c->Font()->SetHeight(-30);
  int large = c->TextHeight("W");
  EXPECT_GT(large, small + 10);

  int width = c->TextWidth("WWW");
  c->MoveTo(0, 0);
  c->TextOut(2, 3, "WWW");
  EXPECT_EQ(c->PenPos().x, 2 + width);

  auto t = Filled(40, 40, clWhite);
  t->Canvas()->Font()->SetHeight(-30);
  t->Canvas()->Font()->SetColor(clBlack);
  t->Canvas()->Brush()->SetColor(clYellow);
  t->Canvas()->TextRect(RECT{5, 5, 15, 15}, 0, 0, "WWWW");
  EXPECT_GT(Count(*t, clBlack) + Count(*t, clYellow), 0);
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 40; ++x)
      if (x < 5 || x >= 15 || y < 5 || y >= 15) {
        ASSERT_EQ(At(*t, x, y), clWhite) << x << "," << y;
      }
}

TEST(GraphicsCanvas, FocusRectTwiceRestoresThePixels) {
  auto b = Filled(10, 10, 0x00405060);
  b->Canvas()->DrawFocusRect(RECT{1, 1, 9, 9});
  EXPECT_LT(Count(*b, 0x00405060), 100);
  b->Canvas()->DrawFocusRect(RECT{1, 1, 9, 9});
  EXPECT_EQ(Count(*b, 0x00405060), 100);
}

TEST(GraphicsCanvas, GivesTheDeviceContextBackItsOwnObjects) {
  Gdi::Dc dc(CreateCompatibleDC(nullptr));
  HGDIOBJ stockFont = GetCurrentObject(dc.get(), OBJ_FONT);
  HGDIOBJ stockPen = GetCurrentObject(dc.get(), OBJ_PEN);
  HGDIOBJ stockBrush = GetCurrentObject(dc.get(), OBJ_BRUSH);
  {
    TCanvas canvas;
    canvas.SetHandle(dc.get());
    canvas.Handle();
    EXPECT_EQ(GetCurrentObject(dc.get(), OBJ_FONT), canvas.Font()->Handle());
    EXPECT_EQ(GetCurrentObject(dc.get(), OBJ_PEN), canvas.Pen()->Handle());
    canvas.SetHandle(nullptr);
    EXPECT_EQ(GetCurrentObject(dc.get(), OBJ_FONT), stockFont);
    EXPECT_EQ(GetCurrentObject(dc.get(), OBJ_PEN), stockPen);
    EXPECT_EQ(GetCurrentObject(dc.get(), OBJ_BRUSH), stockBrush);
    canvas.SetHandle(dc.get());
    canvas.Brush()->SetColor(clRed);
    canvas.FillRect(RECT{0, 0, 1, 1});
  }
  EXPECT_EQ(GetCurrentObject(dc.get(), OBJ_BRUSH), stockBrush) << "the canvas's destructor restores";
  EXPECT_EQ(GetCurrentObject(dc.get(), OBJ_FONT), stockFont);
}
