// The gauge: its arithmetic, the range rules of its setters, when it repaints,
// and the pixels of each look painted into a memory picture.

#include "Cgauges.h"

#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <string>

#include "SamplesTesting.h"

using painting::Surface;
using samples_testing::PaintInto;
using samples_testing::Str;

namespace {

constexpr TColor kFore = 0x000000;
constexpr TColor kBack = 0xFFFFFF;
constexpr TColor kAround = 0x00FF00;

class CountingGauge : public TCGauge {
 public:
  using TCGauge::TCGauge;
  void Repaint() override { ++repaints; }
  int repaints = 0;
};

std::unique_ptr<TCGauge> MakeGauge(TCGaugeKind kind, int progress, TFormBorderStyle border = bsNone,
                                   bool text = false) {
  auto g = std::make_unique<TCGauge>(nullptr);
  g->SeTCGaugeKind(kind);
  g->SetBorderStyle(border);
  g->SetShowText(text);
  g->SetParentColor(false);
  g->SetColor(kAround);
  g->SetProgress(progress);
  return g;
}

std::unique_ptr<Surface> Paint(TCGauge& g) {
  auto s = std::make_unique<Surface>(g.Width(), g.Height(), 0x808080);
  PaintInto(g, *s);
  return s;
}

TEST(Cgauges, PercentagesAndScalesRoundDown) {
  struct Case { int64_t part, whole; int percent; };
  const Case percents[] = {{1, 3, 33}, {2, 3, 66}, {3, 3, 100}, {0, 0, 0}, {5, 0, 0},
                           {1, 7, 14}, {4294967294LL, 4294967295LL, 99}, {4294967295LL, 4294967295LL, 100}};
  for (const Case& c : percents)
    EXPECT_EQ(PercentOf(c.part, c.whole), c.percent) << c.part << "/" << c.whole;
  struct Scale { int percent, length, result; };
  const Scale scales[] = {{100, 99, 99}, {33, 101, 33}, {50, 7, 3}, {1, 100, 1}, {0, 100, 0},
                          {100, 101, 101}, {29, 100, 29}, {57, 100, 57}};
  for (const Scale& c : scales)
    EXPECT_EQ(ScaleByPercent(c.percent, c.length), c.result) << c.percent << "% of " << c.length;
}

TEST(Cgauges, RangeSettersRefuseWithTheirOddBoundsAndKeepTheState) {
  struct Case { int min, max; bool setMin; int value; const char* message; };
  const Case cases[] = {
      {0, 100, true, 150, "Value must be between -2147483647 and 99"},
      {10, 100, false, 5, "Value must be between 11 and 2147483647"},
      {INT_MIN, INT_MIN, true, 0, "Value must be between -2147483647 and -2147483649"},
      {INT_MAX, INT_MAX, false, 0, "Value must be between 2147483648 and 2147483647"},
  };
  for (const Case& c : cases) {
    TCGauge g(nullptr);
    if (c.min < 0) {
      g.SetMinValue(c.min);
      g.SetMaxValue(c.max);
    } else {
      g.SetMaxValue(c.max);
      g.SetMinValue(c.min);
    }
    g.SetProgress(c.min);
    try {
      if (c.setMin) g.SetMinValue(c.value); else g.SetMaxValue(c.value);
      ADD_FAILURE() << "no error for " << c.value;
    } catch (const Exception& e) {
      EXPECT_EQ(e.Message(), c.message);
    }
    EXPECT_EQ(g.MinValue(), c.min);
    EXPECT_EQ(g.MaxValue(), c.max);
    EXPECT_EQ(g.Progress(), c.min);
  }
}

TEST(Cgauges, RangeKeepsProgressInsideAndAMaximumEqualToTheMinimumGivesZero) {
  TCGauge g(nullptr);
  g.SetProgress(150);
  EXPECT_EQ(g.Progress(), 100);
  g.SetProgress(-5);
  EXPECT_EQ(g.Progress(), 0);
  g.SetProgress(70);
  g.SetMaxValue(60);
  EXPECT_EQ(g.Progress(), 60);
  g.SetMinValue(65 - 5);
  EXPECT_EQ(g.GetPercentDone(), 0);  // min = max = 60
  g.SetMinValue(10);
  g.SetMaxValue(100);
  g.SetProgress(20);
  g.SetMinValue(30);
  EXPECT_EQ(g.Progress(), 30);
  g.AddProgress(-1000);
  EXPECT_EQ(g.Progress(), 30);
  g.SetMinValue(INT_MIN);
  g.SetMaxValue(INT_MAX);
  g.AddProgress(INT_MIN);
  g.AddProgress(INT_MIN);
  EXPECT_EQ(g.Progress(), INT_MIN);
  EXPECT_EQ(g.GetPercentDone(), 0);
  g.SetProgress(INT_MAX);
  EXPECT_EQ(g.GetPercentDone(), 100);
  g.SetProgress(0);
  EXPECT_EQ(g.GetPercentDone(), 50);
}

TEST(Cgauges, RepaintsOnlyWhenTheShownPercentageOrALookChanges) {
  CountingGauge g(nullptr);
  g.SetMaxValue(1000);
  g.repaints = 0;
  g.SetProgress(5);  // still 0 %
  EXPECT_EQ(g.repaints, 0);
  g.SetProgress(10);  // 1 %
  EXPECT_EQ(g.repaints, 1);
  g.SetProgress(10);
  g.SeTCGaugeKind(gkHorizontalBar);
  g.SetShowText(true);
  g.SetBorderStyle(bsSingle);
  g.SetForeColor(clBlack);
  g.SetBackColor(clWhite);
  g.SetMinValue(0);
  g.SetMaxValue(1000);
  EXPECT_EQ(g.repaints, 1);
  g.AddProgress(0);
  EXPECT_EQ(g.repaints, 2);
  g.SeTCGaugeKind(gkPie);
  g.SetShowText(false);
  g.SetBorderStyle(bsNone);
  g.SetForeColor(clRed);
  g.SetBackColor(clBlue);
  g.SetMinValue(1);
  g.SetMaxValue(999);
  EXPECT_EQ(g.repaints, 9);
}

TEST(Cgauges, BarsFillTheirShareWithTheirOwnClamps) {
  // 33 % at 1 of 3: columns 0..32 of a borderless 100-pixel bar.
  auto g = MakeGauge(gkHorizontalBar, 1);
  g->SetMaxValue(3);
  auto s = Paint(*g);
  EXPECT_EQ(s->Ink(kBack, RECT{0, 0, 100, 100}).right, 33);
  EXPECT_EQ(s->At(32, 99), kFore);
  EXPECT_EQ(s->At(33, 0), kBack);

  // Full with a frame: the paint rectangle is filled to its right edge, and the frame stays black.
  g = MakeGauge(gkHorizontalBar, 100, bsSingle);
  g->SetForeColor(0x0000FF);
  s = Paint(*g);
  EXPECT_EQ(s->Ink(0x0000FF, RECT{1, 1, 99, 99}).right, 0);
  for (int i = 0; i < 100; ++i) {
    EXPECT_EQ(s->At(i, 0), clBlack);
    EXPECT_EQ(s->At(0, i), clBlack);
    EXPECT_EQ(s->At(i, 99), clBlack);
    EXPECT_EQ(s->At(99, i), clBlack);
  }

  // A full vertical bar leaves row 0 free without a border; with one it starts at row 1.
  g = MakeGauge(gkVerticalBar, 100);
  g->SetForeColor(0x0000FF);
  s = Paint(*g);
  EXPECT_EQ(s->Ink(kBack, RECT{0, 0, 100, 100}).top, 1);
  EXPECT_FALSE(s->Contains(0x0000FF, RECT{0, 0, 100, 1}));
  EXPECT_EQ(s->At(0, 1), 0x0000FF);
  g->SetBorderStyle(bsSingle);
  s = Paint(*g);
  EXPECT_EQ(s->Ink(0x0000FF, RECT{1, 1, 99, 99}).right, 0);

  // Half a vertical bar without a border: H = 101, F = 50, rows 51 and down.
  g = MakeGauge(gkVerticalBar, 50);
  s = Paint(*g);
  EXPECT_EQ(Str(s->Ink(kBack, RECT{0, 0, 100, 100})), Str(RECT{0, 51, 100, 100}));
  // Empty bars draw nothing; gkText draws only the empty area.
  for (TCGaugeKind kind : {gkVerticalBar, gkHorizontalBar, gkText}) {
    g = MakeGauge(kind, kind == gkText ? 70 : 0);
    s = Paint(*g);
    EXPECT_EQ(s->Ink(kBack, RECT{0, 0, 100, 100}).right, 0) << kind;
  }
}

TEST(Cgauges, PieFillsClockwiseFromTwelveOClock) {
  struct Case { int percent; POINT fore[2]; POINT back[2]; };
  const Case cases[] = {
      {25, {{75, 25}, {55, 10}}, {{25, 25}, {75, 75}}},
      {50, {{75, 25}, {75, 75}}, {{25, 25}, {25, 75}}},
      {75, {{75, 75}, {25, 75}}, {{25, 25}, {45, 10}}},
      {100, {{25, 25}, {45, 10}}, {{0, 0}, {0, 0}}},
  };
  for (const Case& c : cases) {
    auto g = MakeGauge(gkPie, c.percent);
    g->SetForeColor(0x0000FF);
    g->SetBackColor(0xFF0000);
    auto s = Paint(*g);
    for (POINT p : c.fore) EXPECT_EQ(s->At(p.x, p.y), 0x0000FF) << c.percent << "% at " << p.x << "," << p.y;
    if (c.percent < 100) {
      for (POINT p : c.back) EXPECT_EQ(s->At(p.x, p.y), 0xFF0000) << c.percent << "% at " << p.x << "," << p.y;
    }
    // Outside the ellipse: the control's colour.
    EXPECT_EQ(s->At(0, 0), kAround);
    EXPECT_EQ(s->At(99, 99), kAround);
  }
  // 0 %: only the dial.
  auto g = MakeGauge(gkPie, 0);
  g->SetForeColor(0x0000FF);
  g->SetBackColor(0xFF0000);
  auto s = Paint(*g);
  EXPECT_EQ(s->At(75, 25), 0xFF0000);
  EXPECT_EQ(s->At(50, 50), 0xFF0000);
}

TEST(Cgauges, NeedleSwingsFromTheLeftOverTheTop) {
  auto dial = MakeGauge(gkNeedle, 0);
  dial->SetForeColor(0x0000FF);
  auto empty = Paint(*dial);
  EXPECT_EQ(empty->At(50, 50), kBack);
  EXPECT_EQ(empty->At(2, 2), kAround);
  struct Case { int percent; RECT needle; };
  // The line runs from (50, 99) to its end, whose own pixel GDI leaves out.
  // Where it runs along the dial's outline or its base radius, nothing changes.
  const Case cases[] = {{50, {49, 1, 51, 99}}, {100, {75, 98, 99, 99}}, {1, {1, 95, 44, 99}}};
  for (const Case& c : cases) {
    auto g = MakeGauge(gkNeedle, c.percent);
    g->SetForeColor(0x0000FF);
    auto s = Paint(*g);
    RECT changed{100, 100, 0, 0};
    for (int y = 0; y < 100; ++y)
      for (int x = 0; x < 100; ++x)
        if (s->At(x, y) != empty->At(x, y)) {
          EXPECT_EQ(s->At(x, y), 0x0000FF);
          changed = RECT{std::min<LONG>(changed.left, x), std::min<LONG>(changed.top, y),
                         std::max<LONG>(changed.right, x + 1), std::max<LONG>(changed.bottom, y + 1)};
        }
    EXPECT_EQ(Str(changed), Str(c.needle)) << c.percent << "%";
  }
  // 50 %: the top end is one pixel left of the centre.
  auto g = MakeGauge(gkNeedle, 50);
  g->SetForeColor(0x0000FF);
  auto s = Paint(*g);
  EXPECT_EQ(s->At(49, 1), 0x0000FF);
  EXPECT_EQ(s->At(50, 1), kBack);
}

// The text inverts whatever lies under it: the change it makes to a pixel is
// the same XOR mask whatever the colours of the bar.
TEST(Cgauges, TextInvertsThePixelsUnderIt) {
  auto paint = [](TColor fore, TColor back, bool text) {
    auto g = MakeGauge(gkHorizontalBar, 50, bsSingle, text);
    g->SetForeColor(fore);
    g->SetBackColor(back);
    g->Font()->SetHeight(-40);
    return Paint(*g);
  };
  auto aPlain = paint(clBlack, clWhite, false), aText = paint(clBlack, clWhite, true);
  auto bPlain = paint(0x102030, 0x405060, false), bText = paint(0x102030, 0x405060, true);
  bool overFill = false, overEmpty = false;
  for (int y = 0; y < 100; ++y)
    for (int x = 0; x < 100; ++x) {
      const TColor mask = aText->At(x, y) ^ aPlain->At(x, y);
      ASSERT_EQ(mask, bText->At(x, y) ^ bPlain->At(x, y)) << x << "," << y;
      if (mask == 0xFFFFFF) (x < 50 ? overFill : overEmpty) = true;
      if (mask && (x == 0 || y == 0 || x == 99 || y == 99)) ADD_FAILURE() << "text on the frame at " << x << "," << y;
    }
  EXPECT_TRUE(overFill);
  EXPECT_TRUE(overEmpty);
}

// One gauge repainted through a run of states shows after each repaint exactly
// what a new gauge in that state shows: nothing of an earlier picture, text,
// dial or frame survives a change of percentage, look, colour, frame or size.
TEST(Cgauges, ARepaintShowsWhatANewGaugeShows) {
  struct State {
    TCGaugeKind kind;
    TFormBorderStyle border;
    bool text;
    int progress;
    TColor fore, back, around;
    int width, height;
  };
  constexpr TColor red = 0x0000FF, blue = 0xFF0000, yellow = 0x00FFFF, cyan = 0xFFFF00;
  const State states[] = {
      {gkNeedle, bsSingle, true, 100, red, kBack, kAround, 100, 100},
      {gkNeedle, bsSingle, true, 5, red, kBack, kAround, 100, 100},
      {gkHorizontalBar, bsSingle, true, 5, red, kBack, kAround, 100, 100},  // the needle's base line sat on the frame
      {gkHorizontalBar, bsSingle, true, 100, red, kBack, kAround, 100, 100},
      {gkHorizontalBar, bsSingle, true, 7, red, kBack, kAround, 100, 100},  // "7%" where "100%" was
      {gkVerticalBar, bsNone, true, 100, red, kBack, kAround, 100, 100},
      {gkVerticalBar, bsNone, false, 30, red, kBack, kAround, 100, 100},
      {gkPie, bsNone, true, 60, red, kBack, kAround, 100, 100},
      {gkPie, bsNone, true, 20, red, kBack, kAround, 100, 100},
      {gkPie, bsNone, true, 20, red, blue, kAround, 100, 100},
      {gkPie, bsNone, true, 20, yellow, blue, kAround, 100, 100},
      {gkPie, bsNone, true, 20, yellow, blue, cyan, 100, 100},
      {gkPie, bsSingle, true, 20, yellow, blue, cyan, 100, 100},
      {gkPie, bsSingle, true, 20, yellow, blue, cyan, 80, 60},
      {gkNeedle, bsSingle, true, 20, yellow, blue, cyan, 80, 60},
      {gkNeedle, bsSingle, true, 90, yellow, blue, cyan, 80, 60},
      {gkText, bsSingle, true, 100, yellow, blue, cyan, 80, 60},
      {gkText, bsNone, true, 1, yellow, blue, cyan, 80, 60},
      {gkNeedle, bsNone, false, 50, yellow, blue, cyan, 80, 60},
      {gkPie, bsSingle, true, 75, yellow, blue, cyan, 80, 60},
  };
  auto apply = [](TCGauge& g, const State& st) {
    g.SeTCGaugeKind(st.kind);
    g.SetBorderStyle(st.border);
    g.SetShowText(st.text);
    g.SetForeColor(st.fore);
    g.SetBackColor(st.back);
    g.SetColor(st.around);
    g.SetBounds(0, 0, st.width, st.height);
    g.SetProgress(st.progress);
  };
  auto reused = MakeGauge(gkText, 0);
  reused->Font()->SetHeight(-30);
  for (size_t i = 0; i < std::size(states); ++i) {
    const State& st = states[i];
    apply(*reused, st);
    auto fresh = MakeGauge(gkText, 0);
    fresh->Font()->SetHeight(-30);
    apply(*fresh, st);
    auto a = Paint(*reused), b = Paint(*fresh);
    int differ = 0;
    for (int y = 0; y < st.height; ++y)
      for (int x = 0; x < st.width; ++x)
        if (a->At(x, y) != b->At(x, y) && differ++ == 0)
          ADD_FAILURE() << "state " << i << ": first difference at " << x << "," << y;
    EXPECT_EQ(differ, 0) << "state " << i;
  }
}

TEST(Cgauges, StreamsItsPropertiesAndReadsTheMinimumBeforeTheMaximum) {
  RegisterClassInfo(TCGauge::StaticClass());
  samples_testing::TSamplesForm form(nullptr);
  form.SetName("GaugeForm");
  auto* g = new TCGauge(&form);
  g->SetName("Gauge1");
  g->SetParent(&form);
  std::string text;
  auto copy = samples_testing::RoundTrip(form, &text);
  for (const char* name : {"Kind", "ShowText", "BorderStyle", "ForeColor", "BackColor", "MinValue", "MaxValue",
                           "Progress", "ParentColor", "Color"})
    EXPECT_FALSE(samples_testing::Written(text, name)) << name << " in\n" << text;
  EXPECT_TRUE(samples_testing::Written(text, "Width"));

  g->SeTCGaugeKind(gkNeedle);
  g->SetShowText(false);
  g->SetBorderStyle(bsNone);
  g->SetForeColor(clRed);
  g->SetBackColor(clBlue);
  g->SetMaxValue(500);
  g->SetMinValue(20);
  g->SetProgress(300);
  copy = samples_testing::RoundTrip(form, &text);
  auto* r = dynamic_cast<TCGauge*>(copy->FindComponent("Gauge1"));
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->Kind(), gkNeedle);
  EXPECT_FALSE(r->ShowText());
  EXPECT_EQ(r->BorderStyle(), bsNone);
  EXPECT_EQ(r->ForeColor(), clRed);
  EXPECT_EQ(r->BackColor(), clBlue);
  EXPECT_EQ(r->MinValue(), 20);
  EXPECT_EQ(r->MaxValue(), 500);
  EXPECT_EQ(r->Progress(), 300);
  EXPECT_LT(text.find("MinValue"), text.find("MaxValue"));

  // A stored minimum above the default maximum fails: the maximum comes later.
  auto bad = std::make_unique<samples_testing::TSamplesForm>(nullptr);
  try {
    ReadComponentText(bad.get(), "object GaugeForm: TSamplesForm\n  object G: TCGauge\n    MinValue = 150\n"
                                 "    MaxValue = 500\n  end\nend\n");
    ADD_FAILURE() << "read a minimum above the maximum";
  } catch (const Exception& e) {
    EXPECT_NE(std::string(e.Message()).find("Value must be between -2147483647 and 99"), std::string::npos)
        << e.Message();
  }
}

}  // namespace
