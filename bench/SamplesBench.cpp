// Times the sample controls: a 400 x 400 gauge repainted in each look beside
// the same GDI calls made directly (fill, pie, inverting copy, text), a
// 1,000-pixel-wide graph's step with 16 points, and the calendar stepping
// through 100 years month by month. Prints figures; it is not a test.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "Bitmaps.h"
#include "Ccalendr.h"
#include "Cgauges.h"
#include "Forms.h"
#include "Perfgrap.h"

namespace {
using Clock = std::chrono::steady_clock;

double Us(Clock::time_point from) { return std::chrono::duration<double, std::micro>(Clock::now() - from).count(); }

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

template <class F>
double MedianUs(int rounds, int perRound, F f) {
  std::vector<double> times;
  for (int r = 0; r < rounds; ++r) {
    auto start = Clock::now();
    for (int i = 0; i < perRound; ++i) f(i);
    times.push_back(Us(start) / perRound);
  }
  return Median(times);
}

// What a gauge's repaint amounts to, made directly on DIB sections: fill, pie,
// an inverting copy and a short text.
double DirectGdi(HDC target) {
  TBitmap layer(400, 400);
  HDC dc = layer.Canvas()->Handle();
  HBRUSH brush = CreateSolidBrush(RGB(0, 0, 0));
  HBRUSH fill = CreateSolidBrush(RGB(255, 255, 255));
  RECT all{0, 0, 400, 400};
  double us = MedianUs(21, 50, [&](int i) {
    FillRect(dc, &all, fill);
    HGDIOBJ old = SelectObject(dc, brush);
    Pie(dc, 0, 0, 400, 400, 400, 200 + i % 50, 200, 0);
    SelectObject(dc, old);
    BitBlt(target, 0, 0, 400, 400, dc, 0, 0, SRCINVERT);
    SetBkMode(target, TRANSPARENT);
    TextOutA(target, 190, 190, "57%", 3);
  });
  DeleteObject(brush);
  DeleteObject(fill);
  return us;
}
}  // namespace

int main() {
  InitApplication();
  TForm form(nullptr);
  TBitmap screen(400, 400);
  HDC target = screen.Canvas()->Handle();

  std::printf("bitmap 400 x 400 made and drawn on: %8.1f us\n", MedianUs(11, 20, [&](int) {
    TBitmap b;
    b.SetHeight(400);
    b.SetWidth(400);
    b.Canvas()->FillRect(RECT{0, 0, 1, 1});
  }));
  auto* gauge = new TCGauge(&form);
  gauge->SetBounds(0, 0, 400, 400);
  gauge->SetProgress(57);
  const double direct = DirectGdi(target);
  std::printf("direct GDI calls (fill, pie, inverting copy, text): %8.1f us\n", direct);
  const char* names[] = {"text", "horizontal bar", "vertical bar", "pie", "needle"};
  for (int kind = gkText; kind <= gkNeedle; ++kind) {
    gauge->SeTCGaugeKind(static_cast<TCGaugeKind>(kind));
    double us = MedianUs(21, 20, [&](int) { gauge->Perform(WM_PAINT, reinterpret_cast<WPARAM>(target), 0); });
    std::printf("gauge 400 x 400 repaint, %-15s %8.1f us  (%.1f x direct)\n", names[kind], us, us / direct);
  }

  auto* graph = new TPerformanceGraph(&form);
  graph->SetBounds(0, 0, 1000, 200);
  graph->SetGraphKind(pgBar);
  graph->Perform(WM_PAINT, reinterpret_cast<WPARAM>(target), 0);  // builds the ring for the width
  int tick = 0;
  auto feed = [&](int) {
    for (int p = 0; p < 16; ++p) graph->DataPoint(RGB(p * 16, 255 - p * 16, 128), 40 * (p + 1) + (tick % 7));
    graph->Update();
    ++tick;
  };
  for (int i = 0; i < 400; ++i) feed(i);  // fill the history so that the scale settles
  std::printf("graph 1000 px, Update with 16 points (bars):   %8.1f us\n", MedianUs(21, 50, feed));
  graph->SetGraphKind(pgLine);
  std::printf("graph 1000 px, Update with 16 points (lines):  %8.1f us\n", MedianUs(21, 50, feed));

  auto* calendar = new TCCalendar(&form);
  calendar->SetParent(&form);
  calendar->SetBounds(0, 0, 280, 210);
  calendar->SeTCCalendarDate(EncodeDate(1900, 1, 31));
  auto start = Clock::now();
  for (int i = 0; i < 1200; ++i) calendar->NextMonth();
  const double step = Us(start) / 1200;
  std::printf("calendar NextMonth, 1,200 steps (100 years):   %8.1f us a step (now %d-%02d-%02d)\n", step,
              calendar->Year(), calendar->Month(), calendar->Day());
  return 0;
}
