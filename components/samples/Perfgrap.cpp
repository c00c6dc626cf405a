#include "Perfgrap.h"

#include <algorithm>
#include <climits>

#include "Strres.h"

namespace {
// The component asks for this string for a full step; the table has no such
// entry, so the message is empty.
constexpr unsigned kTooManyPoints = 102;
// Scaled heights are kept within this, far outside any picture, so that the
// coordinates computed from them never overflow.
constexpr int64_t kHeightLimit = 1 << 24;

int ClampToInt(int64_t value) { return static_cast<int>(std::clamp<int64_t>(value, INT_MIN, INT_MAX)); }

// The remainder of a division by a positive number, in 0..divisor - 1.
int PositiveMod(int64_t value, int divisor) { return static_cast<int>(((value % divisor) + divisor) % divisor); }
}  // namespace

const std::vector<std::string> GraphKindNames = {"pgBar", "pgLine"};

const TClassInfo& TPerformanceGraph::StaticClass() {
  static const TClassInfo info = DefineClass<TPerformanceGraph>("TPerformanceGraph", [](TClassBuilder<TPerformanceGraph>& c) {
    using G = TPerformanceGraph;
    c.Enum("Kind", GraphKindNames, &G::Kind, &G::SetGraphKind, pgLine)
        .Color("ForeColor", &G::ForeColor, &G::SetForeColor, 0x8000)
        .Color("BackColor", &G::BackColor, &G::SetBackColor, 0)
        .Int("GridSize", &G::GridSize, &G::SetGridSize, 15)
        .Int("StepSize", &G::StepSize, &G::SetStepSize, 3)
        .Int("Scale", &G::Scale, &G::SetScale, 1000)
        // Starts at 100 but counts 1000 as its default: 1000 is never written
        // and so reads back as 100.
        .Int("Gradient", &G::Gradient, &G::SetGradient, 1000)
        .Bool("Gridlines", &G::Gridlines, &G::SetGridlines, true)
        .Int("PenWidth", &G::PenWidth, &G::SetPenWidth, 2)
        .Event("OnScaleChange", &G::OnScaleChange);
  });
  return info;
}

TPerformanceGraph::TPerformanceGraph(TComponent* owner) : TGraphicControl(owner) {
  ControlStyle << csFramed << csOpaque;
  SetBounds(Left(), Top(), 100, 100);
  Canvas()->Pen()->SetWidth(penWidth_);
  history_.assign(static_cast<size_t>(GetBandCount()) + 2, Slot{});
  Initialize(gridSize_ - 1);
}

TPerformanceGraph::~TPerformanceGraph() = default;

int TPerformanceGraph::GetBandCount() const { return std::max(Width(), 0) / stepSize_; }

int TPerformanceGraph::RoundUp(int value, int step) {
  if (step == 0 || int64_t{value} % step == 0) return value;
  return ClampToInt((int64_t{value} / step + 1) * step);
}

int TPerformanceGraph::Scaled(int value) const {
  // A scale of 0 (no positive value in the history) draws every value at the bottom.
  if (scale_ == 0) return 0;
  const double h = static_cast<double>(value) / scale_ * picture_.Height();
  return static_cast<int>(std::clamp<double>(h, -kHeightLimit, kHeightLimit));
}

void TPerformanceGraph::DataPoint(TColor color, int value) {
  Slot& slot = history_[static_cast<size_t>(current_)];
  if (slot.n >= kMaxPoints) throw ERangeError(LoadStringBuffer(kTooManyPoints));
  slot.colors[static_cast<size_t>(slot.n)] = color;
  slot.values[static_cast<size_t>(slot.n)] = value;
  ++slot.n;
}

void TPerformanceGraph::HorizontalGrid(int x, int right) {
  TCanvas* canvas = picture_.Canvas();
  for (int y = gridSize_; y < picture_.Height(); y += gridSize_) {
    canvas->MoveTo(x, y);
    canvas->LineTo(right, y);
  }
}

void TPerformanceGraph::Initialize(int phase) {
  picture_.SetSize(Width(), Height());
  const int w = picture_.Width(), h = picture_.Height();
  whole_ = RECT{0, 0, w, h};
  TCanvas* canvas = picture_.Canvas();
  canvas->Brush()->SetColor(backColor_);
  canvas->FillRect(whole_);
  if (gridlines_) {
    canvas->Pen()->SetColor(foreColor_);
    HorizontalGrid(0, w);
    int x = phase;
    for (; x < w; x += gridSize_) {
      canvas->MoveTo(x, 0);
      canvas->LineTo(x, h);
    }
    gridPhase_ = x - w;
  }
  scrollSource_ = RECT{stepSize_, 0, w, h};
  scrollDest_ = RECT{0, 0, w - stepSize_, h};
  newest_ = RECT{w - stepSize_, 0, w, h};
}

void TPerformanceGraph::ScrollGraph() {
  TCanvas* canvas = picture_.Canvas();
  canvas->SetCopyMode(cmSrcCopy);
  canvas->CopyRect(scrollDest_, *canvas, scrollSource_);
  canvas->Brush()->SetColor(backColor_);
  canvas->FillRect(newest_);
  if (!gridlines_) return;
  canvas->Pen()->SetColor(foreColor_);
  HorizontalGrid(newest_.left, newest_.right);
  gridPhase_ -= stepSize_;
  if (gridPhase_ < 0) {
    const int x = picture_.Width() + gridPhase_;
    canvas->MoveTo(x, 0);
    canvas->LineTo(x, picture_.Height());
    gridPhase_ += gridSize_;
    // Steps wider than the grid would drive the phase down without end: keep
    // it within one grid spacing (the lines it skips are not drawn anyway).
    if (gridPhase_ < 0) gridPhase_ = PositiveMod(gridPhase_, gridSize_);
  }
}

void TPerformanceGraph::ShiftY() {
  current_ = NextY(current_);
  history_[static_cast<size_t>(current_)].n = 0;
  first_ = NextY(current_);
}

void TPerformanceGraph::Update() {
  ScrollGraph();
  ShiftY();
  int largest = 0;
  for (const Slot& slot : history_)
    for (int i = 0; i < slot.n; ++i) largest = std::max(largest, slot.values[static_cast<size_t>(i)]);
  const int scale = RoundUp(largest, gradient_);
  if (scale != scale_) {
    SetScale(scale);
  } else {
    DisplayPoints(LastY(current_));
    Repaint();
  }
}

void TPerformanceGraph::DisplayPoints(int index) {
  const Slot& slot = history_[static_cast<size_t>(index)];
  const Slot& before = history_[static_cast<size_t>(LastY(index))];
  int base = 0;
  for (int i = 0; i < slot.n; ++i) {
    const TColor color = slot.colors[static_cast<size_t>(i)];
    const int value = slot.values[static_cast<size_t>(i)];
    if (value == 0) continue;
    if (kind_ == pgBar) {
      // Each value is a running total: its bar goes from the previous total up.
      PaintBar(color, base, ClampToInt(int64_t{value} - base));
    } else {
      int previous = 0;
      for (int j = 0; j < before.n; ++j)
        if (before.colors[static_cast<size_t>(j)] == color) {
          previous = before.values[static_cast<size_t>(j)];
          break;
        }
      PaintLine(color, previous, value);
    }
    base = value;
  }
}

void TPerformanceGraph::PaintBar(TColor color, int base, int value) {
  if (value == 0) return;
  const int h = Scaled(value);
  const int b = Scaled(base);
  if (h == 0) return;
  const int bottom = picture_.Height();
  TCanvas* canvas = picture_.Canvas();
  canvas->Brush()->SetColor(color);
  canvas->FillRect(RECT{newest_.left, bottom - b - h - 1, newest_.right, bottom - b});
}

void TPerformanceGraph::PaintLine(TColor color, int previous, int value) {
  const int bottom = picture_.Height();
  TCanvas* canvas = picture_.Canvas();
  canvas->Pen()->SetColor(color);
  canvas->MoveTo(newest_.left, bottom - Scaled(previous));
  canvas->LineTo(newest_.right, bottom - Scaled(value));
}

void TPerformanceGraph::ReallocHistory() {
  const size_t size = history_.size();
  const size_t newSize = static_cast<size_t>(GetBandCount()) + 2;
  std::vector<Slot> ring(newSize);
  int index = first_;
  // A smaller ring keeps the newest slots.
  for (size_t drop = size > newSize ? size - newSize : 0; drop > 0; --drop) index = NextY(index);
  const size_t copied = std::min(size, newSize);
  for (size_t k = 0; k < copied; ++k) {
    ring[k] = history_[static_cast<size_t>(index)];
    index = NextY(index);
  }
  history_ = std::move(ring);
  current_ = static_cast<int>(copied) - 1;
  first_ = 0;
}

void TPerformanceGraph::Replay() {
  Redraw();
  Repaint();
}

void TPerformanceGraph::Redraw() {
  Initialize(PositiveMod(int64_t{Width()} + gridPhase_, gridSize_));
  const RECT saved = newest_;
  // With fewer bands than one (a graph narrower than a step) the bands start
  // at the width's remainder as they would with any count.
  const int bands = GetBandCount();
  int x = bands > 0 ? Width() % bands : Width() % stepSize_;
  for (int index = NextY(first_); index != first_; index = NextY(index)) {
    newest_ = RECT{x, saved.top, x + stepSize_, saved.bottom};
    x += stepSize_;
    DisplayPoints(index);
  }
  newest_ = saved;
}

void TPerformanceGraph::Paint() {
  if (picture_.Height() != Height() || picture_.Width() != Width()) {
    if (picture_.Width() != Width()) ReallocHistory();
    // Drawn here without asking for a repaint: a repaint from inside the
    // paint would paint again at once and take the canvas from this one.
    Redraw();
  }
  Canvas()->SetCopyMode(cmSrcCopy);
  Canvas()->Draw(0, 0, &picture_);
}

void TPerformanceGraph::SetGraphKind(TGraphKind value) {
  if (value == kind_) return;
  kind_ = value;
  Replay();
}

void TPerformanceGraph::SetForeColor(TColor value) {
  if (value == foreColor_) return;
  foreColor_ = value;
  Replay();
}

void TPerformanceGraph::SetBackColor(TColor value) {
  if (value == backColor_) return;
  backColor_ = value;
  Replay();
}

void TPerformanceGraph::SetGridSize(int value) {
  if (value == gridSize_) return;
  gridSize_ = value > 1 ? value : 2;
  Replay();
}

void TPerformanceGraph::SetStepSize(int value) {
  if (value == stepSize_) return;
  stepSize_ = value > 0 ? value : 1;
  ReallocHistory();
  Replay();
}

void TPerformanceGraph::SetScale(int value) {
  if (value == scale_) return;
  scale_ = RoundUp(value, gradient_);
  if (OnScaleChange) OnScaleChange(this);
  Replay();
}

void TPerformanceGraph::SetGradient(int value) {
  if (value == gradient_) return;
  gradient_ = value;
  Replay();
}

void TPerformanceGraph::SetGridlines(bool value) {
  if (value == gridlines_) return;
  gridlines_ = value;
  Replay();
}

void TPerformanceGraph::SetPenWidth(int value) {
  if (value == penWidth_) return;
  penWidth_ = value;
  Canvas()->Pen()->SetWidth(value);
  Replay();
}
