// Times the grid's painting and scrolling with 1,000,000 rows against 10 rows:
// both grids show the same number of cells, so the times per paint should be
// the same within noise. Each paint draws every visible cell's text into an
// off-screen 32-bpp bitmap; a scroll is a scroll-bar message followed by a
// paint of the shown window. Prints figures; it is not a test.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "Bitmaps.h"
#include "Forms.h"
#include "Grids.h"

namespace {
using Clock = std::chrono::steady_clock;

// A grid that writes each cell's coordinates, as a real grid draws its data.
class TextGrid : public TCustomGrid {
 public:
  explicit TextGrid(TComponent* owner) : TCustomGrid(owner) {}

 protected:
  void DrawCell(int col, int row, const RECT& rect, TGridDrawState) override {
    Canvas()->TextRect(rect, rect.left + 2, rect.top + 2, std::to_string(col) + ":" + std::to_string(row));
  }
};

double MedianUs(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

double MinUs(const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); }

double Us(Clock::time_point from) { return std::chrono::duration<double, std::micro>(Clock::now() - from).count(); }

constexpr int kRounds = 41, kPerRound = 20;

struct Run {
  const char* label;
  TextGrid* grid;
  std::vector<double> paint, scroll;
};

TextGrid* NewGrid(TForm* form, int rows) {
  auto* grid = new TextGrid(form);
  grid->SetBounds(0, 0, 400, 8 * 25 + 4);
  grid->SetColCount(6);
  grid->SetRowCount(rows);
  grid->SetParent(form);
  // In the middle of the rows, where a cost that grows with the row number would show.
  grid->SetTopRow(rows / 2);
  return grid;
}

// One round: kPerRound paints into the bitmap, then kPerRound scrolls by one
// row, each followed by the window's repaint (frame and scroll bar included).
void Round(Run& run, HDC dc) {
  TextGrid* grid = run.grid;
  grid->BringToFront();
  auto start = Clock::now();
  for (int i = 0; i < kPerRound; ++i) grid->Perform(WM_PAINT, reinterpret_cast<WPARAM>(dc), 0);
  GdiFlush();
  run.paint.push_back(Us(start) / kPerRound);
  start = Clock::now();
  for (int i = 0; i < kPerRound; ++i) {
    SendMessageA(grid->Handle(), WM_VSCROLL, i % 2 ? SB_LINEUP : SB_LINEDOWN, 0);
    UpdateWindow(grid->Handle());
  }
  run.scroll.push_back(Us(start) / kPerRound);
}
}  // namespace

int main() {
  InitApplication();
  auto* form = new TForm(nullptr);
  form->SetBounds(0, 0, 420, 260);
  form->HandleNeeded();
  ShowWindow(form->Handle(), SW_SHOWNOACTIVATE);
  TBitmap target(400, 300);
  HDC dc = target.Canvas()->Handle();

  Run runs[] = {{"10", NewGrid(form, 10), {}, {}}, {"1,000,000", NewGrid(form, 1000000), {}, {}}};
  // The two alternate round by round, so that the load of the machine falls on
  // both alike; the first round of each warms fonts and code and is dropped.
  for (int round = 0; round <= kRounds; ++round)
    for (Run& run : runs) Round(run, dc);
  std::printf("grid showing the same cells at either row count, %d rounds of %d (median / best), in microseconds:\n", kRounds,
              kPerRound);
  for (Run& run : runs) {
    run.paint.erase(run.paint.begin());
    run.scroll.erase(run.scroll.begin());
    std::printf("  %9s rows: paint %7.1f / %7.1f   scroll and repaint %8.1f / %8.1f\n", run.label,
                MedianUs(run.paint), MinUs(run.paint), MedianUs(run.scroll), MinUs(run.scroll));
  }
  std::printf("  ratio 1,000,000 / 10 rows (median): paint %.2f, scroll %.2f\n",
              MedianUs(runs[1].paint) / MedianUs(runs[0].paint), MedianUs(runs[1].scroll) / MedianUs(runs[0].scroll));
  delete form;
  return 0;
}
