// The owner-drawn progress bar: its setters' limits, the pixels of its frame,
// filled and remaining parts, its text, and its streamed properties.

#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "Filer.h"
#include "Forms.h"
#include "Myprogressbar.h"
#include "Painting.h"

namespace {

constexpr TColor kBackdrop = 0x00FF00;  // neither fill: shows where nothing was painted

struct Bar {
  TMyProgressBar bar{nullptr};
  painting::Surface surface{300, 70, kBackdrop};

  Bar(int max, int position, int height = 22) {
    bar.SetBounds(0, 0, 286, height);
    bar.SetMax(max);
    bar.SetPosition(position);
  }
  void Paint() {
    surface.Fill(kBackdrop);
    surface.PaintWindowed(bar);
  }
  // The first column of row y (from x) that is not red.
  int RedEnd(int y, int x = 1) {
    while (x < 300 && surface.At(x, y) == clRed) ++x;
    return x;
  }
  int NavyEnd(int y, int x) {
    while (x < 300 && surface.At(x, y) == clNavy) ++x;
    return x;
  }
};

TEST(Myprogressbar, SettersKeepPositionWithinZeroAndMax) {
  TMyProgressBar bar(nullptr);
  EXPECT_EQ(bar.Max(), 100);
  EXPECT_EQ(bar.Position(), 0);
  EXPECT_EQ(bar.BevelOuter(), bvLowered);
  struct Step {
    const char* what;
    bool max;
    int value;
    int expectMax, expectPosition;
  } steps[] = {
      {"position 40", false, 40, 100, 40},
      {"negative position ignored", false, -1, 100, 40},
      {"beyond max stops at max", false, 105, 100, 100},
      {"max 0 ignored", true, 0, 100, 100},
      {"negative max ignored", true, -3, 100, 100},
      {"max below position lowers it", true, 10, 10, 10},
      {"max raised keeps position", true, 50, 50, 10},
      {"max + 5", false, 55, 50, 50},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(s.what);
    if (s.max)
      bar.SetMax(s.value);
    else
      bar.SetPosition(s.value);
    EXPECT_EQ(bar.Max(), s.expectMax);
    EXPECT_EQ(bar.Position(), s.expectPosition);
  }
}

TEST(Myprogressbar, WorkedExamplePaintsRedThenNavyInsideALoweredFrame) {
  Bar b(10, 3);
  b.Paint();
  const TColor shadow = ColorToRGB(clBtnShadow), light = ColorToRGB(clBtnHighlight);
  // Lowered: shadow on the left and top, highlight on the right and bottom.
  EXPECT_EQ(b.surface.At(0, 10), shadow);
  EXPECT_EQ(b.surface.At(100, 0), shadow);
  EXPECT_EQ(b.surface.At(285, 10), light);
  EXPECT_EQ(b.surface.At(100, 21), light);
  for (int y : {1, 20}) {
    SCOPED_TRACE(y);
    EXPECT_EQ(b.RedEnd(y), 86);
    EXPECT_EQ(b.NavyEnd(y, 86), 284);
    // The column between the remaining part and the frame is painted by neither fill.
    EXPECT_EQ(b.surface.At(284, y), kBackdrop);
  }
  EXPECT_EQ(b.bar.ProgressText(), "7 left");
  // White text somewhere over the middle of the bar.
  EXPECT_TRUE(b.surface.Contains(clWhite, RECT{100, 2, 190, 20}));
}

TEST(Myprogressbar, FilledPartForEdgePositions) {
  struct Case {
    const char* what;
    int max, position;
    int redEnd, navyEnd;  // navyEnd == redEnd: no navy at all
    const char* text;
  } cases[] = {
      {"nothing done", 10, 0, 1, 284, "10 left"},
      {"whole percent, rounded down", 3, 1, 1 + 284 * 33 / 100, 284, "2 left"},
      {"done", 10, 10, 285, 285, "Done"},
      {"position beyond max", 10, 15, 285, 285, "Done"},
      {"negative position stays 0", 10, -4, 1, 284, "10 left"},
      {"max 0 keeps 100", 0, 25, 1 + 284 * 25 / 100, 284, "75 left"},
      // Position × 100 beyond 32 bits: 49 %.
      {"huge numbers", INT_MAX, INT_MAX / 2, 1 + 284 * 49 / 100, 284, "1073741824 left"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Bar b(c.max, c.position);
    b.Paint();
    EXPECT_EQ(b.RedEnd(1), c.redEnd);
    EXPECT_EQ(b.NavyEnd(1, c.redEnd), c.navyEnd);
    EXPECT_EQ(b.bar.ProgressText(), c.text);
  }
}

TEST(Myprogressbar, WideBordersAndBothBevelsMoveTheWell) {
  // BevelWidth 2, BorderWidth 3, both bevels: the inner rectangle is 7 in, the
  // well starts one bevel and the border (5) in and ends 5 before the inner right
  // edge. Tall enough that the text stays clear of the rows looked at.
  Bar b(4, 2, 60);
  b.bar.SetBevelWidth(2);
  b.bar.SetBorderWidth(3);
  b.bar.SetBevelInner(bvRaised);
  b.Paint();
  const int innerLeft = 7, innerRight = 286 - 7;
  EXPECT_EQ(b.RedEnd(5, 5), innerLeft + (innerRight - innerLeft) * 50 / 100);
  EXPECT_EQ(b.NavyEnd(5, innerLeft + (innerRight - innerLeft) / 2), innerRight - 5);
  EXPECT_EQ(b.surface.At(4, 5), ColorToRGB(b.bar.Color()));  // the border in the panel's colour
}

TEST(Myprogressbar, MaxIsReadBeforePositionFromTheFormText) {
  RegisterClassInfo(TMyProgressBar::StaticClass());
  TForm form(nullptr);
  ReadComponentText(&form,
                    "object Form1: TForm\n"
                    "  object Bar1: TMyProgressBar\n    Max = 10\n    Position = 30\n  end\n"
                    "  object Bar2: TMyProgressBar\n    Position = 30\n  end\n"
                    "end\n");
  auto* bar1 = dynamic_cast<TMyProgressBar*>(form.FindComponent("Bar1"));
  auto* bar2 = dynamic_cast<TMyProgressBar*>(form.FindComponent("Bar2"));
  ASSERT_TRUE(bar1 && bar2);
  EXPECT_EQ(bar1->Position(), 10);
  EXPECT_EQ(bar2->Max(), 100);
  EXPECT_EQ(bar2->Position(), 30);

  bar2->SetPosition(0);
  const std::string text = WriteComponentText(&form);
  EXPECT_NE(text.find("Max = 100"), std::string::npos) << text;
  EXPECT_NE(text.find("Position = 10"), std::string::npos) << text;
  EXPECT_EQ(text.find("Position = 0"), std::string::npos) << text;
  EXPECT_NE(text.find("BevelOuter = bvLowered"), std::string::npos) << text;
}

TEST(Myprogressbar, RegistersOnTheSamplesPage) {
  Myprogressbar::Register();
  auto classes = PaletteClasses("Samples");
  EXPECT_NE(std::find(classes.begin(), classes.end(), &TMyProgressBar::StaticClass()), classes.end());
}

}  // namespace
