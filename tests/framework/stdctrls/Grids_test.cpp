// The grid on a real form window, driven by the messages a user's keys, mouse,
// wheel and scroll bars send: the current cell and its hooks, refusal, the
// selection, scrolling, painting only what is on screen, one-cell
// invalidation, a million rows, and the dialog-key and scroll plumbing of controls.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "Filer.h"
#include "Forms.h"
#include "Grids.h"
#include "Painting.h"

namespace {

struct Drawn {
  int col, row;
  RECT rect;
  TGridDrawState state;
};

// A grid that notes every call of its hooks and can refuse cells.
class LogGrid : public TCustomGrid {
 public:
  explicit LogGrid(TComponent* owner) : TCustomGrid(owner) {}
  using TCustomGrid::FocusCell;
  using TCustomGrid::MoveColRow;

  std::vector<TGridCoord> selects;
  std::vector<Drawn> drawn;
  int clicks = 0;
  std::function<bool(int, int)> refuse;

 protected:
  bool SelectCell(int col, int row) override {
    selects.push_back({col, row});
    if (refuse && refuse(col, row)) return false;
    return TCustomGrid::SelectCell(col, row);
  }
  void DrawCell(int col, int row, const RECT& rect, TGridDrawState state) override {
    drawn.push_back({col, row, rect, state});
  }
  void Click() override {
    ++clicks;
    TCustomGrid::Click();
  }
};

std::string At(const TGridCoord& c) { return std::to_string(c.X) + "," + std::to_string(c.Y); }
std::string Box(const RECT& r) {
  return std::to_string(r.left) + "," + std::to_string(r.top) + "-" + std::to_string(r.right) + "," +
         std::to_string(r.bottom);
}

// Geometry of the test grid: no border, no scroll bars, 60-pixel columns and
// 20-pixel rows with 1-pixel lines, so cell (c, r) on screen starts at
// (61c, 21r) and a client area of 305 x 126 holds the fixed row and five rows.
constexpr int kStep = 21, kColStep = 61;

class GridTest : public testing::Test {
 protected:
  void SetUp() override {
    InitApplication();
    form_ = new TForm(nullptr);
    form_->SetBounds(0, 0, 500, 400);
    grid_ = new LogGrid(form_);
    grid_->SetBorderStyle(bsNone);
    grid_->SetScrollBars(ssNone);
    grid_->SetBounds(0, 0, 5 * kColStep, 6 * kStep);
    grid_->SetDefaultColWidth(60);
    grid_->SetDefaultRowHeight(20);
    grid_->SetRowCount(100);
    grid_->SetParent(form_);
    form_->HandleNeeded();
  }
  void TearDown() override { delete form_; }

  HWND H() { return grid_->Handle(); }
  // A key press as the window receives it, with Shift and Ctrl held as asked.
  void Key(WORD vk, TShiftState shift = {}) {
    BYTE saved[256], state[256];
    GetKeyboardState(saved);
    std::copy(saved, saved + 256, state);
    state[VK_SHIFT] = shift.Contains(ssShift) ? 0x80 : 0;
    state[VK_CONTROL] = shift.Contains(ssCtrl) ? 0x80 : 0;
    SetKeyboardState(state);
    SendMessageA(H(), WM_KEYDOWN, vk, 1);
    SendMessageA(H(), WM_KEYUP, vk, 0xC0000001);
    SetKeyboardState(saved);
  }
  void Press(int x, int y, WPARAM keys = 0) {
    SendMessageA(H(), WM_LBUTTONDOWN, MK_LBUTTON | keys, MAKELPARAM(x, y));
  }
  void Drag(int x, int y) { SendMessageA(H(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x, y)); }
  void Release(int x, int y) { SendMessageA(H(), WM_LBUTTONUP, 0, MAKELPARAM(x, y)); }
  // Moves the current cell and forgets what the hooks saw so far.
  void Start(int col, int row) {
    grid_->MoveColRow(col, row, true, true);
    grid_->selects.clear();
    grid_->clicks = 0;
  }
  void ShowForm() {
    // A hidden window keeps no update region; show it without activating it.
    ShowWindow(form_->Handle(), SW_SHOWNOACTIVATE);
    UpdateWindow(form_->Handle());
  }

  TForm* form_ = nullptr;
  LogGrid* grid_ = nullptr;
};

}  // namespace

TEST_F(GridTest, KeysMoveTheCurrentCellAndKeepItOnScreen) {
  ASSERT_EQ(grid_->VisibleRowCount(), 5);
  struct Case {
    const char* name;
    TGridCoord from;
    WORD key;
    TShiftState shift;
    TGridCoord to;
    int topRow;
    int clicks;
  } cases[] = {
      {"down", {1, 1}, VK_DOWN, {}, {1, 2}, 1, 1},
      {"up at the first row", {1, 1}, VK_UP, {}, {1, 1}, 1, 0},
      {"down past the last row on screen", {1, 5}, VK_DOWN, {}, {1, 6}, 2, 1},
      {"right", {1, 1}, VK_RIGHT, {}, {2, 1}, 1, 1},
      {"left at the first column", {1, 3}, VK_LEFT, {}, {1, 3}, 1, 0},
      {"end", {2, 3}, VK_END, {}, {4, 3}, 1, 1},
      {"home", {3, 4}, VK_HOME, {}, {1, 4}, 1, 1},
      {"page down", {1, 1}, VK_NEXT, {}, {1, 6}, 2, 1},
      {"page up", {1, 50}, VK_PRIOR, {}, {1, 45}, 45, 1},
      {"page down at the end", {1, 97}, VK_NEXT, {}, {1, 99}, 95, 1},
      {"ctrl+end", {2, 3}, VK_END, {ssCtrl}, {4, 99}, 95, 1},
      {"ctrl+home", {3, 60}, VK_HOME, {ssCtrl}, {1, 1}, 1, 1},
      {"ctrl+down scrolls only", {2, 1}, VK_DOWN, {ssCtrl}, {2, 1}, 2, 0},
      {"tab without the option", {1, 1}, VK_TAB, {}, {1, 1}, 1, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    grid_->SetTopRow(1);
    Start(c.from.X, c.from.Y);
    Key(c.key, c.shift);
    EXPECT_EQ(At({grid_->Col(), grid_->Row()}), At(c.to));
    EXPECT_EQ(grid_->TopRow(), c.topRow);
    EXPECT_EQ(grid_->clicks, c.clicks);
  }
}

TEST_F(GridTest, TabsRunThroughTheRowWhenAsked) {
  grid_->SetOptions(grid_->Options() + goTabs);
  Start(4, 1);
  Key(VK_TAB);
  EXPECT_EQ(At({grid_->Col(), grid_->Row()}), "1,2");
  Key(VK_TAB, {ssShift});
  EXPECT_EQ(At({grid_->Col(), grid_->Row()}), "4,1");
  Key(VK_TAB, {ssShift});
  EXPECT_EQ(At({grid_->Col(), grid_->Row()}), "3,1");
}

TEST_F(GridTest, SelectCellRefusesMovesButAssignmentStillClicks) {
  grid_->refuse = [](int, int row) { return row == 3; };
  Start(1, 2);
  Key(VK_DOWN);
  EXPECT_EQ(grid_->Row(), 2);
  EXPECT_EQ(grid_->clicks, 0);
  ASSERT_EQ(grid_->selects.size(), 1u);
  EXPECT_EQ(At(grid_->selects[0]), "1,3");

  Press(2 * kColStep + 5, 3 * kStep + 5);  // a click on a refused cell
  Release(2 * kColStep + 5, 3 * kStep + 5);
  EXPECT_EQ(At({grid_->Col(), grid_->Row()}), "1,2");
  EXPECT_EQ(grid_->clicks, 0);

  grid_->SetRow(3);
  EXPECT_EQ(grid_->Row(), 2);
  EXPECT_EQ(grid_->clicks, 1);
  grid_->SetRow(4);
  EXPECT_EQ(grid_->Row(), 4);
  EXPECT_EQ(grid_->clicks, 2);
  grid_->SetCol(3);
  EXPECT_EQ(At({grid_->Col(), grid_->Row()}), "3,4");
  EXPECT_EQ(grid_->clicks, 3);
  EXPECT_THROW(grid_->SetRow(100), EInvalidGridOperation);
  EXPECT_EQ(grid_->Row(), 4);
}

TEST_F(GridTest, AQuietMoveKeepsTheAnchorAndTheViewAndDoesNotClick) {
  Start(1, 1);
  EXPECT_TRUE(grid_->MoveColRow(2, 80, false, false));
  EXPECT_EQ(grid_->TopRow(), 1);
  EXPECT_EQ(grid_->clicks, 0);
  EXPECT_EQ(grid_->Selection(), (TGridRect{1, 1, 2, 80}));
  // Without range selection the anchor always follows.
  grid_->SetOptions(grid_->Options() - goRangeSelect);
  EXPECT_TRUE(grid_->MoveColRow(3, 2, false, false));
  EXPECT_EQ(grid_->Selection(), (TGridRect{3, 2, 3, 2}));
  EXPECT_THROW(grid_->MoveColRow(0, 2, true, false), EInvalidGridOperation);  // a fixed cell
}

TEST_F(GridTest, MouseSelectsCellsAndRanges) {
  Start(1, 1);
  Press(2 * kColStep + 5, 2 * kStep + 5);
  EXPECT_EQ(GetCapture(), H());
  EXPECT_EQ(At({grid_->Col(), grid_->Row()}), "2,2");
  EXPECT_EQ(grid_->clicks, 1);
  Drag(3 * kColStep + 5, 4 * kStep + 5);
  EXPECT_EQ(grid_->Selection(), (TGridRect{2, 2, 3, 4}));
  Drag(-30, -30);  // past the fixed corner: the first normal cell
  EXPECT_EQ(grid_->Selection(), (TGridRect{1, 1, 2, 2}));
  Release(-30, -30);
  EXPECT_EQ(GetCapture(), nullptr);
  EXPECT_EQ(grid_->clicks, 3);

  Press(4 * kColStep + 5, 5 * kStep + 5, MK_SHIFT);  // shift extends from the anchor
  Release(4 * kColStep + 5, 5 * kStep + 5);
  EXPECT_EQ(grid_->Selection(), (TGridRect{2, 2, 4, 5}));

  Press(5, 3 * kStep + 5);  // a fixed cell: nothing moves
  Release(5, 3 * kStep + 5);
  EXPECT_EQ(At({grid_->Col(), grid_->Row()}), "4,5");

  grid_->SetOptions(grid_->Options() - goRangeSelect);
  Press(kColStep + 5, kStep + 5);
  Drag(3 * kColStep + 5, 3 * kStep + 5);
  Release(3 * kColStep + 5, 3 * kStep + 5);
  EXPECT_EQ(grid_->Selection(), (TGridRect{3, 3, 3, 3}));
}

TEST_F(GridTest, ScrollBarsFollowTheTopRowAndMoveIt) {
  grid_->SetScrollBars(ssBoth);
  grid_->SetColCount(30);
  ShowForm();
  HWND h = H();
  const int fit = grid_->VisibleRowCount();
  SCROLLINFO si{sizeof si, SIF_ALL, 0, 0, 0, 0, 0};
  auto bar = [&](int which) {
    si.fMask = SIF_ALL;
    GetScrollInfo(h, which, &si);
    return si.nPos;
  };
  EXPECT_EQ(bar(SB_VERT), 1);
  EXPECT_EQ(si.nMin, 1);
  EXPECT_EQ(si.nMax, 99);
  EXPECT_EQ(static_cast<int>(si.nPage), fit);

  grid_->SetTopRow(40);
  EXPECT_EQ(bar(SB_VERT), 40);
  Start(1, 40);
  Key(VK_UP);
  EXPECT_EQ(grid_->TopRow(), 39);
  EXPECT_EQ(bar(SB_VERT), 39);

  struct Case {
    int code, top;
  } cases[] = {{SB_LINEDOWN, 40}, {SB_PAGEDOWN, 40 + fit}, {SB_LINEUP, 39 + fit},
               {SB_BOTTOM, 100 - fit}, {SB_LINEDOWN, 100 - fit}, {SB_TOP, 1}, {SB_LINEUP, 1}};
  grid_->SetTopRow(39);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    SendMessageA(h, WM_VSCROLL, static_cast<WPARAM>(c.code), 0);
    EXPECT_EQ(grid_->TopRow(), c.top);
    EXPECT_EQ(bar(SB_VERT), c.top);
  }
  EXPECT_EQ(grid_->Row(), 39);  // scrolling leaves the current cell

  SendMessageA(h, WM_HSCROLL, SB_LINEDOWN, 0);
  EXPECT_EQ(grid_->LeftCol(), 2);
  EXPECT_EQ(bar(SB_HORZ), 2);
  Key(VK_END);
  EXPECT_EQ(grid_->Col(), 29);
  EXPECT_EQ(grid_->LeftCol(), 29 - grid_->VisibleColCount() + 1);
  EXPECT_EQ(bar(SB_HORZ), grid_->LeftCol());

  // Without bars the window has none, and everything fitting hides them.
  grid_->SetScrollBars(ssNone);
  EXPECT_EQ(GetWindowLongPtrA(h, GWL_STYLE) & (WS_VSCROLL | WS_HSCROLL), 0);
  grid_->SetScrollBars(ssVertical);
  EXPECT_NE(GetWindowLongPtrA(h, GWL_STYLE) & WS_VSCROLL, 0);
  grid_->SetRowCount(3);
  EXPECT_EQ(GetWindowLongPtrA(h, GWL_STYLE) & WS_VSCROLL, 0);
}

TEST_F(GridTest, TheWheelScrollsTheRows) {
  UINT lines = 3;
  SystemParametersInfoA(SPI_GETWHEELSCROLLLINES, 0, &lines, 0);
  ASSERT_GT(lines, 0u);
  ASSERT_LT(lines, 20u);
  const int step = static_cast<int>(lines);
  auto wheel = [&](int delta) {
    SendMessageA(H(), WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(static_cast<short>(delta))), MAKELPARAM(10, 10));
  };
  wheel(-WHEEL_DELTA);
  EXPECT_EQ(grid_->TopRow(), 1 + step);
  wheel(-WHEEL_DELTA / 2);  // half a notch waits for the other half
  EXPECT_EQ(grid_->TopRow(), 1 + step);
  wheel(-WHEEL_DELTA / 2);
  EXPECT_EQ(grid_->TopRow(), 1 + 2 * step);
  wheel(3 * WHEEL_DELTA);
  EXPECT_EQ(grid_->TopRow(), 1);
  EXPECT_EQ(grid_->Row(), 1);

  // A handler that takes the wheel keeps the grid still.
  int seen = 0;
  grid_->OnMouseWheel = TMouseWheelEvent([&](TObject*, TShiftState, int delta, POINT, bool& handled) {
    seen = delta;
    handled = true;
  });
  wheel(-WHEEL_DELTA);
  EXPECT_EQ(seen, -WHEEL_DELTA);
  EXPECT_EQ(grid_->TopRow(), 1);
}

TEST_F(GridTest, CellsAreGeometryAndHitTestsAgree) {
  grid_->SetTopRow(10);
  struct Case {
    int col, row;
    const char* rect;
  } cases[] = {
      {0, 0, "0,0-60,20"},     {1, 0, "61,0-121,20"},   {0, 10, "0,21-60,41"},
      {2, 11, "122,42-182,62"}, {4, 14, "244,105-304,125"}, {1, 9, "0,0-0,0"},  // scrolled away
      {1, 16, "0,0-0,0"},       // below the client area
      {5, 10, "0,0-0,0"},       // no such column
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.col) + "," + std::to_string(c.row));
    RECT r = grid_->CellRect(c.col, c.row);
    EXPECT_EQ(Box(r), c.rect);
    if (r.right > r.left) {
      EXPECT_EQ(At(grid_->MouseCoord(r.left, r.top)), At({c.col, c.row}));
      EXPECT_EQ(At(grid_->MouseCoord(r.right, r.bottom)), At({c.col, c.row}));  // its own lines
    }
  }
  EXPECT_EQ(At(grid_->MouseCoord(310, 5)), "-1,-1");
  grid_->SetColWidths(1, 100);
  EXPECT_EQ(Box(grid_->CellRect(2, 0)), "162,0-222,20");
  EXPECT_EQ(At(grid_->MouseCoord(150, 30)), "1,10");
}

TEST_F(GridTest, PaintsBackgroundsLinesAndHandsEachCellToDrawCell) {
  grid_->SetRowCount(3);
  grid_->SetOptions(grid_->Options() + goDrawFocusSelected);
  Start(2, 1);
  painting::Surface s(5 * kColStep, 6 * kStep, clBlack);
  grid_->drawn.clear();
  s.PaintWindowed(*grid_);
  ASSERT_EQ(grid_->drawn.size(), 15u);
  for (const Drawn& d : grid_->drawn) {
    SCOPED_TRACE(At({d.col, d.row}));
    EXPECT_EQ(Box(d.rect), Box(grid_->CellRect(d.col, d.row)));
    EXPECT_EQ(d.state.Contains(gdFixed), d.col == 0 || d.row == 0);
    EXPECT_EQ(d.state.Contains(gdSelected), d.col == 2 && d.row == 1);
  }
  EXPECT_EQ(s.At(30, 10), ColorToRGB(clBtnFace));            // fixed corner
  EXPECT_EQ(s.At(2 * kColStep + 30, kStep + 10), ColorToRGB(clHighlight));  // current cell
  EXPECT_EQ(s.At(kColStep + 30, kStep + 10), ColorToRGB(clWindow));
  EXPECT_EQ(s.At(kColStep + 60, kStep + 10), ColorToRGB(clSilver));  // line right of a cell
  EXPECT_EQ(s.At(kColStep + 30, kStep + 20), ColorToRGB(clSilver));  // line below it
  EXPECT_EQ(s.At(60, 10), ColorToRGB(clBtnShadow));                  // line of a fixed cell
  EXPECT_EQ(s.At(30, 3 * kStep + 5), ColorToRGB(clWindow));          // below the last row

  // Without default drawing the cells are left to DrawCell entirely.
  grid_->SetDefaultDrawing(false);
  s.Fill(clBlack);
  s.PaintWindowed(*grid_);
  EXPECT_EQ(s.At(30, 10), 0u);
  EXPECT_EQ(s.At(2 * kColStep + 30, kStep + 10), 0u);
}

TEST_F(GridTest, InvalidatesOnlyTheCellsThatChange) {
  ShowForm();
  HWND h = H();
  UpdateWindow(h);
  ValidateRect(h, nullptr);
  RECT r{};
  EXPECT_FALSE(GetUpdateRect(h, &r, FALSE));
  grid_->InvalidateCell(3, 2);
  ASSERT_TRUE(GetUpdateRect(h, &r, FALSE));
  EXPECT_EQ(Box(r), Box(grid_->CellRect(3, 2)));
  ValidateRect(h, nullptr);
  grid_->InvalidateCell(3, 50);  // off the screen: nothing
  EXPECT_FALSE(GetUpdateRect(h, &r, FALSE));

  // A move repaints the old and the new current cell only.
  Start(1, 1);
  UpdateWindow(h);
  ValidateRect(h, nullptr);
  Key(VK_RIGHT);
  ASSERT_TRUE(GetUpdateRect(h, &r, FALSE));
  EXPECT_EQ(Box(r), "61,21-182,41");

  // Painting after a one-cell invalidation draws that cell alone.
  UpdateWindow(h);
  grid_->drawn.clear();
  grid_->InvalidateCell(4, 5);
  UpdateWindow(h);
  ASSERT_EQ(grid_->drawn.size(), 1u);
  EXPECT_EQ(At({grid_->drawn[0].col, grid_->drawn[0].row}), "4,5");
}

TEST_F(GridTest, AMillionRowsCostNoMoreThanTheRowsOnScreen) {
  grid_->SetRowCount(1000000);
  grid_->SetScrollBars(ssVertical);
  Start(2, 1);
  Key(VK_END, {ssCtrl});
  EXPECT_EQ(grid_->Row(), 999999);
  EXPECT_EQ(grid_->TopRow(), 999999 - grid_->VisibleRowCount() + 1);
  SCROLLINFO si{sizeof si, SIF_ALL, 0, 0, 0, 0, 0};
  GetScrollInfo(H(), SB_VERT, &si);
  EXPECT_EQ(si.nMax, 999999);
  EXPECT_EQ(si.nPos, grid_->TopRow());

  // The last row is on screen and the painting visits the visible cells only.
  RECT last = grid_->CellRect(4, 999999);
  EXPECT_LE(last.bottom, grid_->ClientHeight());
  painting::Surface s(5 * kColStep, 6 * kStep, clBlack);
  grid_->drawn.clear();
  s.PaintWindowed(*grid_);
  const size_t onScreen = static_cast<size_t>(grid_->VisibleColCount() + 1) * (grid_->VisibleRowCount() + 1);
  EXPECT_EQ(grid_->drawn.size(), onScreen);
  Key(VK_UP, {ssCtrl});
  Key(VK_HOME, {ssCtrl});
  EXPECT_EQ(grid_->Row(), 1);
  EXPECT_EQ(grid_->TopRow(), 1);
  EXPECT_EQ(At(grid_->MouseCoord(kColStep + 1, 3 * kStep + 1)), "1,3");
}

TEST_F(GridTest, CountsKeepFixedCountsAndTheCurrentCellInRange) {
  Start(4, 99);
  grid_->SetRowCount(10);
  grid_->SetColCount(3);
  EXPECT_EQ(At({grid_->Col(), grid_->Row()}), "2,9");
  EXPECT_LE(grid_->TopRow(), 9);
  EXPECT_THROW(grid_->SetFixedRows(10), EInvalidGridOperation);
  grid_->SetRowCount(1);  // the fixed row gives way
  EXPECT_EQ(grid_->FixedRows(), 0);
  grid_->SetRowCount(0);
  grid_->SetColCount(1);
  EXPECT_EQ(grid_->FixedCols(), 0);
  EXPECT_EQ(grid_->Row(), 0);
  grid_->SetRow(0);  // no rows: nothing to move, nothing thrown
  painting::Surface s(100, 100, clBlack);
  grid_->drawn.clear();
  s.PaintWindowed(*grid_);
  EXPECT_TRUE(grid_->drawn.empty());
  EXPECT_EQ(s.At(50, 50), ColorToRGB(clWindow));
}

TEST_F(GridTest, DialogKeyHandlingLeavesTheGridItsKeys) {
  struct Case {
    TGridOptions extra;
    LRESULT want, notWant;
  } cases[] = {{{}, DLGC_WANTARROWS, DLGC_WANTTAB}, {{goTabs}, DLGC_WANTARROWS | DLGC_WANTTAB, 0}};
  for (const Case& c : cases) {
    grid_->SetOptions(grid_->Options() + c.extra);
    LRESULT code = SendMessageA(H(), WM_GETDLGCODE, 0, 0);
    EXPECT_EQ(code & c.want, c.want);
    EXPECT_EQ(code & c.notWant, 0);
  }
  auto* plain = new TWinControl(form_);
  plain->SetParent(form_);
  EXPECT_EQ(SendMessageA(plain->Handle(), WM_GETDLGCODE, 0, 0) & (DLGC_WANTARROWS | DLGC_WANTTAB), 0);

  // The system's dialog-key handling delivers the arrow to the grid.
  Start(1, 1);
  MSG msg{H(), WM_KEYDOWN, VK_DOWN, 1, 0, {0, 0}};
  EXPECT_TRUE(IsDialogMessageA(form_->Handle(), &msg));
  EXPECT_EQ(grid_->Row(), 2);
}

namespace {
// A framework control on the system scroll bar, noting the reflected messages.
class TBarControl : public TWinControl {
 public:
  explicit TBarControl(TComponent* owner) : TWinControl(owner) {}
  std::vector<std::pair<UINT, WPARAM>> seen;
  void Dispatch(TMessage& m) override {
    if (m.Msg == CN_HSCROLL || m.Msg == CN_VSCROLL) seen.push_back({m.Msg, m.WParam});
    TWinControl::Dispatch(m);
  }

 protected:
  void CreateParams(TCreateParams& p) override {
    TWinControl::CreateParams(p);
    CreateSubClass(p, "SCROLLBAR");
    p.WinClassName = "TBarControl";
    p.Style |= SBS_VERT;
  }
};
}  // namespace

TEST_F(GridTest, AChildScrollBarGetsItsScrollMessagesBack) {
  auto* bar = new TBarControl(form_);
  bar->SetBounds(400, 0, 16, 100);
  bar->SetParent(form_);
  HWND b = bar->Handle();
  SendMessageA(form_->Handle(), WM_VSCROLL, SB_LINEDOWN, reinterpret_cast<LPARAM>(b));
  SendMessageA(form_->Handle(), WM_HSCROLL, SB_PAGEUP, reinterpret_cast<LPARAM>(b));
  ASSERT_EQ(bar->seen.size(), 2u);
  EXPECT_EQ(bar->seen[0], (std::pair<UINT, WPARAM>{CN_VSCROLL, SB_LINEDOWN}));
  EXPECT_EQ(bar->seen[1], (std::pair<UINT, WPARAM>{CN_HSCROLL, SB_PAGEUP}));
  // The grid's own bars are no child windows: they scroll the grid itself.
  SendMessageA(H(), WM_VSCROLL, SB_LINEDOWN, 0);
  EXPECT_EQ(grid_->TopRow(), 2);
}

TEST_F(GridTest, ADrawGridStreamsItsSettings) {
  RegisterClassInfo(TDrawGrid::StaticClass());
  ReadComponentText(form_,
                    "object Form: TForm\n"
                    "  object DrawGrid1: TDrawGrid\n"
                    "    RowCount = 1000\n"
                    "    DefaultRowHeight = 18\n"
                    "    FixedCols = 0\n"
                    "    Options = [goVertLine, goHorzLine, goRowSelect]\n"
                    "    ScrollBars = ssVertical\n"
                    "  end\n"
                    "end\n");
  auto* g = dynamic_cast<TDrawGrid*>(form_->FindComponent("DrawGrid1"));
  ASSERT_NE(g, nullptr);
  EXPECT_EQ(g->RowCount(), 1000);
  EXPECT_EQ(g->FixedCols(), 0);
  EXPECT_EQ(g->Options(), (TGridOptions{goVertLine, goHorzLine, goRowSelect}));
  EXPECT_EQ(g->ScrollBars(), ssVertical);
  std::string text = WriteComponentText(form_);
  EXPECT_NE(text.find("RowCount = 1000"), std::string::npos) << text;
  EXPECT_NE(text.find("DefaultRowHeight = 18"), std::string::npos) << text;
  EXPECT_EQ(text.find("ColCount"), std::string::npos) << text;
  EXPECT_EQ(text.find("GridLineWidth"), std::string::npos) << text;
}
