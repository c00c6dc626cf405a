#pragma once
// A scrolling strip chart. The owner feeds up to 16 coloured points a step and
// calls Update: the picture scrolls left by one band of StepSize pixels, the
// new points are drawn in the band at the right edge, and the vertical scale
// follows the largest value still in the history, rounded up to Gradient.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "Bitmaps.h"
#include "Controls.h"

enum TGraphKind { pgBar, pgLine };
extern const std::vector<std::string> GraphKindNames;

class TPerformanceGraph : public TGraphicControl {
  ZX_CLASS(TPerformanceGraph, TGraphicControl)
 public:
  static constexpr int kMaxPoints = 16;

  explicit TPerformanceGraph(TComponent* owner);
  ~TPerformanceGraph() override;

  // Adds a point to the step being collected; a 17th raises ERangeError.
  void DataPoint(TColor color, int value);
  // Closes the step: scrolls, draws it and follows the scale.
  void Update() override;

  TGraphKind Kind() const { return kind_; }
  void SetGraphKind(TGraphKind value);
  TColor ForeColor() const { return foreColor_; }
  void SetForeColor(TColor value);
  TColor BackColor() const { return backColor_; }
  void SetBackColor(TColor value);
  int GridSize() const { return gridSize_; }
  void SetGridSize(int value);
  int StepSize() const { return stepSize_; }
  void SetStepSize(int value);
  int Scale() const { return scale_; }
  void SetScale(int value);
  int Gradient() const { return gradient_; }
  void SetGradient(int value);
  bool Gridlines() const { return gridlines_; }
  void SetGridlines(bool value);
  int PenWidth() const { return penWidth_; }
  void SetPenWidth(int value);
  TNotifyEvent OnScaleChange;

  int GetBandCount() const;
  // v rounded up to a multiple of step (unchanged when step is 0).
  static int RoundUp(int value, int step);
  // The picture that Paint copies to the control.
  TBitmap* Picture() { return &picture_; }

 protected:
  void Paint() override;

 private:
  struct Slot {
    int n = 0;
    std::array<TColor, kMaxPoints> colors{};
    std::array<int, kMaxPoints> values{};
  };

  void Initialize(int phase);
  void ScrollGraph();
  void ShiftY();
  int FirstY() const { return first_; }
  int NextY(int index) const { return index + 1 == static_cast<int>(history_.size()) ? 0 : index + 1; }
  int LastY(int index) const { return index == 0 ? static_cast<int>(history_.size()) - 1 : index - 1; }
  void DisplayPoints(int slot);
  void PaintBar(TColor color, int base, int value);
  void PaintLine(TColor color, int previous, int value);
  void ReallocHistory();
  // Draws the whole history into the picture again (Redraw), and then
  // also repaints the control (Replay).
  void Replay();
  void Redraw();
  // The height in pixels that a value stands for at the present scale.
  int Scaled(int value) const;
  // Draws the grid's horizontal lines from x to right.
  void HorizontalGrid(int x, int right);

  TGraphKind kind_ = pgLine;
  TColor foreColor_ = 0x8000;
  TColor backColor_ = 0;
  int gridSize_ = 15;
  int stepSize_ = 3;
  int scale_ = 1000;
  int gradient_ = 100;
  bool gridlines_ = true;
  int penWidth_ = 2;

  TBitmap picture_;
  RECT whole_{}, scrollSource_{}, scrollDest_{}, newest_{};
  int gridPhase_ = 0;
  std::vector<Slot> history_;
  int first_ = 1;
  int current_ = 0;
};
