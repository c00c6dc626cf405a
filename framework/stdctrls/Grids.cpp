#include "Grids.h"

#include <algorithm>
#include <climits>
#include <cstdint>

const std::vector<std::string> GridOptionNames = {
    "goFixedVertLine", "goFixedHorzLine", "goVertLine", "goHorzLine",     "goRangeSelect",
    "goDrawFocusSelected", "goRowSelect",   "goTabs",     "goThumbTracking"};
const std::vector<std::string> ScrollStyleNames = {"ssNone", "ssHorizontal", "ssVertical", "ssBoth"};

namespace {
// Lines between normal cells and between fixed cells.
constexpr TColor kLineColor = clSilver;
constexpr TColor kFixedLineColor = clBtnShadow;

int ClampInt(int64_t v) { return static_cast<int>(std::clamp<int64_t>(v, INT_MIN, INT_MAX)); }

[[noreturn]] void IndexError() { throw EInvalidGridOperation("Grid index out of range"); }

bool Intersects(const RECT& a, const RECT& b) {
  return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}
}  // namespace

// ---------------------------------------------------------------------------
// TCustomGrid

const TClassInfo& TCustomGrid::StaticClass() {
  static const TClassInfo info = DefineClass<TCustomGrid>("TCustomGrid", [](TClassBuilder<TCustomGrid>& c) {
    c.Enum("BorderStyle", ControlBorderStyleNames, &TCustomGrid::BorderStyle, &TCustomGrid::SetBorderStyle,
           bsSingle);
  });
  return info;
}

TCustomGrid::TCustomGrid(TComponent* owner) : TCustomControl(owner) {
  // The grid paints every pixel of its client area itself; a click is a move
  // of the current cell, not a press and release of the whole control.
  ControlStyle = {csCaptureMouse, csOpaque, csDoubleClicks, csClickEvents};
  colWidths_.assign(static_cast<size_t>(colCount_), defaultColWidth_);
  DlgCode = DLGC_WANTARROWS;
  SetBounds(Left(), Top(), 320, 120);
  SetTabStop(true);
}

TCustomGrid::~TCustomGrid() = default;

void TCustomGrid::Dispatch(TMessage& m) {
  switch (m.Msg) {
    case WM_SIZE: return WMSize(m);
    case WM_HSCROLL: return WMHScroll(m);
    case WM_VSCROLL: return WMVScroll(m);
    case WM_SETFOCUS: return WMSetFocus(m);
    case WM_KILLFOCUS: return WMKillFocus(m);
    case WM_ERASEBKGND: m.Result = 1; return;  // Paint covers the whole client area
    case WM_CAPTURECHANGED: selecting_ = false; return DefaultHandler(m);
    case CM_FONTCHANGED: return CMFontChanged(m);
    default: return inherited::Dispatch(m);
  }
}

void TCustomGrid::CreateParams(TCreateParams& p) {
  inherited::CreateParams(p);
  if (scrollBars_ == ssVertical || scrollBars_ == ssBoth) p.Style |= WS_VSCROLL;
  if (scrollBars_ == ssHorizontal || scrollBars_ == ssBoth) p.Style |= WS_HSCROLL;
  if (borderStyle_ == bsSingle) p.ExStyle |= WS_EX_CLIENTEDGE;
  // The cells stay where they are when the window grows: only the new part is painted.
  p.WindowClass.style &= ~static_cast<UINT>(CS_HREDRAW | CS_VREDRAW);
}

void TCustomGrid::CreateWnd() {
  inherited::CreateWnd();
  UpdateScrollBars();
}

// --- settings ---------------------------------------------------------------

void TCustomGrid::SetColCount(int value) {
  value = std::max(value, 0);
  if (value == colCount_) return;
  if (value <= fixedCols_) fixedCols_ = std::max(value - 1, 0);
  colCount_ = value;
  colWidths_.resize(static_cast<size_t>(value), defaultColWidth_);
  ClampCurrent();
  Invalidate();
}

void TCustomGrid::SetRowCount(int value) {
  value = std::max(value, 0);
  if (value == rowCount_) return;
  if (value <= fixedRows_) fixedRows_ = std::max(value - 1, 0);
  rowCount_ = value;
  ClampCurrent();
  Invalidate();
}

void TCustomGrid::SetFixedCols(int value) {
  if (value == fixedCols_) return;
  if (value < 0 || (value > 0 && value >= colCount_))
    throw EInvalidGridOperation("Fixed column count must be less than column count");
  fixedCols_ = value;
  ClampCurrent();
  Invalidate();
}

void TCustomGrid::SetFixedRows(int value) {
  if (value == fixedRows_) return;
  if (value < 0 || (value > 0 && value >= rowCount_))
    throw EInvalidGridOperation("Fixed row count must be less than row count");
  fixedRows_ = value;
  ClampCurrent();
  Invalidate();
}

void TCustomGrid::SetDefaultColWidth(int value) {
  if (value == defaultColWidth_) return;
  defaultColWidth_ = value;
  std::fill(colWidths_.begin(), colWidths_.end(), value);
  ClampCurrent();
  Invalidate();
}

void TCustomGrid::SetDefaultRowHeight(int value) {
  if (value == defaultRowHeight_) return;
  defaultRowHeight_ = value;
  ClampCurrent();
  Invalidate();
}

int TCustomGrid::ColWidths(int col) const {
  if (col < 0 || col >= colCount_) IndexError();
  return colWidths_[static_cast<size_t>(col)];
}

void TCustomGrid::SetColWidths(int col, int value) {
  if (col < 0 || col >= colCount_) IndexError();
  int& w = colWidths_[static_cast<size_t>(col)];
  if (w == value) return;
  w = value;
  ClampCurrent();
  Invalidate();
}

void TCustomGrid::SetGridLineWidth(int value) {
  if (value == gridLineWidth_) return;
  gridLineWidth_ = value;
  ClampCurrent();
  Invalidate();
}

void TCustomGrid::SetOptions(TGridOptions value) {
  if (value == options_) return;
  options_ = value;
  if (options_.Contains(goTabs)) DlgCode |= DLGC_WANTTAB;
  else DlgCode &= ~static_cast<UINT>(DLGC_WANTTAB);
  if (!options_.Contains(goRangeSelect)) anchor_ = current_;
  ClampCurrent();
  Invalidate();
}

void TCustomGrid::SetScrollBars(TScrollStyle value) {
  if (value == scrollBars_) return;
  scrollBars_ = value;
  UpdateScrollBars();
}

void TCustomGrid::SetDefaultDrawing(bool value) {
  if (value == defaultDrawing_) return;
  defaultDrawing_ = value;
  Invalidate();
}

void TCustomGrid::SetFixedColor(TColor value) {
  if (value == fixedColor_) return;
  fixedColor_ = value;
  Invalidate();
}

void TCustomGrid::SetBorderStyle(TBorderStyle value) {
  if (value == borderStyle_) return;
  borderStyle_ = value;
  RecreateWnd();
}

// --- geometry ---------------------------------------------------------------

int TCustomGrid::FixedVertLine() const { return options_.Contains(goFixedVertLine) ? gridLineWidth_ : 0; }
int TCustomGrid::VertLine() const { return options_.Contains(goVertLine) ? gridLineWidth_ : 0; }
int TCustomGrid::FixedHorzLine() const { return options_.Contains(goFixedHorzLine) ? gridLineWidth_ : 0; }
int TCustomGrid::HorzLine() const { return options_.Contains(goHorzLine) ? gridLineWidth_ : 0; }

// A negative size (a derived control computing sizes from a tiny window) counts as 0.
int TCustomGrid::RowHeight() const { return std::max(defaultRowHeight_, 0); }
int TCustomGrid::ColumnWidth(int col) const { return std::max(colWidths_[static_cast<size_t>(col)], 0); }
int64_t TCustomGrid::RowStep() const { return int64_t{RowHeight()} + std::max(HorzLine(), 0); }
int64_t TCustomGrid::FixedRowStep() const { return int64_t{RowHeight()} + std::max(FixedHorzLine(), 0); }

int TCustomGrid::FixedWidth() const {
  int64_t x = 0;
  for (int c = 0; c < fixedCols_; ++c) x += ColumnWidth(c) + std::max(FixedVertLine(), 0);
  return ClampInt(x);
}

int TCustomGrid::FixedHeight() const { return ClampInt(fixedRows_ * FixedRowStep()); }

int64_t TCustomGrid::ColLeft(int col) const {
  int64_t x = 0;
  if (col < fixedCols_) {
    for (int c = 0; c < col; ++c) x += ColumnWidth(c) + std::max(FixedVertLine(), 0);
    return x;
  }
  x = FixedWidth();
  for (int c = topLeft_.X; c < col; ++c) x += ColumnWidth(c) + std::max(VertLine(), 0);
  return x;
}

int64_t TCustomGrid::RowTop(int row) const {
  if (row < fixedRows_) return row * FixedRowStep();
  return FixedHeight() + (int64_t{row} - topLeft_.Y) * RowStep();
}

int TCustomGrid::RowsThatFit() const {
  int64_t room = int64_t{ClientHeight()} - FixedHeight() - RowHeight();
  if (room < 0) return 0;
  int64_t step = RowStep();
  if (step <= 0) return std::max(rowCount_ - fixedRows_, 0);
  return ClampInt(room / step + 1);
}

int TCustomGrid::VisibleRowCount() const {
  return std::max(0, std::min(RowsThatFit(), rowCount_ - topLeft_.Y));
}

int TCustomGrid::VisibleColCount() const {
  int64_t x = FixedWidth();
  const int width = ClientWidth();
  int n = 0;
  for (int c = topLeft_.X; c < colCount_; ++c) {
    if (x + ColumnWidth(c) > width) break;
    x += ColumnWidth(c) + std::max(VertLine(), 0);
    ++n;
  }
  return n;
}

int TCustomGrid::MaxTopRow() const {
  return std::max(fixedRows_, rowCount_ - std::max(RowsThatFit(), 1));
}

int TCustomGrid::MaxLeftCol() const {
  // The leftmost column from which the last columns fill the room completely.
  const int64_t room = int64_t{ClientWidth()} - FixedWidth();
  int64_t used = 0;
  int left = colCount_ - 1;
  for (int c = colCount_ - 1; c >= fixedCols_; --c) {
    if (c < colCount_ - 1 && used + ColumnWidth(c) > room) break;
    used += ColumnWidth(c) + std::max(VertLine(), 0);
    left = c;
  }
  return std::max(left, fixedCols_);
}

RECT TCustomGrid::CellRect(int col, int row) const {
  RECT empty{0, 0, 0, 0};
  if (col < 0 || col >= colCount_ || row < 0 || row >= rowCount_) return empty;
  if ((col >= fixedCols_ && col < topLeft_.X) || (row >= fixedRows_ && row < topLeft_.Y)) return empty;
  int64_t left = ColLeft(col), top = RowTop(row);
  if (left >= ClientWidth() || top >= ClientHeight()) return empty;
  return RECT{ClampInt(left), ClampInt(top), ClampInt(left + ColumnWidth(col)), ClampInt(top + RowHeight())};
}

TGridCoord TCustomGrid::MouseCoord(int x, int y) const {
  const TGridCoord none{-1, -1};
  if (x < 0 || y < 0 || x >= ClientWidth() || y >= ClientHeight()) return none;
  // A cell's grid line to its right and below belongs to it.
  TGridCoord cell = none;
  int64_t left = 0;
  for (int c = 0; c < colCount_; ++c) {
    if (c == fixedCols_) {
      c = std::max(c, topLeft_.X);
      if (c >= colCount_) break;
    }
    int64_t right = left + ColumnWidth(c) + std::max(c < fixedCols_ ? FixedVertLine() : VertLine(), 0);
    if (x < right) {
      cell.X = c;
      break;
    }
    left = right;
    if (left >= ClientWidth()) break;
  }
  const int fixedHeight = FixedHeight();
  int64_t row = -1;
  if (y < fixedHeight) {
    if (FixedRowStep() > 0) row = y / FixedRowStep();
  } else if (RowStep() > 0) {
    row = topLeft_.Y + (y - fixedHeight) / RowStep();
  }
  if (row >= 0 && row < rowCount_) cell.Y = static_cast<int>(row);
  if (cell.X < 0 || cell.Y < 0) return none;
  return cell;
}

void TCustomGrid::MouseToCell(int x, int y, int& col, int& row) const {
  TGridCoord c = MouseCoord(x, y);
  col = c.X;
  row = c.Y;
}

// --- the current cell and the selection ---------------------------------------

TGridRect TCustomGrid::Selection() const {
  TGridRect r{std::min(anchor_.X, current_.X), std::min(anchor_.Y, current_.Y), std::max(anchor_.X, current_.X),
              std::max(anchor_.Y, current_.Y)};
  if (options_.Contains(goRowSelect)) {
    r.Left = fixedCols_;
    r.Right = std::max(colCount_ - 1, fixedCols_);
  }
  return r;
}

void TCustomGrid::SetSelection(const TGridRect& value) {
  TGridRect before = Selection();
  const bool refused = !MoveColRow(value.Left, value.Top, true, true) && current_ != TGridCoord{value.Left, value.Top};
  if (refused) return;
  if (value.Right < 0 || value.Right >= colCount_ || value.Bottom < 0 || value.Bottom >= rowCount_) IndexError();
  if (options_.Contains(goRangeSelect)) anchor_ = TGridCoord{value.Right, value.Bottom};
  InvalidateSelection(before, Selection());
}

bool TCustomGrid::MoveColRow(int col, int row, bool moveAnchor, bool show) {
  if (col < fixedCols_ || col >= colCount_ || row < fixedRows_ || row >= rowCount_) IndexError();
  const TGridCoord target{col, row};
  const TGridRect before = Selection();
  if (target == current_) {
    if (moveAnchor && anchor_ != current_) {
      anchor_ = current_;
      InvalidateSelection(before, Selection());
    }
    if (show) ScrollInView(col, row);
    return false;
  }
  if (!SelectCell(col, row)) return false;
  const TGridCoord old = current_;
  current_ = target;
  if (moveAnchor || !options_.Contains(goRangeSelect)) anchor_ = current_;
  InvalidateCell(old.X, old.Y);
  InvalidateCell(col, row);
  InvalidateSelection(before, Selection());
  if (show) ScrollInView(col, row);
  return true;
}

void TCustomGrid::FocusCell(int col, int row, bool moveAnchor) {
  MoveColRow(col, row, moveAnchor, true);
  Click();
}

void TCustomGrid::SetCol(int value) {
  if (value == current_.X) return;
  FocusCell(value, current_.Y, true);
}

void TCustomGrid::SetRow(int value) {
  if (value == current_.Y) return;
  FocusCell(current_.X, value, true);
}

// After a change of counts or sizes: the current cell, the anchor and the
// scrolled position go back into range without asking SelectCell.
void TCustomGrid::ClampCurrent() {
  auto clampCell = [this](TGridCoord& c) {
    c.X = std::clamp(c.X, fixedCols_, std::max(fixedCols_, colCount_ - 1));
    c.Y = std::clamp(c.Y, fixedRows_, std::max(fixedRows_, rowCount_ - 1));
  };
  clampCell(current_);
  clampCell(anchor_);
  topLeft_.X = std::clamp(topLeft_.X, fixedCols_, MaxLeftCol());
  topLeft_.Y = std::clamp(topLeft_.Y, fixedRows_, MaxTopRow());
  UpdateScrollBars();
}

bool TCustomGrid::SelectCell(int, int) { return true; }

void TCustomGrid::DrawCell(int, int, const RECT&, TGridDrawState) {}

// --- scrolling ---------------------------------------------------------------

void TCustomGrid::SetTopRow(int value) { SetTopLeft(topLeft_.X, value); }
void TCustomGrid::SetLeftCol(int value) { SetTopLeft(value, topLeft_.Y); }

void TCustomGrid::SetTopLeft(int col, int row) {
  TGridCoord next{std::clamp(col, fixedCols_, MaxLeftCol()), std::clamp(row, fixedRows_, MaxTopRow())};
  if (next == topLeft_) return;
  topLeft_ = next;
  Invalidate();
  UpdateScrollBars();
}

void TCustomGrid::ScrollInView(int col, int row) {
  TGridCoord next = topLeft_;
  if (row >= fixedRows_) {
    const int fit = std::max(RowsThatFit(), 1);
    if (row < next.Y) next.Y = row;
    else if (int64_t{row} >= int64_t{next.Y} + fit) next.Y = row - fit + 1;
  }
  if (col >= fixedCols_) {
    if (col < next.X) {
      next.X = col;
    } else {
      // Scroll right until the column's right edge is on screen (or it is the first one).
      const int width = ClientWidth();
      int64_t right = FixedWidth();
      for (int c = next.X; c <= col; ++c) right += ColumnWidth(c) + (c < col ? std::max(VertLine(), 0) : 0);
      while (next.X < col && right > width) {
        right -= ColumnWidth(next.X) + std::max(VertLine(), 0);
        ++next.X;
      }
    }
  }
  SetTopLeft(next.X, next.Y);
}

namespace {
// Sets a scroll bar only where it differs: every change redraws the bar, and
// under some window systems that costs far more than painting the cells.
void SetBar(HWND window, int bar, int min, int max, int page, int pos) {
  SCROLLINFO now{sizeof now, SIF_RANGE | SIF_PAGE | SIF_POS, 0, 0, 0, 0, 0};
  const bool known = GetScrollInfo(window, bar, &now) != FALSE;
  if (known && now.nMin == min && now.nMax == max && now.nPage == static_cast<UINT>(page) && now.nPos == pos) return;
  SCROLLINFO si{sizeof si, SIF_RANGE | SIF_PAGE | SIF_POS, min, max, static_cast<UINT>(page), pos, 0};
  SetScrollInfo(window, bar, &si, FALSE);
  RedrawWindow(window, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_NOERASE | RDW_NOCHILDREN);
}
}  // namespace

void TCustomGrid::UpdateScrollBars() {
  if (!HandleAllocated() || updatingBars_) return;
  updatingBars_ = true;
  HWND h = Handle();
  const bool vert = scrollBars_ == ssVertical || scrollBars_ == ssBoth;
  const bool horz = scrollBars_ == ssHorizontal || scrollBars_ == ssBoth;
  if (!vert) ShowScrollBar(h, SB_VERT, FALSE);
  if (!horz) ShowScrollBar(h, SB_HORZ, FALSE);
  // Showing or hiding one bar changes the room of the other: go again until
  // the client area stays as it is (it can change at most twice).
  for (int pass = 0; pass < 3; ++pass) {
    RECT before{};
    GetClientRect(h, &before);
    // A page as large as the range hides a bar; the position runs from the
    // first normal row (column) up to the highest top row (left column).
    if (vert)
      SetBar(h, SB_VERT, fixedRows_, std::max(rowCount_ - 1, fixedRows_), std::max(rowCount_ - MaxTopRow(), 1),
             topLeft_.Y);
    if (horz)
      SetBar(h, SB_HORZ, fixedCols_, std::max(colCount_ - 1, fixedCols_), std::max(colCount_ - MaxLeftCol(), 1),
             topLeft_.X);
    RECT after{};
    GetClientRect(h, &after);
    if (EqualRect(&before, &after)) break;
  }
  updatingBars_ = false;
  // The room may have changed with the bars: keep the top-left cell within range.
  TGridCoord next{std::clamp(topLeft_.X, fixedCols_, MaxLeftCol()), std::clamp(topLeft_.Y, fixedRows_, MaxTopRow())};
  if (next != topLeft_) SetTopLeft(next.X, next.Y);
}

void TCustomGrid::ScrollByBar(int bar, int code) {
  const bool vert = bar == SB_VERT;
  const int pos = vert ? topLeft_.Y : topLeft_.X;
  const int page = vert ? std::max(RowsThatFit(), 1) : std::max(VisibleColCount(), 1);
  int64_t next = pos;
  switch (code) {
    case SB_LINEUP: next = pos - 1; break;
    case SB_LINEDOWN: next = pos + 1; break;
    case SB_PAGEUP: next = int64_t{pos} - page; break;
    case SB_PAGEDOWN: next = int64_t{pos} + page; break;
    case SB_TOP: next = 0; break;
    case SB_BOTTOM: next = INT_MAX; break;
    case SB_THUMBTRACK:
      if (!options_.Contains(goThumbTracking)) return;
      [[fallthrough]];
    case SB_THUMBPOSITION: {
      // The 32-bit track position: the message's own word holds only 16 bits.
      SCROLLINFO si{sizeof si, SIF_TRACKPOS, 0, 0, 0, 0, 0};
      if (!GetScrollInfo(Handle(), bar, &si)) return;
      next = si.nTrackPos;
      break;
    }
    default: return;
  }
  if (vert) SetTopLeft(topLeft_.X, ClampInt(next));
  else SetTopLeft(ClampInt(next), topLeft_.Y);
}

void TCustomGrid::WMVScroll(TMessage& m) {
  if (m.LParam) return inherited::Dispatch(m);  // a child scroll bar's own message
  ScrollByBar(SB_VERT, LOWORD(m.WParam));
  m.Result = 0;
}

void TCustomGrid::WMHScroll(TMessage& m) {
  if (m.LParam) return inherited::Dispatch(m);
  ScrollByBar(SB_HORZ, LOWORD(m.WParam));
  m.Result = 0;
}

bool TCustomGrid::DoMouseWheel(TShiftState shift, int wheelDelta, POINT mousePos) {
  if (inherited::DoMouseWheel(shift, wheelDelta, mousePos)) return true;
  UINT lines = 3;
  SystemParametersInfoA(SPI_GETWHEELSCROLLLINES, 0, &lines, 0);
  // Small steps of a fine wheel add up until they make a notch.
  wheelRest_ += wheelDelta;
  const int notches = wheelRest_ / WHEEL_DELTA;
  wheelRest_ %= WHEEL_DELTA;
  if (notches == 0) return true;
  const int64_t rows = lines == WHEEL_PAGESCROLL ? std::max(RowsThatFit(), 1) : int64_t{lines};
  SetTopRow(ClampInt(int64_t{topLeft_.Y} - notches * rows));
  return true;
}

// --- painting ----------------------------------------------------------------

TGridDrawState TCustomGrid::CellState(int col, int row) const {
  if (col < fixedCols_ || row < fixedRows_) return {gdFixed};
  TGridDrawState state;
  const bool isCurrent = col == current_.X && row == current_.Y;
  bool selected = Selection().Contains(col, row);
  // The current cell shows as selected only when asked, or as part of a selected row.
  if (isCurrent && !options_.Contains(goDrawFocusSelected) && !options_.Contains(goRowSelect)) selected = false;
  if (selected) state << gdSelected;
  if (isCurrent && Focused()) state << gdFocused;
  return state;
}

void TCustomGrid::DrawGridCell(int col, int row, const RECT& r) {
  TCanvas* canvas = Canvas();
  const TGridDrawState state = CellState(col, row);
  const bool selected = state.Contains(gdSelected);
  canvas->Font()->SetColor(selected ? clHighlightText : Font()->Color());
  canvas->Brush()->SetStyle(bsSolid);
  canvas->Brush()->SetColor(state.Contains(gdFixed) ? fixedColor_ : selected ? clHighlight : Color());
  if (defaultDrawing_) canvas->FillRect(r);
  DrawCell(col, row, r, state);
  if (defaultDrawing_ && state.Contains(gdFocused) && !options_.Contains(goRowSelect)) canvas->DrawFocusRect(r);
}

void TCustomGrid::Paint() {
  TCanvas* canvas = Canvas();
  HDC dc = canvas->Handle();
  const RECT clip = canvas->ClipRect();
  const int width = ClientWidth(), height = ClientHeight();
  Gdi::Brush lineBrush(CreateSolidBrush(ColorRef(kLineColor)));
  Gdi::Brush fixedLineBrush(CreateSolidBrush(ColorRef(kFixedLineColor)));

  // The columns on screen: the fixed ones, then the normal ones from LeftCol.
  struct Span {
    int index;
    int64_t start, size, line;
  };
  std::vector<Span> cols;
  int64_t x = 0;
  for (int c = 0; c < colCount_ && x < width; ++c) {
    if (c == fixedCols_) {
      c = std::max(c, topLeft_.X);
      if (c >= colCount_) break;
    }
    const int64_t line = std::max(c < fixedCols_ ? FixedVertLine() : VertLine(), 0);
    cols.push_back({c, x, ColumnWidth(c), line});
    x += ColumnWidth(c) + line;
  }
  const int64_t gridRight = x;

  // The rows on screen follow from the top row by arithmetic; only those that
  // cross the clip box are visited.
  std::vector<Span> rows;
  const int64_t fixedStep = FixedRowStep(), step = RowStep(), fixedHeight = FixedHeight();
  for (int r = 0; r < fixedRows_ && r * fixedStep < height; ++r)
    if (r * fixedStep < clip.bottom && (r + 1) * fixedStep > clip.top)
      rows.push_back({r, r * fixedStep, RowHeight(), fixedStep - RowHeight()});
  int64_t gridBottom = std::min<int64_t>(fixedHeight, int64_t{fixedRows_} * fixedStep);
  if (step > 0 && rowCount_ > topLeft_.Y) {
    const int64_t shown = std::min<int64_t>(rowCount_ - topLeft_.Y, (height - fixedHeight + step - 1) / step);
    const int64_t first = std::max<int64_t>(0, (clip.top - fixedHeight) / step);
    const int64_t last = std::min<int64_t>(shown - 1, (clip.bottom - 1 - fixedHeight) / step);
    for (int64_t i = first; i <= last; ++i)
      rows.push_back({static_cast<int>(topLeft_.Y + i), fixedHeight + i * step, RowHeight(), step - RowHeight()});
    gridBottom = fixedHeight + std::max<int64_t>(shown, 0) * step;
  }

  for (const Span& row : rows) {
    for (const Span& col : cols) {
      const RECT cell{ClampInt(col.start), ClampInt(row.start), ClampInt(col.start + col.size),
                      ClampInt(row.start + row.size)};
      const RECT whole{cell.left, cell.top, ClampInt(col.start + col.size + col.line),
                       ClampInt(row.start + row.size + row.line)};
      if (!Intersects(whole, clip)) continue;
      if (Intersects(cell, clip)) DrawGridCell(col.index, row.index, cell);
      // The cell's own grid lines: to its right and below it, corner included.
      const bool fixed = col.index < fixedCols_ || row.index < fixedRows_;
      HBRUSH brush = fixed ? fixedLineBrush.get() : lineBrush.get();
      const RECT right{cell.right, cell.top, whole.right, whole.bottom};
      const RECT below{cell.left, cell.bottom, cell.right, whole.bottom};
      if (col.line > 0) ::FillRect(dc, &right, brush);
      if (row.line > 0) ::FillRect(dc, &below, brush);
    }
  }

  // Whatever lies beyond the last column and the last row shows the control's colour.
  canvas->Brush()->SetStyle(bsSolid);
  canvas->Brush()->SetColor(Color());
  const int right = ClampInt(std::min<int64_t>(gridRight, width));
  const int bottom = ClampInt(std::min<int64_t>(gridBottom, height));
  if (right < width) canvas->FillRect(RECT{right, 0, width, height});
  if (bottom < height) canvas->FillRect(RECT{0, bottom, right, height});
}

void TCustomGrid::InvalidateCell(int col, int row) {
  if (!HandleAllocated()) return;
  RECT r = CellRect(col, row);
  if (r.right <= r.left || r.bottom <= r.top) return;
  InvalidateRect(Handle(), &r, FALSE);
}

void TCustomGrid::InvalidateRow(int row) {
  if (!HandleAllocated()) return;
  RECT r = CellRect(std::max(fixedCols_ > 0 ? 0 : topLeft_.X, 0), row);
  if (r.bottom <= r.top) return;
  r.left = 0;
  r.right = ClientWidth();
  InvalidateRect(Handle(), &r, FALSE);
}

void TCustomGrid::InvalidateRange(const TGridRect& range) {
  if (!HandleAllocated()) return;
  // Only the part on screen: a selection can span a million rows.
  const int lastRow = ClampInt(int64_t{topLeft_.Y} + RowsThatFit());
  const int top = std::max(range.Top, topLeft_.Y), bottom = std::min(range.Bottom, std::min(lastRow, rowCount_ - 1));
  const int left = std::max(range.Left, topLeft_.X);
  int right = std::min(range.Right, colCount_ - 1);
  if (top > bottom || left > right) return;
  const int lastCol = topLeft_.X + VisibleColCount();
  right = std::min(right, std::min(lastCol, colCount_ - 1));
  RECT a = CellRect(left, top), b = CellRect(right, bottom);
  if (a.right <= a.left) return;
  if (b.right <= b.left) b = a;
  RECT r{a.left, a.top, std::max(a.right, b.right), std::max(a.bottom, b.bottom)};
  InvalidateRect(Handle(), &r, FALSE);
}

void TCustomGrid::InvalidateSelection(const TGridRect& before, const TGridRect& after) {
  if (before == after) return;
  InvalidateRange(before);
  InvalidateRange(after);
}

// --- keyboard, mouse, focus, size ------------------------------------------------

void TCustomGrid::KeyDown(WORD& key, TShiftState shift) {
  inherited::KeyDown(key, shift);
  if (key == 0 || colCount_ <= fixedCols_ || rowCount_ <= fixedRows_) return;
  const bool ctrl = shift.Contains(ssCtrl);
  const int page = std::max(RowsThatFit(), 1);
  int64_t col = current_.X, row = current_.Y;
  switch (key) {
    case VK_UP:
    case VK_DOWN:
      if (ctrl) {
        // Ctrl with the vertical arrows scrolls the view and leaves the current cell.
        SetTopRow(topLeft_.Y + (key == VK_UP ? -1 : 1));
        return;
      }
      row += key == VK_UP ? -1 : 1;
      break;
    case VK_LEFT: col -= 1; break;
    case VK_RIGHT: col += 1; break;
    case VK_PRIOR: row -= page; break;
    case VK_NEXT: row += page; break;
    case VK_HOME:
      col = fixedCols_;
      if (ctrl) row = fixedRows_;
      break;
    case VK_END:
      col = colCount_ - 1;
      if (ctrl) row = rowCount_ - 1;
      break;
    case VK_TAB:
      if (!options_.Contains(goTabs) || ctrl) return;
      // Tab runs through the row and on to the next one; Shift+Tab backwards.
      if (shift.Contains(ssShift)) {
        if (--col < fixedCols_) {
          col = colCount_ - 1;
          --row;
        }
      } else if (++col >= colCount_) {
        col = fixedCols_;
        ++row;
      }
      if (row < fixedRows_ || row >= rowCount_) return;
      break;
    default: return;
  }
  col = std::clamp<int64_t>(col, fixedCols_, colCount_ - 1);
  row = std::clamp<int64_t>(row, fixedRows_, rowCount_ - 1);
  const bool extend = shift.Contains(ssShift) && key != VK_TAB && options_.Contains(goRangeSelect);
  if (MoveColRow(static_cast<int>(col), static_cast<int>(row), !extend, true)) Click();
}

void TCustomGrid::KeyPress(char& key) { inherited::KeyPress(key); }

void TCustomGrid::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  ControlState >> csClicked;
  if (button == mbLeft && !shift.Contains(ssDouble)) {
    if (CanFocus() && !Focused()) SetFocus();
    const TGridCoord cell = MouseCoord(x, y);
    if (cell.X >= fixedCols_ && cell.Y >= fixedRows_) {
      const bool extend = shift.Contains(ssShift) && options_.Contains(goRangeSelect);
      selecting_ = true;
      if (MoveColRow(cell.X, cell.Y, !extend, true)) Click();
    }
  }
  inherited::MouseDown(button, shift, x, y);
}

void TCustomGrid::MouseMove(TShiftState shift, int x, int y) {
  if (selecting_ && shift.Contains(ssLeft)) {
    // Dragging past an edge picks the cell at that edge, which scrolls it into view.
    const int cx = std::clamp(x, FixedWidth(), std::max(ClientWidth() - 1, 0));
    const int cy = std::clamp(y, FixedHeight(), std::max(ClientHeight() - 1, 0));
    const TGridCoord cell = MouseCoord(cx, cy);
    if (cell.X >= fixedCols_ && cell.Y >= fixedRows_ && cell != current_)
      if (MoveColRow(cell.X, cell.Y, !options_.Contains(goRangeSelect), true)) Click();
  }
  inherited::MouseMove(shift, x, y);
}

void TCustomGrid::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  if (button == mbLeft) selecting_ = false;
  inherited::MouseUp(button, shift, x, y);
}

void TCustomGrid::WMSetFocus(TMessage& m) {
  TWinControl::WMSetFocus(m);
  InvalidateCell(current_.X, current_.Y);
}

void TCustomGrid::WMKillFocus(TMessage& m) {
  TWinControl::WMKillFocus(m);
  InvalidateCell(current_.X, current_.Y);
}

void TCustomGrid::WMSize(TMessage& m) {
  TWinControl::WMSize(m);
  ClampCurrent();
}

void TCustomGrid::CMFontChanged(TMessage& m) {
  TWinControl::CMFontChanged(m);
  Invalidate();
}

// ---------------------------------------------------------------------------
// TDrawGrid

const TClassInfo& TDrawGrid::StaticClass() {
  static const TClassInfo info = DefineClass<TDrawGrid>("TDrawGrid", [](TClassBuilder<TDrawGrid>& c) {
    // The counts come before the fixed counts, which must stay below them.
    c.Int("ColCount", &TDrawGrid::ColCount, &TDrawGrid::SetColCount, 5)
        .Int("RowCount", &TDrawGrid::RowCount, &TDrawGrid::SetRowCount, 5)
        .Int("DefaultColWidth", &TDrawGrid::DefaultColWidth, &TDrawGrid::SetDefaultColWidth, 64)
        .Bool("DefaultDrawing", &TDrawGrid::DefaultDrawing, &TDrawGrid::SetDefaultDrawing, true)
        .Int("DefaultRowHeight", &TDrawGrid::DefaultRowHeight, &TDrawGrid::SetDefaultRowHeight, 24)
        .Color("FixedColor", &TDrawGrid::FixedColor, &TDrawGrid::SetFixedColor, clBtnFace)
        .Int("FixedCols", &TDrawGrid::FixedCols, &TDrawGrid::SetFixedCols, 1)
        .Int("FixedRows", &TDrawGrid::FixedRows, &TDrawGrid::SetFixedRows, 1)
        .Int("GridLineWidth", &TDrawGrid::GridLineWidth, &TDrawGrid::SetGridLineWidth, 1)
        .Set("Options", GridOptionNames, &TDrawGrid::Options, &TDrawGrid::SetOptions,
             TGridOptions{goFixedVertLine, goFixedHorzLine, goVertLine, goHorzLine, goRangeSelect})
        .Enum("ScrollBars", ScrollStyleNames, &TDrawGrid::ScrollBars, &TDrawGrid::SetScrollBars, ssBoth)
        .Event("OnDrawCell", &TDrawGrid::OnDrawCell)
        .Event("OnSelectCell", &TDrawGrid::OnSelectCell);
  });
  return info;
}

bool TDrawGrid::SelectCell(int col, int row) {
  bool can = true;
  if (OnSelectCell) OnSelectCell(this, col, row, can);
  return can;
}

void TDrawGrid::DrawCell(int col, int row, const RECT& rect, TGridDrawState state) {
  if (OnDrawCell) OnDrawCell(this, col, row, rect, state);
}
