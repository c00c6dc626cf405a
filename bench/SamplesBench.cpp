// Times the sample controls: a 400 x 400 gauge repainted in each look at a
// changing percentage beside the same GDI calls made directly (fill, pie,
// inverting copy of the text, text, copy to the target), a
// 1,000-pixel-wide graph's step with 16 points, and the calendar stepping
// through 100 years month by month. Prints figures; it is not a test.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cmath>
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

// The percentage shown by the i-th repaint of a timing loop: it changes with
// every repaint, as when a gauge follows a running task.
int PercentOfRound(int i) { return 40 + i % 20; }

// What a gauge's repaint amounts to, made directly on DIB sections: the fill
// and the pie of the picture, the percentage inverted over it (the text white
// on black in a layer, then an inverting copy of the text's box), and the one
// copy of the picture onto the target. The pie is the gauge's own at that
// percentage (400 x 400 with a one-pixel frame).
double DirectGdi(HDC target) {
  TBitmap picture(400, 400);
  TBitmap layer(400, 400);
  HDC dc = picture.Canvas()->Handle();
  HDC text = layer.Canvas()->Handle();  // the canvas's font: the gauge's default one
  SetTextColor(text, RGB(255, 255, 255));
  SetBkMode(text, TRANSPARENT);
  HBRUSH back = CreateSolidBrush(RGB(255, 255, 255));
  HBRUSH fore = CreateSolidBrush(RGB(0, 0, 0));
  const RECT inside{1, 1, 399, 399};
  double us = MedianUs(21, 50, [&](int i) {
    const int percent = PercentOfRound(i);
    FillRect(dc, &inside, back);
    HGDIOBJ old = SelectObject(dc, fore);
    const double angle = (percent * 0.02 + 0.5) * 3.141592653589793;
    Pie(dc, 1, 1, 399, 399, static_cast<int>(199 * (1 - std::cos(angle))),
        static_cast<int>(199 * (1 - std::sin(angle))), 199, 0);
    SelectObject(dc, old);
    char s[8];
    const int n = std::snprintf(s, sizeof s, "%d%%", percent);
    SIZE size;
    GetTextExtentPoint32A(text, s, n, &size);
    const RECT box = Bounds((399 - size.cx) / 2, (399 - size.cy) / 2, size.cx, size.cy);
    PatBlt(text, box.left, box.top, size.cx, size.cy, BLACKNESS);
    ExtTextOutA(text, box.left, box.top, ETO_CLIPPED, &box, s, n, nullptr);
    BitBlt(dc, box.left, box.top, size.cx, size.cy, text, box.left, box.top, SRCINVERT);
    BitBlt(target, 0, 0, 400, 400, dc, 0, 0, SRCCOPY);
  });
  DeleteObject(back);
  DeleteObject(fore);
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
  const double direct = DirectGdi(target);
  std::printf("direct GDI calls (fill, pie, inverting copy, text, copy): %8.1f us\n", direct);
  const char* names[] = {"text", "horizontal bar", "vertical bar", "pie", "needle"};
  for (int kind = gkText; kind <= gkNeedle; ++kind) {
    gauge->SeTCGaugeKind(static_cast<TCGaugeKind>(kind));
    double us = MedianUs(21, 20, [&](int i) {
      gauge->SetProgress(PercentOfRound(i));
      gauge->Perform(WM_PAINT, reinterpret_cast<WPARAM>(target), 0);
    });
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
