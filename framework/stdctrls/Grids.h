#pragma once
// The grid: a window of cells in rows and columns, the first rows and columns
// fixed as headings, with a current cell moved by keys and mouse, an optional
// range selection, scroll bars that follow the top row and left column, and
// hooks through which a derived control draws its cells and refuses moves.
//
// Rows all have the default height, so the rows on screen and the row under a
// point are computed arithmetically from the top row: painting, hit-testing and
// scrolling cost the same for ten rows as for a million. Columns have their own
// widths (few columns are expected; column geometry walks the columns).

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "Controls.h"

ZX_EXCEPTION(EInvalidGridOperation, Exception)

// Grid options; the numbers are the bit positions streamed in a form description.
enum TGridOption {
  goFixedVertLine,      // 0: lines between fixed columns
  goFixedHorzLine,      // 1: lines between fixed rows
  goVertLine,           // 2: lines between normal columns
  goHorzLine,           // 3: lines between normal rows
  goRangeSelect,        // 4: Shift with keys or a mouse drag selects a range of cells
  goDrawFocusSelected,  // 5: the current cell is painted as selected
  goRowSelect,          // 6: the selection covers whole rows
  goTabs,               // 7: Tab and Shift+Tab move between columns
  goThumbTracking       // 8: the grid scrolls while a scroll-bar thumb is dragged
};
using TGridOptions = TSet<TGridOption>;
extern const std::vector<std::string> GridOptionNames;

enum TScrollStyle { ssNone, ssHorizontal, ssVertical, ssBoth };
extern const std::vector<std::string> ScrollStyleNames;

enum TGridDrawStateElem { gdSelected, gdFocused, gdFixed };
using TGridDrawState = TSet<TGridDrawStateElem>;

struct TGridCoord {
  int X = 0;
  int Y = 0;
  bool operator==(const TGridCoord&) const = default;
};

// A range of cells, corners included.
struct TGridRect {
  int Left = 0, Top = 0, Right = 0, Bottom = 0;
  bool operator==(const TGridRect&) const = default;
  bool Contains(int col, int row) const { return col >= Left && col <= Right && row >= Top && row <= Bottom; }
};

class TCustomGrid : public TCustomControl {
  ZX_CLASS(TCustomGrid, TCustomControl)
 public:
  explicit TCustomGrid(TComponent* owner);
  ~TCustomGrid() override;

  void Dispatch(TMessage& message) override;

  // Counts. A count may be 0 (an empty grid draws only its background); a
  // count at or below the fixed count lowers the fixed count to count - 1.
  int ColCount() const { return colCount_; }
  void SetColCount(int value);
  int RowCount() const { return rowCount_; }
  void SetRowCount(int value);
  // Fixed columns and rows: the first ones, never scrolled, painted in FixedColor.
  // Raises EInvalidGridOperation unless below the count (0 is always allowed).
  int FixedCols() const { return fixedCols_; }
  void SetFixedCols(int value);
  int FixedRows() const { return fixedRows_; }
  void SetFixedRows(int value);

  // Setting the default column width gives every column that width.
  int DefaultColWidth() const { return defaultColWidth_; }
  void SetDefaultColWidth(int value);
  int DefaultRowHeight() const { return defaultRowHeight_; }
  void SetDefaultRowHeight(int value);
  // Width of one column; EInvalidGridOperation for an index out of range.
  int ColWidths(int col) const;
  void SetColWidths(int col, int value);
  int GridLineWidth() const { return gridLineWidth_; }
  void SetGridLineWidth(int value);

  // A derived control that has options of its own reaches these as
  // TCustomGrid::Options / TCustomGrid::SetOptions.
  TGridOptions Options() const { return options_; }
  void SetOptions(TGridOptions value);
  TScrollStyle ScrollBars() const { return scrollBars_; }
  void SetScrollBars(TScrollStyle value);
  // Off: the grid paints neither cell backgrounds nor the focus rectangle;
  // DrawCell paints the whole cell.
  bool DefaultDrawing() const { return defaultDrawing_; }
  void SetDefaultDrawing(bool value);
  TColor FixedColor() const { return fixedColor_; }
  void SetFixedColor(TColor value);
  TBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TBorderStyle value);

  // The current cell. Assigning moves the anchor too, scrolls the cell into
  // view and calls Click, also when SelectCell refuses the move.
  int Col() const { return current_.X; }
  void SetCol(int value);
  int Row() const { return current_.Y; }
  void SetRow(int value);
  // The selected range: from the anchor to the current cell.
  TGridRect Selection() const;
  void SetSelection(const TGridRect& value);

  // The first normal row and column on screen, kept within the scrollable range.
  int TopRow() const { return topLeft_.Y; }
  void SetTopRow(int value);
  int LeftCol() const { return topLeft_.X; }
  void SetLeftCol(int value);
  // Normal rows and columns that fit completely in the client area.
  int VisibleRowCount() const;
  int VisibleColCount() const;

  // The rectangle of a cell in client coordinates; empty when the cell is
  // off the screen (scrolled away or out of range).
  RECT CellRect(int col, int row) const;
  // The cell under a client point; -1 in both coordinates when there is none.
  TGridCoord MouseCoord(int x, int y) const;
  void MouseToCell(int x, int y, int& col, int& row) const;

  // Repaints one cell, one row or the whole grid at the next paint.
  void InvalidateCell(int col, int row);
  void InvalidateRow(int row);
  void InvalidateGrid() { Invalidate(); }

 protected:
  // May refuse a move of the current cell to (col, row); the default accepts.
  virtual bool SelectCell(int col, int row);
  // Paints a cell; with DefaultDrawing its background is already painted and
  // the canvas brush and font colour are those of the cell's state.
  virtual void DrawCell(int col, int row, const RECT& rect, TGridDrawState state);

  // Moves the current cell when SelectCell accepts; the anchor follows when
  // moveAnchor is set (else the selection stretches from it), and the cell is
  // scrolled into view when show is set. No Click. Returns whether it moved.
  bool MoveColRow(int col, int row, bool moveAnchor, bool show);
  // MoveColRow with the view following, then Click: what a user's move does.
  void FocusCell(int col, int row, bool moveAnchor);

  void Paint() override;
  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;

  // Keys, mouse and the size and font changes: a derived control that handles
  // these calls the grid's handler first.
  void KeyDown(WORD& key, TShiftState shift) override;
  void KeyPress(char& key) override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseMove(TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
  bool DoMouseWheel(TShiftState shift, int wheelDelta, POINT mousePos) override;
  void WMSize(TMessage& m);
  void CMFontChanged(TMessage& m);
  void WMHScroll(TMessage& m);
  void WMVScroll(TMessage& m);
  void WMSetFocus(TMessage& m);
  void WMKillFocus(TMessage& m);

 private:
  // Line widths between fixed and between normal rows/columns (0 without the option).
  int FixedVertLine() const;
  int VertLine() const;
  int FixedHorzLine() const;
  int HorzLine() const;
  // Left edge of column col on screen (64-bit: offsets can exceed the int range).
  int64_t ColLeft(int col) const;
  int64_t RowTop(int row) const;
  int FixedWidth() const;
  int FixedHeight() const;
  // Sizes as drawn: a negative setting counts as 0.
  int RowHeight() const;
  int ColumnWidth(int col) const;
  // Distance from one row's top to the next one's, among normal and fixed rows.
  int64_t RowStep() const;
  int64_t FixedRowStep() const;
  // Normal rows that fit completely below the fixed rows, however many there are.
  int RowsThatFit() const;
  // Highest top row and left column that still fill the client area.
  int MaxTopRow() const;
  int MaxLeftCol() const;
  // Scrolls so that the current cell is completely on screen.
  void ScrollInView(int col, int row);
  void SetTopLeft(int col, int row);
  void UpdateScrollBars();
  void ScrollByBar(int bar, int code);
  void ClampCurrent();
  TGridDrawState CellState(int col, int row) const;
  void DrawGridCell(int col, int row, const RECT& r);
  void InvalidateSelection(const TGridRect& before, const TGridRect& after);
  void InvalidateRange(const TGridRect& range);

  int colCount_ = 5;
  int rowCount_ = 5;
  int fixedCols_ = 1;
  int fixedRows_ = 1;
  int defaultColWidth_ = 64;
  int defaultRowHeight_ = 24;
  int gridLineWidth_ = 1;
  std::vector<int> colWidths_;
  TGridOptions options_{goFixedVertLine, goFixedHorzLine, goVertLine, goHorzLine, goRangeSelect};
  TScrollStyle scrollBars_ = ssBoth;
  bool defaultDrawing_ = true;
  TColor fixedColor_ = clBtnFace;
  TBorderStyle borderStyle_ = bsSingle;
  TGridCoord current_{1, 1};
  TGridCoord anchor_{1, 1};
  TGridCoord topLeft_{1, 1};
  bool selecting_ = false;   // the left button is down on a cell
  int wheelRest_ = 0;        // wheel movement not yet turned into rows
  bool updatingBars_ = false;
};

using TDrawCellEvent = TEvent<TObject*, int, int, RECT, TGridDrawState>;
using TSelectCellEvent = TEvent<TObject*, int, int, bool&>;

// A grid whose cells its owner draws in OnDrawCell; it publishes the grid's settings.
class TDrawGrid : public TCustomGrid {
  ZX_CLASS(TDrawGrid, TCustomGrid)
 public:
  explicit TDrawGrid(TComponent* owner) : TCustomGrid(owner) {}

  TDrawCellEvent OnDrawCell;
  TSelectCellEvent OnSelectCell;

 protected:
  bool SelectCell(int col, int row) override;
  void DrawCell(int col, int row, const RECT& rect, TGridDrawState state) override;
};
