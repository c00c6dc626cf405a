// The performance graph: the grid and its scrolling phase in pixels, bars
// stacked and lines joined between steps, the scale following the history,
// and a history kept across resizing.

#include "Perfgrap.h"

#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <string>
#include <vector>

#include "ExceptionCapture.h"
#include "SamplesTesting.h"

using painting::Surface;

namespace {

constexpr TColor kGrid = 0x8000;
constexpr TColor kRed = 0x0000FF;
constexpr TColor kBlue = 0xFF0000;

// The picture the graph copies to the screen, pixel by pixel.
TColor At(TPerformanceGraph& g, int x, int y) { return g.Picture()->Canvas()->Pixels(x, y); }

// Whether the colour appears in column x between rows top and bottom (exclusive).
bool Column(TPerformanceGraph& g, int x, int top, int bottom, TColor color) {
  for (int y = top; y < bottom; ++y)
    if (At(g, x, y) == color) return true;
  return false;
}

std::vector<int> GridColumns(TPerformanceGraph& g, int y) {
  std::vector<int> columns;
  for (int x = 0; x < g.Width(); ++x)
    if (At(g, x, y) == kGrid) columns.push_back(x);
  return columns;
}

TEST(Perfgrap, GridLinesScrollWithThePictureAndNewOnesComeInAtThePhase) {
  TPerformanceGraph g(nullptr);
  EXPECT_EQ(GridColumns(g, 5), (std::vector<int>{14, 29, 44, 59, 74, 89}));
  std::vector<int> rows;
  for (int y = 0; y < 100; ++y)
    if (At(g, 5, y) == kGrid) rows.push_back(y);
  EXPECT_EQ(rows, (std::vector<int>{15, 30, 45, 60, 75, 90}));
  EXPECT_EQ(g.GetBandCount(), 33);

  // With no data the first step drops the scale to 0 and redraws from the history.
  int scaleChanges = 0;
  g.OnScaleChange = [&](TObject*) { ++scaleChanges; };
  g.Update();
  EXPECT_EQ(g.Scale(), 0);
  EXPECT_EQ(scaleChanges, 1);
  EXPECT_EQ(GridColumns(g, 5), (std::vector<int>{11, 26, 41, 56, 71, 86}));
  g.Update();
  EXPECT_EQ(scaleChanges, 1);
  EXPECT_EQ(GridColumns(g, 5), (std::vector<int>{8, 23, 38, 53, 68, 83, 98}));
  // The newest band keeps the horizontal lines and nothing else.
  EXPECT_EQ(At(g, 97, 15), kGrid);
  EXPECT_EQ(At(g, 97, 16), clBlack);
  for (int i = 0; i < 15; ++i) g.Update();
  // 45 pixels later the lines stand where they stood, three grid spacings on.
  EXPECT_EQ(GridColumns(g, 5), (std::vector<int>{8, 23, 38, 53, 68, 83, 98}));
  // What Paint shows is the picture.
  Surface s(100, 100, clWhite);
  samples_testing::PaintInto(g, s);
  EXPECT_EQ(s.At(23, 5), kGrid);
  EXPECT_EQ(s.At(24, 5), clBlack);
}

TEST(Perfgrap, BarsStackTheirRunningTotalsAndSkipZeros) {
  TPerformanceGraph g(nullptr);
  g.SetGridlines(false);
  g.SetGraphKind(pgBar);
  g.SetGradient(100);
  g.DataPoint(kRed, 25);
  g.DataPoint(0x00FFFF, 0);
  g.DataPoint(kBlue, 50);
  g.Update();
  ASSERT_EQ(g.Scale(), 100);
  // Red from 100 - 25 - 1 to the bottom, blue from the red total up to 50;
  // each bar is one row taller than its value, so blue covers red's top row.
  for (int x = 97; x < 100; ++x) {
    EXPECT_EQ(At(g, x, 99), kRed);
    EXPECT_EQ(At(g, x, 75), kRed);
    EXPECT_EQ(At(g, x, 74), kBlue);
    EXPECT_EQ(At(g, x, 49), kBlue);
    EXPECT_EQ(At(g, x, 48), clBlack);
  }
  EXPECT_EQ(At(g, 96, 99), clBlack);
  // A value equal to the scale fills the whole band.
  g.DataPoint(kRed, 100);
  g.Update();
  EXPECT_EQ(At(g, 97, 0), kRed);
  EXPECT_EQ(At(g, 94, 99), kRed);  // the previous step moved left by one band
  EXPECT_EQ(At(g, 94, 48), clBlack);
}

TEST(Perfgrap, LinesJoinEachColourToItsValueOfThePreviousStep) {
  TPerformanceGraph g(nullptr);
  g.SetGridlines(false);
  g.DataPoint(kRed, 50);
  g.Update();  // scale 100; red starts at the bottom edge
  ASSERT_EQ(g.Scale(), 100);
  g.DataPoint(kRed, 50);
  g.DataPoint(kBlue, 100);
  g.Update();
  // Red stays level at y = 50 in the newest band; blue rises from the bottom
  // edge to the top across the same band.
  EXPECT_EQ(At(g, 97, 50), kRed);
  EXPECT_EQ(At(g, 97, 99), kBlue);
  EXPECT_TRUE(Column(g, 99, 0, 34, kBlue));
  // The first red segment rose from the bottom edge to 50, now one band left.
  EXPECT_EQ(At(g, 94, 99), kRed);
  EXPECT_TRUE(Column(g, 96, 50, 70, kRed));
  for (int x = 94; x < 97; ++x)
    for (int y = 0; y < 50; ++y) EXPECT_NE(At(g, x, y), kRed) << x << "," << y;
}

TEST(Perfgrap, ScaleFollowsTheLargestValueLeftInTheHistory) {
  TPerformanceGraph g(nullptr);
  g.SetWidth(12);  // 4 bands, a ring of 6 steps once painted
  Surface s(12, 100, clWhite);
  samples_testing::PaintInto(g, s);
  std::vector<int> scales;
  g.OnScaleChange = [&](TObject*) { scales.push_back(g.Scale()); };
  g.DataPoint(kRed, 250);
  g.Update();
  g.DataPoint(kRed, 150);
  g.Update();
  EXPECT_EQ(scales, (std::vector<int>{300}));
  for (int i = 0; i < 4; ++i) g.Update();
  EXPECT_EQ(scales, (std::vector<int>{300, 200}));
  for (int i = 0; i < 2; ++i) g.Update();
  EXPECT_EQ(scales, (std::vector<int>{300, 200, 0}));

  struct Round { int value, step, result; };
  const Round rounds[] = {{250, 100, 300}, {300, 100, 300}, {0, 100, 0}, {7, 0, 7}, {-250, 100, -100},
                          {INT_MAX, 100, INT_MAX}, {INT_MIN, -1, INT_MIN}, {5, -3, 0}};
  for (const Round& r : rounds)
    EXPECT_EQ(TPerformanceGraph::RoundUp(r.value, r.step), r.result) << r.value << " by " << r.step;
}

TEST(Perfgrap, SeventeenthPointOfAStepIsRefused) {
  TPerformanceGraph g(nullptr);
  for (int i = 0; i < 16; ++i) g.DataPoint(kRed, i);
  EXPECT_THROW(g.DataPoint(kRed, 1), ERangeError);
  g.Update();
  g.DataPoint(kRed, 1);  // a new step takes points again
}

TEST(Perfgrap, ResizingKeepsTheNewestHistory) {
  TPerformanceGraph g(nullptr);
  g.SetGridlines(false);
  g.SetGraphKind(pgBar);
  for (int step = 1; step <= 40; ++step) {
    g.DataPoint(step % 2 ? kRed : kBlue, 100);
    g.Update();
  }
  Surface s(200, 100, clWhite);
  // Narrower: only the newest steps are kept, in order, up to the right edge.
  g.SetWidth(30);
  samples_testing::PaintInto(g, s);
  EXPECT_EQ(g.Picture()->Width(), 30);
  EXPECT_EQ(At(g, 28, 50), kBlue);  // step 40
  EXPECT_EQ(At(g, 25, 50), kRed);   // step 39
  EXPECT_EQ(At(g, 1, 50), kRed);    // step 31, the oldest one drawn
  // Wider: the ring grows behind the steps it has; they are replayed from the
  // left, starting at the width's remainder (200 mod 66 = 2).
  g.SetWidth(200);
  samples_testing::PaintInto(g, s);
  EXPECT_EQ(At(g, 30, 50), kBlue);
  EXPECT_EQ(At(g, 27, 50), kRed);
  EXPECT_EQ(At(g, 33, 50), clBlack);
  // Taller only: the same ring, redrawn to the new height.
  g.SetHeight(50);
  samples_testing::PaintInto(g, s);
  EXPECT_EQ(g.Picture()->Height(), 50);
  EXPECT_EQ(At(g, 30, 0), kBlue);
  EXPECT_EQ(At(g, 30, 49), kBlue);
}

TEST(Perfgrap, OddSettingsDrawWithoutFault) {
  TPerformanceGraph g(nullptr);
  g.SetGridSize(1);
  EXPECT_EQ(g.GridSize(), 2);
  g.SetStepSize(0);
  EXPECT_EQ(g.StepSize(), 1);
  // Narrower than one step: no whole band.
  g.SetStepSize(40);
  g.SetWidth(30);
  Surface s(100, 100, clWhite);
  samples_testing::PaintInto(g, s);
  g.DataPoint(kRed, 10);
  g.Update();
  // Negative values with no positive one: the scale is 0 and they sit at the bottom.
  g.SetWidth(100);
  g.SetStepSize(20);
  g.SetGridSize(5);
  for (int i = 0; i < 10; ++i) {
    g.DataPoint(kRed, -50);
    g.DataPoint(kBlue, INT_MIN);
    g.Update();
  }
  EXPECT_EQ(g.Scale(), 0);
  g.SetGraphKind(pgBar);
  samples_testing::PaintInto(g, s);
}

TEST(Perfgrap, StreamsItsSettingsAndReadsAGradientOf1000As100) {
  RegisterClassInfo(TPerformanceGraph::StaticClass());
  samples_testing::TSamplesForm form(nullptr);
  form.SetName("GraphForm");
  auto* g = new TPerformanceGraph(&form);
  g->SetName("Graph1");
  g->SetParent(&form);
  std::string text;
  samples_testing::RoundTrip(form, &text);
  EXPECT_TRUE(samples_testing::Written(text, "Gradient")) << text;
  for (const char* name : {"Kind", "ForeColor", "BackColor", "GridSize", "StepSize", "Scale", "Gridlines", "PenWidth"})
    EXPECT_FALSE(samples_testing::Written(text, name)) << name;
  g->SetGraphKind(pgBar);
  g->SetGridSize(10);
  g->SetStepSize(5);
  g->SetGradient(1000);
  g->SetPenWidth(3);
  auto copy = samples_testing::RoundTrip(form, &text);
  auto* r = dynamic_cast<TPerformanceGraph*>(copy->FindComponent("Graph1"));
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->Kind(), pgBar);
  EXPECT_EQ(r->GridSize(), 10);
  EXPECT_EQ(r->StepSize(), 5);
  EXPECT_EQ(r->Gradient(), 100);
  EXPECT_EQ(r->PenWidth(), 3);
  EXPECT_EQ(r->Canvas()->Pen()->Width(), 3);
}

}  // namespace

// A graph whose size differs from its picture's draws its history anew in
// its first paint; that paint comes from its window's real paint and ends
// without fault, with the picture at the new size.
TEST(Perfgrap, AResizedGraphPaintsThroughItsWindowWithoutFault) {
  ExceptionCapture errors;
  auto form = std::make_unique<TForm>(nullptr);
  form->SetBounds(0, 0, 300, 200);
  auto* graph = new TPerformanceGraph(form.get());
  graph->SetParent(form.get());
  form->Show();
  form->HandleNeeded();
  graph->SetBounds(10, 10, 200, 80);  // made 100 x 100
  RedrawWindow(form->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  EXPECT_EQ(errors.count, 0) << errors.text;
  EXPECT_EQ(graph->Picture()->Width(), 200);
  EXPECT_EQ(graph->Picture()->Height(), 80);
}
